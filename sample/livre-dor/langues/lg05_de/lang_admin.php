<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'defaut';
$parametre_2 = 'fr';
$parametre_3 = 'defaut';
$parametre_4 = '12';
$parametre_5 = 'fr';
?>
