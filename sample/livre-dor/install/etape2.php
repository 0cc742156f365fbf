<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : etape2
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = 'defaut';
?>
