<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = '12';
$parametre_2 = 'non';
$parametre_3 = 'oui';
?>
