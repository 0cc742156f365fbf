<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'fr';
$parametre_5 = 'oui';
?>
