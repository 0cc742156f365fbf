// The Windows build's TLS stream (Schannel) against a real server on 127.0.0.1:
//   velmo_tls_check HOST PORT CAFILE PINFILE TIMEOUT_MS
// CAFILE: extra trusted CA (PEM) or "-"; PINFILE: a certificate (PEM) the user trusted, or
// "-". Handshakes, prints what it learnt about the certificate, trusts it if it was not
// trusted, exchanges a line with `openssl s_server -rev`, closes with close_notify, then
// connects again offering the first connection's session. One "key=value" line per fact;
// exit code 0 only when every exchange worked (a handshake that does not even reach the
// certificate exits 3 after printing its outcome).
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/tls.h"

namespace {

using namespace velmo;

const char* reasonName(tls::Reason r) {
    switch (r) {
    case tls::Reason::None: return "none";
    case tls::Reason::Untrusted: return "untrusted";
    case tls::Reason::OutOfDate: return "outofdate";
    case tls::Reason::NameMismatch: return "namemismatch";
    case tls::Reason::Other: return "other";
    }
    return "?";
}

const char* outcomeName(tls::Outcome o) {
    switch (o) {
    case tls::Outcome::Done: return "done";
    case tls::Outcome::Untrusted: return "untrusted";
    case tls::Outcome::TimedOut: return "timedout";
    case tls::Outcome::Aborted: return "aborted";
    case tls::Outcome::Closed: return "closed";
    case tls::Outcome::Failed: return "failed";
    }
    return "?";
}

// DER of the first certificate of a PEM file (the system decodes the base64).
std::string pemToDer(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                              &size, nullptr, nullptr))
        return std::string();
    std::string out(size, '\0');
    CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER,
                         reinterpret_cast<BYTE*>(&out[0]), &size, nullptr, nullptr);
    out.resize(size);
    return out;
}

void fact(const char* key, const std::string& value) {
    std::printf("%s=%s\n", key, value.c_str());
    std::fflush(stdout);
}

bool exchange(tls::Stream& s, const std::string& line, const std::string& expected) {
    if (s.sendAll(line.data(), line.size(), 10000, nullptr) != tls::IoOutcome::Done) return false;
    std::string got;
    char buf[256];
    std::size_t n = 0;
    while (got.size() < expected.size()) {
        if (s.receiveSome(buf, sizeof buf, n, 10000, nullptr) != tls::IoOutcome::Done) break;
        got.append(buf, n);
    }
    return got == expected;
}

// Sends `total` bytes (byte i = i % 251) in 4 KiB pieces with a 50 ms silence bound, calling
// again with the same piece after each TimedOut, as the FTP data connection does; a server
// that stops reading for a while makes the bound run out in the middle of records.
int slowSend(const char* host, int port, std::size_t total) {
    net::startNetworking();
    tls::Options o;
    o.hostName = host;
    o.timeoutMs = 10000;
    tls::Stream s;
    const tls::Outcome r = s.handshake(net::Socket::connectTo("127.0.0.1", port, 5000, nullptr), o);
    if (r != tls::Outcome::Done && r != tls::Outcome::Untrusted) return 3;
    if (!s.ready()) s.trustPresentedCertificate();
    std::string piece(4096, '\0');
    int timedOut = 0;
    std::size_t sent = 0;
    while (sent < total) {
        const std::size_t n = std::min(piece.size(), total - sent);
        for (std::size_t i = 0; i < n; ++i) piece[i] = static_cast<char>((sent + i) % 251);
        tls::IoOutcome out;
        while ((out = s.sendAll(piece.data(), n, 50, nullptr)) == tls::IoOutcome::TimedOut) ++timedOut;
        if (out != tls::IoOutcome::Done) break;
        sent += n;
    }
    fact("sent", std::to_string(sent));
    fact("timed_out", std::to_string(timedOut));
    s.close(5000);
    return sent == total ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--slow-send")
        return slowSend(argv[2], std::atoi(argv[3]), static_cast<std::size_t>(std::atoll(argv[4])));
    if (argc != 6) {
        std::fprintf(stderr, "usage: velmo_tls_check HOST PORT CAFILE PINFILE TIMEOUT_MS\n");
        return 2;
    }
    net::startNetworking();
    tls::Options o;
    o.hostName = argv[1];
    const int port = std::atoi(argv[2]);
    if (std::string(argv[3]) != "-") o.extraCaFile = argv[3];
    if (std::string(argv[4]) != "-") o.trustedCertificate = pemToDer(argv[4]);
    o.timeoutMs = std::atoi(argv[5]);

    auto started = std::chrono::steady_clock::now();
    tls::Stream s;
    tls::Outcome r = s.handshake(net::Socket::connectTo("127.0.0.1", port, 5000, nullptr), o);
    fact("outcome", outcomeName(r));
    fact("elapsed_ms", std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - started).count()));
    if (r != tls::Outcome::Done && r != tls::Outcome::Untrusted) {
        fact("detail", s.verification().detail);
        return 3;
    }
    const tls::Verification& v = s.verification();
    fact("reason", reasonName(v.reason));
    fact("detail", v.detail);
    fact("protocol", s.protocol());
    fact("sha256", v.certificate.sha256);
    fact("subject", v.certificate.subject);
    fact("issuer", v.certificate.issuer);
    fact("notbefore", v.certificate.notBefore);
    fact("notafter", v.certificate.notAfter);
    // An untrusted stream must carry nothing until the user trusts the certificate.
    fact("refused_before_trust", s.ready() || s.sendAll("x\n", 2, 1000, nullptr) == tls::IoOutcome::Error ? "1" : "0");
    if (!s.ready()) s.trustPresentedCertificate();
    bool ok = exchange(s, "bonjour\n", "ruojnob\n");
    fact("exchange", ok ? "1" : "0");
    tls::Session session = s.session();
    fact("close_notify", s.close(5000) ? "1" : "0");

    o.resume = session;
    o.trustedCertificate = v.certificate.der;  // the user trusted it above
    tls::Stream again;
    r = again.handshake(net::Socket::connectTo("127.0.0.1", port, 5000, nullptr), o);
    fact("second_outcome", outcomeName(r));
    fact("resumed", again.resumed() ? "1" : "0");
    bool ok2 = r == tls::Outcome::Done && exchange(again, "donnees\n", "seennod\n");
    fact("second_exchange", ok2 ? "1" : "0");
    again.close(5000);
    return ok && ok2 ? 0 : 1;
}
