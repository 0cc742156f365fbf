<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'defaut';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'defaut';
$parametre_5 = 'fr';
?>
