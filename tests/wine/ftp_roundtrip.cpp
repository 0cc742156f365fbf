// Runs the FTP session layer of the Windows build against a real server:
//   velmo_ftp_roundtrip HOST PORT USER PASSWORD PASSIVE(0|1) SIZE
// logs in, makes and enters "roundtrip", sends a generated file of SIZE bytes in the
// background (polling its status as the installer does), lists it, fetches it back (once
// in the caller's thread, once in the background), compares.
// Prints one line per step; exit code 0 only when every step worked.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/ftp_session.h"
#include "platform/clock.h"
#include "platform/fs.h"

namespace {

int failures = 0;

void step(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

// Polls a background transfer as the installer does, until it ends (at most a minute):
// it must end done with the whole size, its count never passing it.
void pollToEnd(int session, long size, const std::string& what) {
    using namespace velmo;
    ftp::TransferStatus status;
    long long highest = -1;
    for (int i = 0; i < 6000; ++i) {
        status = ftp::transferStatus(session);
        if (status.ended()) break;
        if (status.bytes > highest) highest = status.bytes;
        clock::sleepMs(10);
    }
    step(status.phase == ftp::TransferDone && status.bytes == size,
         what + " done (phase " + std::to_string(static_cast<int>(status.phase)) + ", " +
             std::to_string(status.bytes) + " bytes)");
    step(highest <= size, what + ": progress never passed the file size");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: velmo_ftp_roundtrip HOST PORT USER PASSWORD PASSIVE SIZE\n");
        return 2;
    }
    using namespace velmo;
    const int session = 44;
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
    step(ftp::open(session, host, user, password, passive != 0, port), "login");
    step(ftp::makeDirectory(session, "roundtrip"), "MKD roundtrip");
    step(ftp::changeDirectory(session, "roundtrip"), "CWD roundtrip");

    step(ftp::sendFile(session, "envoi.bin", "donnees.bin", true), "background STOR started");
    pollToEnd(session, size, "STOR");

    step(ftp::listDirectory(session), "LIST");
    bool listed = false;
    while (ftp::nextEntry(session)) {
        if (ftp::entryName(session) == "donnees.bin") {
            listed = ftp::entryKind(session) == ftp::EntryFile && ftp::entrySize(session) == size;
        }
    }
    step(listed, "the file is listed with its size");

    step(ftp::receiveFile(session, "donnees.bin", "retour.bin", false), "RETR");
    std::string back;
    step(fs::readWholeFile("retour.bin", back) && back == data, "received bytes equal the sent ones");
    step(ftp::receiveFile(session, "donnees.bin", "retour-2.bin", true), "background RETR started");
    pollToEnd(session, size, "RETR");
    step(fs::readWholeFile("retour-2.bin", back) && back == data, "background RETR: bytes equal the sent ones");
    ftp::close(session);
    ftp::closeAllSessions();
    std::printf("%s\n", failures == 0 ? "ALL OK" : "SOME FAILED");
    return failures == 0 ? 0 : 1;
}
