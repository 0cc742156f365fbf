<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = 'oui';
$parametre_3 = 'non';
$parametre_4 = 'oui';
?>
