// Runs the Windows build's FTP session layer over TLS (Schannel) against a real server:
//   velmo_ftp_tls_check HOST PORT USER PASSWORD PASSIVE(0|1) CAFILE
// logs in encrypted (the test CA trusted besides the system's), sends a file and short
// files in a row (each data connection resuming the session and ending cleanly), lists,
// fetches the file back, and asks for a missing one (refused, the session goes on).
// Prints one line per step; exit code 0 only when every step worked.
#include <chrono>
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

// Trusts the given CA besides the system's; never seen before, asks nothing.
struct TestCaTrust : velmo::ftp::TlsTrust {
    std::string ca;
    bool seenWithTls(const std::string&, int) override { return false; }
    void rememberTls(const std::string&, int) override {}
    std::string keptCertificate(const std::string&, int) override { return std::string(); }
    bool askAboutCertificate(const velmo::ftp::CertificateQuestion&) override { return false; }
    std::string extraCaFile() const override { return ca; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: velmo_ftp_tls_check HOST PORT USER PASSWORD PASSIVE CAFILE\n");
        return 2;
    }
    using namespace velmo;
    auto trust = std::make_shared<TestCaTrust>();
    trust->ca = argv[6];
    const ftp::Account account{argv[1], argv[3], argv[4], std::atoi(argv[5]) != 0, std::atoi(argv[2]), trust};

    std::string data(300 * 1024 + 17, '\0');
    unsigned x = 54321;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    step(fs::replaceFileContents("envoi.bin", data), "local file written");
    step(fs::replaceFileContents("court.txt", "livre d'or\n"), "short file written");

    ftp::startSessions();
    ftp::Session session;
    const ftp::Result login = session.open(account);
    step(login.ok(), "login (" + ftp::describe(login) + ")");
    step(session.encrypted(), "the session is encrypted");
    const ftp::Result sent = session.sendFile("envoi.bin", "donnees.bin");
    step(sent.ok(), "STOR (" + ftp::describe(sent) + ")");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        const ftp::Result r = session.sendFile("court.txt", "court" + std::to_string(i) + ".txt");
        step(r.ok(), "short STOR " + std::to_string(i) + " (" + ftp::describe(r) + ")");
    }
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("short uploads took %lld ms\n", ms);
    step(session.listDirectory().ok(), "LIST");
    bool listed = false;
    while (session.nextEntry()) listed = listed || session.entryName() == "donnees.bin";
    step(listed, "the file is listed");
    const ftp::Result back = session.receiveFile("donnees.bin", "retour.bin");
    step(back.ok(), "RETR (" + ftp::describe(back) + ")");
    std::string got;
    step(fs::readWholeFile("retour.bin", got) && got == data, "received bytes equal the sent ones");
    const ftp::Result refused = session.receiveFile("absent.bin", "absent.bin");
    step(refused == ftp::Result{ftp::Failure::Refused, 550}, "a missing file is refused with 550 (" +
                                                               ftp::describe(refused) + ")");
    step(session.isAlive(), "the session goes on");
    session.close();
    ftp::stopSessions();
    std::printf("%s\n", failures == 0 ? "ALL OK" : "SOME FAILED");
    return failures == 0 ? 0 : 1;
}
