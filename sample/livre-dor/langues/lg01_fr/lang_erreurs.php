<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = 'fr';
$parametre_4 = 'defaut';
$parametre_5 = 'fr';
?>
