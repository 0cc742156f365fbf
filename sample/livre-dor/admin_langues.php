<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin langues
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'defaut';
$parametre_2 = 'defaut';
$parametre_3 = '12';
$parametre_4 = 'defaut';
$parametre_5 = 'oui';
?>
