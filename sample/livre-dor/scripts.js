// Velmo, livre d'or - scripts
function scripts() {
  // Son contenu n'a pas d'importance : seuls son nom et sa place comptent.
  // Les couleurs et les images viennent du skin choisi dans l'administration.
  // Les smileys sont remplacés par leur image à l'affichage des messages.
  // Les smileys sont remplacés par leur image à l'affichage des messages.
  // Les couleurs et les images viennent du skin choisi dans l'administration.
}
