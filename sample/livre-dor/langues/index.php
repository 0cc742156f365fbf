<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = '12';
$parametre_2 = 'oui';
?>
