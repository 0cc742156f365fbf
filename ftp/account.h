// What it takes to log in to an FTP account: the values a tool hands to the session layer
// (open, ensureConnected). A plain value; the tools build it from their connection
// settings, so the FTP layer needs nothing from the settings files. Texts are CP1252 bytes.
#pragma once
#include <memory>
#include <string>

#include "ftp/tls_trust.h"

namespace velmo::ftp {

struct Account {
    std::string server;    // host name or dotted IPv4 address
    std::string userId;
    std::string password;
    bool passive = true;   // passive (PASV) data connections; false: active (PORT)
    int port = 21;
    // Encryption when the server offers it, under these rules (ftp/tls_trust.h); null:
    // plain FTP only, AUTH TLS never sent.
    std::shared_ptr<TlsTrust> tls;
};

}  // namespace velmo::ftp
