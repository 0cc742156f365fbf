#include "backup/engine/backup_engine.h"

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "ftp/settings_account.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "suite/file_names.h"
#include "trust/tool_connection.h"

namespace velmo::backup {

namespace {

// How often a running download looks at the window's stop request.
constexpr int stopCheckMs = 50;
// A skin's settings file is a few KiB; no listing gives its size.
constexpr std::int64_t unlistedFileBytes = 4 * 1024 * 1024;
constexpr std::int64_t sizeMarginBytes = 64 * 1024;
// The slowest pace a download is let keep, on top of a fixed allowance for the commands.
constexpr int baseDeadlineMs = 120000;
constexpr std::int64_t slowestBytesPerSecond = 16 * 1024;
constexpr int longestDeadlineMs = 6 * 3600 * 1000;

using Listed = std::vector<std::pair<std::string, std::int64_t>>;  // name, size

// The entries of `kind` in the current directory, in the server's order, except `skipped`;
// `leftOut` gets the entries of that kind the listing could not take. False when the
// listing could not be had.
bool listNames(ftp::Session& session, ftp::EntryKind kind, std::initializer_list<const char*> skipped, Listed& names,
               int& leftOut) {
    names.clear();
    leftOut = 0;
    if (!session.listDirectory()) return false;
    leftOut = session.skippedEntries(kind);
    for (const ftp::ListingEntry& entry : session.entries()) {
        if (entry.kind != kind) continue;
        bool keep = true;
        for (const char* s : skipped) keep = keep && entry.name != s;
        if (keep) names.emplace_back(entry.name, entry.size);
    }
    return true;
}

// Server paths are relative to the login directory: go back there first, and only then
// into `path`, so that a failure never leaves the session in some other folder.
bool enterBelowLogin(BackupJob& job, const std::string& path) {
    return job.session.changeDirectory(job.loginDirectory) && job.session.changeDirectory(path);
}

// The names of `kind` in `path` below the login directory, except `skipped`. True with
// none when the server says the folder is not there; false when it could not be read
// whole (listing cut or refused, connection lost).
bool namesIn(BackupJob& job, const std::string& path, ftp::EntryKind kind,
             std::initializer_list<const char*> skipped, Listed& names, int& leftOut) {
    names.clear();
    leftOut = 0;
    if (!enterBelowLogin(job, path)) return job.session.isAlive();
    return listNames(job.session, kind, skipped, names, leftOut);
}

// One file into `localPath`, within the bounds of its listed size, given up when the
// window asks the backup to stop. A failed download leaves no file: a truncated copy in a
// backup would pass for a good one.
bool download(BackupJob& job, const std::string& remoteFolder, const std::string& remoteName,
              const std::string& localPath, std::int64_t listedBytes) {
    if (job.stopRequested) return false;
    // The backup folder is new, so a file can only be there already when two server names
    // meet in one local name (Windows ignores case): the first one is kept, whole.
    if (fs::fileExists(localPath)) return false;
    // The download's watch gives it up at the window's word.
    const ftp::TransferWatch watch{[&job](std::int64_t) { return !job.stopRequested; }, stopCheckMs};
    const bool saved = job.session.receiveFile(remoteName, localPath, downloadBounds(listedBytes), watch).ok();
    if (!saved && fs::fileExists(localPath)) fs::removeFile(localPath);
    // A download given up without the server's answer costs the session its connection:
    // the files after it are asked for on a new one, in the same folder.
    if (!saved && !job.stopRequested && !job.session.hasConnection()) {
        ftp::ensureConnected(job.session, job.account, job.loginDirectory);
        job.session.changeDirectory(remoteFolder);
    }
    return saved;
}

void tallyDownload(BackupTally& tally, bool saved) {
    if (saved) ++tally.savedFiles;
    else ++tally.failedFiles;
}

// A skin: its settings file, then the files of its image folder.
BackupTally saveSkin(BackupJob& job, BackupReporter& reporter, int row, const std::string& skin,
                     const std::string& skinsFolder) {
    BackupTally tally;
    const std::string local = skinsFolder + "/" + skin;
    const std::string remote = job.settings.guestbookFolder + "/skins/" + skin;
    // A skin that cannot be used as a local name or entered on the server loses its
    // settings file and its images, whose number is unknown.
    if (!suite::isPortableNamePart(skin) || !enterBelowLogin(job, remote) ||
        !fs::makeFolder(local)) {
        tally.failedFiles = 1;
        tally.unreadFolders = 1;
        return tally;
    }
    tallyDownload(tally, download(job, remote, "cfg_variables.php", local + "/cfg_variables.php", -1));
    reporter.skinProgress(row, tally);

    fs::makeFolder(local + "/imgs");
    if (!job.session.changeDirectory("imgs")) {
        // A skin without images is fine; a session that no longer answers is not.
        if (!job.session.isAlive()) tally.unreadFolders = 1;
        return tally;
    }
    Listed images;
    int leftOut = 0;
    if (!listNames(job.session, ftp::EntryFile, {"index.php", "Thumbs.db"}, images, leftOut)) {
        tally.unreadFolders = 1;
        return tally;
    }
    tally.unlisted += leftOut;
    for (const auto& [image, size] : images) {
        tallyDownload(tally, suite::isPortableNamePart(image) && download(job, remote + "/imgs", image, local + "/imgs/" + image, size));
        reporter.skinProgress(row, tally);
    }
    return tally;
}

void saveSkins(BackupJob& job, const std::vector<ChosenSource>& skins, BackupReporter& reporter,
               const std::string& base, BackupTally& total) {
    const std::string skinsFolder = base + "/skins";
    for (const ChosenSource& skin : skins) {
        // Stopped: the skin is left as it was listed and counted as not reached.
        if (job.stopRequested) {
            ++total.notReached;
            continue;
        }
        reporter.skinStarted(skin.row);
        if (!fs::isDirectory(skinsFolder)) fs::makeFolder(skinsFolder);
        const BackupTally tally = saveSkin(job, reporter, skin.row, skin.name, skinsFolder);
        reporter.skinProgress(skin.row, tally);
        total += tally;
    }
}

void savePersonalFiles(BackupJob& job, const std::vector<ChosenSource>& files, BackupReporter& reporter,
                       const std::string& base, BackupTally& total) {
    const std::string local = base + "/chmod_perso";
    fs::makeFolder(local);
    const std::string remote = job.settings.guestbookFolder + "/chmod_perso";
    const bool entered = !job.stopRequested && enterBelowLogin(job, remote);
    for (const auto& [row, name] : files) {
        if (job.stopRequested) {
            ++total.notReached;
            continue;
        }
        const auto listed = job.listedSizes.find(name);
        const bool saved = entered && suite::isPortableNamePart(name) &&
                           download(job, remote, name, local + "/" + name, listed == job.listedSizes.end() ? -1 : listed->second);
        // The file cut short by the stop is not saved, and its row says so.
        tallyDownload(total, saved);
        reporter.personalFileEnded(row, saved);
    }
}

}  // namespace

ftp::ReceiveBounds downloadBounds(std::int64_t listedBytes) {
    ftp::ReceiveBounds b;
    b.maxBytes = listedBytes < 0 ? unlistedFileBytes : listedBytes + listedBytes / 8 + sizeMarginBytes;
    const std::int64_t ms = baseDeadlineMs + b.maxBytes * 1000 / slowestBytesPerSecond;
    b.deadlineMs = static_cast<int>(std::min<std::int64_t>(ms, longestDeadlineMs));
    return b;
}

namespace {

// The step's login: the record, with a trust of the step whose question goes to its reporter.
// Let go when the step ends, as the reporter does not outlive it.
class StepAccount {
public:
    StepAccount(BackupJob& job, BackupReporter& reporter) : job_(job) {
        job.account = ftpAccount(job.settings,
                                 toolTrust([&reporter](const suite::Notice& question) { return reporter.ask(question); }));
    }
    ~StepAccount() { job_.account.tls.reset(); }
    StepAccount(const StepAccount&) = delete;
    StepAccount& operator=(const StepAccount&) = delete;

private:
    BackupJob& job_;
};

}  // namespace

bool listBackupSources(BackupJob& job, BackupReporter& reporter) {
    const ConnectionSettings& s = job.settings;
    const StepAccount account(job, reporter);
    if (const ftp::Result opened = job.session.open(job.account); !opened) {
        reporter.loginFailed(opened.failure);
        return false;
    }
    reporter.loggedIn();
    job.loginDirectory = job.session.currentDirectory();

    Listed skins, files;
    int skinsLeftOut = 0, filesLeftOut = 0;
    // Without the login directory no folder can be found again.
    const bool whole = !job.loginDirectory.empty() &&
                       namesIn(job, s.guestbookFolder + "/skins", ftp::EntryDirectory, {".", ".."}, skins, skinsLeftOut) &&
                       namesIn(job, s.guestbookFolder + "/chmod_perso", ftp::EntryFile,
                               {"index.php", "code_ecrit.php"}, files, filesLeftOut);
    if (!whole) {
        job.session.close();  // the window goes: a new "Connexion" logs in again
        reporter.listingFailed();
        return false;
    }
    job.unlistedSources = skinsLeftOut + filesLeftOut;
    job.listedSizes.clear();
    BackupSources sources;
    for (const auto& skin : skins) sources.skins.push_back(skin.first);
    for (const auto& [name, size] : files) {
        job.listedSizes.emplace(name, size);
        sources.personalFiles.push_back(name);
    }
    reporter.sourcesListed(sources);
    return true;
}

BackupOutcome runBackup(BackupJob& job, const BackupChoice& choice, BackupReporter& reporter,
                        const std::string& backupsRoot) {
    const StepAccount account(job, reporter);
    // The user may have looked at the lists for long enough for the server to drop us.
    ftp::ensureConnected(job.session, job.account, job.loginDirectory);

    BackupOutcome outcome;
    outcome.folderName = createBackupFolder(backupsRoot, clock::localNow());
    if (!outcome.folderName.empty()) {
        const std::string base = backupsRoot + "/" + outcome.folderName;
        outcome.tally.unlisted = job.unlistedSources;
        saveSkins(job, choice.skins, reporter, base, outcome.tally);
        savePersonalFiles(job, choice.personalFiles, reporter, base, outcome.tally);
    }
    outcome.stopped = job.stopRequested;
    job.session.close();
    reporter.backupEnded(outcome);
    return outcome;
}

}  // namespace velmo::backup
