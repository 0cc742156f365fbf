#include "suite/messages.h"
#include "updater/engine/official_site.h"

#include <algorithm>

#include "http/url.h"
#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "settings/error_journal.h"
#include "updater/engine/signature.h"
#include "updater/engine/update_description.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_files.h"

namespace velmo::updater {

namespace titles = suite::titles;

std::string OfficialSite::fileUrl(const std::string& relativePath) const {
    return baseUrl + http::encodePath(relativePath);
}

http::DownloadLimits OfficialSite::limitsFor(const std::string& name) const {
    http::DownloadLimits l = limits;
    auto bound = [&l](std::int64_t bytes, std::int64_t lines) {
        l.response.maxBodyBytes = std::min(l.response.maxBodyBytes, bytes);
        l.maxBodyLines = l.maxBodyLines < 0 ? lines : std::min(l.maxBodyLines, lines);
    };
    if (name == versionListName) bound(versionListMaxBytes, versionListMaxLines);
    else if (name == descriptionFileName) bound(descriptionMaxBytes, descriptionMaxLines);
    else if (name.size() > 4 && name.compare(name.size() - 4, 4, signatureSuffix) == 0) bound(signatureMaxBytes, 4);
    return l;
}

std::string packageFolderName(std::int32_t version) { return "maj_" + std::to_string(version); }

OfficialFileFailure classifyFailure(const http::DownloadResult& r) {
    using E = http::DownloadError;
    switch (r.error) {
        case E::HttpStatus: return r.status == 404 ? OfficialFileFailure::Absent : OfficialFileFailure::Refused;
        case E::TooSlow:
        case E::Stalled: return OfficialFileFailure::TooSlow;
        case E::Malformed:
            return r.parseError == http::ParseError::BodyTooLarge ? OfficialFileFailure::TooLarge
                                                                   : OfficialFileFailure::Unreachable;
        case E::TooManyLines: return OfficialFileFailure::TooLarge;
        case E::RedirectElsewhere:
        case E::RedirectDowngrade:
        case E::TooManyRedirects: return OfficialFileFailure::Elsewhere;
        case E::NotHttp:
            // Only a redirect can lead out of HTTP: the base address is http:// or https://.
            return r.redirects > 0 ? OfficialFileFailure::Elsewhere : OfficialFileFailure::Unreachable;
        case E::CertificateRejected: return OfficialFileFailure::NotVerified;
        case E::TlsFailed: return OfficialFileFailure::SecureConnectionFailed;
        case E::Aborted: return OfficialFileFailure::Interrupted;
        case E::CannotWrite: return OfficialFileFailure::NotStored;
        case E::None:
        case E::BadUrl:
        case E::ConnectFailed:
        case E::ConnectTimedOut:
        case E::SendFailed:
        case E::NoAnswer:
        case E::RedirectWithoutLocation: break;
    }
    return OfficialFileFailure::Unreachable;
}

std::string officialFileFailureText(const std::string& name, const http::DownloadResult& result) {
    const std::string file = "Le fichier : \"" + name + "\" se trouvant sur le site officiel ";
    const std::string tellWebmaster =
        "Contactez le webmaster du site pour lui signaler, sinon vous ne pourrez plus faire de mise à jour.\r\n";
    const std::string tryLater = "Tentez à nouveau de vérifier les mises à jour plus tard.\r\n";
    switch (classifyFailure(result)) {
        case OfficialFileFailure::Absent: return texts::officialFileMissing(name);
        case OfficialFileFailure::Unreachable:
            return file + "n'a pas pu être téléchargé.\r\n\r\n"
                          "Vérifiez votre connexion à internet et que votre pare-feu laisse passer Velmo, Maj.\r\n" +
                   tryLater + "[Distant - Erreur : TFNPT]";
        case OfficialFileFailure::TooSlow:
            return file + "n'a pas pu être téléchargé : le site officiel répond trop lentement.\r\n\r\n" + tryLater +
                   "[Distant - Erreur : TFTL]";
        case OfficialFileFailure::Refused:
            return file + "a été refusé par le site officiel (réponse " + std::to_string(result.status) + ").\r\n\r\n" +
                   tellWebmaster + "[Distant - Erreur : TFREF]";
        case OfficialFileFailure::TooLarge:
            return file + "est trop volumineux pour être un fichier de mise à jour.\r\n\r\n" + tellWebmaster +
                   "[Distant - Erreur : TFTV]";
        case OfficialFileFailure::Elsewhere:
            return file + "est redirigé vers une autre adresse, qui n'a pas été suivie.\r\n\r\n" + tellWebmaster +
                   "[Distant - Erreur : TFRED]";
        case OfficialFileFailure::NotVerified:
            return file + "n'a pas été téléchargé : l'identité du site officiel n'a pas pu être vérifiée "
                          "(son certificat de sécurité n'est pas valable).\r\n\r\n"
                          "Rien n'a été installé. Vérifiez que la date et l'heure de votre ordinateur sont justes, "
                          "puis tentez à nouveau de vérifier les mises à jour plus tard ; si cela se répète, "
                          "contactez le webmaster du site officiel.\r\n"
                          "[Distant - Erreur : TFCERT]";
        case OfficialFileFailure::SecureConnectionFailed:
            return file + "n'a pas pu être téléchargé : la connexion sécurisée avec le site officiel n'a pas pu "
                          "être établie.\r\n\r\n" +
                   tryLater + "[Distant - Erreur : TFTLS]";
        case OfficialFileFailure::Interrupted:
            return "Le téléchargement du fichier : \"" + name + "\" a été interrompu.";
        case OfficialFileFailure::NotStored:
            return "Le fichier : \"" + name + "\" a été reçu du site officiel, mais n'a pas pu être enregistré dans le "
                   "dossier \"misesAJour\".\r\n\r\n"
                   "Vérifiez que ce dossier existe et qu'il n'est pas en lecture seule.\r\n"
                   "[Local - Erreur : TFNE]";
    }
    return texts::officialFileMissing(name);
}

std::string secureConnectionJournalLine(const std::string& url, const http::DownloadResult& result) {
    const char* what = result.error == http::DownloadError::CertificateRejected ? "Certificat du site officiel refusé"
                                                                               : "Connexion sécurisée impossible";
    std::string line =
        std::string(what) + " : " + (result.finalUrl.empty() ? url : result.finalUrl) + " : " + result.tlsDetail;
    // The names in a certificate are the server's choice: one line of the journal, and
    // a short one, whatever they hold.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    if (line.size() > 600) line.resize(600);
    return line;
}

namespace {

void journalSecureFailure(const std::string& url, const http::DownloadResult& r) {
    if (r.error == http::DownloadError::CertificateRejected || r.error == http::DownloadError::TlsFailed)
        writeErrorJournal({secureConnectionJournalLine(url, r)}, loadConnectionSettings(Tool::Updater).settings,
                          updaterJournalPath);
}

}  // namespace

bool fetchOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                       UpdaterReporter& reporter) {
    const std::string url = site.fileUrl(subPath + name);
    const http::DownloadResult r = http::downloadFile(url, workFolder + subPath + name, site.limitsFor(name));
    if (r.ok()) return true;
    journalSecureFailure(url, r);
    reporter.fatal({titles::warning, officialFileFailureText(name, r), suite::NoticeKind::Error});
    return false;
}

SignedFetch fetchSignedOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                                    UpdaterReporter& reporter, std::string& reason, const std::atomic<bool>* stop) {
    if (!fetchOfficialFile(site, name, subPath, reporter) || (stop && *stop)) return SignedFetch::Failed;
    const std::string local = workFolder + subPath + name;
    const std::string sigName = name + signatureSuffix;
    const std::string sigUrl = site.fileUrl(subPath + sigName);
    const http::DownloadResult r = http::downloadFile(sigUrl, workFolder + subPath + sigName, site.limitsFor(sigName));
    if (!r.ok() && classifyFailure(r) != OfficialFileFailure::Absent) {
        journalSecureFailure(sigUrl, r);
        reporter.fatal({titles::warning, officialFileFailureText(sigName, r), suite::NoticeKind::Error});
        return SignedFetch::Failed;
    }
    std::string bytes, signature;
    bool verified = false;
    if (!r.ok()) reason = texts::signatureMissing(name);
    else if (fs::readWholeFile(local, bytes) && fs::readWholeFile(workFolder + subPath + sigName, signature))
        verified = verifySignature(site.publicKey, subPath + name, bytes, signature);
    if (verified) return SignedFetch::Verified;
    if (r.ok()) reason = texts::signatureWrong(name);
    // Nothing may ever read what could not be verified.
    fs::removeFile(local);
    return SignedFetch::Unverified;
}

}  // namespace velmo::updater
