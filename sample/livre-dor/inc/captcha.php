<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : captcha
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'defaut';
$parametre_2 = 'fr';
$parametre_3 = 'oui';
?>
