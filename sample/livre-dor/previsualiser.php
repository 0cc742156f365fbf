<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : previsualiser
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Les smileys sont remplacés par leur image à l'affichage des messages.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
?>
