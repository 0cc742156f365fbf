<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang livre
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = '12';
$parametre_2 = 'oui';
$parametre_3 = 'non';
?>
