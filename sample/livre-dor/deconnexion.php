<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : deconnexion
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = '12';
$parametre_2 = 'non';
$parametre_3 = '12';
$parametre_4 = 'defaut';
$parametre_5 = 'fr';
?>
