// The upload of the guestbook ("Valider"), from the login to the closed session, and the
// transfer run around it: the upload, then the permission step when "Chmod." was ticked.
//
// The engine takes its inputs as values (the trimmed form, the manifest scanned at
// start-up) and reports through an UploadReporter; it touches no window. What follows a
// run (the closing box, the settings, the journal, the link generator: run_completion.h)
// is the caller's, from the RunReport it returns.
#pragma once
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "installer/engine/guestbook_manifest.h"
#include "installer/engine/notice.h"
#include "installer/engine/permission_pass.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

// A file the server keeps refusing is given up after this many attempts.
inline constexpr int maxSendAttempts = 5;

// Where the upload stands, for the progress display.
struct UploadProgress {
    enum class Step {
        Uploading,      // the remote folder is accepted: the run may be stopped from now on
        FolderReached,  // a manifest folder's line; `first` for the user's folder itself
        FileStarted,    // a file's line, before its first send
        FileMoving,     // a send in progress at `percent` (-1: it ended before a check)
        FileEnded,      // the file is done with (sent, given up or not sendable)
    };
    Step step = Step::Uploading;
    int itemIndex = 0;  // tree-list line
    int percent = -1;
    bool first = false;
    bool operator==(const UploadProgress&) const = default;
};

// Where the upload reports, on the thread that runs it.
class UploadReporter : public PermissionReporter {
public:
    virtual void progress(const UploadProgress& progress) = 0;
    // A Yes / No question; true for Yes.
    virtual bool ask(const Notice& question) = 0;
    // True when the user asked to stop since the last call; asking consumes the request.
    virtual bool stopRequested() = 0;
    // For the boxes raised while a file is being sent, which must not hold the send: the
    // box is shown and the call returns at once; the future is ready once it was closed,
    // with the answer (Yes: true) for a question. A future that breaks (the window went)
    // counts as No. These defaults show the box and wait, then hand over a ready future.
    virtual std::future<bool> askWithoutWaiting(const Notice& question);
    virtual std::future<bool> informWithoutWaiting(const Notice& notice);
};

struct UploadJob {
    ConnectionSettings settings;  // the form, trimmed; the permission flag is "Chmod."
    std::shared_ptr<const std::vector<ManifestFolder>> manifest;
};

enum class UploadOutcome {
    NoFolder,      // the folder name names no sub-folder: nothing was sent
    NotConnected,  // the login failed (the engine said so)
    Declined,      // the folder exists and the user chose not to overwrite it
    Stopped,       // the user confirmed a stop
    Processed,     // every manifest entry was processed
};

struct RunReport {
    UploadOutcome outcome = UploadOutcome::NotConnected;
    ConnectionSettings settings;           // the job's
    std::vector<std::string> failedSends;  // local path of every failed or impossible send
    int filesGivenUp = 0;                  // files not on the server at the end
    // Session::oneAtATimeReason at the session's close: for the journal only.
    std::string oneAtATimeReason;
    PermissionResult permissions;          // the step after a processed upload
};

// A folder name the upload accepts (trimmed, as the job holds it): something other than
// nothing, "." or "..", so that the guestbook never lands in the login directory itself
// (or above it).
bool namesSubFolder(const std::string& folder);

// The whole run, in its worker: the upload (steps of the folder field's check, the login,
// the existing folder's question, the manifest's folders and files, the closed session and
// its 500 ms pause), then the permission step after a processed upload with the flag set.
//
// A folder that cannot be made or entered gets none of its files sent (nor its sub-folders,
// which are reached from it); each counts as given up. A file that fails is sent again,
// after the session was reopened when the server dropped it, up to maxSendAttempts times.
// A session that cannot be reopened ends the sending: every file left counts as given up.
RunReport runTransfer(const UploadJob& job, UploadReporter& reporter);

}  // namespace velmo::installer
