<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : sauvegarde config
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'defaut';
?>
