<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : menu admin
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'defaut';
?>
