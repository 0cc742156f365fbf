#include "updater/engine/update_apply.h"

#include "ftp/ftp_session.h"
#include "ftp/settings_account.h"
#include "suite/file_names.h"
#include "platform/clock.h"
#include "platform/text_codec.h"
#include "settings/error_journal.h"
#include "suite/messages.h"
#include "trust/tool_connection.h"
#include "updater/engine/apply_steps.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_files.h"

namespace velmo::updater {

namespace titles = suite::titles;

bool UpdaterReporter::ask(const suite::Notice&) { return false; }

namespace {

ConnectionSettings trimmedForm(const ConnectionSettings& form) {
    ConnectionSettings s = form;
    s.serverAddress = text::trimBlanks(s.serverAddress);
    s.userId = text::trimBlanks(s.userId);
    s.password = text::trimBlanks(s.password);
    s.guestbookFolder = text::trimBlanks(s.guestbookFolder);
    return s;
}

// Opens the session and enters the guestbook folder; false (message given, `failure`
// set) otherwise.
bool openGuestbookFolder(ApplyRun& run, ApplyOutcome& failure) {
    const ConnectionSettings& s = run.settings;
    run.reporter.setActionStatus("Création de dossier en cours de préparation.");
    if (const ftp::Result opened = run.session.open(run.account); !opened) {
        run.reporter.setActionStatus(texts::noAction);
        run.reporter.message(connectionFailureNotice(opened.failure));
        failure = ApplyOutcome::ConnectionFailed;
        return false;
    }
    run.startDirectory = run.session.currentDirectory();
    run.guestbookPath = suite::joinServerPath(run.startDirectory, s.guestbookFolder);
    if (!run.session.changeDirectory(s.guestbookFolder)) {
        run.session.close();
        run.reporter.setActionStatus(texts::noAction);
        run.reporter.message(
            {titles::information, texts::guestbookFolderMissing(s.guestbookFolder), suite::NoticeKind::Information});
        failure = ApplyOutcome::FolderMissing;
        return false;
    }
    return true;
}

// The download, server and permission phases, each only while the run may go on. False
// (`failure` set, the box given) when the guestbook folder could not be reached.
bool runPhases(ApplyRun& run, ApplyOutcome& failure) {
    run.reporter.setActionStatus("Téléchargement en cours de préparation.");
    if (!downloadPackageFiles(run)) {
        failure = ApplyOutcome::Unverified;
        return false;
    }
    if (!run.mustStop()) {
        if (!openGuestbookFolder(run, failure)) return false;
        createServerFolders(run);
        run.reporter.setActionStatus("Transfert en cours de préparation.");
        uploadPackageFiles(run);
        run.session.close();
        // Lets the server finish with the session before the control channel logs in again.
        clock::sleepMs(500);
    }
    if (run.settings.permissionFlag == 1 && !run.mustStop()) {
        run.reporter.setActionStatus("Chmod en cours de préparation.");
        applyPermissionList(run);
    } else if (run.settings.permissionFlag == 1 && !run.state->stopRequested) {
        for (std::string path : run.description.chmods) {
            if (path.back() == '/') path.pop_back();
            run.failedChmods.push_back(texts::chmodNotApplied(run.settings.guestbookFolder + "/" + path));
        }
    }
    return true;
}

// The end of a run that was not stopped: the files never sent count as failed (out of
// time), then the version is recorded or the failures journalled, and the final box says
// which.
ApplyOutcome recordOutcome(ApplyRun& run, const CheckedUpdate& offer) {
    UpdaterReporter& reporter = run.reporter;
    const bool outOfTime = run.deadline.passed();
    for (std::size_t row = 0; row < run.sent.size(); ++row)
        if (!run.sent[row] && run.fileOk[row]) {
            run.markFailed(row);
            reporter.fileStateChanged(static_cast<int>(row), FileState::Failed);
        }

    const std::int32_t target = offer.targetVersion;
    const bool complete = run.failedFiles.empty() && run.failedChmods.empty();
    if (complete) {
        if (writeLocalVersion(scriptVersionFile, target)) {
            reporter.installedVersionKnown(target);
            reporter.versionsCompared(target == offer.latestVersion);
        } else {
            reporter.message({titles::information, texts::cannotOpen(scriptVersionFile.name), suite::NoticeKind::Information});
        }
    } else {
        std::vector<std::string> lines = run.failedFiles;
        lines.insert(lines.end(), run.failedChmods.begin(), run.failedChmods.end());
        writeErrorJournal(lines, run.settings, updaterJournalPath);
    }
    reporter.clearDescription();
    reporter.setActionStatus(texts::finished);
    if (complete)
        reporter.message({titles::information, texts::updateDone(), suite::NoticeKind::Information});
    else
        reporter.message({titles::warning,
                          texts::updateIncomplete(run.failedFiles.size(), run.failedChmods.size(), outOfTime,
                                                  updaterJournalPath),
                          suite::NoticeKind::Warning});
    return complete ? ApplyOutcome::Installed : ApplyOutcome::Incomplete;
}

}  // namespace

ApplyOutcome applyUpdate(UpdaterState& state, const OfficialSite& site, const ConnectionSettings& form,
                         UpdaterReporter& reporter) {
    const ConnectionSettings settings = trimmedForm(form);
    if (saveConnectionSettings(Tool::Updater, settings).outcome == SettingsSave::Outcome::Busy)
        reporter.message({titles::attention, settingsBusyText, suite::NoticeKind::Warning});
    if (settings.password.empty()) {
        reporter.message({titles::information, texts::passwordMissing, suite::NoticeKind::Information});
        return ApplyOutcome::PasswordMissing;
    }
    // Only what a check read and accepted is installed.
    if (!state.offer) {
        reporter.message({titles::warningCaps, texts::cannotReadDescription("CD"), suite::NoticeKind::Plain});
        return ApplyOutcome::Refused;
    }
    const CheckedUpdate& offer = *state.offer;
    ApplyRun run{site, reporter, settings, offer.packageFolder, offer.description, {}, {}, {}, {}, {}, {}, &state,
                 RunDeadline(state.applyLimitMs)};
    run.account = ftpAccount(settings, toolTrust([&reporter](const suite::Notice& q) { return reporter.ask(q); }));
    run.fileOk.assign(run.description.files.size(), true);
    run.sent.assign(run.description.files.size(), false);

    ApplyOutcome failure = ApplyOutcome::ConnectionFailed;
    if (!runPhases(run, failure)) return failure;
    state.applyLocked = true;
    // Closing the program: what is on the server stays, nothing is recorded about it (a
    // journal block or a version would tell of an installation that did not end).
    if (state.stopRequested) return ApplyOutcome::Stopped;
    return recordOutcome(run, offer);
}

}  // namespace velmo::updater
