// Runs the FTP session layer of the Windows build against a real server:
//   velmo_ftp_roundtrip HOST PORT USER PASSWORD PASSIVE(0|1) SIZE [tls]
// logs in (with "tls": explicit TLS, the server's self-signed certificate accepted once
// when asked, and every step then encrypted), makes and enters "roundtrip", sends a generated file of SIZE bytes (its watch
// told the count as the installer's is), lists it, fetches it back (once unwatched, once
// watched), compares.
// Prints one line per step; exit code 0 only when every step worked.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "ftp/ftp_session.h"
#include "platform/fs.h"

namespace {

int failures = 0;

void step(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

// A transfer's watch, as the installer's: every count it was told, the highest kept.
struct Watched {
    long long highest = -1;
    long long last = -1;
    int calls = 0;
    velmo::ftp::TransferWatch watch() {
        return {[this](std::int64_t bytes) {
                    ++calls;
                    last = bytes;
                    if (bytes > highest) highest = bytes;
                    return true;
                },
                100};
    }
};

// The transfer ended done, its watch last told the whole size and never more.
void checkWatched(const velmo::ftp::Result& result, const Watched& w, long size, const std::string& what) {
    step(result.ok(), what + " done (" + velmo::ftp::describe(result) + ", last count " + std::to_string(w.last) +
                          " bytes)");
    step(w.calls > 0 && w.last == size, what + ": the watch was told the whole size");
    step(w.highest <= size, what + ": progress never passed the file size");
}

// The tool's side of encryption, reduced to what a user answering Yes once does.
struct AcceptOnce : velmo::ftp::TlsTrust {
    bool seen = false;
    std::string kept;
    int questions = 0;
    bool seenWithTls(const std::string&, int) override { return seen; }
    void rememberTls(const std::string&, int) override { seen = true; }
    std::string keptCertificate(const std::string&, int) override { return kept; }
    bool askAboutCertificate(const velmo::ftp::CertificateQuestion& q) override {
        ++questions;
        kept = q.verification.certificate.der;
        return true;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool tls = argc == 8 && std::string(argv[7]) == "tls";
    if (argc != 7 && !tls) {
        std::fprintf(stderr, "usage: velmo_ftp_roundtrip HOST PORT USER PASSWORD PASSIVE SIZE [tls]\n");
        return 2;
    }
    using namespace velmo;
    ftp::Session session;
    const std::string host = argv[1], user = argv[3], password = argv[4];
    const int port = std::atoi(argv[2]), passive = std::atoi(argv[5]);
    const long size = std::atol(argv[6]);

    // A pattern that is not periodic in 4096-byte chunks, so a lost or repeated chunk shows.
    std::string data(static_cast<std::size_t>(size), '\0');
    unsigned x = 12345;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    step(fs::replaceFileContents("envoi.bin", data), "local file written");

    ftp::startSessions();
    ftp::Account account{host, user, password, passive != 0, port, nullptr};
    auto trust = std::make_shared<AcceptOnce>();
    if (tls) account.tls = trust;
    const ftp::Result login = session.open(account);
    step(login.ok(), "login (" + ftp::describe(login) + ")");
    if (tls) {
        step(session.encrypted(), "the session is encrypted");
        step(trust->questions == 1 && trust->seen, "the certificate question asked once, the server remembered");
    }
    step(session.makeDirectory("roundtrip").ok(), "MKD roundtrip");
    step(session.changeDirectory("roundtrip").ok(), "CWD roundtrip");

    Watched sent;
    checkWatched(session.sendFile("envoi.bin", "donnees.bin", sent.watch()), sent, size, "STOR");

    step(session.listDirectory().ok(), "LIST");
    bool listed = false;
    while (session.nextEntry()) {
        if (session.entryName() == "donnees.bin") {
            listed = session.entryKind() == ftp::EntryFile && session.entrySize() == size;
        }
    }
    step(listed, "the file is listed with its size");

    step(session.receiveFile("donnees.bin", "retour.bin").ok(), "RETR");
    std::string back;
    step(fs::readWholeFile("retour.bin", back) && back == data, "received bytes equal the sent ones");
    Watched received;
    checkWatched(session.receiveFile("donnees.bin", "retour-2.bin", {}, received.watch()), received, size, "RETR");
    step(fs::readWholeFile("retour-2.bin", back) && back == data, "watched RETR: bytes equal the sent ones");
    session.close();
    ftp::stopSessions();
    std::printf("%s\n", failures == 0 ? "ALL OK" : "SOME FAILED");
    return failures == 0 ? 0 : 1;
}
