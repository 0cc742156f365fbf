#include "suite/messages.h"
#include "updater/engine/update_check.h"

#include <optional>

#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "settings/error_journal.h"
#include "settings/preference_file.h"
#include "updater/engine/run_deadline.h"
#include "updater/engine/update_description.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_choice.h"
#include "updater/engine/version_files.h"

namespace velmo::updater {

namespace titles = suite::titles;
namespace {

// The published list in file order; false when the downloaded file cannot be opened.
bool readPublishedVersions(std::vector<PublishedVersion>& out) {
    PreferenceFile pcfg;
    if (!pcfg.open(workFolder + versionListName)) return false;
    if (pcfg.selectGroup("Grp_NumeroDeVersion_Exe_Script_SiteOfficiel") && pcfg.beginKeys())
        while (pcfg.nextKey()) out.push_back({versionNumber(pcfg.currentKeyName()), versionNumber(pcfg.currentValue())});
    pcfg.close();
    return true;
}

// The local versions and the published list, once the list is in the mirror.
struct KnownVersions {
    std::int32_t localUpdater = 0, localScript = 0;
    std::vector<PublishedVersion> published;
};

// False when a file cannot be opened (the fatal box was given).
bool readKnownVersions(KnownVersions& out, UpdaterReporter& reporter) {
    for (auto [file, value] : {std::pair{&updaterVersionFile, &out.localUpdater}, std::pair{&scriptVersionFile, &out.localScript}}) {
        if (!readLocalVersion(*file, *value)) {
            reporter.fatal({titles::attentionCaps, texts::cannotOpen(file->name), suite::NoticeKind::Error});
            return false;
        }
    }
    if (!readPublishedVersions(out.published)) {
        reporter.fatal({titles::attentionCaps, texts::cannotOpen(versionListName), suite::NoticeKind::Error});
        return false;
    }
    return true;
}

// An update that could not be verified: the box, and the journal says why (with the
// connection values as saved, like every block of the updater's journal).
CheckOutcome refuseUnverified(const std::string& reason, UpdaterReporter& reporter) {
    writeErrorJournal({texts::unverifiedJournalLine(reason)}, loadConnectionSettings(Tool::Updater).settings,
                      updaterJournalPath);
    reporter.message({titles::attentionCaps, texts::updateNotVerified(reason), suite::NoticeKind::Error});
    return CheckOutcome::Refused;
}

// The mirrored description of the offered update, read and checked: the one reading the
// installation will work from. None when it is unreadable or refused (the box was given).
std::optional<UpdateDescription> checkedDescription(const std::string& packageFolder, std::int32_t offered,
                                                    UpdaterReporter& reporter) {
    UpdateDescription description;
    if (!readUpdateDescription(workFolder + packageFolder + "/" + descriptionFileName, description)) {
        reporter.message({titles::attentionCaps, texts::cannotOpen(descriptionFileName), suite::NoticeKind::Error});
        return std::nullopt;
    }
    std::string unsafe;
    if (findUnsafePath(description, unsafe)) {
        reporter.message({titles::attentionCaps, texts::unsafeDescriptionPath(unsafe), suite::NoticeKind::Error});
        return std::nullopt;
    }
    switch (findDescriptionFault(description, offered)) {
        case DescriptionFault::None: return description;
        case DescriptionFault::NoDigests: refuseUnverified(texts::digestsMissing(descriptionFileName), reporter); break;
        case DescriptionFault::OtherVersion:
            refuseUnverified(texts::otherVersion(descriptionFileName, formatVersion(description.version),
                                                 formatVersion(offered)),
                             reporter);
            break;
    }
    return std::nullopt;
}

// The site whose downloads wait no longer than what is left of the check.
OfficialSite within(const OfficialSite& site, const RunDeadline& deadline) {
    OfficialSite s = site;
    s.limits = deadline.cap(site.limits);
    return s;
}

CheckOutcome nothingToOffer(UpdaterState& state, UpdaterReporter& reporter) {
    reporter.announce(Announcement::NoUpdate);
    state.checkPending = false;
    return CheckOutcome::UpToDate;
}

// The chosen update's description fetched, checked and shown; the installation tab opens
// on it.
CheckOutcome offerUpdate(UpdaterState& state, const OfficialSite& site, const RunDeadline& deadline,
                         const VersionChoice& choice, UpdaterReporter& reporter) {
    const std::string packageFolder = packageFolderName(choice.target);
    fs::makeFolder(workFolder + packageFolder);
    reporter.announce(Announcement::UpdateAvailable);
    reporter.addDescriptionLine("");
    if (state.stopRequested) return CheckOutcome::Stopped;
    std::string unverified;
    const SignedFetch described =
        fetchSignedOfficialFile(within(site, deadline), descriptionFileName, packageFolder + "/", reporter, unverified,
                                &state.stopRequested);
    if (state.stopRequested) return CheckOutcome::Stopped;
    if (described == SignedFetch::Failed) return CheckOutcome::ProgramEnds;
    state.checkPending = true;
    if (described == SignedFetch::Unverified) return refuseUnverified(unverified, reporter);
    std::optional<UpdateDescription> description = checkedDescription(packageFolder, choice.target, reporter);
    // Nothing can be installed from a refused one: the installation tab stays closed.
    if (!description) return CheckOutcome::Refused;
    for (const std::string& line : description->lines) reporter.addDescriptionLine(line);
    for (const std::string& file : description->files) reporter.addFileRow(toServerName(lastPart(file)));
    state.offer = CheckedUpdate{packageFolder, choice.target, choice.latest, std::move(*description)};
    state.applyLocked = false;
    return CheckOutcome::UpdateOffered;
}

}  // namespace

bool initialiseLocalVersions(UpdaterReporter& reporter) {
    ensureLocalVersionFile(updaterVersionFile);
    ensureLocalVersionFile(scriptVersionFile);
    std::int32_t installed = 0;
    if (!readLocalVersion(scriptVersionFile, installed)) {
        reporter.fatal({titles::attentionCaps, texts::cannotOpen(scriptVersionFile.name), suite::NoticeKind::Error});
        return false;
    }
    reporter.installedVersionKnown(installed);
    return true;
}

CheckOutcome checkForUpdates(UpdaterState& state, const OfficialSite& site, UpdaterReporter& reporter) {
    const RunDeadline deadline(state.checkLimitMs);
    // Until this check offers an update, nothing may be installed: the rows are gone, and
    // an earlier offer's package is no longer the next version once the list says so.
    state.applyLocked = true;
    state.offer.reset();
    reporter.clearDescription();
    reporter.clearFileRows();
    std::string unverified;
    const SignedFetch listFetched = fetchSignedOfficialFile(within(site, deadline), versionListName, "", reporter, unverified,
                                                            &state.stopRequested);
    if (state.stopRequested) return CheckOutcome::Stopped;
    if (listFetched == SignedFetch::Failed) return CheckOutcome::ProgramEnds;
    if (listFetched == SignedFetch::Unverified) return refuseUnverified(unverified, reporter);

    KnownVersions known;
    if (!readKnownVersions(known, reporter)) return CheckOutcome::ProgramEnds;
    // Nothing is published (yet): nothing to offer, and no version to compare with.
    if (known.published.empty()) return nothingToOffer(state, reporter);

    const VersionChoice choice = chooseVersion(known.published, known.localScript);
    reporter.latestVersionKnown(choice.latest);
    if (choice.requiredUpdater > known.localUpdater) {
        reporter.fatal({titles::attentionCaps, texts::obsoleteUpdater, suite::NoticeKind::Error});
        return CheckOutcome::ProgramEnds;
    }
    reporter.versionsCompared(known.localScript == choice.latest);
    if (choice.target == known.localScript) return nothingToOffer(state, reporter);
    return offerUpdate(state, site, deadline, choice, reporter);
}

}  // namespace velmo::updater
