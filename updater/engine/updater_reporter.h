// What the updater's engines tell the window, and the state the check hands over to the
// installation. The engines (version check, update application) include nothing from the
// user interface and say what happened as data: the window (window_reporter.h) decides how
// it looks (which label, which colour, where a line stands), the tests record it.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "suite/notice.h"
#include "updater/engine/update_description.h"

namespace velmo::updater {

// The line that opens the description area after a check.
enum class Announcement { NoUpdate, UpdateAvailable };

// Where one package file is: listed by the check, downloaded into the mirror, sent to the
// server, or failed (its download or its upload), or refused as not the published file.
enum class FileState { ToUpdate, Received, Sent, Failed, Tampered };
// (Tampered: received, but not the file the signed description lists: never sent.)

class UpdaterReporter {
public:
    virtual ~UpdaterReporter() = default;

    // The version numbers as read (the installed one from the local file, the newest from
    // the published list), and whether the installed one is the newest.
    virtual void installedVersionKnown(std::int32_t version) = 0;
    virtual void latestVersionKnown(std::int32_t version) = 0;
    virtual void versionsCompared(bool upToDate) = 0;

    // The description area of the first tab: emptied, the announcement, the update's lines.
    virtual void clearDescription() = 0;
    virtual void announce(Announcement announcement) = 0;
    virtual void addDescriptionLine(const std::string& line) = 0;

    // The file list of the second tab: one row per package file, in the description's order,
    // each listed as FileState::ToUpdate.
    virtual void clearFileRows() = 0;
    virtual void addFileRow(const std::string& serverName) = 0;
    virtual void fileStateChanged(int row, FileState state) = 0;

    // What the run is doing now (the "Actions en cours" line).
    virtual void setActionStatus(const std::string& text) = 0;

    // A box the user closes before the engine goes on.
    virtual void message(const suite::Notice& notice) = 0;
    // A box after which the program ends without going back to the launcher (the engine
    // returns at once after calling it).
    virtual void fatal(const suite::Notice& notice) = 0;
    // A Yes / No question (the FTP server's certificate); waits for the answer, true for
    // Yes. No when it cannot be asked (a reporter with no user, a window that has gone or
    // is closing): the connection is then abandoned before anything is sent.
    virtual bool ask(const suite::Notice& question);
};

// What a check found to install: the package folder, the versions, and the description as
// read and checked once, in the check. The installation works from this value only, never
// from the mirrored file again: what it sends is what was checked.
struct CheckedUpdate {
    std::string packageFolder;  // "maj_" + the target version
    std::int32_t targetVersion = 0;
    std::int32_t latestVersion = 0;
    UpdateDescription description;
};

// Handed from the check to the installation. The check and the installation never run at
// once (the window starts one worker at a time), and the window reads it only between two
// runs (after the worker's end, on its own thread): nothing here is shared while a run goes
// on except the stop the window sets.
struct UpdaterState {
    // Set: the installation tab may not be opened.
    bool applyLocked = true;
    // Set: no check has found the installation up to date since start or since the last
    // installation.
    bool checkPending = true;
    // What the last check offered; none when it offered nothing (or refused the description).
    std::optional<CheckedUpdate> offer;

    // Set by the window when the program is closing: the running check or installation
    // stops before its next step (a file being sent is let finish) and records nothing
    // more: no version, no journal block, no message.
    std::atomic<bool> stopRequested{false};
    // The longest a whole check and a whole installation may take, in ms (set before the
    // run starts). Each download waits at most what is left of it; past it an installation
    // sends no further file and counts the rest as failed.
    int checkLimitMs = 5 * 60 * 1000;
    int applyLimitMs = 60 * 60 * 1000;

    // The offered package's folder ("" with no offer).
    std::string packageFolder() const { return offer ? offer->packageFolder : std::string(); }
};

}  // namespace velmo::updater
