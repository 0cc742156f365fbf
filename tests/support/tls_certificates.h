// Certificates made at test time for the TLS tests (Linux build only): a test CA, leaves it
// signs for 127.0.0.1 and localhost (valid, expired, not yet valid, for another name) and a
// self-signed one, written as PEM files into a folder.
//
//     TlsCertificates certs(dir.path);
//     TlsServer server(certs.good);                 // openssl s_server on 127.0.0.1
//     options.extraCaFile = certs.caFile;
#pragma once
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace velmo::testsupport {

struct TlsLeaf {
    std::string certFile;  // PEM
    std::string keyFile;   // PEM
};

struct TlsCertificates {
    explicit TlsCertificates(const std::string& folder);
    std::string caFile;
    TlsLeaf good;         // by the CA, for 127.0.0.1 and localhost, valid now
    TlsLeaf selfSigned;   // for 127.0.0.1 and localhost, signed by itself
    TlsLeaf expired;      // by the CA, ended yesterday
    TlsLeaf notYetValid;  // by the CA, starts tomorrow
    TlsLeaf otherName;    // by the CA, for autre.example only
};

// DER bytes of a PEM certificate file.
std::string certificateDer(const std::string& pemFile);
// What `openssl x509 -fingerprint -sha256` prints for the file, after the "=".
std::string opensslFingerprint(const std::string& pemFile);

// `openssl s_server` on 127.0.0.1 with a leaf, started and waited for; `extra` are more
// s_server arguments (protocol limits, -rev, ...). Throws std::runtime_error if it fails.
class TlsServer {
public:
    TlsServer(const TlsLeaf& leaf, const std::string& folder, std::vector<std::string> extra);
    int port() const { return port_; }
    std::string output() const { return process_.output(); }

private:
    int port_ = 0;
    ChildProcess process_;
};

}  // namespace velmo::testsupport
