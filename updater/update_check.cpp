#include "suite/messages.h"
#include "updater/update_check.h"

#include "platform/fs.h"
#include "settings/preference_file.h"
#include "updater/run_deadline.h"
#include "updater/update_description.h"
#include "updater/updater_texts.h"
#include "updater/version_choice.h"
#include "updater/version_files.h"

namespace velmo::updater {

namespace titles = suite::titles;
namespace {

std::string announcement(const char* text) { return std::string(texts::announcementIndent, ' ') + text; }

// The published list in file order; false when the downloaded file cannot be opened.
bool readPublishedVersions(std::vector<PublishedVersion>& out) {
    PreferenceFile pcfg;
    if (!pcfg.open(workFolder + versionListName)) return false;
    if (pcfg.selectGroup("Grp_NumeroDeVersion_Exe_Script_SiteOfficiel") && pcfg.beginKeys())
        while (pcfg.nextKey()) out.push_back({versionNumber(pcfg.currentKeyName()), versionNumber(pcfg.currentValue())});
    pcfg.close();
    return true;
}

// Reads the offered update's description into the window. False when it is unreadable or
// refused (the message was given).
bool showDescription(const std::string& packageFolder, UpdaterReporter& reporter) {
    UpdateDescription description;
    if (!readUpdateDescription(workFolder + packageFolder + "/" + descriptionFileName, description)) {
        reporter.message(titles::attentionCaps, texts::cannotOpen(descriptionFileName), BoxIcon::Error);
        return false;
    }
    std::string unsafe;
    if (findUnsafePath(description, unsafe)) {
        reporter.message(titles::attentionCaps, texts::unsafeDescriptionPath(unsafe), BoxIcon::Error);
        return false;
    }
    for (const std::string& line : description.lines) reporter.addDescriptionLine(line);
    for (const std::string& file : description.files)
        reporter.addFileRow(toServerName(lastPart(file)), texts::rowToUpdate);
    return true;
}

// The site whose downloads wait no longer than what is left of the check.
OfficialSite within(const OfficialSite& site, const RunDeadline& deadline) {
    OfficialSite s = site;
    s.limits = deadline.cap(site.limits);
    return s;
}

}  // namespace

bool initialiseLocalVersions(UpdaterReporter& reporter) {
    ensureLocalVersionFile(updaterVersionFile);
    ensureLocalVersionFile(scriptVersionFile);
    std::int32_t installed = 0;
    if (!readLocalVersion(scriptVersionFile, installed)) {
        reporter.fatal(titles::attentionCaps, texts::cannotOpen(scriptVersionFile.name), BoxIcon::Error);
        return false;
    }
    reporter.showInstalledVersion(formatVersion(installed));
    return true;
}

CheckOutcome checkForUpdates(UpdaterState& state, const OfficialSite& site, UpdaterReporter& reporter) {
    const RunDeadline deadline(state.checkLimitMs);
    // Until this check offers an update, nothing may be installed: the rows are gone, and
    // an earlier offer's package is no longer the next version once the list says so.
    state.applyLocked = true;
    state.setPackageFolder("");
    reporter.clearDescription();
    reporter.clearFileRows();
    const bool listFetched = fetchOfficialFile(within(site, deadline), versionListName, "", reporter);
    if (state.stopRequested) return CheckOutcome::Stopped;
    if (!listFetched) return CheckOutcome::ProgramEnds;

    std::int32_t localUpdater = 0, localScript = 0;
    for (auto [file, value] : {std::pair{&updaterVersionFile, &localUpdater}, std::pair{&scriptVersionFile, &localScript}}) {
        if (!readLocalVersion(*file, *value)) {
            reporter.fatal(titles::attentionCaps, texts::cannotOpen(file->name), BoxIcon::Error);
            return CheckOutcome::ProgramEnds;
        }
    }
    std::vector<PublishedVersion> published;
    if (!readPublishedVersions(published)) {
        reporter.fatal(titles::attentionCaps, texts::cannotOpen(versionListName), BoxIcon::Error);
        return CheckOutcome::ProgramEnds;
    }
    if (published.empty()) {
        // Nothing is published (yet): nothing to offer, and no version to compare with.
        reporter.addDescriptionLine(announcement(texts::noUpdate));
        state.checkPending = false;
        return CheckOutcome::UpToDate;
    }

    const VersionChoice choice = chooseVersion(published, localScript);
    state.targetVersion = choice.target;
    state.latestVersion = choice.latest;
    reporter.showLatestVersion(formatVersion(choice.latest));
    if (choice.requiredUpdater > localUpdater) {
        reporter.fatal(titles::attentionCaps, texts::obsoleteUpdater, BoxIcon::Error);
        return CheckOutcome::ProgramEnds;
    }
    const bool upToDate = localScript == choice.latest;
    reporter.showVersionStatus(upToDate, upToDate ? texts::upToDate : texts::notUpToDate);

    if (choice.target == localScript) {
        reporter.addDescriptionLine(announcement(texts::noUpdate));
        state.checkPending = false;
        return CheckOutcome::UpToDate;
    }

    const std::string packageFolder = packageFolderName(choice.target);
    state.setPackageFolder(packageFolder);
    fs::makeFolder(workFolder + packageFolder);
    reporter.addDescriptionLine(announcement(texts::updateAvailable));
    reporter.addDescriptionLine("");
    if (state.stopRequested) return CheckOutcome::Stopped;
    const bool described = fetchOfficialFile(within(site, deadline), descriptionFileName, packageFolder + "/", reporter);
    if (state.stopRequested) return CheckOutcome::Stopped;
    if (!described) return CheckOutcome::ProgramEnds;
    state.checkPending = true;
    if (!showDescription(packageFolder, reporter)) {
        // Nothing can be installed from it: the installation tab stays closed.
        state.setPackageFolder("");
        return CheckOutcome::Refused;
    }
    state.applyLocked = false;
    return CheckOutcome::UpdateOffered;
}

}  // namespace velmo::updater
