<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
$parametre_3 = '12';
?>
