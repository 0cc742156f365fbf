<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'fr';
$parametre_2 = 'fr';
?>
