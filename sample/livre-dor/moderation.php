<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : moderation
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'defaut';
$parametre_2 = 'oui';
$parametre_3 = 'fr';
?>
