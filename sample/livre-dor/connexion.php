<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : connexion
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'defaut';
$parametre_2 = 'fr';
$parametre_3 = 'defaut';
$parametre_4 = 'oui';
?>
