<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : messages
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = '12';
?>
