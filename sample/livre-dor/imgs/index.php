<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = '12';
?>
