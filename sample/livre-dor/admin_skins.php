<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin skins
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
$parametre_3 = 'defaut';
$parametre_4 = 'non';
?>
