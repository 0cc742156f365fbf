<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang livre
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Les adresses électroniques sont masquées pour les robots.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'defaut';
$parametre_2 = 'oui';
$parametre_3 = 'non';
$parametre_4 = '12';
?>
