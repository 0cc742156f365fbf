<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin
// La page d'administration demande le mot de passe choisi à l'installation.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'non';
$parametre_2 = 'oui';
$parametre_3 = '12';
$parametre_4 = '12';
?>
