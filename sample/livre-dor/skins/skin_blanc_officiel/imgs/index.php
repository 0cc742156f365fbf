<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'oui';
$parametre_2 = 'non';
?>
