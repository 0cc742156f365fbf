// What the tools' encryption tests share: a real FTP server that offers or requires TLS
// with a self-signed certificate (the certificate question is then always asked), what
// the question box looks like, what the shared known-servers file holds for the server,
// and whether the user name ever reached the server.
#pragma once
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "settings/known_servers.h"
#include "tests/support/ftp_peers.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tls_certificates.h"

namespace velmo::testsupport {

// The certificate question's title and the start of its text for a server.
inline constexpr const char* certificateQuestionTitle = "Certificat du serveur.";
inline std::string certificateQuestionStart(const FtpPeer& peer) {
    return "Le serveur " + peer.host() + " (port " + std::to_string(peer.port()) + ") propose une connexion chiffrée";
}

// Certificates made at test time, in a folder of their own (not the tools' folder).
struct ToolsTls {
    velmo::testing::ScratchFolder folder;
    TlsCertificates certs{folder.root.string()};

    // `kind` with TLS as asked, with the self-signed leaf.
    std::unique_ptr<FtpPeer> peer(PeerKind kind, PeerOptions::Tls tls, PeerOptions options = {}) const {
        options.tls = tls;
        options.tlsCertFile = certs.selfSigned.certFile;
        options.tlsKeyFile = certs.selfSigned.keyFile;
        return std::make_unique<FtpPeer>(kind, options);
    }
    std::string selfSignedDer() const { return certificateDer(certs.selfSigned.certFile); }
};

// What the known-servers file below the tools' folder holds for the server.
inline KnownServer knownServer(const std::filesystem::path& toolsFolder, const FtpPeer& peer) {
    return readKnownServer((toolsFolder / knownServersPath).string(), peer.host(), peer.port());
}

// The server logged a USER command (vsftpd and proftpd log what they received).
inline bool userReached(const FtpPeer& peer) {
    const std::vector<std::string> commands = peer.receivedCommands();
    return std::any_of(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("USER", 0) == 0; });
}

}  // namespace velmo::testsupport
