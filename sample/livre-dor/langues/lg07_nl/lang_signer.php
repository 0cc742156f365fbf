<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang signer
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'fr';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
?>
