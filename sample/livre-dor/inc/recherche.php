<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : recherche
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'oui';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
?>
