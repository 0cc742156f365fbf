<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'fr';
$parametre_2 = '12';
$parametre_3 = 'non';
$parametre_4 = 'non';
?>
