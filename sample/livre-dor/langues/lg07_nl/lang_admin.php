<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang admin
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
$parametre_3 = 'oui';
?>
