<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : dates
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = '12';
?>
