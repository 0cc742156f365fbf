<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang install
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
// Les smileys sont remplacés par leur image à l'affichage des messages.
// La page d'administration demande le mot de passe choisi à l'installation.
$parametre_1 = 'defaut';
$parametre_2 = 'fr';
$parametre_3 = 'fr';
$parametre_4 = 'defaut';
$parametre_5 = 'oui';
?>
