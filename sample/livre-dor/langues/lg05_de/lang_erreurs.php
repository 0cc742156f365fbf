<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'defaut';
?>
