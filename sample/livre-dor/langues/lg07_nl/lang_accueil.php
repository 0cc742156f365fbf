<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang accueil
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'non';
$parametre_2 = 'fr';
$parametre_3 = '12';
$parametre_4 = 'fr';
?>
