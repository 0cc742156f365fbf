#include "backup/backup_engine.h"

#include <initializer_list>
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/keep_alive.h"
#include "platform/clock.h"
#include "platform/fs.h"

namespace velmo::backup {

namespace {

constexpr int session = backupSession;

// The names of the current directory's entries of `kind`, in the server's order, except
// `skipped`. False when the listing could not be had.
bool listNames(ftp::EntryKind kind, std::initializer_list<const char*> skipped, std::vector<std::string>& names) {
    names.clear();
    if (!ftp::listDirectory(session)) return false;
    while (ftp::nextEntry(session)) {
        if (ftp::entryKind(session) != kind) continue;
        std::string name = ftp::entryName(session);
        bool keep = true;
        for (const char* s : skipped) keep = keep && name != s;
        if (keep) names.push_back(std::move(name));
    }
    return true;
}

// Server paths are relative to the login directory: go back there first, and only then
// into `path`, so that a failure never leaves the session in some other folder.
bool enterBelowLogin(const BackupJob& job, const std::string& path) {
    return ftp::changeDirectory(session, job.loginDirectory) && ftp::changeDirectory(session, path);
}

// The names of `kind` in `path` below the login directory, except `skipped`. True with
// none when the server says the folder is not there; false when it could not be read
// whole (listing cut or refused, connection lost).
bool namesIn(const BackupJob& job, const std::string& path, ftp::EntryKind kind,
             std::initializer_list<const char*> skipped, std::vector<std::string>& names) {
    names.clear();
    if (!enterBelowLogin(job, path)) return ftp::isAlive(session);
    return listNames(kind, skipped, names);
}

// One file into `localPath`. A failed download leaves no file: a truncated copy in a
// backup would pass for a good one.
bool download(const std::string& remoteName, const std::string& localPath) {
    // The backup folder is new, so a file can only be there already when two server names
    // meet in one local name (Windows ignores case): the first one is kept, whole.
    if (fs::fileExists(localPath)) return false;
    if (ftp::receiveFile(session, remoteName, localPath, false)) return true;
    if (fs::fileExists(localPath)) fs::removeFile(localPath);
    return false;
}

void tallyDownload(BackupTally& tally, bool saved) {
    if (saved) ++tally.savedFiles;
    else ++tally.failedFiles;
}

// A skin: its settings file, then the files of its image folder.
BackupTally saveSkin(const BackupJob& job, BackupReporter& reporter, int row, const std::string& skin,
                     const std::string& skinsFolder) {
    BackupTally tally;
    const std::string local = skinsFolder + "/" + skin;
    // A skin that cannot be used as a local name or entered on the server loses its
    // settings file and its images, whose number is unknown.
    if (!isSafeLocalName(skin) || !enterBelowLogin(job, job.settings.guestbookFolder + "/skins/" + skin) ||
        !fs::makeFolder(local)) {
        tally.failedFiles = 1;
        tally.unreadFolders = 1;
        return tally;
    }
    tallyDownload(tally, download("cfg_variables.php", local + "/cfg_variables.php"));
    reporter.setSourceStatus(SourceList::Skins, row, skinStatus(tally));

    fs::makeFolder(local + "/imgs");
    if (!ftp::changeDirectory(session, "imgs")) {
        // A skin without images is fine; a session that no longer answers is not.
        if (!ftp::isAlive(session)) tally.unreadFolders = 1;
        return tally;
    }
    std::vector<std::string> images;
    if (!listNames(ftp::EntryFile, {"index.php", "Thumbs.db"}, images)) {
        tally.unreadFolders = 1;
        return tally;
    }
    for (const std::string& image : images) {
        tallyDownload(tally, isSafeLocalName(image) && download(image, local + "/imgs/" + image));
        reporter.setSourceStatus(SourceList::Skins, row, skinStatus(tally));
    }
    return tally;
}

void saveSkins(const BackupJob& job, BackupReporter& reporter, const std::string& base, BackupTally& total) {
    const std::string skinsFolder = base + "/skins";
    const int rows = reporter.sourceCount(SourceList::Skins);
    for (int row = 0; row < rows; ++row) {
        std::string skin;
        if (!reporter.sourceToSave(SourceList::Skins, row, skin)) continue;
        reporter.setSourceStatus(SourceList::Skins, row, inProgressStatus);
        if (!fs::isDirectory(skinsFolder)) fs::makeFolder(skinsFolder);
        const BackupTally tally = saveSkin(job, reporter, row, skin, skinsFolder);
        reporter.setSourceStatus(SourceList::Skins, row, skinStatus(tally));
        total += tally;
    }
}

void savePersonalFiles(const BackupJob& job, BackupReporter& reporter, const std::string& base,
                       BackupTally& total) {
    const std::string local = base + "/chmod_perso";
    fs::makeFolder(local);
    const bool entered = enterBelowLogin(job, job.settings.guestbookFolder + "/chmod_perso");
    const int rows = reporter.sourceCount(SourceList::PersonalFiles);
    for (int row = 0; row < rows; ++row) {
        std::string name;
        if (!reporter.sourceToSave(SourceList::PersonalFiles, row, name)) continue;
        const bool saved = entered && isSafeLocalName(name) && download(name, local + "/" + name);
        tallyDownload(total, saved);
        reporter.setSourceStatus(SourceList::PersonalFiles, row, saved ? savedStatus : failedStatus);
    }
}

}  // namespace

bool listBackupSources(BackupJob& job, BackupReporter& reporter) {
    const ConnectionSettings& s = job.settings;
    if (!ftp::open(session, ftpAccount(s))) {
        reporter.loginFailed();
        return false;
    }
    reporter.setBusy(true);
    reporter.clearSources();
    job.loginDirectory = ftp::currentDirectory(session);

    std::vector<std::string> skins, files;
    // Without the login directory no folder can be found again.
    const bool whole = !job.loginDirectory.empty() &&
                       namesIn(job, s.guestbookFolder + "/skins", ftp::EntryDirectory, {".", ".."}, skins) &&
                       namesIn(job, s.guestbookFolder + "/chmod_perso", ftp::EntryFile,
                               {"index.php", "code_ecrit.php"}, files);
    // Not busy any more before the user is told how the listing went.
    reporter.setBusy(false);
    if (!whole) {
        ftp::close(session);  // the window goes: a new "Connexion" logs in again
        reporter.listingFailed();
        return false;
    }
    for (const std::string& name : skins) reporter.addSource(SourceList::Skins, name);
    for (const std::string& name : files) reporter.addSource(SourceList::PersonalFiles, name);
    reporter.sourcesListed();
    return true;
}

BackupOutcome runBackup(BackupJob& job, BackupReporter& reporter, const std::string& backupsRoot) {
    reporter.setBusy(true);
    reporter.backupStarting();
    // The user may have looked at the lists for long enough for the server to drop us.
    ftp::ensureConnected(session, ftpAccount(job.settings), job.loginDirectory);

    BackupOutcome outcome;
    outcome.folderName = createBackupFolder(backupsRoot, clock::localNow());
    if (!outcome.folderName.empty()) {
        const std::string base = backupsRoot + "/" + outcome.folderName;
        saveSkins(job, reporter, base, outcome.tally);
        savePersonalFiles(job, reporter, base, outcome.tally);
    }
    ftp::close(session);
    reporter.setBusy(false);
    reporter.backupEnded(outcome);
    return outcome;
}

}  // namespace velmo::backup
