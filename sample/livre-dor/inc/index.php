<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'non';
$parametre_2 = 'defaut';
$parametre_3 = 'defaut';
$parametre_4 = '12';
?>
