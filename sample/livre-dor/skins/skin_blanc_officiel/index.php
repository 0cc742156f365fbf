<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'fr';
$parametre_2 = 'non';
$parametre_3 = 'defaut';
$parametre_4 = 'non';
?>
