// The tools' answer to the FTP layer's questions about encryption (ftp/tls_trust.h): the
// memory of each server is the known-servers file (settings/known_servers.h) shared by the
// four tools, and a certificate the system does not trust is put to the user as a Yes/No
// question, worded here and shown by the tool's window through `ask`.
//
//     auto trust = std::make_shared<ServerTrust>(knownServersPath,
//                                                [&](const suite::Notice& q) { return reporter.ask(q); });
//     account.tls = trust;
//
// Used on the thread of the connection that asks (the tool's worker); `ask` waits for the
// answer and says No when it cannot be asked (the window has gone).
#pragma once
#include <functional>
#include <string>

#include "ftp/tls_trust.h"
#include "suite/notice.h"

namespace velmo {

// The question for one certificate: why the system refused it, the certificate's subject,
// issuer, validity and SHA-256 fingerprint, and what Yes and No do. CP1252 bytes.
suite::Notice certificateQuestion(const ftp::CertificateQuestion& question);

class ServerTrust : public ftp::TlsTrust {
public:
    using Ask = std::function<bool(const suite::Notice& question)>;
    ServerTrust(std::string knownServersFile, Ask ask);

    bool seenWithTls(const std::string& host, int port) override;
    void rememberTls(const std::string& host, int port) override;
    std::string keptCertificate(const std::string& host, int port) override;
    // Yes keeps the certificate for the host and port (a write that fails leaves the
    // answer valid for this connection only).
    bool askAboutCertificate(const ftp::CertificateQuestion& question) override;

private:
    std::string file_;
    Ask ask_;
};

}  // namespace velmo
