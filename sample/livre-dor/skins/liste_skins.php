<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : liste skins
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = 'non';
$parametre_4 = 'defaut';
?>
