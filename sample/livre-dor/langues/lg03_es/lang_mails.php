<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang mails
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'fr';
$parametre_2 = '12';
$parametre_3 = '12';
$parametre_4 = 'non';
$parametre_5 = 'defaut';
?>
