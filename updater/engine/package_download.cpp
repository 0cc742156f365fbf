// The download phase: every package file from the official site into the local mirror
// "misesAJour/<package>/", under its server name (".velmo" read as ".php"), each checked
// against the digest and the size the signed description gives before anything is sent. A
// server whose certificate does not hold stops the installation before anything is sent.
#include <algorithm>

#include "platform/fs.h"
#include "settings/error_journal.h"
#include "suite/messages.h"
#include "updater/engine/apply_steps.h"
#include "updater/engine/signature.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_files.h"

namespace velmo::updater {

std::string ApplyRun::localCopy(const std::string& packagePath) const {
    return workFolder + packageFolder + "/" + toServerName(packagePath);
}

void ApplyRun::markFailed(std::size_t row) {
    if (!fileOk[row]) return;
    fileOk[row] = false;
    failedFiles.push_back(localCopy(description.files[row]));
}

namespace {

constexpr std::int64_t errorPageRoom = 64 * 1024;

// The file `row` is not the one published: its row says so, the user and the journal are
// told why, and the copy leaves the mirror (no later step may find it there).
bool refuseFile(ApplyRun& run, std::size_t row, const std::string& name) {
    run.reporter.fileStateChanged(static_cast<int>(row), FileState::Tampered);
    fs::removeFile(run.localCopy(run.description.files[row]));
    const std::string reason = texts::fileNotMatching(name);
    writeErrorJournal({texts::unverifiedJournalLine(reason)}, run.settings, updaterJournalPath);
    run.reporter.setActionStatus(texts::noAction);
    run.reporter.message({suite::titles::attentionCaps, texts::updateNotVerified(reason), suite::NoticeKind::Error});
    return false;
}

// A package file whose server could not prove to be the official site: nothing of the
// update is sent (the uploads come after every download), the user and the journal are
// told why.
bool refuseUnverifiedSite(ApplyRun& run, std::size_t row, const std::string& name, const std::string& url,
                          const http::DownloadResult& got) {
    run.reporter.fileStateChanged(static_cast<int>(row), FileState::Failed);
    writeErrorJournal({secureConnectionJournalLine(url, got)}, run.settings, updaterJournalPath);
    run.reporter.setActionStatus(texts::noAction);
    run.reporter.message({suite::titles::attentionCaps, officialFileFailureText(name, got), suite::NoticeKind::Error});
    return false;
}

}  // namespace

bool downloadPackageFiles(ApplyRun& run) {
    const std::string mirror = workFolder + run.packageFolder;
    for (std::size_t row = 0; row < run.description.files.size(); ++row) {
        if (run.mustStop()) return true;  // closing, or out of time: the rows left count at the end
        const std::string& path = run.description.files[row];
        const FileDigest& expected = run.description.digests[row];
        // The folders the file lives in, one level after the other (paths were checked:
        // every part is a plain name, so all of this stays inside the mirror).
        std::string folder = mirror;
        for (const std::string& part : folderParts(toServerName(path))) {
            folder += "/" + part;
            fs::makeFolder(folder);
        }
        const std::string name = toServerName(lastPart(path));
        // Hardly more than the published size is taken from the site: the room left above
        // it is for an error page (a 404's body), whose status the bound is checked before.
        http::DownloadLimits limits = run.site.limits;
        limits.response.maxBodyBytes = std::min(limits.response.maxBodyBytes, std::max(expected.size, errorPageRoom));
        const std::string url = run.site.fileUrl(run.packageFolder + "/" + path);
        const http::DownloadResult got = http::downloadFile(url, run.localCopy(path), limits);
        if (!got.ok() && got.error == http::DownloadError::Malformed && got.parseError == http::ParseError::BodyTooLarge)
            return refuseFile(run, row, name);
        if (got.error == http::DownloadError::CertificateRejected) return refuseUnverifiedSite(run, row, name, url, got);
        if (!got.ok()) {
            // The row keeps "A mettre à jour.": nothing newer is in the mirror.
            run.markFailed(row);
            continue;
        }
        FileDigest received;
        if (!digestOfFile(run.localCopy(path), received) || received.size != expected.size ||
            received.sha256 != expected.sha256)
            return refuseFile(run, row, name);
        run.reporter.setActionStatus("Réception en local : " + name);
        run.reporter.fileStateChanged(static_cast<int>(row), FileState::Received);
    }
    return true;
}

}  // namespace velmo::updater
