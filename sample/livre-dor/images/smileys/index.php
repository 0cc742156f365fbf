<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
?>
