#include "installer/engine/upload_engine.h"

#include <chrono>
#include <future>

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "ftp/settings_account.h"
#include "suite/file_names.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "suite/messages.h"
#include "trust/tool_connection.h"

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
    // The run's one trust: its question is the reporter's, and the permission step after
    // the upload holds to what the user answered here.
    Upload(const UploadJob& job, UploadReporter& reporter)
        : job_(job),
          reporter_(reporter),
          trust_(toolTrust([&reporter](const Notice& question) { return reporter.ask(question); })),
          account_(ftpAccount(job.settings, trust_)) {
        report_.settings = job.settings;
    }

    RunReport run() {
        report_.outcome = upload();
        if (report_.outcome == UploadOutcome::Processed && job_.settings.permissionFlag == 1)
            report_.permissions = runPermissionPass(job_.settings, PermissionAction::ApplyWritable, reporter_, trust_);
        return report_;
    }

private:
    UploadOutcome upload() {
        const ConnectionSettings& s = job_.settings;
        if (!namesSubFolder(s.guestbookFolder)) {
            reporter_.inform({suite::titles::attentionCaps, noFolderText, NoticeKind::Warning});
            return UploadOutcome::NoFolder;
        }
        if (const ftp::Result opened = session_.open(account_); !opened) {
            reporter_.inform(connectionFailureNotice(opened.failure));
            return UploadOutcome::NotConnected;
        }
        loginDirectory_ = session_.currentDirectory();
        folderBase_ = suite::joinServerPath(loginDirectory_, s.guestbookFolder);
        session_.makeDirectory("sessions");

        if (!session_.changeDirectory(s.guestbookFolder)) reporter_.progress({UploadProgress::Step::Uploading});
        else if (!overwriteAgreed()) return UploadOutcome::Declined;

        const std::vector<ManifestFolder>& manifest = *job_.manifest;
        for (std::size_t i = 0; i < manifest.size() && keepGoing_; ++i) processEntry(manifest[i], i == 0);

        report_.oneAtATimeReason = session_.oneAtATimeReason();
        session_.close();
        clock::sleepMs(500);
        return keepGoing_ ? UploadOutcome::Processed : UploadOutcome::Stopped;
    }


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
            session_.close();
            return false;
        }
        ftp::ensureConnected(session_, account_, loginDirectory_);
        reporter_.progress({UploadProgress::Step::Uploading});
        if (session_.isAlive()) session_.changeDirectory(loginDirectory_);
        else ftp::ensureConnected(session_, account_, loginDirectory_);
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
        if (session_.isAlive()) return true;
        ftp::ensureConnected(session_, account_, directory);
        sessionLost_ = !session_.isAlive();
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
                placed = session_.changeDirectory(folderBase_ + step.argument).ok();
                break;
            case RemoteStep::Kind::Make:
                if (placed) session_.makeDirectory(arg);
                break;
            case RemoteStep::Kind::ChangeInto:
                placed = placed && session_.changeDirectory(arg).ok();
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
        if (session_.isAlive() || !reopenIfDropped(startDirectory(entry))) return false;
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

    // One send, on this thread. Its watch refreshes the progress about every 100 ms and
    // looks at "Annuler"; the stop question it raises is shown without holding the send,
    // and its answer is taken on a later round or, at the latest, once the send has ended.
    Attempt sendOnce(const std::string& localPath, const std::string& remoteName) {
        const std::int64_t size = fs::fileSize(localPath);
        const std::uint64_t started = clock::tickMs();
        Attempt a;
        const ftp::TransferWatch watch{[&](std::int64_t bytes) { return whileSending(bytes, size, a); },
                                       progressPeriodMs};
        // Every send starts with a PWD, as it always has; the directory itself is known, so
        // its answer is not waited for before the send's own commands go.
        a.arrived = session_.sendFileAfterPwd(localPath, remoteName, watch).ok();
        // A send takes at least the 10 ms pause that always followed its start.
        const std::uint64_t spent = clock::tickMs() - started;
        if (spent < 10) clock::sleepMs(static_cast<int>(10 - spent));
        // A question still on screen: its answer (and the information after it) is waited for.
        finishStopQuestion();
        // A send that ends before its first progress round still moves the count on and
        // honours "Annuler": on a fast link every file may end that quickly.
        reporter_.progress({UploadProgress::Step::FileMoving, itemIndex_});
        if (!a.asked && reporter_.stopRequested()) {
            askAboutStop();
            a.asked = true;
        }
        if (!a.arrived) report_.failedSends.push_back(localPath);
        return a;
    }

    // A round of the send's watch: the progress, then "Annuler". While a box of the stop
    // question is up the display stands still, as it always has. The file in progress is
    // always sent to its end, whatever the answer.
    bool whileSending(std::int64_t bytes, std::int64_t size, Attempt& a) {
        if (stopBoxes_.valid()) {
            takeStopAnswerIfGiven();
            return true;
        }
        reporter_.progress({UploadProgress::Step::FileMoving, itemIndex_, filePercent(bytes, size)});
        if (reporter_.stopRequested()) {
            // Shown without waiting; the answer is taken on a later round, or once the
            // send has ended (finishStopQuestion).
            stopBoxes_ = reporter_.askWithoutWaiting(stopQuestion());
            answerPending_ = true;
            a.asked = true;
            takeStopAnswerIfGiven();
        }
        return true;
    }

    // Once the question is answered: the information that follows it is shown without
    // waiting, and the display goes on once that box, too, is closed.
    void takeStopAnswerIfGiven() {
        if (!ready(stopBoxes_)) return;
        if (answerPending_) {
            answerPending_ = false;
            keepGoing_ = !answerOf(stopBoxes_);
            stopBoxes_ = reporter_.informWithoutWaiting(stopFollowUp(keepGoing_));
            if (!ready(stopBoxes_)) return;
        }
        stopBoxes_ = std::future<bool>();
    }

    // After the send: waits for the answer and the information box, in turn.
    void finishStopQuestion() {
        while (stopBoxes_.valid()) {
            stopBoxes_.wait();
            takeStopAnswerIfGiven();
        }
    }

    // A box whose window went before it could be answered counts as No, as ask() does.
    static bool answerOf(std::future<bool>& f) {
        try {
            return f.get();
        } catch (const std::future_error&) {
            return false;
        }
    }

    static bool ready(const std::future<bool>& f) {
        return f.valid() && f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }

    static Notice stopQuestion() {
        return {suite::titles::information, "Voulez-vous arreter le transfert en cours ?", NoticeKind::Information};
    }
    static Notice stopFollowUp(bool keepGoing) {
        if (!keepGoing)
            return {suite::titles::information, "Le transfert va donc être arrêté, veuillez patienter.",
                    NoticeKind::Information};
        return {suite::titles::information, "Le tansfert des fichiers va donc reprendre.", NoticeKind::Information};
    }

    // The stop question, asked once a send has ended, and the information after it.
    void askAboutStop() {
        keepGoing_ = !reporter_.ask(stopQuestion());
        reporter_.inform(stopFollowUp(keepGoing_));
    }

    const UploadJob& job_;
    UploadReporter& reporter_;
    std::shared_ptr<ftp::TlsTrust> trust_;
    ftp::Account account_;  // the job's login, encrypted when the server offers it
    RunReport report_;
    std::string loginDirectory_;
    std::string folderBase_;  // loginDirectory + "/" + folder
    int itemIndex_ = 0;       // tree-list line being processed
    bool keepGoing_ = true;   // false once the user confirmed a stop
    bool placed_ = true;      // the session stands where the next nested folder is made
    bool sessionLost_ = false;
    ftp::Session session_;  // this run's, opened at its start and closed at its end
    // The box of the stop question raised during a send, then the information after it;
    // not valid while neither is on screen. answerPending_: the first is up.
    std::future<bool> stopBoxes_;
    bool answerPending_ = false;
};

}  // namespace

bool namesSubFolder(const std::string& folder) {
    return !folder.empty() && folder != "." && folder != "..";
}

std::future<bool> UploadReporter::askWithoutWaiting(const Notice& question) {
    std::promise<bool> answer;
    answer.set_value(ask(question));
    return answer.get_future();
}

std::future<bool> UploadReporter::informWithoutWaiting(const Notice& notice) {
    inform(notice);
    std::promise<bool> closed;
    closed.set_value(true);
    return closed.get_future();
}

RunReport runTransfer(const UploadJob& job, UploadReporter& reporter) { return Upload(job, reporter).run(); }

}  // namespace velmo::installer
