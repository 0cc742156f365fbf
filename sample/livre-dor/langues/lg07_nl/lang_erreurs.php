<?php
// Velmo, livre d'or - fichier d'exemple.
// Rôle : lang erreurs
// Ce fichier remplace celui du livre d'or pour les essais de l'installeur.
// Les couleurs et les images viennent du skin choisi dans l'administration.
$parametre_1 = '12';
?>
