<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang mails
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
$parametre_3 = 'non';
$parametre_4 = 'fr';
?>
