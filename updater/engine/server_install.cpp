// The server phases: folders, uploads and permissions, all relative to the guestbook
// folder below the FTP login directory.
#include "ftp/control_channel.h"
#include "trust/tool_connection.h"
#include "ftp/ftp_session.h"
#include "platform/clock.h"
#include "suite/messages.h"
#include "updater/engine/apply_steps.h"
#include "updater/engine/update_apply.h"
#include "updater/engine/updater_texts.h"

namespace velmo::updater {

namespace titles = suite::titles;
namespace {

// One send, to its end. A send takes at least 10 ms (the pause the updater has always
// made after starting one): the next command never follows sooner.
// The folders of its path (below the guestbook folder, where a batch that fell out of step
// starts again) are entered first, their commands going with the send's own.
bool sendOneFile(ApplyRun& run, const std::vector<std::string>& folders, const std::string& localPath,
                 const std::string& remoteName) {
    const std::uint64_t start = clock::tickMs();
    const bool sent = run.session.sendFileInto(run.guestbookPath, folders, localPath, remoteName).ok();
    const std::uint64_t spent = clock::tickMs() - start;
    if (spent < 10) clock::sleepMs(static_cast<int>(10 - spent));
    return sent;
}

}  // namespace

void createServerFolders(ApplyRun& run) {
    for (const std::string& entry : run.description.folders) {
        if (run.mustStop()) return;
        std::vector<std::string> parts = folderParts(entry);
        if (parts.size() == 1) {
            run.reporter.setActionStatus("Création du dossier : " + parts[0]);
            run.session.makeDirectory(parts[0]);
            continue;
        }
        // "skins/nouveau/": make (or find) each level and enter it. A level that cannot be
        // entered ends the entry: the levels below would land in the wrong folder.
        for (const std::string& part : parts) {
            run.reporter.setActionStatus("Création du dossier : " + part);
            run.session.makeDirectory(part);
            if (!run.session.changeDirectory(part)) break;
        }
        run.session.changeDirectory(run.guestbookPath);
    }
}

void uploadPackageFiles(ApplyRun& run) {
    bool lost = false;  // the guestbook folder could not be entered again
    // The last file went from a folder below the guestbook folder and the way back is still
    // to go: it goes with the next file's commands (one write), or alone before anything else.
    bool away = false;
    const auto comeBack = [&run, &lost, &away] {
        if (away && !run.session.changeDirectory(run.guestbookPath)) lost = true;
        away = false;
    };
    for (std::size_t row = 0; row < run.description.files.size(); ++row) {
        // A file not sent before the stop stays as it was: the rows still to come are
        // counted at the end of the run.
        if (run.mustStop()) {
            comeBack();
            return;
        }
        if (!run.fileOk[row] || lost) {
            comeBack();
            run.markFailed(row);
            run.reporter.fileStateChanged(static_cast<int>(row), FileState::Failed);
            continue;
        }
        const std::string& path = run.description.files[row];
        const std::string name = toServerName(lastPart(path));
        // Folders keep their published names ("lib.velmo/" is made as such): only the
        // file's own name is renamed.
        const std::vector<std::string> parts = folderParts(path);
        std::vector<std::string> steps;
        if (away) steps.push_back(run.guestbookPath);
        steps.insert(steps.end(), parts.begin(), parts.end());
        run.reporter.setActionStatus("Envoie vers serveur : " + name);
        // A file whose folder cannot be entered is not sent anywhere else.
        const bool sent = sendOneFile(run, steps, run.localCopy(path), name);
        if (sent) run.sent[row] = true;
        else run.markFailed(row);
        run.reporter.fileStateChanged(static_cast<int>(row), sent ? FileState::Sent : FileState::Failed);
        // After a failure the way back goes at once: where the session stands is unknown.
        away = away || !parts.empty();
        if (!sent) comeBack();
        else away = !parts.empty();
    }
    comeBack();
}

void applyPermissionList(ApplyRun& run) {
    const ConnectionSettings& s = run.settings;
    std::vector<std::string> targets;
    for (std::string path : run.description.chmods) {
        if (path.back() == '/') path.pop_back();
        targets.push_back(path);
    }
    // What the journal says of the permissions from `first` on, none of which was applied.
    auto noneAppliedFrom = [&run, &s, &targets](std::size_t first) {
        for (std::size_t i = first; i < targets.size(); ++i)
            run.failedChmods.push_back(texts::chmodNotApplied(s.guestbookFolder + "/" + targets[i]));
    };
    ftp::ControlChannel channel(updaterReplyWaitLimitMs);
    // A login that timed out is no login: the server stopped answering, and every CHMOD
    // would wait out its own reply time before failing the same way.
    if (s.serverAddress.empty() || s.userId.empty() || s.password.empty() ||
        !channel.connect(s.serverAddress, s.port, run.account.tls) ||
        channel.login(s.userId, s.password) != ftp::CommandAccepted) {
        run.reporter.message(connectionFailureNotice(failureOf(channel.tlsOutcome())));
        noneAppliedFrom(0);
        return;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (run.mustStop()) {
            noneAppliedFrom(i);
            break;
        }
        run.reporter.setActionStatus("Chmod de : " + lastPart(targets[i]));
        if (channel.chmod(s.guestbookFolder + "/" + targets[i], "777") != ftp::CommandAccepted)
            run.failedChmods.push_back(texts::chmodNotApplied(s.guestbookFolder + "/" + targets[i]));
    }
    channel.close();
}

}  // namespace velmo::updater
