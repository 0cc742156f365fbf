#include "locator/engine/locator_engine.h"

#include "ftp/ftp_session.h"
#include "ftp/settings_account.h"
#include "suite/file_names.h"
#include "trust/tool_connection.h"

namespace velmo::locator {

// One folder directly below the login directory: anything else would make the test look
// at another directory than the one the settings file is going to name, and the other
// tools join the stored name to their own login directory as one folder.
std::string oneFolderName(const std::string& name) {
    std::string folder = name;
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    if (folder == "." || folder == ".." || folder.find('/') != std::string::npos) return std::string();
    return folder;
}

class LocatorEngine::SessionHold {
public:
    explicit SessionHold(LocatorEngine& engine) : engine_(engine) {
        std::unique_lock<std::mutex> lock(engine_.mutex_);
        engine_.sessionFree_.wait(lock, [&] { return !engine_.sessionBusy_; });
        engine_.sessionBusy_ = true;
    }
    ~SessionHold() {
        {
            std::lock_guard<std::mutex> lock(engine_.mutex_);
            engine_.sessionBusy_ = false;
        }
        engine_.sessionFree_.notify_all();
    }
    SessionHold(const SessionHold&) = delete;
    SessionHold& operator=(const SessionHold&) = delete;

private:
    LocatorEngine& engine_;
};

int LocatorEngine::beginRun(const ConnectionSettings& settings, ServerTrust::Ask ask) {
    std::shared_ptr<ServerTrust> trust = toolTrust(std::move(ask));
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
    trust_ = std::move(trust);
    loginDirectory_.clear();
    currentRun_ = ++lastRun_;
    return currentRun_;
}

bool LocatorEngine::isCurrent(int run) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return run != 0 && !staleLocked(run);
}

void LocatorEngine::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    currentRun_ = 0;
    loginDirectory_.clear();
    // A worker on the session closes it itself once it sees the run is over; closing it
    // here would wait for that worker's command (up to the silence limit of a stalled one).
    if (!sessionBusy_) session_.close();
}

void LocatorEngine::releaseAfterRun(int run, const ServerListing* listed) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (listed && !staleLocked(run)) loginDirectory_ = listed->loginDirectory;
        else session_.close();
        sessionBusy_ = false;
    }
    sessionFree_.notify_all();
}

LocatorEngine::RunOutcome LocatorEngine::listOnServer(int run, const ConnectionSettings& settings,
                                                      ServerListing& listing, ftp::Failure& failure) {
    std::shared_ptr<ServerTrust> trust;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        trust = trust_;
    }
    const ftp::Result opened = session_.open(ftpAccount(settings, trust));
    failure = opened.failure;
    if (!opened) return RunOutcome::ConnectionFailed;
    if (!isCurrent(run)) return RunOutcome::Cancelled;  // "Annuler" while logging in
    listing.loginDirectory = session_.currentDirectory();
    // Without the login directory's name the tests could not find their way back to it.
    if (listing.loginDirectory.empty() || !readFolders(session_, listing))
        return RunOutcome::ListingFailed;
    if (!isCurrent(run)) return RunOutcome::Cancelled;
    if (!readFiles(session_, listing)) return RunOutcome::ListingFailed;
    sortListing(listing);
    return RunOutcome::Listed;
}

void LocatorEngine::connectAndList(int run, ConnectionSettings settings, ListingReporter& reporter) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        sessionFree_.wait(lock, [&] { return !sessionBusy_; });
        if (staleLocked(run)) return;  // cancelled while an older run still held the session
        sessionBusy_ = true;
    }
    ServerListing listing;
    ftp::Failure failure = ftp::Failure::None;
    const RunOutcome outcome = listOnServer(run, settings, listing, failure);
    releaseAfterRun(run, outcome == RunOutcome::Listed ? &listing : nullptr);
    if (!isCurrent(run)) return;
    switch (outcome) {
    case RunOutcome::Listed: reporter.listed(run, listing); break;
    case RunOutcome::ConnectionFailed: reporter.connectionFailed(run, failure); break;
    case RunOutcome::ListingFailed: reporter.listingFailed(run); break;
    case RunOutcome::Cancelled: break;
    }
}

FolderTestResult LocatorEngine::testFolder(const std::string& name, ftp::Failure* why) {
    const std::string folder = oneFolderName(name);
    if (folder.empty()) return FolderTestResult::NotOneFolder;
    SessionHold hold(*this);
    std::string loginDirectory;
    ConnectionSettings settings;
    std::shared_ptr<ServerTrust> trust;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        loginDirectory = loginDirectory_;
        settings = settings_;
        trust = trust_;
    }
    if (loginDirectory.empty()) return FolderTestResult::NotValid;
    // The keep-alive check, keeping why a reopening failed (a refused certificate is not
    // a lost connection to the user).
    if (!session_.isAlive()) {
        const ftp::Result reopened = session_.open(ftpAccount(settings, trust));
        if (!reopened) {
            if (why) *why = reopened.failure;
            return FolderTestResult::ConnectionLost;
        }
        session_.changeDirectory(loginDirectory);
    }
    if (!session_.changeDirectory(suite::joinServerPath(loginDirectory, folder)))
        return session_.isAlive() ? FolderTestResult::NotValid : FolderTestResult::ConnectionLost;
    return markersInCurrentDirectory();
}

FolderTestResult LocatorEngine::markersInCurrentDirectory() {
    if (!session_.listDirectory()) return FolderTestResult::ListingFailed;
    bool readFound = false, signFound = false;
    for (const ftp::ListingEntry& entry : session_.entries()) {
        if (entry.kind != ftp::EntryFile) continue;
        const std::string& name = entry.name;
        if (name == readMarker) readFound = true;
        if (name == signMarker) signFound = true;
    }
    return readFound && signFound ? FolderTestResult::Valid : FolderTestResult::NotValid;
}

}  // namespace velmo::locator
