<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'oui';
$parametre_2 = '12';
$parametre_3 = 'fr';
$parametre_4 = 'defaut';
$parametre_5 = 'oui';
?>
