<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'oui';
$parametre_2 = '12';
$parametre_3 = 'fr';
$parametre_4 = 'non';
?>
