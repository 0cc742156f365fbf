<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'oui';
$parametre_2 = 'oui';
$parametre_3 = 'defaut';
$parametre_4 = 'defaut';
$parametre_5 = 'non';
?>
