// What an FTP connection asks of its tool about encryption ("TLS if the server offers
// it"): what is remembered of each server, and the user's decision about a certificate
// the system does not trust. The session layer and the control-channel client call it on
// their own thread (the tool's worker), in the middle of a login; the tool implements it
// (settings/known_servers.h keeps the memory, the window asks the question).
//
// The rules the FTP layer applies with it, after the 220 greeting:
//  - AUTH TLS answered 234: the TLS handshake, with the host name as typed. A certificate
//    the system trusts, or one whose DER bytes equal keptCertificate(): the login goes on,
//    encrypted, and rememberTls() is called. Any other: askAboutCertificate(); Yes goes on
//    (the implementation keeps the certificate), No ends the attempt (CertificateRefused).
//  - AUTH TLS refused (any 4xx or 5xx): plain FTP as before, unless seenWithTls() says this
//    host and port answered it before: then nothing more is sent (TlsDowngrade), so the
//    password never goes in clear to a server that used to take it encrypted.
//  - After the login of an encrypted session, PBSZ 0 and PROT P: every data connection is
//    encrypted and resumes the control connection's TLS session.
// Without a TlsTrust (a null Account::tls) a connection never sends AUTH TLS.
#pragma once
#include <string>

#include "platform/tls.h"

namespace velmo::ftp {

struct CertificateQuestion {
    std::string host;  // as typed
    int port = 21;
    tls::Verification verification;  // why the system refused it, and the certificate shown
    // A certificate was kept for this host and port and the server now shows another.
    bool changed = false;
};

class TlsTrust {
public:
    virtual ~TlsTrust() = default;
    // This host and port answered AUTH TLS before (a later refusal is a downgrade).
    virtual bool seenWithTls(const std::string& host, int port) = 0;
    // Called once an encrypted login to host:port has been established.
    virtual void rememberTls(const std::string& host, int port) = 0;
    // DER bytes of the certificate the user trusted for host:port, "" when none.
    virtual std::string keptCertificate(const std::string& host, int port) = 0;
    // The Yes/No question; waits for the answer. Yes: true, and the implementation keeps
    // question.verification.certificate.der for the host and port before returning.
    virtual bool askAboutCertificate(const CertificateQuestion& question) = 0;
    // PEM file of CA certificates trusted besides the system's (the tests' own CA); "".
    virtual std::string extraCaFile() const { return std::string(); }
};

}  // namespace velmo::ftp
