<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = 'oui';
$parametre_4 = '12';
?>
