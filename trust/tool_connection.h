// How the four tools connect with encryption when the server offers it: one ServerTrust per
// run on the known-servers file every tool shares (beside the connection settings, so that
// a certificate accepted in one tool is not asked about again in another), and the box a
// failed connection shows, worded apart when the encryption is why.
#pragma once
#include <memory>

#include "ftp/control_connection.h"
#include "ftp/ftp_session.h"
#include "suite/notice.h"
#include "trust/server_trust.h"

namespace velmo {

// A run's trust: what it learns goes to settings/known_servers.h's file, its certificate
// questions to `ask` (which answers No when the window has gone).
std::shared_ptr<ServerTrust> toolTrust(ServerTrust::Ask ask);

// The box after a connection or login that failed with `failure`: the downgrade, the
// encryption that could not be set up and the refused certificate have their own texts
// (nothing was sent in any of them); everything else is the suite's connection box.
suite::Notice connectionFailureNotice(ftp::Failure failure);

// What the control channel's AUTH TLS step (ControlChannel::tlsOutcome) means as a session
// failure (None for Plain and Encrypted).
ftp::Failure failureOf(ftp::TlsStart start);

}  // namespace velmo
