<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'defaut';
$parametre_2 = '12';
$parametre_3 = 'non';
$parametre_4 = 'defaut';
$parametre_5 = 'non';
?>
