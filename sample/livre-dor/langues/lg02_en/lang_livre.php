<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang livre
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'non';
?>
