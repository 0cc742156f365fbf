<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'non';
$parametre_2 = '12';
$parametre_3 = 'oui';
$parametre_4 = 'defaut';
$parametre_5 = 'fr';
?>
