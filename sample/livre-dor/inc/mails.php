<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : mails
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = 'fr';
$parametre_3 = '12';
$parametre_4 = '12';
?>
