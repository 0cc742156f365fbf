#include "suite/messages.h"
#include "updater/engine/official_site.h"

#include <algorithm>

#include "http/url.h"
#include "platform/fs.h"
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
        case E::TooManyRedirects: return OfficialFileFailure::Elsewhere;
        case E::NotHttp:
            // Only a redirect can lead out of plain HTTP: the base address is http://.
            return r.redirects > 0 ? OfficialFileFailure::Elsewhere : OfficialFileFailure::Unreachable;
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

bool fetchOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                       UpdaterReporter& reporter) {
    const http::DownloadResult r =
        http::downloadFile(site.fileUrl(subPath + name), workFolder + subPath + name, site.limitsFor(name));
    if (r.ok()) return true;
    reporter.fatal({titles::warning, officialFileFailureText(name, r), suite::NoticeKind::Error});
    return false;
}

SignedFetch fetchSignedOfficialFile(const OfficialSite& site, const std::string& name, const std::string& subPath,
                                    UpdaterReporter& reporter, std::string& reason, const std::atomic<bool>* stop) {
    if (!fetchOfficialFile(site, name, subPath, reporter) || (stop && *stop)) return SignedFetch::Failed;
    const std::string local = workFolder + subPath + name;
    const std::string sigName = name + signatureSuffix;
    const http::DownloadResult r =
        http::downloadFile(site.fileUrl(subPath + sigName), workFolder + subPath + sigName, site.limitsFor(sigName));
    if (!r.ok() && classifyFailure(r) != OfficialFileFailure::Absent) {
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
