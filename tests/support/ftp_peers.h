// Real FTP servers from Debian, started on 127.0.0.1 for one test and stopped after it.
//
//     FtpPeer peer(PeerKind::Vsftpd);            // throws PeerError when it cannot start
//     session.open(peer.host(), peer.user(), peer.password(), true, peer.port());
//     ... files the server stored are under peer.home() on this machine ...
//
// Each peer gets a free port, a throwaway user with a random password and a fresh home
// folder under /tmp that is also its login directory ("/" for the client: every kind is
// chrooted or rooted there). The constructor returns once the server has sent its 220
// greeting; the destructor stops the whole process group (the daemons fork one process
// per session) and removes the folder.
//
// Kinds and where their programs come from:
// - pyftpdlib: /usr/bin/python3 with python3-pyftpdlib (Debian's python only).
// - vsftpd, pure-ftpd, proftpd: unpacked side by side by scripts/install-deps.sh into
//   $VELMO_PEERS_DIR (default /opt/velmo-peers)/<name>/usr/sbin/. They need root: they
//   switch to an unprivileged account (one whose home folder exists, normally "daemon"),
//   and vsftpd reads a PAM service file that the peer writes into /etc/pam.d.
// A missing program is a PeerError, never a silent skip: a test over a kind fails.
// VELMO_FTP_PEERS (comma-separated kind names) narrows peerKindsUnderTest() for local runs.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace velmo::testsupport {

enum class PeerKind { Pyftpdlib, Vsftpd, PureFtpd, Proftpd };

struct PeerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PeerOptions {
    // Seconds of inactivity after which the server drops a session (421, then close);
    // 0 keeps each server's own long default. pure-ftpd counts whole minutes, so any
    // value from 1 to 60 means one minute there.
    int idleTimeoutSeconds = 0;
    // Folders (relative to the home, created before the start) in which the server
    // refuses to store: mode 0555 for the daemons, which run unprivileged, and a
    // read-only permission override for pyftpdlib, which runs as the caller (root).
    std::vector<std::string> readOnlyFolders;
    // False: the user may list and download but not store anywhere.
    bool allowWrite = true;
    // pyftpdlib only: a folder below the home (created before the start) that the login
    // lands in, so that the login directory is "/" + it instead of "/", as with hosts
    // that log their users into a "www" folder of a wider home. Empty: the home itself.
    std::string loginFolder;
    // Explicit FTP over TLS, every kind (proftpd through mod_tls, pyftpdlib through its
    // TLS_FTPHandler and python3-openssl). Offered: AUTH TLS is answered, and
    // logins and data in clear still work; Required: a login or a transfer in clear is
    // refused. The certificate and its key are PEM files (tests/support/tls_certificates.h).
    enum class Tls { Off, Offered, Required };
    Tls tls = Tls::Off;
    std::string tlsCertFile;
    std::string tlsKeyFile;
};

class FtpPeer {
public:
    explicit FtpPeer(PeerKind kind, PeerOptions options = {});
    ~FtpPeer();
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    PeerKind kind() const { return kind_; }
    const std::string& host() const { return host_; }
    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    // Local path of the login directory.
    const std::string& home() const { return home_; }

    // Commands the server received so far on all connections, in order, as the server
    // logged them (command word upper-case, then its argument; PASS arguments masked).
    // Supported for pyftpdlib, vsftpd and proftpd; pure-ftpd logs only to syslog.
    static bool logsCommands(PeerKind kind);
    std::vector<std::string> receivedCommands() const;

    // vsftpd: the PAM service file this peer wrote (removed with the peer); else "".
    const std::string& pamServiceFile() const { return pamService_; }

    // What the server printed and logged (for failure messages).
    std::string serverOutput() const;

    // Makes a folder below the home that the server can write into (owned by the
    // server's account).
    void makeFolder(const std::string& relativePath) const;

private:
    void prepare();
    void launch();
    bool waitForGreeting();
    void stop();

    PeerKind kind_;
    PeerOptions options_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    std::string user_;
    std::string password_;
    std::string base_;      // private folder: configuration, logs, home
    std::string home_;
    std::string outputPath_;
    std::string commandLogPath_;
    std::string pamService_;  // vsftpd only: /etc/pam.d/<name>
    std::vector<std::string> argv_;
    int serverUid_ = -1, serverGid_ = -1;
    ChildProcess process_;
};

const char* peerKindName(PeerKind kind);
// False when `name` is not one of the names peerKindName gives.
bool peerKindFromName(const std::string& name, PeerKind& kind);
// All four kinds, or those listed in VELMO_FTP_PEERS.
std::vector<PeerKind> peerKindsUnderTest();
// Kinds whose idle timeout can be set in seconds (pure-ftpd only knows minutes).
std::vector<PeerKind> peerKindsWithIdleSeconds();

}  // namespace velmo::testsupport
