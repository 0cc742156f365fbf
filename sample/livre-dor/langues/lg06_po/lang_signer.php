<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang signer
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = '12';
$parametre_2 = 'oui';
$parametre_3 = 'oui';
$parametre_4 = 'oui';
$parametre_5 = 'fr';
?>
