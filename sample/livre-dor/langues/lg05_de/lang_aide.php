<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'oui';
$parametre_2 = 'oui';
$parametre_3 = 'oui';
?>
