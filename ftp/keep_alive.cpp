#include "ftp/keep_alive.h"

#include "ftp/ftp_session.h"

namespace velmo::ftp {

void ensureConnected(int session, const Account& account, const std::string& directory) {
    // Own copy: callers often pass a field of state that their other threads may rewrite.
    const std::string target = directory;
    if (isAlive(session)) return;
    // open() first closes whatever is left under the number. Neither result is looked at:
    // after a failed open changeDirectory finds no session and sends nothing, and the
    // caller's next operation fails in its own way.
    open(session, account);
    changeDirectory(session, target);
}

}  // namespace velmo::ftp
