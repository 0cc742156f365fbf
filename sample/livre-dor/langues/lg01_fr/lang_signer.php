<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang signer
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = '12';
$parametre_2 = 'fr';
$parametre_3 = 'defaut';
?>
