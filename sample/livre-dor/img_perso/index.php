<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'non';
$parametre_2 = 'oui';
$parametre_3 = 'non';
?>
