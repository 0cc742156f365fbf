<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = 'non';
$parametre_4 = 'fr';
?>
