<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : filtre
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'defaut';
?>
