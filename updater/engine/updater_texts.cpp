#include "updater/engine/updater_texts.h"

namespace velmo::updater::texts {

std::string officialFileMissing(const std::string& name) {
    return "Le fichier : \"" + name + "\" se trouvant sur le site officiel est absent.\r\n\r\n"
           "Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire de mise à jour.\r\n"
           "[Distant - Erreur : TFSALMSSO]";
}

std::string cannotOpen(const std::string& name) { return "Impossible d'ouvrir le fichier \"" + name + "\"."; }

std::string cannotReadDescription(const char* code) {
    return std::string("Impossible de lire les infos de : \"_Fichier_Maj_xxx.pcfg\". [Local - Erreur : ") + code + "]";
}

std::string unsafeDescriptionPath(const std::string& value) {
    return "La description de la mise à jour contient un chemin refusé :\r\n\"" + value + "\"\r\n\r\n"
           "Rien n'a été téléchargé ni envoyé. Contactez le webmaster du site officiel pour lui signaler.";
}

std::string guestbookFolderMissing(const std::string& folder) {
    return "Le dossier \"" + folder + "\" n'existe pas sur votre serveur.\r\n"
           "Il doit y avoir une erreur dans le fichier de configuration à propos du nom du répertoire de "
           "destination du livre d'or.";
}

std::string updateDone() {
    return "La mise à jour à été effectuée.\r\n\r\n"
           "Retournez sur l'onglet \"Vérifier les mises à jour\" pour voir s'il n'y a pas d'autres mises à jour "
           "de disponible.";
}

std::string updateIncomplete(std::size_t failedFiles, std::size_t failedChmods, bool outOfTime,
                             const std::string& journalPath) {
    std::string what;
    if (failedFiles > 0) what = std::to_string(failedFiles) + " fichier(s) n'ont pas pu être transférés";
    if (failedChmods > 0) {
        if (!what.empty()) what += ", ";
        what += std::to_string(failedChmods) + " Chmod n'ont pas pu être appliqués";
    }
    return (outOfTime ? "L'installation a duré trop longtemps, elle a été arrêtée.\r\n" : "") +
           std::string("La mise à jour n'a pas été effectuée entièrement : ") + what + ".\r\n"
           "La liste se trouve dans le fichier \"" + journalPath + "\".\r\n\r\n"
           "Votre version n'a pas été changée. Retournez sur l'onglet \"Vérifier les mises à jour\" pour "
           "recommencer la mise à jour.";
}

std::string updateIncomplete(std::size_t failedFiles, const std::string& journalPath) {
    return updateIncomplete(failedFiles, 0, false, journalPath);
}

std::string updateNotVerified(const std::string& reason) {
    return "La mise à jour n'a pas pu être vérifiée : " + reason + "\r\n\r\n"
           "Elle ne vient peut-être pas du site officiel, ou elle a été modifiée en chemin. Rien n'a été envoyé "
           "sur votre serveur et votre version n'a pas été changée.\r\n"
           "Tentez à nouveau de vérifier les mises à jour plus tard ; si cela se répète, contactez le webmaster "
           "du site officiel.\r\n"
           "[Distant - Erreur : MAJNV]";
}

std::string unverifiedJournalLine(const std::string& reason) { return "Mise à jour non vérifiée : " + reason; }

std::string signatureMissing(const std::string& name) {
    return "la signature du fichier \"" + name + "\" est absente du site officiel.";
}

std::string signatureWrong(const std::string& name) {
    return "la signature du fichier \"" + name + "\" ne correspond pas.";
}

std::string digestsMissing(const std::string& name) {
    return "le fichier \"" + name + "\" ne donne pas l'empreinte de chacun des fichiers.";
}

std::string otherVersion(const std::string& name, const std::string& described, const std::string& offered) {
    return "le fichier \"" + name + "\" décrit la version " + described + " et non la version " + offered + ".";
}

std::string fileNotMatching(const std::string& name) {
    return "le fichier \"" + name + "\" reçu ne correspond pas à son empreinte.";
}

std::string chmodNotApplied(const std::string& path) { return "CHMOD 777 non appliqué : " + path; }

}  // namespace velmo::updater::texts
