<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : rss
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'oui';
$parametre_2 = 'non';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
$parametre_5 = 'oui';
?>
