<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang accueil
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'non';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
?>
