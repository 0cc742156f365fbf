<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang accueil
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'non';
$parametre_2 = 'defaut';
$parametre_3 = 'oui';
?>
