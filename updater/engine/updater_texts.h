// The updater's own message and status texts (CP1252 once compiled), in one place.
#pragma once
#include <cstddef>
#include <string>

namespace velmo::updater::texts {

// File list statuses.
inline constexpr const char* rowToUpdate = "A mettre à jour.";
inline constexpr const char* rowReceived = "Réceptionné.";
inline constexpr const char* rowSent = "Transféré.";
// A file whose download or upload failed.
inline constexpr const char* rowFailed = "Non transféré.";
// A file that does not match its digest in the signed description: never sent.
inline constexpr const char* rowTampered = "Altéré, non envoyé.";

// "Actions en cours" line.
inline constexpr const char* noAction = "Aucune action en cours.";
inline constexpr const char* finished = "Opérations terminées.";

inline constexpr const char* upToDate = "Votre version est à jour.";
inline constexpr const char* notUpToDate = "Votre version n'est pas à jour.";
// The announcement lines of the description area.
inline constexpr const char* noUpdate = "Aucune mise à jour de disponible.";
inline constexpr const char* updateAvailable = "Une mise à jour est disponible.";

inline constexpr const char* obsoleteUpdater =
    "Cette version de Velmo, Maj est obsolète, veuillez récupérer une version plus récente sur le site officiel.";
inline constexpr const char* passwordMissing = "Vous avez oublié de remplir le champ du mot de passe.";

std::string officialFileMissing(const std::string& name);
std::string cannotOpen(const std::string& name);
std::string cannotReadDescription(const char* code);  // "CD", "UFVF"
std::string unsafeDescriptionPath(const std::string& value);
std::string guestbookFolderMissing(const std::string& folder);
std::string updateDone();
// What failed, when something did: files not sent, permissions not applied, and whether
// the installation ran out of time. With files only it reads as it always did.
std::string updateIncomplete(std::size_t failedFiles, std::size_t failedChmods, bool outOfTime,
                             const std::string& journalPath);
std::string updateIncomplete(std::size_t failedFiles, const std::string& journalPath);
// An update that could not be verified (signature, digests, version): nothing is installed.
// `reason` is one of the texts below; the journal gets unverifiedJournalLine(reason).
std::string updateNotVerified(const std::string& reason);
std::string unverifiedJournalLine(const std::string& reason);
std::string signatureMissing(const std::string& name);
std::string signatureWrong(const std::string& name);
std::string digestsMissing(const std::string& name);
std::string otherVersion(const std::string& name, const std::string& described, const std::string& offered);
std::string fileNotMatching(const std::string& name);
// The journal line of a permission that was not applied (the path as sent).
std::string chmodNotApplied(const std::string& path);
// Closing the window during an installation asks first (Yes: stop after the current file).
inline constexpr const char* closeDuringInstallation =
    "Une mise à jour est en cours d'installation.\r\n\r\n"
    "Voulez-vous l'interrompre et fermer le programme ? Le fichier en cours d'envoi sera terminé, "
    "puis l'installation s'arrêtera sans enregistrer la nouvelle version.";
// The "Actions en cours" line while the running check or installation stops.
inline constexpr const char* stopping = "Arrêt en cours, veuillez patienter.";
// Check-tab lock messages.
inline constexpr const char* checkFirst = "Vous devez d'abord vérifier l'existence de mises à jour.";
inline constexpr const char* nothingToInstall = "Il n'y a pas de mises à jour.";

}  // namespace velmo::updater::texts
