#include "bench/upload_runs.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "ftp/ftp_session.h"
#include "ftp/tls_trust.h"
#include "installer/engine/run_completion.h"
#include "installer/engine/upload_engine.h"
#include "platform/clock.h"
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

// Shows nothing, answers every question with Yes, never asks to stop.
struct SilentReporter : UploadReporter {
    void progress(const UploadProgress&) override {}
    bool ask(const Notice&) override { return true; }
    void inform(const Notice&) override {}
    bool stopRequested() override { return false; }
    void permissionStep(int, int, const std::string&) override {}
};

// The bench's own server and certificate: taken as they are, remembered nowhere.
struct AcceptingTrust : ftp::TlsTrust {
    bool seenWithTls(const std::string&, int) override { return false; }
    void rememberTls(const std::string&, int) override {}
    std::string keptCertificate(const std::string&, int) override { return std::string(); }
    bool askAboutCertificate(const ftp::CertificateQuestion&) override { return true; }
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

RunRecord runEngine(PeerKind kind, bool passive, const std::shared_ptr<const std::vector<ManifestFolder>>& manifest) {
    FtpPeer peer(kind);
    UploadJob job;
    job.settings = ConnectionSettings{peer.host(), peer.user(), peer.password(), "livre-dor", 0, passive ? 1 : 0,
                                      peer.port()};
    job.manifest = manifest;
    SilentReporter reporter;

    RunRecord r = recordFor(kind, passive, "velmo");
    const auto start = Clock::now();
    const RunReport report = runTransfer(job, reporter);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count() - closingPauseSeconds;
    r.files = countFiles(stdfs::path(peer.home()) / "livre-dor");
    const WireCount wire = countWire(peer.receivedCommands());
    r.roundTrips = wire.roundTrips;
    r.sends = wire.sends;
    r.ok = report.outcome == UploadOutcome::Processed && wire.sends > 0 &&
           closingNotice(report).text == "Tous les dossiers et fichiers ont bien été transférés.";
    return r;
}

RunRecord runSessionTls(PeerKind kind, bool passive, const std::vector<ManifestFolder>& manifest,
                        const testsupport::TlsLeaf& leaf) {
    FtpPeer peer(kind, tlsOffered(leaf));
    const std::string folder = "livre-dor";
    ftp::Account account{peer.host(), peer.user(), peer.password(), passive, peer.port(),
                         std::make_shared<AcceptingTrust>()};
    RunRecord r = recordFor(kind, passive, "velmo", true);
    const auto start = Clock::now();
    ftp::Session session;
    bool ok = session.open(account).ok() && session.encrypted();
    const std::string login = session.currentDirectory();
    const std::string base = suite::joinServerPath(login, folder);
    session.makeDirectory("sessions");
    session.changeDirectory(folder);
    for (const ManifestFolder& m : manifest) {
        if (!ok) break;
        for (const RemoteStep& step : m.remoteSteps) {
            const std::string& arg = step.argument.empty() ? folder : step.argument;
            if (step.kind == RemoteStep::Kind::ChangeToBase) session.changeDirectory(base + step.argument);
            else if (step.kind == RemoteStep::Kind::Make) session.makeDirectory(arg);
            else ok = ok && session.changeDirectory(arg).ok();
        }
        for (std::size_t i = 1; ok && i < m.lines.size(); ++i) {
            const std::string name = fileNameOfLine(m.lines[i], m.fileLinePrefix);
            const std::uint64_t sendStart = clock::tickMs();
            ok = session.sendFileAfterPwd(m.uploadPrefix + name, name).ok();
            const std::uint64_t spent = clock::tickMs() - sendStart;
            if (spent < 10) clock::sleepMs(static_cast<int>(10 - spent));
        }
    }
    ok = ok && session.oneAtATimeReason().empty();
    session.close();
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.files = countFiles(stdfs::path(peer.home()) / folder);
    const WireCount wire = countWire(peer.receivedCommands());
    r.roundTrips = wire.roundTrips;
    r.sends = wire.sends;
    r.ok = ok && wire.sends > 0;
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
