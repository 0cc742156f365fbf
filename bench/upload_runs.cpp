#include "bench/upload_runs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "installer/engine/run_completion.h"
#include "installer/engine/upload_engine.h"
#include "settings/known_servers.h"
#include "suite/file_names.h"

namespace velmo::bench {
namespace {

using namespace velmo::installer;
using testsupport::FtpPeer;
using testsupport::PeerKind;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The engine's own fixed pause between closing the session and the closing box.
constexpr double closingPauseSeconds = 0.5;

// Shows nothing, answers every question with Yes (and counts them), never asks to stop.
struct SilentReporter : UploadReporter {
    int questions = 0;
    void progress(const UploadProgress&) override {}
    bool ask(const Notice&) override {
        ++questions;
        return true;
    }
    void inform(const Notice&) override {}
    bool stopRequested() override { return false; }
    void permissionStep(int, int, const std::string&) override {}
};

testsupport::PeerOptions tlsOffered(const testsupport::TlsLeaf& leaf) {
    testsupport::PeerOptions o;
    o.tls = testsupport::PeerOptions::Tls::Offered;
    o.tlsCertFile = leaf.certFile;
    o.tlsKeyFile = leaf.keyFile;
    return o;
}

RunRecord recordFor(PeerKind kind, bool passive, const char* program, bool tls = false) {
    RunRecord r;
    r.peer = testsupport::peerKindName(kind);
    r.mode = std::string(passive ? "passive" : "active") + (tls ? "-tls" : "");
    r.program = program;
    return r;
}

}  // namespace

int countFiles(const stdfs::path& root) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : stdfs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file()) ++n;
    return n;
}

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

RunRecord runEngine(PeerKind kind, bool passive, const std::shared_ptr<const std::vector<ManifestFolder>>& manifest,
                    const testsupport::TlsLeaf* tls) {
    FtpPeer peer(kind, tls ? tlsOffered(*tls) : testsupport::PeerOptions{});
    // Each run's server has its own port, which an earlier run's server may have had: the
    // known-servers file starts empty, so that no earlier run's memory (a downgrade, or
    // another certificate) decides this one.
    std::error_code ec;
    stdfs::remove(knownServersPath, ec);
    std::string der;
    bool ok = true;
    if (tls) {
        der = testsupport::certificateDer(tls->certFile);
        ok = !der.empty() && rememberKnownServer(knownServersPath, peer.host(), peer.port(), der);
    }
    UploadJob job;
    job.settings = ConnectionSettings{peer.host(), peer.user(), peer.password(), "livre-dor", 0, passive ? 1 : 0,
                                      peer.port()};
    job.manifest = manifest;
    SilentReporter reporter;

    RunRecord r = recordFor(kind, passive, "velmo", tls != nullptr);
    const auto start = Clock::now();
    const RunReport report = runTransfer(job, reporter);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count() - closingPauseSeconds;
    r.files = countFiles(stdfs::path(peer.home()) / "livre-dor");
    const std::vector<std::string> commands = peer.receivedCommands();
    const WireCount wire = countWire(commands);
    r.roundTrips = wire.roundTrips;
    r.sends = wire.sends;
    const bool encrypted = !tls || encryptedThroughout(commands);
    // The certificate is still the one kept: a question answered, or another certificate,
    // would have replaced it.
    const KnownServer known = readKnownServer(knownServersPath, peer.host(), peer.port());
    r.ok = ok && report.outcome == UploadOutcome::Processed && wire.sends > 0 && reporter.questions == 0 &&
           encrypted && (!tls || (known.seenWithTls && known.certificateDer == der)) &&
           closingNotice(report).text == "Tous les dossiers et fichiers ont bien été transférés.";
    if (reporter.questions > 0)
        std::fprintf(stderr, "  velmo on %s: the engine asked %d question(s)\n", r.peer.c_str(), reporter.questions);
    if (!encrypted)
        std::fprintf(stderr, "  velmo on %s: the server's log shows a login or a transfer in clear\n", r.peer.c_str());
    // Not a failure (the engine's own fallback), but the figure is then not the pipelined one.
    if (!report.oneAtATimeReason.empty())
        std::fprintf(stderr, "  velmo on %s: sent one command at a time (%s)\n", r.peer.c_str(),
                     report.oneAtATimeReason.c_str());
    return r;
}

RunRecord runLftp(PeerKind kind, bool passive, const stdfs::path& staged, const testsupport::TlsLeaf* tls) {
    FtpPeer peer(kind, tls ? tlsOffered(*tls) : testsupport::PeerOptions{});
    std::ostringstream cmd;
    // With TLS: control and data protected, as the session layer does (PROT P).
    const char* ssl = tls ? "set ftp:ssl-force true; set ftp:ssl-protect-data true; set ssl:verify-certificate no; "
                          : "set ftp:ssl-allow no; ";
    cmd << "lftp -c 'set cmd:fail-exit yes; " << ssl << "set ftp:use-feat no; set ftp:use-mlsd no; "
           "set ftp:use-site-utime no; set ftp:use-site-utime2 no; set ftp:passive-mode "
        << (passive ? "yes" : "no") << "; set net:max-retries 1; open -u " << peer.user() << "," << peer.password()
        << " -p " << peer.port() << " " << peer.host() << "; mirror -R --no-perms " << staged.string()
        << " livre-dor' >/dev/null 2>&1";
    RunRecord r = recordFor(kind, passive, "lftp", tls != nullptr);
    const auto start = Clock::now();
    const int rc = std::system(cmd.str().c_str());
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.files = countFiles(stdfs::path(peer.home()) / "livre-dor");
    r.ok = rc == 0;
    return r;
}

}  // namespace velmo::bench
