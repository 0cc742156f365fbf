// Where the settings files meet the FTP layer: a tool's connection record as the account
// the session layer logs in with. Apart from the FTP layer's own sources (which need
// nothing from the settings files), for the tools' engines, which link both.
#pragma once
#include "ftp/account.h"
#include "settings/connection_settings.h"

namespace velmo {

// The record's login values as the FTP layer takes them (non-zero passive flag: passive).
inline ftp::Account ftpAccount(const ConnectionSettings& settings) {
    return ftp::Account{settings.serverAddress, settings.userId, settings.password, settings.passiveFlag != 0,
                        settings.port};
}

}  // namespace velmo
