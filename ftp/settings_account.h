// Where the settings files meet the FTP layer: a tool's connection record as the account
// the session layer logs in with. Apart from the FTP layer's own sources (which need
// nothing from the settings files), for the tools' engines, which link both.
#pragma once
#include <memory>
#include <utility>

#include "ftp/account.h"
#include "settings/connection_settings.h"

namespace velmo {

// The record's login values as the FTP layer takes them (non-zero passive flag: passive).
inline ftp::Account ftpAccount(const ConnectionSettings& settings) {
    return ftp::Account{settings.serverAddress, settings.userId, settings.password, settings.passiveFlag != 0,
                        settings.port};
}

// The same, encrypted when the server offers it, under `trust`'s rules (ftp/tls_trust.h).
inline ftp::Account ftpAccount(const ConnectionSettings& settings, std::shared_ptr<ftp::TlsTrust> trust) {
    ftp::Account account = ftpAccount(settings);
    account.tls = std::move(trust);
    return account;
}

}  // namespace velmo
