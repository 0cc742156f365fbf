<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : index
// Les couleurs et les images viennent du skin choisi dans l'administration.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'oui';
$parametre_2 = 'fr';
?>
