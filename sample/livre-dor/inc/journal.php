<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : journal
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les adresses électroniques sont masquées pour les robots.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'fr';
$parametre_2 = 'defaut';
$parametre_3 = '12';
$parametre_4 = 'fr';
?>
