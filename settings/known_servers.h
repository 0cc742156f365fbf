// What the tools remember of the FTP servers they reached encrypted: per host and port,
// that the server took AUTH TLS (so that a later refusal is seen as a downgrade), and the
// certificate the user chose to trust when the system did not. One file beside the
// connection settings, shared by the four tools, so that a decision taken in one tool
// holds in the others. Never a password.
//
// The file is a ".pcfg" file (settings/preference_file.h): one group per server, named
// "<host>:<port>" with the host in lower case (host names ignore case), keys "TLS" ("1")
// and "Certificat" (the certificate's DER bytes as upper-case hex).
//
// A change takes the settings' lock scheme (settings/settings_lock.h, its own lock file
// beside this one), reads the file again under it and writes it back whole, so two tools
// recording at once never undo each other's entries.
#pragma once
#include <string>

namespace velmo {

inline constexpr const char* knownServersPath = "softwareDatas/serveurs-tls.pcfg";

struct KnownServer {
    bool seenWithTls = false;
    std::string certificateDer;  // "" when no certificate was trusted by hand
    bool operator==(const KnownServer&) const = default;
};

// What the file at `path` holds for host:port (nothing for a missing or unreadable file,
// or a certificate whose hex is not whole).
KnownServer readKnownServer(const std::string& path, const std::string& host, int port);

// Records host:port as seen with TLS and, when `certificateDer` is not empty, that
// certificate as the trusted one (replacing an earlier one). False when the change did not
// reach the disk (another program held the file for the whole wait, or the write failed:
// the old file then stays whole).
bool rememberKnownServer(const std::string& path, const std::string& host, int port,
                         const std::string& certificateDer);

}  // namespace velmo
