<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'non';
$parametre_2 = '12';
?>
