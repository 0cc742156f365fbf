<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'non';
$parametre_2 = '12';
$parametre_3 = 'defaut';
$parametre_4 = 'oui';
$parametre_5 = 'fr';
?>
