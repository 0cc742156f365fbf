<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang signer
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les adresses électroniques sont masquées pour les robots.
$parametre_1 = 'oui';
$parametre_2 = 'defaut';
$parametre_3 = '12';
?>
