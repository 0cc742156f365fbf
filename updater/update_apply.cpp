#include "suite/messages.h"
#include "updater/update_apply.h"

#include "ftp/ftp_session.h"
#include "platform/clock.h"
#include "platform/text_codec.h"
#include "settings/error_journal.h"
#include "updater/apply_steps.h"
#include "updater/updater_texts.h"
#include "updater/version_files.h"

namespace velmo::updater {

namespace titles = suite::titles;
namespace {

ConnectionSettings trimmedForm(const ConnectionSettings& form) {
    ConnectionSettings s = form;
    s.serverAddress = text::trimBlanks(s.serverAddress);
    s.userId = text::trimBlanks(s.userId);
    s.password = text::trimBlanks(s.password);
    s.guestbookFolder = text::trimBlanks(s.guestbookFolder);
    return s;
}

// The login directory and the folder joined by one "/" (none added after a final "/").
std::string joinServerPath(const std::string& directory, const std::string& folder) {
    if (!directory.empty() && directory.back() == '/') return directory + folder;
    return directory + "/" + folder;
}

// Reads and checks the mirrored description; false (message given) when unusable.
bool loadDescription(ApplyRun& run) {
    const std::string path = workFolder + run.packageFolder + "/" + descriptionFileName;
    if (run.packageFolder.empty() || !readUpdateDescription(path, run.description)) {
        run.reporter.message(titles::warningCaps, texts::cannotReadDescription("CD"), BoxIcon::None);
        return false;
    }
    std::string unsafe;
    if (findUnsafePath(run.description, unsafe)) {
        run.reporter.message(titles::attentionCaps, texts::unsafeDescriptionPath(unsafe), BoxIcon::Error);
        return false;
    }
    run.fileOk.assign(run.description.files.size(), true);
    return true;
}

// Opens the session and enters the guestbook folder; false (message given, `failure`
// set) otherwise.
bool openGuestbookFolder(ApplyRun& run, ApplyOutcome& failure) {
    const ConnectionSettings& s = run.settings;
    run.reporter.setActionStatus("Création de dossier en cours de préparation.");
    if (!ftp::open(updaterSession, {s.serverAddress, s.userId, s.password, s.passiveFlag == 1, s.port})) {
        run.reporter.setActionStatus(texts::noAction);
        run.reporter.message(titles::warning, suite::connectionErrorText, BoxIcon::Warning);
        failure = ApplyOutcome::ConnectionFailed;
        return false;
    }
    run.startDirectory = ftp::currentDirectory(updaterSession);
    run.guestbookPath = joinServerPath(run.startDirectory, s.guestbookFolder);
    if (!ftp::changeDirectory(updaterSession, s.guestbookFolder)) {
        ftp::close(updaterSession);
        run.reporter.setActionStatus(texts::noAction);
        run.reporter.message(titles::information, texts::guestbookFolderMissing(s.guestbookFolder), BoxIcon::Information);
        failure = ApplyOutcome::FolderMissing;
        return false;
    }
    return true;
}

}  // namespace

ApplyOutcome applyUpdate(UpdaterState& state, const OfficialSite& site, const ConnectionSettings& form,
                         UpdaterReporter& reporter) {
    ApplyRun run{site, reporter, trimmedForm(form), state.packageFolder(), {}, {}, {}, {}, {}, {}, {}, &state,
                 RunDeadline(state.applyLimitMs)};
    if (saveConnectionSettings(Tool::Updater, run.settings).outcome == SettingsSave::Outcome::Busy)
        reporter.message(titles::attention, settingsBusyText, BoxIcon::Warning);
    if (run.settings.password.empty()) {
        reporter.message(titles::information, texts::passwordMissing, BoxIcon::Information);
        return ApplyOutcome::PasswordMissing;
    }
    if (!loadDescription(run)) return ApplyOutcome::Refused;
    run.sent.assign(run.description.files.size(), false);

    reporter.setActionStatus("Téléchargement en cours de préparation.");
    downloadPackageFiles(run);
    if (!run.mustStop()) {
        ApplyOutcome failure = ApplyOutcome::ConnectionFailed;
        if (!openGuestbookFolder(run, failure)) return failure;
        createServerFolders(run);
        reporter.setActionStatus("Transfert en cours de préparation.");
        uploadPackageFiles(run);
        ftp::close(updaterSession);
        // Lets the server finish with the session before the control channel logs in again.
        clock::sleepMs(500);
    }
    if (run.settings.permissionFlag == 1 && !run.mustStop()) {
        reporter.setActionStatus("Chmod en cours de préparation.");
        applyPermissionList(run);
    } else if (run.settings.permissionFlag == 1 && !state.stopRequested) {
        for (std::string path : run.description.chmods) {
            if (path.back() == '/') path.pop_back();
            run.failedChmods.push_back(texts::chmodNotApplied(run.settings.guestbookFolder + "/" + path));
        }
    }

    state.applyLocked = true;
    // Closing the program: what is on the server stays, nothing is recorded about it (a
    // journal block or a version would tell of an installation that did not end).
    if (state.stopRequested) return ApplyOutcome::Stopped;
    // Out of time: the files not sent and, with "Chmod.", the permissions never reached
    // are failures like any other.
    const bool outOfTime = run.deadline.passed();
    for (std::size_t row = 0; row < run.sent.size(); ++row)
        if (!run.sent[row] && run.fileOk[row]) {
            run.markFailed(row);
            reporter.setRowStatus(static_cast<int>(row), texts::rowFailed);
        }

    const std::int32_t target = state.targetVersion;
    const bool complete = run.failedFiles.empty() && run.failedChmods.empty();
    if (complete) {
        if (writeLocalVersion(scriptVersionFile, target)) {
            reporter.showInstalledVersion(formatVersion(target));
            const bool upToDate = target == state.latestVersion;
            reporter.showVersionStatus(upToDate, upToDate ? texts::upToDate : texts::notUpToDate);
        } else {
            reporter.message(titles::information, texts::cannotOpen(scriptVersionFile.name), BoxIcon::Information);
        }
    } else {
        std::vector<std::string> lines = run.failedFiles;
        lines.insert(lines.end(), run.failedChmods.begin(), run.failedChmods.end());
        writeErrorJournal(lines, run.settings, updaterJournalPath);
    }
    reporter.clearDescription();
    reporter.setActionStatus(texts::finished);
    if (complete)
        reporter.message(titles::information, texts::updateDone(), BoxIcon::Information);
    else
        reporter.message(titles::warning,
                         texts::updateIncomplete(run.failedFiles.size(), run.failedChmods.size(), outOfTime,
                                                 updaterJournalPath),
                         BoxIcon::Warning);
    return complete ? ApplyOutcome::Installed : ApplyOutcome::Incomplete;
}

}  // namespace velmo::updater
