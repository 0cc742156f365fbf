<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : restauration
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'non';
$parametre_2 = '12';
$parametre_3 = 'oui';
?>
