#include "installer/upload_engine.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "installer/run_completion.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/text_codec.h"

namespace velmo::installer {

namespace {

constexpr int session = installerSession;
// How often the progress display is refreshed while a file moves. A file that ends
// early does not wait for the rest of the period: the wait ends with the transfer.
constexpr int progressPeriodMs = 100;

ConnectionSettings readForm(InstallerApp& app) {
    ui::Ui& u = app.ui;
    ConnectionSettings s;
    s.serverAddress = text::trimBlanks(u.getText(ids::mainWindow, ids::addressField));
    s.userId = text::trimBlanks(u.getText(ids::mainWindow, ids::userField));
    s.password = text::trimBlanks(u.getText(ids::mainWindow, ids::passwordField));
    s.guestbookFolder = text::trimBlanks(u.getText(ids::mainWindow, ids::folderField));
    s.permissionFlag = u.isChecked(ids::mainWindow, ids::chmodBox) ? 1 : 0;
    s.passiveFlag = u.isChecked(ids::mainWindow, ids::passiveBox) ? 1 : 0;
    s.port = portFromFieldText(u.getText(ids::mainWindow, ids::portField));
    return s;
}

void backToIdle(InstallerApp& app) {
    app.ui.setEnabled(ids::mainWindow, ids::validateButton, true);
    setFormEnabled(app, true);
}

// The stop question, asked while a send is in progress (or just ended).
void askAboutStop(InstallerApp& app) {
    ui::Ui& u = app.ui;
    const ui::MessageBoxResult answer =
        u.messageBox("Information.", "Voulez-vous arreter le transfert en cours ?",
                     ui::MessageIcon::Information, ui::MessageButtons::YesNo);
    if (answer == ui::MessageBoxResult::Yes) {
        u.messageBox("Information.", "Le transfert va donc être arrêté, veuillez patienter.",
                     ui::MessageIcon::Information);
        app.keepGoing = 0;
    } else {
        u.messageBox("Information.", "Le tansfert des fichiers va donc reprendre.",
                     ui::MessageIcon::Information);
        app.keepGoing = 1;
    }
}

void doRemoteSteps(const ManifestFolder& entry, const UploadRun& run) {
    for (const RemoteStep& step : entry.remoteSteps) {
        const std::string& arg = step.argument.empty() ? run.settings.guestbookFolder : step.argument;
        switch (step.kind) {
            case RemoteStep::Kind::ChangeToBase:
                ftp::changeDirectory(session, run.folderBase + step.argument);
                break;
            case RemoteStep::Kind::Make:
                ftp::makeDirectory(session, arg);
                break;
            case RemoteStep::Kind::ChangeInto:
                ftp::changeDirectory(session, arg);
                break;
        }
    }
}

// Sends one file until it is on the server, it was given up, or a confirmed stop ended
// the repetition. The attempt on which the stop question was asked is followed by one
// more send, as the question may have let the server drop the session meanwhile.
void sendUntilDone(InstallerApp& app, UploadRun& run, const std::string& localPath,
                   const std::string& name) {
    for (int attempt = 1;; ++attempt) {
        const bool asked = sendOneFile(app, run, session, localPath, name);
        if (run.fileDone == 1) return;
        const bool stopped = app.keepGoing == 0 && !asked;
        if (attempt >= maxSendAttempts || stopped) {
            // A last attempt that arrived (repeated only because of the stop question)
            // leaves the file on the server; a failed one means it is missing there.
            if (run.lastAttemptFailed) ++run.filesGivenUp;
            return;
        }
    }
}

void processEntry(InstallerApp& app, UploadRun& run, const ManifestFolder& entry, bool first) {
    ui::Ui& u = app.ui;
    if (!first) {
        ++run.itemIndex;
        u.setText(ids::mainWindow, ids::countLabel, countLabelText(run.itemIndex));
    }
    u.selectLine(ids::mainWindow, ids::treeList, run.itemIndex);
    showOverallProgress(app, run.itemIndex);
    doRemoteSteps(entry, run);
    for (std::size_t line = 1; line < entry.lines.size() && app.keepGoing == 1; ++line) {
        ++run.itemIndex;
        run.fileDone = 0;
        u.selectLine(ids::mainWindow, ids::treeList, run.itemIndex);
        const std::string name = fileNameOfLine(entry.lines[line], entry.fileLinePrefix);
        sendUntilDone(app, run, entry.uploadPrefix + name, name);
        showOverallProgress(app, run.itemIndex);
    }
}

std::mutex workersLock;
std::condition_variable workersEnded;
int runningWorkers = 0;

}  // namespace

std::string countLabelText(int itemIndex) {
    return "Fichiers envoyés : " + std::to_string(itemIndex + 1) + "/" + std::to_string(expectedItemCount);
}

std::string joinFolderBase(const std::string& loginDirectory, const std::string& folder) {
    if (!loginDirectory.empty() && loginDirectory.back() == '/') return loginDirectory + folder;
    return loginDirectory + "/" + folder;
}

void showOverallProgress(InstallerApp& app, int index) {
    app.ui.setProgress(ids::mainWindow, ids::overallBar, overallPercent(index));
}

void showFilePercent(InstallerApp& app, int percent) {
    ui::Ui& u = app.ui;
    if (app.themedFileBar) {
        // Setting a value just below and then the value itself makes a themed bar jump
        // instead of gliding toward it.
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100);
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100 - 1);
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100);
    } else {
        u.setProgress(ids::mainWindow, ids::fileBar, percent);
    }
}

bool sendOneFile(InstallerApp& app, UploadRun& run, int sessionNumber, const std::string& localPath,
                 const std::string& remoteName) {
    const std::int64_t size = fs::fileSize(localPath);
    const std::string directory = ftp::currentDirectory(sessionNumber);
    ftp::sendFile(sessionNumber, localPath, remoteName, true);
    clock::sleepMs(10);

    bool asked = false;
    for (;;) {
        const ftp::TransferStatus status = ftp::transferStatus(sessionNumber);
        if (status.ended()) {
            // A send that ends before its first progress check still moves the count on and
            // honours "Annuler": on a fast link every file may end that quickly.
            app.ui.setText(ids::mainWindow, ids::countLabel, countLabelText(run.itemIndex));
            if (!asked && app.stopRequested.exchange(0) == 1) {
                askAboutStop(app);
                asked = true;
            }
            run.lastAttemptFailed = status.phase == ftp::TransferFailed;
            if (run.lastAttemptFailed) run.failedSends.push_back(localPath);
            if (status.phase == ftp::TransferDone && !asked) {
                run.fileDone = 1;
            } else {
                run.fileDone = 0;
                // The server may have dropped the session while the question was up.
                if (asked) ftp::ensureConnected(sessionNumber, ftpAccount(run.settings), directory);
            }
            return asked;
        }
        const int percent = filePercent(ftp::transferStatus(sessionNumber).bytes, size);
        ftp::waitForTransferEnd(sessionNumber, progressPeriodMs);
        showFilePercent(app, percent);
        app.ui.setText(ids::mainWindow, ids::countLabel, countLabelText(run.itemIndex));
        if (app.stopRequested.exchange(0) == 1) {
            askAboutStop(app);
            asked = true;
        }
    }
}

void runTransfer(InstallerApp& app) {
    ui::Ui& u = app.ui;
    UploadRun run;
    run.settings = readForm(app);
    const ConnectionSettings& s = run.settings;

    if (!ftp::open(session, s.serverAddress, s.userId, s.password, s.passiveFlag, s.port)) {
        u.messageBox("Avertissement.", app.connectionErrorText, ui::MessageIcon::Warning);
        backToIdle(app);
        return;
    }
    run.loginDirectory = ftp::currentDirectory(session);
    run.folderBase = joinFolderBase(run.loginDirectory, s.guestbookFolder);
    run.itemIndex = 0;
    ftp::makeDirectory(session, "sessions");

    if (ftp::changeDirectory(session, s.guestbookFolder)) {
        const std::string question = "Le dossier \"" + s.guestbookFolder +
                                     "\" existe déjà.\r\n\r\nVous allez écraser les fichiers déjà "
                                     "existants.\r\n\r\nVoulez-vous continuer ?";
        if (u.messageBox("Dossier existant.", question, ui::MessageIcon::Information, ui::MessageButtons::YesNo) ==
            ui::MessageBoxResult::Yes) {
            ftp::ensureConnected(session, ftpAccount(s), run.loginDirectory);
            u.setEnabled(ids::mainWindow, ids::cancelButton, true);
            if (ftp::isAlive(session)) ftp::changeDirectory(session, run.loginDirectory);
            else ftp::ensureConnected(session, ftpAccount(s), run.loginDirectory);
        } else {
            u.messageBox("Information.",
                         "Le transfert des fichiers est annulé.\r\n\r\nChoisissez un autre nom de dossier "
                         "pour transférer votre livre d'or.",
                         ui::MessageIcon::Information);
            // Nothing more is done on this session; the next run opens its own.
            ftp::close(session);
            backToIdle(app);
            return;
        }
    } else {
        u.setEnabled(ids::mainWindow, ids::cancelButton, true);
    }

    for (std::size_t i = 0; i < app.manifest.size(); ++i) {
        if (app.keepGoing != 1) break;
        processEntry(app, run, app.manifest[i], i == 0);
    }

    ftp::close(session);
    clock::sleepMs(500);
    completeRun(app, run);
}

void startWorker(std::function<void()> body) {
    {
        std::lock_guard<std::mutex> lock(workersLock);
        ++runningWorkers;
    }
    std::thread([body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(workersLock);
        if (--runningWorkers == 0) workersEnded.notify_all();
    }).detach();
}

void waitForWorkers() {
    std::unique_lock<std::mutex> lock(workersLock);
    workersEnded.wait(lock, [] { return runningWorkers == 0; });
}

void startTransfer(InstallerApp& app) {
    startWorker([&app] { runTransfer(app); });
}

}  // namespace velmo::installer
