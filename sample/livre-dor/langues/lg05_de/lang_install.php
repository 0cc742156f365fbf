<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'non';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
?>
