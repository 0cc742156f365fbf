<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'non';
?>
