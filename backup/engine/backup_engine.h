// The backup tool's engine: lists what a guestbook on the server has worth saving (its
// skins and its personal data files) and downloads the chosen ones into a new folder below
// "sauvegardes". Both steps run in worker threads, one at a time, on the FTP session of their
// BackupJob; they reach the user only through a BackupReporter.
//
// Server side, below the login directory (`folder` is the guestbook folder of the record):
//   folder/skins/<skin>/cfg_variables.php     a skin's settings
//   folder/skins/<skin>/imgs/<file>           its images (not "index.php", "Thumbs.db")
//   folder/chmod_perso/<file>                 personal data (not "index.php", "code_ecrit.php")
// Local side, below the working directory, the same layout inside
//   sauvegardes/sauvegarde_YYYY_MM_DD__hh_mm_ss/skins/... and .../chmod_perso/...
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "backup/engine/backup_folder.h"
#include "backup/engine/backup_report.h"
#include "ftp/account.h"
#include "ftp/ftp_session.h"
#include "suite/notice.h"
#include "settings/connection_settings.h"

namespace velmo::backup {

// What the listing found, in the server's order.
struct BackupSources {
    std::vector<std::string> skins;
    std::vector<std::string> personalFiles;
};

// A row the user left checked: its place in its list and its name.
struct ChosenSource {
    int row = 0;
    std::string name;
};
// What is to be saved, in the lists' order: read from the window's lists when
// "Sauvegarder" is pressed, so that the backup never looks at the window.
struct BackupChoice {
    std::vector<ChosenSource> skins;
    std::vector<ChosenSource> personalFiles;
};

// How the engine meets the window: what happened, as data; the window words it and shows
// it. Called from the engine's worker thread.
class BackupReporter {
public:
    virtual ~BackupReporter() = default;

    // Listing. Logged in: the engine now works on the server (the window cannot be closed
    // meanwhile) and the lists are filled anew.
    virtual void loggedIn() = 0;
    // The login failed (`failure`: why, a refused certificate or a downgrade included); the
    // window is then closed.
    virtual void loginFailed(ftp::Failure failure) = 0;
    // The question about the server's certificate; true for Yes. Waits for the answer; No
    // when it cannot be asked (the window has gone).
    virtual bool ask(const suite::Notice& question) = 0;
    // A folder that is there could not be read whole; the window is then closed (lists
    // that lack what could not be read would pass for the whole guestbook).
    virtual void listingFailed() = 0;
    // The lists, every row checked and not saved yet; the backup may now be started.
    virtual void sourcesListed(const BackupSources& sources) = 0;

    // Backup, row by row of the choice (`row` as chosen).
    virtual void skinStarted(int row) = 0;
    virtual void skinProgress(int row, const BackupTally& skin) = 0;  // what it came to so far
    virtual void personalFileEnded(int row, bool saved) = 0;
    // The backup is over and the session closed.
    virtual void backupEnded(const BackupOutcome& outcome) = 0;
};

// One backup window's work: the connection record (the guestbook folder is the one of
// the settings file), what the listing found, and the window's stop request.
struct BackupJob {
    ConnectionSettings settings;
    std::string loginDirectory;
    // The personal files' sizes as listed: a download is bounded by them.
    std::map<std::string, std::int64_t> listedSizes;
    // Skins and personal files the listing had to leave out (over-long lines): never in
    // the lists, so never saved, and counted in the closing message.
    int unlistedSources = 0;
    // Raised by the window (its close box, or its closing) to stop a running backup: the
    // download under way is given up, nothing more is asked for, and the closing message
    // says what is missing.
    std::atomic<bool> stopRequested{false};
    // Opened by the listing, used by the backup, closed at its end; only the worker of
    // the step under way touches it.
    ftp::Session session;
    // The login of the step under way (listing or backup), encrypted when the server offers
    // it, its certificate question put to that step's reporter: set at the step's start,
    // its trust let go at the step's end.
    ftp::Account account;
};

// Opens the job's session with the record and lists both folders in the server's order: the
// sub-folders of folder/skins ("." and ".." left out) and the plain files of
// folder/chmod_perso ("index.php" and "code_ecrit.php" left out). A folder the server says
// is not there gives an empty list. Ends with reporter.sourcesListed, or reporter.loginFailed
// when the login failed, or reporter.listingFailed (and false) when a listing was cut,
// refused or lost with the connection. The session stays open for runBackup.
bool listBackupSources(BackupJob& job, BackupReporter& reporter);

// The bounds of one download: the listed size with a margin (a file that grew a little
// since the listing still comes whole) and a time in proportion to it. `listedBytes` < 0:
// a file no listing gave the size of (a skin's settings file), bounded far beyond any.
ftp::ReceiveBounds downloadBounds(std::int64_t listedBytes);

// Downloads the chosen rows into a new folder made by createBackupFolder inside
// `backupsRoot`, reopening the session first when the server dropped it meanwhile. A skin
// is reported as it goes (skinStarted, skinProgress), a personal file once it ended; only
// successful downloads count as saved, and a file whose download failed is not left
// half-written. Files are only ever asked for in the folder they belong to: a folder that
// cannot be entered fails its files. Every download is bounded (downloadBounds): a server
// sending more than the file it listed, or sending it without end, fails that file. Once
// job.stopRequested is raised the running download is given up and the rows not reached
// are counted as such. Closes the session, then reporter.backupEnded.
BackupOutcome runBackup(BackupJob& job, const BackupChoice& choice, BackupReporter& reporter,
                        const std::string& backupsRoot = backupsFolder);

}  // namespace velmo::backup
