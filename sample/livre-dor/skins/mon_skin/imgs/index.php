<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'defaut';
$parametre_2 = 'defaut';
$parametre_3 = '12';
$parametre_4 = 'non';
?>
