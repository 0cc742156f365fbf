<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : captcha
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
?>
