<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : verification
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = '12';
$parametre_2 = 'fr';
?>
