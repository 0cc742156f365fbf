<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : sauvegarde
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'fr';
$parametre_2 = '12';
$parametre_3 = 'defaut';
$parametre_4 = 'defaut';
$parametre_5 = 'oui';
?>
