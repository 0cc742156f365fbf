<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'defaut';
$parametre_2 = 'defaut';
$parametre_3 = 'oui';
$parametre_4 = 'oui';
?>
