<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'oui';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
$parametre_4 = 'oui';
$parametre_5 = 'fr';
?>
