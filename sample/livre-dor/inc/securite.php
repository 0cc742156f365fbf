<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : securite
// Les adresses électroniques sont masquées pour les robots.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
// Les adresses électroniques sont masquées pour les robots.
// La page d'administration demande le mot de passe choisi à l'installation.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
$parametre_1 = 'oui';
$parametre_2 = 'oui';
$parametre_3 = 'oui';
?>
