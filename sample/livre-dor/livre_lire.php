<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : livre lire
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = '12';
?>
