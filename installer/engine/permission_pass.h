// The permission (CHMOD) passes over the control channel: the upload's own step after an
// upload with "Chmod." ticked, and the two menu runs of "Outils". They take their values
// as arguments and report through a PermissionReporter; they touch no window.
//
// The program holds one control-channel conversation at a time: a pass started while
// another one talks to the server waits for it.
#pragma once
#include <memory>
#include <string>

#include "ftp/ftp_session.h"
#include "ftp/tls_trust.h"
#include "installer/engine/notice.h"
#include "settings/connection_settings.h"

namespace velmo::installer {

enum class PermissionAction {
    ApplyWritable,      // "Effectuer les chmods ...": 777 everywhere
    RestoreRestricted,  // "Annuler les chmods ...": 705 on the folders, 604 on the files
};

enum class PermissionOutcome {
    NotAsked,      // no pass ran
    Applied,       // the server accepted the mode of every target
    NotConnected,  // no connection, or the login was refused: nothing was sent
    Refused,       // logged in, but the server refused `refused` of the targets
};

struct PermissionResult {
    PermissionOutcome outcome = PermissionOutcome::NotAsked;
    int refused = 0;
    // Why a NotConnected pass got no connection (None: the login was refused).
    ftp::Failure connectFailure = ftp::Failure::None;
    bool operator==(const PermissionResult&) const = default;
};

// Where a pass reports, on the thread that runs it.
class PermissionReporter {
public:
    virtual ~PermissionReporter() = default;
    // Target i of n (from 1) has been handled; `label` names it.
    virtual void permissionStep(int i, int n, const std::string& label) = 0;
    // An information; returns once the user has read it.
    virtual void inform(const Notice& notice) = 0;
    // A Yes / No question (the server's certificate); true for Yes. A reporter that cannot
    // ask answers No, and the connection is abandoned before anything is sent.
    virtual bool ask(const Notice& question);
};

// One pass on the 14 targets below settings.guestbookFolder: connect, log in, pause
// 500 ms, then for each target CHMOD (SITE CHMOD when refused) and its step, and close.
// A login that is refused ends it before any CHMOD (NotConnected); one that times out
// goes on, and what it leaves unanswered counts as refused. The connection is encrypted
// when the server offers it, under `trust` (the upload's, after an upload), or a trust of
// its own whose questions go to the reporter.
PermissionResult runPermissionPass(const ConnectionSettings& settings, PermissionAction action,
                                   PermissionReporter& reporter, std::shared_ptr<ftp::TlsTrust> trust = nullptr);

// A menu run, in its worker, with the form's fields as typed: an empty address, user ID
// or password, no connection or a refused login show connectionFailedNotice, a connection
// refused for its encryption its own box (trust/tool_connection.h) (and give NotConnected); otherwise the pass, then 500 ms. The box that ends a run that connected
// (menuRunNotice) and what follows it are the caller's.
PermissionResult runMenuPermissions(const ConnectionSettings& settings, PermissionAction action,
                                    PermissionReporter& reporter);

// What a pass did, in one sentence: the CHMOD done, refused (how many), or impossible.
std::string permissionSentence(const PermissionResult& result);

// "Statut Chmod." after a menu run that connected: information when every mode was
// changed, warning with the count when the server refused some.
Notice menuRunNotice(const PermissionResult& result);

}  // namespace velmo::installer
