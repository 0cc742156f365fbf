<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : admin smileys
// La page d'administration demande le mot de passe choisi à l'installation.
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'defaut';
$parametre_2 = 'non';
$parametre_3 = 'oui';
$parametre_4 = 'fr';
$parametre_5 = 'oui';
?>
