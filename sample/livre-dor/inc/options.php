<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : options
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'non';
$parametre_2 = '12';
?>
