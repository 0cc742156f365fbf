<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : pied
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'oui';
$parametre_4 = 'fr';
?>
