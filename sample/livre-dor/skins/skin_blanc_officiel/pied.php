<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : pied
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
?>
