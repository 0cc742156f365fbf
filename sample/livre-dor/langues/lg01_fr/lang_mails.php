<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang mails
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
?>
