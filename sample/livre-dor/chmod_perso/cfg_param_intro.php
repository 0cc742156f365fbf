<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : cfg param intro
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'oui';
$parametre_2 = 'non';
$parametre_3 = 'oui';
$parametre_4 = 'non';
$parametre_5 = 'non';
?>
