<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : fin
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
$parametre_3 = 'oui';
$parametre_4 = 'oui';
?>
