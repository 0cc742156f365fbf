// The folder locator's work on the server, without any window: connect and list the
// login directory (in a worker), "Annuler", and the guestbook-folder test.
//
// The engine owns the locator's only FTP session, and at most one thread works on it at a
// time: a connect-and-list holds it from its first to its last command, the folder test
// likewise, and a new connect-and-list waits until an older one has let go of it.
// "Annuler" never waits for the network: it only marks the running connect-and-list as
// cancelled; that worker stops at its next step, closes the session and reports nothing.
//
// Each "Connexion" is a run with its own number; the reporter hears the number with
// every report, and a report whose run is no longer current (isCurrent) must be dropped
// by the window: it belongs to a connection the user has cancelled or replaced.
#pragma once
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "ftp/ftp_session.h"
#include "locator/engine/server_listing.h"
#include "settings/connection_settings.h"
#include "trust/server_trust.h"

namespace velmo::locator {

// How a connect-and-list ends, told from the worker's thread.
class ListingReporter {
public:
    virtual ~ListingReporter() = default;
    // The server could not be reached or refused the login (`failure`: why, a refused
    // certificate or a downgrade included); no session is left open.
    virtual void connectionFailed(int run, ftp::Failure failure) = 0;
    // Logged in, but the login directory could not be listed (or its name read); the
    // session has been closed.
    virtual void listingFailed(int run) = 0;
    // The login directory, both lists sorted; the session stays open for the tests.
    virtual void listed(int run, const ServerListing& listing) = 0;
};

enum class FolderTestResult {
    Valid,           // both marker files are in the folder
    NotValid,        // one is missing, or the folder could not be entered
    NotOneFolder,    // the name is not that of one folder: the server was not asked
    ListingFailed,   // entered, but its listing failed: nothing can be said
    ConnectionLost,  // the server dropped the session and could not be reached again
};

// The two files that mark a guestbook folder.
inline constexpr const char* readMarker = "livre_lire.php";
inline constexpr const char* signMarker = "livre_signer.php";

// The folder a name stands for: the name without the "/" that may end it ("livre-dor/" is
// the folder "livre-dor"); empty when it does not name one folder directly below the login
// directory (empty, ".", "..", a "/" between two names, or one in front).
std::string oneFolderName(const std::string& name);

class LocatorEngine {
public:
    // "Connexion" (the window's thread): starts run number N, cancelling any earlier one,
    // and keeps `settings` (trimmed address, user ID and password, passive flag, port)
    // for the reconnection before a test. The run's connections are encrypted when the
    // server offers it; a certificate the system does not trust is put to `ask` (on the
    // worker's thread; none: No). The caller then runs connectAndList(N, ...) in a worker.
    int beginRun(const ConnectionSettings& settings, ServerTrust::Ask ask = {});

    // The worker of run `run`: open the session, note the login directory, read both lists,
    // sort them and report. Waits first until no other thread works on the session.
    void connectAndList(int run, ConnectionSettings settings, ListingReporter& reporter);

    // "Annuler": the current run is over. With no worker on the session, closes it now;
    // otherwise that worker closes it at its next step. Returns at once either way.
    void cancel();

    // True while `run` is the latest run and has not been cancelled.
    bool isCurrent(int run) const;

    // "Tester" (in a worker), on the folder named by `folder` below the login directory of
    // the current run: reconnects first when the server dropped the session
    // (a reconnection that fails is ConnectionLost, not a verdict on the folder).
    // A name that is not one folder below the login directory (see oneFolderName) is
    // NotOneFolder without a word to the server; a folder that cannot be entered fails the
    // test: the listing of whatever directory the session is in says nothing about it.
    // With ConnectionLost, `why` (when given) receives why the reconnection failed.
    FolderTestResult testFolder(const std::string& name, ftp::Failure* why = nullptr);

private:
    // Holds the session for the calling thread until destroyed.
    class SessionHold;

    enum class RunOutcome { Listed, ConnectionFailed, ListingFailed, Cancelled };

    bool staleLocked(int run) const { return run != currentRun_; }
    // A run's work on the session it holds.
    RunOutcome listOnServer(int run, const ConnectionSettings& settings, ServerListing& listing,
                            ftp::Failure& failure);
    // Whether the directory the session stands in holds both marker files.
    FolderTestResult markersInCurrentDirectory();
    // The worker's last step: the session stays open only after a listing (`listed`) of a
    // run that is still current, whose login directory the tests then use.
    void releaseAfterRun(int run, const ServerListing* listed);

    mutable std::mutex mutex_;
    std::condition_variable sessionFree_;
    bool sessionBusy_ = false;
    // Used by the thread that holds it (sessionBusy_), or under mutex_ while no thread does.
    ftp::Session session_;
    int currentRun_ = 0;  // 0: none; cancel() moves it past every run begun so far
    int lastRun_ = 0;
    ConnectionSettings settings_;  // of the latest run
    std::shared_ptr<ServerTrust> trust_;  // of the latest run
    std::string loginDirectory_;   // of the latest run that listed
};

}  // namespace velmo::locator
