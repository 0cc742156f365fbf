<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : cfg choix skin
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'oui';
$parametre_2 = 'defaut';
$parametre_3 = 'non';
$parametre_4 = 'non';
?>
