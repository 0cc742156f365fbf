<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang accueil
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'defaut';
$parametre_2 = 'oui';
$parametre_3 = 'non';
?>
