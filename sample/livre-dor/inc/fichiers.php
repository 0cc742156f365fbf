<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : fichiers
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = '12';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
$parametre_5 = 'fr';
?>
