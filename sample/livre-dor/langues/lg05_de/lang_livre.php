<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang livre
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = '12';
$parametre_2 = 'non';
$parametre_3 = 'oui';
$parametre_4 = 'oui';
?>
