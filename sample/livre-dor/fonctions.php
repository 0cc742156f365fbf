<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : fonctions
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = '12';
$parametre_3 = 'oui';
$parametre_4 = '12';
?>
