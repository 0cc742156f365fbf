<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin messages
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'defaut';
$parametre_2 = '12';
$parametre_3 = 'fr';
$parametre_4 = '12';
?>
