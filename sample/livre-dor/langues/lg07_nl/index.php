<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'fr';
?>
