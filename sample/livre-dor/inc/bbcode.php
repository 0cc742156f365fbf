<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : bbcode
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = 'oui';
$parametre_3 = '12';
$parametre_4 = 'fr';
?>
