<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang mails
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'non';
$parametre_4 = 'non';
$parametre_5 = '12';
?>
