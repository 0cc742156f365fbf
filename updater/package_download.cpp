// The download phase: every package file from the official site into the local mirror
// "misesAJour/<package>/", under its server name (".velmo" read as ".php").
#include "platform/fs.h"
#include "updater/apply_steps.h"
#include "updater/updater_texts.h"
#include "updater/version_files.h"

namespace velmo::updater {

std::string ApplyRun::localCopy(const std::string& packagePath) const {
    return workFolder + packageFolder + "/" + toServerName(packagePath);
}

void ApplyRun::markFailed(std::size_t row) {
    if (!fileOk[row]) return;
    fileOk[row] = false;
    failedFiles.push_back(localCopy(description.files[row]));
}

void downloadPackageFiles(ApplyRun& run) {
    const std::string mirror = workFolder + run.packageFolder;
    for (std::size_t row = 0; row < run.description.files.size(); ++row) {
        if (run.mustStop()) return;  // closing, or out of time: the rows left count at the end
        const std::string& path = run.description.files[row];
        // The folders the file lives in, one level after the other (paths were checked:
        // every part is a plain name, so all of this stays inside the mirror).
        std::string folder = mirror;
        for (const std::string& part : folderParts(toServerName(path))) {
            folder += "/" + part;
            fs::makeFolder(folder);
        }
        const std::string name = toServerName(lastPart(path));
        const http::DownloadResult got = http::downloadFile(
            run.site.fileUrl(run.packageFolder + "/" + path), run.localCopy(path), run.site.limits);
        if (!got.ok()) {
            // The row keeps "A mettre à jour.": nothing newer is in the mirror.
            run.markFailed(row);
            continue;
        }
        run.reporter.setActionStatus("Réception en local : " + name);
        run.reporter.fileStateChanged(static_cast<int>(row), FileState::Received);
    }
}

}  // namespace velmo::updater
