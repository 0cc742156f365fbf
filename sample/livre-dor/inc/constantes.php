<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : constantes
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'fr';
$parametre_2 = '12';
?>
