<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'defaut';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
$parametre_5 = 'non';
?>
