#include "installer/upload_engine.h"

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "suite/messages.h"

namespace velmo::installer {

namespace {

// How often the progress display is refreshed while a file moves. A file that ends
// early does not wait for the rest of the period: the wait ends with the transfer.
constexpr int progressPeriodMs = 100;

const char* const noFolderText =
    "Vous devez entrer le nom du dossier dans lequel les fichiers de Velmo Livre d'or seront "
    "transférés.\r\n\r\nLe livre d'or ne peut pas être transféré directement à la racine de votre site.";

// One upload: the job, where it reports, and what it keeps between its steps.
class Upload {
public:
    Upload(const UploadJob& job, UploadReporter& reporter) : job_(job), reporter_(reporter) {
        report_.settings = job.settings;
    }

    RunReport run() {
        report_.outcome = upload();
        if (report_.outcome == UploadOutcome::Processed && job_.settings.permissionFlag == 1)
            report_.permissions = runPermissionPass(job_.settings, PermissionAction::ApplyWritable, reporter_);
        return report_;
    }

private:
    UploadOutcome upload() {
        const ConnectionSettings& s = job_.settings;
        if (!namesSubFolder(s.guestbookFolder)) {
            reporter_.inform({suite::titles::attentionCaps, noFolderText, NoticeKind::Warning});
            return UploadOutcome::NoFolder;
        }
        if (!ftp::open(session(), ftpAccount(s))) {
            reporter_.inform(connectionFailedNotice());
            return UploadOutcome::NotConnected;
        }
        loginDirectory_ = ftp::currentDirectory(session());
        folderBase_ = joinFolderBase(loginDirectory_, s.guestbookFolder);
        ftp::makeDirectory(session(), "sessions");

        if (!ftp::changeDirectory(session(), s.guestbookFolder)) reporter_.progress({UploadProgress::Step::Uploading});
        else if (!overwriteAgreed()) return UploadOutcome::Declined;

        const std::vector<ManifestFolder>& manifest = *job_.manifest;
        for (std::size_t i = 0; i < manifest.size() && keepGoing_; ++i) processEntry(manifest[i], i == 0);

        ftp::close(session());
        clock::sleepMs(500);
        return keepGoing_ ? UploadOutcome::Processed : UploadOutcome::Stopped;
    }

    int session() const { return job_.session; }

    // The user's folder is already on the server (the session stands in it): the user says
    // whether its files are overwritten. Agreed, the upload starts (Uploading) and the session
    // is back in the login directory (reopened there when the question let the server drop
    // it); declined, it is closed.
    bool overwriteAgreed() {
        const ConnectionSettings& s = job_.settings;
        const std::string question = "Le dossier \"" + s.guestbookFolder +
                                     "\" existe déjà.\r\n\r\nVous allez écraser les fichiers déjà "
                                     "existants.\r\n\r\nVoulez-vous continuer ?";
        if (!reporter_.ask({suite::titles::existingFolder, question, NoticeKind::Information})) {
            reporter_.inform({suite::titles::information,
                              "Le transfert des fichiers est annulé.\r\n\r\nChoisissez un autre nom de "
                              "dossier pour transférer votre livre d'or.",
                              NoticeKind::Information});
            // Nothing more is done on this session; the next run opens its own.
            ftp::close(session());
            return false;
        }
        ftp::ensureConnected(session(), ftpAccount(s), loginDirectory_);
        reporter_.progress({UploadProgress::Step::Uploading});
        if (ftp::isAlive(session())) ftp::changeDirectory(session(), loginDirectory_);
        else ftp::ensureConnected(session(), ftpAccount(s), loginDirectory_);
        return true;
    }

    // The server directory of a manifest folder, and of the place its steps start from.
    std::string remoteDirectory(const std::string& below) const {
        return below.empty() ? folderBase_ : folderBase_ + "/" + below;
    }
    std::string startDirectory(const ManifestFolder& entry) const {
        const std::size_t slash = entry.remoteFolder.rfind('/');
        if (entry.remoteFolder.empty()) return loginDirectory_;
        return remoteDirectory(slash == std::string::npos ? "" : entry.remoteFolder.substr(0, slash));
    }

    // The keep-alive check before work that follows a failure: true when a session is left
    // (it answered, or it was reopened in `directory`). Once a reopening failed the session
    // counts as lost for the rest of the run.
    bool reopenIfDropped(const std::string& directory) {
        if (sessionLost_) return false;
        if (ftp::isAlive(session())) return true;
        ftp::ensureConnected(session(), ftpAccount(job_.settings), directory);
        sessionLost_ = !ftp::isAlive(session());
        return !sessionLost_;
    }

    // The folder's remote steps from where they start; true when the session ended up in
    // the folder. "Make" is sent only where the session stands in the right place.
    bool runSteps(const ManifestFolder& entry) {
        bool placed = true;
        for (const RemoteStep& step : entry.remoteSteps) {
            const std::string& arg = step.argument.empty() ? job_.settings.guestbookFolder : step.argument;
            switch (step.kind) {
            case RemoteStep::Kind::ChangeToBase:
                placed = ftp::changeDirectory(session(), folderBase_ + step.argument);
                break;
            case RemoteStep::Kind::Make:
                if (placed) ftp::makeDirectory(session(), arg);
                break;
            case RemoteStep::Kind::ChangeInto:
                placed = placed && ftp::changeDirectory(session(), arg);
                break;
            }
        }
        return placed;
    }

    // True when the session stands in the folder. A nested folder is reached from the
    // previous entry's, so it shares that one's fate. Steps that failed because the server
    // dropped the session run once more in a session reopened where they start.
    bool enterFolder(const ManifestFolder& entry) {
        if (sessionLost_) return false;
        const bool fromBase = entry.remoteSteps.front().kind == RemoteStep::Kind::ChangeToBase;
        if (!fromBase && !placed_) return false;
        if (runSteps(entry)) return true;
        if (ftp::isAlive(session()) || !reopenIfDropped(startDirectory(entry))) return false;
        return runSteps(entry);
    }

    void processEntry(const ManifestFolder& entry, bool first) {
        if (!first) ++itemIndex_;
        reporter_.progress({UploadProgress::Step::FolderReached, itemIndex_, -1, first});
        placed_ = enterFolder(entry);
        const std::string directory = remoteDirectory(entry.remoteFolder);
        for (std::size_t file = 0; file < entry.files.size() && keepGoing_; ++file) {
            ++itemIndex_;
            reporter_.progress({UploadProgress::Step::FileStarted, itemIndex_});
            const std::string& name = entry.files[file];
            const std::string localPath = entry.uploadPrefix + name;
            if (placed_ && !sessionLost_) {
                sendUntilDone(localPath, name, directory);
            } else {
                // Sent elsewhere it would overwrite another folder's file of that name.
                report_.failedSends.push_back(localPath);
                ++report_.filesGivenUp;
            }
            reporter_.progress({UploadProgress::Step::FileEnded, itemIndex_});
        }
    }

    // Sends one file until it is on the server, it was given up, or a confirmed stop ended
    // the repetition. The attempt on which the stop question was asked is followed by one
    // more send, as the question may have let the server drop the session meanwhile.
    void sendUntilDone(const std::string& localPath, const std::string& name, const std::string& directory) {
        for (int attempt = 1;; ++attempt) {
            if (attempt > 1 && !reopenIfDropped(directory)) {
                ++report_.filesGivenUp;
                return;
            }
            const Attempt a = sendOnce(localPath, name);
            if (a.arrived && !a.asked) return;
            if (attempt >= maxSendAttempts || (!keepGoing_ && !a.asked)) {
                // A last attempt that arrived (repeated only because of the stop question)
                // leaves the file on the server; a failed one means it is missing there.
                if (!a.arrived) ++report_.filesGivenUp;
                return;
            }
        }
    }

    struct Attempt {
        bool arrived = false;  // the server confirmed the file
        bool asked = false;    // the stop question came up during it
    };

    // One send in the background, polling its progress until it ends.
    Attempt sendOnce(const std::string& localPath, const std::string& remoteName) {
        const std::int64_t size = fs::fileSize(localPath);
        // Every send starts with a PWD, as it always has; the directory itself is known.
        ftp::currentDirectory(session());
        ftp::sendFile(session(), localPath, remoteName, true);
        clock::sleepMs(10);

        Attempt a;
        for (;;) {
            const ftp::TransferStatus status = ftp::transferStatus(session());
            if (status.ended()) {
                // A send that ends before its first progress check still moves the count on
                // and honours "Annuler": on a fast link every file may end that quickly.
                reporter_.progress({UploadProgress::Step::FileMoving, itemIndex_});
                if (!a.asked && reporter_.stopRequested()) {
                    askAboutStop();
                    a.asked = true;
                }
                a.arrived = status.phase == ftp::TransferDone;
                if (!a.arrived) report_.failedSends.push_back(localPath);
                return a;
            }
            const int percent = filePercent(ftp::transferStatus(session()).bytes, size);
            ftp::waitForTransferEnd(session(), progressPeriodMs);
            reporter_.progress({UploadProgress::Step::FileMoving, itemIndex_, percent});
            if (reporter_.stopRequested()) {
                askAboutStop();
                a.asked = true;
            }
        }
    }

    // The stop question, asked while a send is in progress (or just ended).
    void askAboutStop() {
        if (reporter_.ask({suite::titles::information, "Voulez-vous arreter le transfert en cours ?", NoticeKind::Information})) {
            reporter_.inform({suite::titles::information, "Le transfert va donc être arrêté, veuillez patienter.",
                              NoticeKind::Information});
            keepGoing_ = false;
        } else {
            reporter_.inform({suite::titles::information, "Le tansfert des fichiers va donc reprendre.", NoticeKind::Information});
            keepGoing_ = true;
        }
    }

    const UploadJob& job_;
    UploadReporter& reporter_;
    RunReport report_;
    std::string loginDirectory_;
    std::string folderBase_;  // loginDirectory + "/" + folder
    int itemIndex_ = 0;       // tree-list line being processed
    bool keepGoing_ = true;   // false once the user confirmed a stop
    bool placed_ = true;      // the session stands where the next nested folder is made
    bool sessionLost_ = false;
};

}  // namespace

bool namesSubFolder(const std::string& folder) {
    return !folder.empty() && folder != "." && folder != "..";
}

RunReport runTransfer(const UploadJob& job, UploadReporter& reporter) { return Upload(job, reporter).run(); }

std::string joinFolderBase(const std::string& loginDirectory, const std::string& folder) {
    if (!loginDirectory.empty() && loginDirectory.back() == '/') return loginDirectory + folder;
    return loginDirectory + "/" + folder;
}

}  // namespace velmo::installer
