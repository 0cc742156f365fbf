<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = '12';
$parametre_2 = 'non';
$parametre_3 = 'oui';
$parametre_4 = '12';
?>
