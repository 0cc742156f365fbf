<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'fr';
$parametre_2 = 'oui';
?>
