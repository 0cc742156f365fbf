<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang accueil
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'non';
?>
