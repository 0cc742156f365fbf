<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : pagination
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'non';
?>
