<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang signer
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'defaut';
?>
