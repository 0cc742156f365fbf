// The upload of the guestbook ("Valider"): logs in, creates the remote folders in the
// manifest's order, sends every file in the background while showing its progress, sends a
// failed file again (a bounded number of times), lets the user stop between files, closes
// the session and hands over to completeRun.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "installer/installer_app.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

// What one run keeps between its steps; touched by the engine thread only.
struct UploadRun {
    ConnectionSettings settings;  // read from the form when the run starts
    std::string loginDirectory;
    std::string folderBase;       // loginDirectory + "/" + folder
    int itemIndex = 0;            // tree-list line being processed
    int fileDone = 0;             // 1: the current file needs no further send
    std::vector<std::string> failedSends;  // local path of every failed attempt
    bool lastAttemptFailed = false;  // of the latest send
    int filesGivenUp = 0;         // files still failing after maxSendAttempts attempts
};

// Thread entry of an upload: reads the form itself, runs the whole upload and then
// completeRun. The main loop has disabled "Valider" and the form before starting it.
void runTransfer(InstallerApp& app);

// One send of one file in the background, polling its progress until it ends. Sets
// run.fileDone (1: done; 0: send it again). True when the stop question was asked
// during this call.
bool sendOneFile(InstallerApp& app, UploadRun& run, int session, const std::string& localPath,
                 const std::string& remoteName);

// Overall bar <- index * 100 / 333 rounded up.
void showOverallProgress(InstallerApp& app, int index);
// File bar <- percent, in the way the platform's bar shows it without gliding.
void showFilePercent(InstallerApp& app, int percent);
// "Fichiers envoyés : " + (index + 1) + "/333".
std::string countLabelText(int itemIndex);
// loginDirectory joined with the folder by one "/" (none added after a final "/").
std::string joinFolderBase(const std::string& loginDirectory, const std::string& folder);

// Worker threads of the main loop (the upload, menu permission runs). They run detached:
// the program does not wait for them when it ends. waitForWorkers blocks until every
// worker started so far has ended (tests, the benchmark, an orderly shutdown).
void startWorker(std::function<void()> body);
void waitForWorkers();
// Starts runTransfer in a worker ("Valider", after the main loop read and wrote back the
// trimmed fields and disabled "Valider" and the form).
void startTransfer(InstallerApp& app);

}  // namespace velmo::installer
