<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : entete
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'non';
$parametre_2 = 'fr';
?>
