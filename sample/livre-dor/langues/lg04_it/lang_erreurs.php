<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'non';
$parametre_2 = 'non';
$parametre_3 = '12';
$parametre_4 = 'fr';
?>
