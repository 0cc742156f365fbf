// The reconnect check the installer, the folder locator and the backup tool run before
// they work on the server again: a session left idle (while the user read a message or
// looked at a list) may have been dropped by the server.
#pragma once
#include <string>

#include "ftp/account.h"
#include "ftp/ftp_session.h"

namespace velmo::ftp {

// When `session` no longer answers PWD with 257, opens it again with the account's
// address, user ID, password, passive flag and port, then changes to `directory`.
// Reports nothing: a reopening that fails leaves the session closed, and the caller's next
// operation fails in its own way (its Result says NotConnected).
void ensureConnected(Session& session, const Account& account, const std::string& directory);

}  // namespace velmo::ftp
