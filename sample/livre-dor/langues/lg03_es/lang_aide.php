<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang aide
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'defaut';
?>
