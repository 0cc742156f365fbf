<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin sauvegarde
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
$parametre_1 = 'fr';
?>
