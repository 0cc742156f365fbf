<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : smileys
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
?>
