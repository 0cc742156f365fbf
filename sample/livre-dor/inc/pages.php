<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : pages
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'fr';
$parametre_2 = 'non';
?>
