// The locator's own wording: the help box and the boxes of the connection and the test.
#pragma once
#include <string>

namespace velmo::locator {

// The "Aide" box's text. On a Windows 7 workstation (6.1) its first line ends with a
// blank instead of a line break.
std::string helpText(bool windows7);
// True on a Windows 7 workstation.
bool runsOnWindows7();

// Both under "Information.": the first with the information icon, the second with the
// warning icon.
inline constexpr const char* folderValidText =
    "Les 2 fichiers permettant de reconnaître le dossier du livre d'or comme valide, sont bien "
    "présents.\r\n\r\nLe fichier de configuration va être généré.";
inline constexpr const char* folderNotValidText =
    "Les 2 fichiers permettant de reconnaître le dossier du livre d'or comme valide, ne sont pas "
    "présents.";
// Under "Information." with the warning icon: "Tester" with a name that is no single folder
// ("www/livre-dor", "..", nothing): the tool only looks directly below the login directory.
inline constexpr const char* notOneFolderText =
    "Le nom du dossier du livre d'or doit être celui d'un seul dossier, parmi ceux affichés "
    "dans la liste, sans \"/\" entre deux noms.\r\n\r\n"
    "Double-cliquez sur le dossier du livre d'or pour mettre son nom dans le champ "
    "\"Répertoire du livre d'or\".";

// Under "Avertissement." with the warning icon: the server's listing could not be read
// whole, so what it holds is unknown (never shown as an empty folder).
inline constexpr const char* listingFailedText =
    "Impossible de lire la liste des dossiers et des fichiers du serveur.\r\n\r\n"
    "La connexion a peut-être été interrompue.\r\n\r\n"
    "Tentez à nouveau de vous reconnecter.";
inline constexpr const char* folderListingFailedText =
    "Impossible de lire la liste des fichiers de ce dossier.\r\n\r\n"
    "Le dossier n'a donc pas pu être testé.\r\n\r\n"
    "Tentez à nouveau de le tester.";

// Under "Attention." with the warning icon, after the valid-folder box promised the file.
inline constexpr const char* settingsNotWrittenText =
    "Le fichier de configuration n'a pas pu être généré.\r\n\r\n"
    "Le dossier \"softwareDatas\" doit se trouver à côté de l'executable \"Velmo, Navigateur\".";

}  // namespace velmo::locator
