#include "ftp/keep_alive.h"

namespace velmo::ftp {

void ensureConnected(Session& session, const Account& account, const std::string& directory) {
    // Own copy: callers often pass a field of state that their other threads may rewrite.
    const std::string target = directory;
    if (session.isAlive()) return;
    // open() first closes what is left of the session. Neither result is looked at: after
    // a failed open changeDirectory sends nothing, and the caller's next operation fails
    // in its own way.
    session.open(account);
    session.changeDirectory(target);
}

}  // namespace velmo::ftp
