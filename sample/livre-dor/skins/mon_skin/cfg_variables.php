<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : cfg variables
// Les messages des visiteurs sont rangés du plus récent au plus ancien.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// La page d'administration demande le mot de passe choisi à l'installation.
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Un visiteur ne peut pas signer deux fois de suite en moins d'une minute.
$parametre_1 = 'oui';
?>
