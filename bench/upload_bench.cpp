// Upload benchmark: the sample guestbook sent to a loopback FTP server by the installer's
// real upload engine (a reporter that shows nothing), and the same files sent by lftp's
// `mirror -R` over one connection to a fresh server of the same kind, side by side.
//
//     upload_bench [--runs N] [--peers pyftpdlib,vsftpd] [--sample DIR]
//
// DIR is the folder holding livre-dor (default: the source tree's sample folder). Every
// run starts fresh servers and empty login directories; nothing leaves 127.0.0.1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "installer/guestbook_manifest.h"
#include "installer/run_completion.h"
#include "installer/upload_engine.h"
#include "tests/support/ftp_peers.h"

using namespace velmo;
using namespace velmo::installer;
using testsupport::FtpPeer;
using testsupport::PeerKind;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The engine's own fixed pause after closing the session.
constexpr double closingPauseSeconds = 0.5;

// Shows nothing, answers every question with Yes, never asks to stop.
struct SilentReporter : UploadReporter {
    void progress(const UploadProgress&) override {}
    bool ask(const Notice&) override { return true; }
    void inform(const Notice&) override {}
    bool stopRequested() override { return false; }
    void permissionStep(int, int, const std::string&) override {}
};

struct Figures {
    double seconds = 0;
    int files = 0;
    bool ok = false;
};

int countFiles(const stdfs::path& root) {
    int n = 0;
    for (const auto& e : stdfs::recursive_directory_iterator(root))
        if (e.is_regular_file()) ++n;
    return n;
}

// A copy of exactly what the installer sends (the manifest's folders and files), so lftp
// moves the same 309 files and 24 folders.
void stageManifestCopy(const std::vector<ManifestFolder>& manifest, const stdfs::path& to) {
    stdfs::create_directories(to);
    for (const ManifestFolder& m : manifest) {
        std::string rel = m.uploadPrefix.empty() ? "" : m.uploadPrefix.substr(std::string("livre-dor/").size());
        if (m.localFolder.empty()) rel = "langues/";  // the folder that is made but never scanned
        stdfs::create_directories(to / rel);
        for (std::size_t i = 1; i < m.lines.size(); ++i) {
            const std::string name = fileNameOfLine(m.lines[i], m.fileLinePrefix);
            stdfs::copy_file(m.uploadPrefix + name, to / rel / name, stdfs::copy_options::overwrite_existing);
        }
    }
}

Figures runEngine(PeerKind kind, bool passive, const std::shared_ptr<const std::vector<ManifestFolder>>& manifest) {
    FtpPeer peer(kind);
    UploadJob job;
    job.settings = ConnectionSettings{peer.host(), peer.user(), peer.password(), "livre-dor", 0, passive ? 1 : 0,
                                      peer.port()};
    job.manifest = manifest;
    SilentReporter reporter;

    Figures f;
    const auto start = Clock::now();
    const RunReport report = runTransfer(job, reporter);
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count() - closingPauseSeconds;
    f.files = countFiles(stdfs::path(peer.home()) / "livre-dor");
    f.ok = report.outcome == UploadOutcome::Processed &&
           closingNotice(report).text == "Tous les dossiers et fichiers ont bien été transférés.";
    return f;
}

Figures runLftp(PeerKind kind, const stdfs::path& staged, bool passive) {
    FtpPeer peer(kind);
    std::ostringstream cmd;
    cmd << "lftp -c 'set cmd:fail-exit yes; set ftp:ssl-allow no; set ftp:use-feat no; set ftp:use-mlsd no; "
           "set ftp:use-site-utime no; set ftp:use-site-utime2 no; set ftp:passive-mode "
        << (passive ? "yes" : "no") << "; set net:max-retries 1; open -u " << peer.user() << "," << peer.password()
        << " -p " << peer.port() << " " << peer.host() << "; mirror -R --no-perms " << staged.string()
        << " livre-dor' >/dev/null 2>&1";
    Figures f;
    const auto start = Clock::now();
    const int rc = std::system(cmd.str().c_str());
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    f.files = countFiles(stdfs::path(peer.home()) / "livre-dor");
    f.ok = rc == 0;
    return f;
}

void printRow(const char* who, const char* server, const char* mode, const Figures& f) {
    std::printf("%-22s %-10s %-8s %8.3f s %9.2f ms/file %5d files%s\n", who, server, mode, f.seconds,
                f.files ? f.seconds * 1000.0 / f.files : 0.0, f.files, f.ok ? "" : "  (FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 1;
    std::string peers = "pyftpdlib,vsftpd";
    stdfs::path sample = BENCH_SAMPLE_PARENT;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--peers") peers = argv[i + 1];
        else if (a == "--sample") sample = argv[i + 1];
    }
    std::vector<PeerKind> kinds;
    std::stringstream list(peers);
    for (std::string name; std::getline(list, name, ',');) {
        PeerKind k;
        if (!testsupport::peerKindFromName(name, k)) {
            std::fprintf(stderr, "unknown peer %s\n", name.c_str());
            return 2;
        }
        kinds.push_back(k);
    }

    // A working folder like Tools, with livre-dor beside the "program".
    char tmpl[] = "/tmp/velmo-bench-XXXXXX";
    const stdfs::path tools = mkdtemp(tmpl);
    stdfs::create_directory_symlink(stdfs::absolute(sample / "livre-dor"), tools / "livre-dor");
    stdfs::create_directory(tools / "softwareDatas");
    const stdfs::path previous = stdfs::current_path();
    stdfs::current_path(tools);
    std::vector<std::string> lines;
    const auto manifest = std::make_shared<const std::vector<ManifestFolder>>(scanManifest(lines));
    const stdfs::path staged = tools / "staged";
    stageManifestCopy(*manifest, staged);

    std::printf("Sample guestbook: %d files in 24 folders (%zu tree lines); %d run(s) each.\n",
                countFiles(staged), lines.size(), runs);
    std::printf("Engine time: the whole transfer run, less the fixed 0.5 s pause after the close.\n");
    std::printf("lftp time: the whole `lftp -c` (connect, login, mirror -R, quit).\n\n");
    int failures = 0;
    for (PeerKind k : kinds) {
        for (bool passive : {true, false}) {
            for (int r = 0; r < runs; ++r) {
                const char* mode = passive ? "passive" : "active";
                const Figures e = runEngine(k, passive, manifest);
                printRow("Velmo upload engine", testsupport::peerKindName(k), mode, e);
                const Figures l = runLftp(k, staged, passive);
                printRow("lftp mirror -R", testsupport::peerKindName(k), mode, l);
                failures += !e.ok + !l.ok;
            }
        }
    }
    stdfs::current_path(previous);
    std::error_code ec;
    stdfs::remove_all(tools, ec);
    return failures == 0 ? 0 : 1;
}
