// The titles of the suite's message boxes and the texts more than one program shows.
// Header only, includes nothing: every layer may use it. The literals are compiled to
// Windows-1252 like every other text of the programs.
#pragma once

namespace velmo::suite {

namespace titles {
inline constexpr const char* information = "Information.";
inline constexpr const char* attention = "Attention.";
inline constexpr const char* attentionPlain = "Attention";  // errors of the backup and update tools
inline constexpr const char* attentionCaps = "ATTENTION.";
inline constexpr const char* warning = "Avertissement.";
inline constexpr const char* warningCaps = "AVERTISSEMENT.";
inline constexpr const char* transferStatus = "Statut transfert.";
inline constexpr const char* chmodStatus = "Statut Chmod.";
inline constexpr const char* linkGenerated = "Lien généré.";
inline constexpr const char* existingFolder = "Dossier existant.";
inline constexpr const char* help = "Aide";
}  // namespace titles

// What every FTP tool says, under titles::warning with the warning icon, when it cannot
// connect or log in.
inline constexpr const char* connectionErrorText =
    "Impossible de se connecter.\r\n\r\n"
    "Raisons possibles :\r\n"
    " > Vos identifiants de connexion ne sont pas bon.\r\n"
    " > Votre pare-feu empêche la connexion.\r\n\r\n"
    "Tentez à nouveau de vous reconnecter.";

}  // namespace velmo::suite
