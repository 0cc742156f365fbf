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

// What the FTP tools say instead, under the same title and icon, when the connection failed
// because of its encryption: the user's name and password were not sent in any of them.
// The server used to accept an encrypted connection and now refuses it: another machine
// may be answering in its place.
inline constexpr const char* tlsDowngradeText =
    "Connexion interrompue par sécurité.\r\n\r\n"
    "Ce serveur acceptait jusqu'ici une connexion chiffrée, et il la refuse maintenant : "
    "un autre serveur se fait peut-être passer pour le vôtre.\r\n\r\n"
    "Rien n'a été envoyé, ni votre identifiant ni votre mot de passe.\r\n\r\n"
    "Vérifiez auprès de votre hébergeur avant de vous reconnecter.";
// The server offered encryption but the encrypted connection could not be set up.
inline constexpr const char* tlsFailedText =
    "Impossible d'établir la connexion chiffrée.\r\n\r\n"
    "Le serveur propose le chiffrement, mais la connexion chiffrée n'a pas pu être mise en place.\r\n\r\n"
    "Rien n'a été envoyé, ni votre identifiant ni votre mot de passe.\r\n\r\n"
    "Tentez à nouveau de vous reconnecter.";
// The user answered No to the question about the server's certificate.
inline constexpr const char* certificateRefusedText =
    "Connexion abandonnée.\r\n\r\n"
    "Vous n'avez pas fait confiance au certificat du serveur.\r\n\r\n"
    "Rien n'a été envoyé, ni votre identifiant ni votre mot de passe.";

}  // namespace velmo::suite
