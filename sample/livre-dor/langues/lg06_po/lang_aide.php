<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'oui';
$parametre_2 = '12';
$parametre_3 = 'fr';
$parametre_4 = 'non';
$parametre_5 = '12';
?>
