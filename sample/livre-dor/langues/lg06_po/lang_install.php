<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'oui';
$parametre_2 = 'non';
$parametre_3 = 'non';
?>
