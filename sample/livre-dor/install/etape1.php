<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : etape1
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'defaut';
$parametre_2 = '12';
$parametre_3 = '12';
$parametre_4 = '12';
$parametre_5 = 'defaut';
?>
