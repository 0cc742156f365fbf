<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
$parametre_1 = 'non';
$parametre_2 = 'defaut';
$parametre_3 = 'defaut';
$parametre_4 = '12';
?>
