// The updater's upload of a package (its server folders, then each file entered, sent and
// left), timed like the installer's run, for the benchmark's "updater" rows. Built with the
// updater engine's phases themselves (its internal header): the figures are the wire the
// updater really sends.
#define VELMO_UPDATER_ENGINE_INTERNAL
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "bench/upload_runs.h"
#include "updater/engine/apply_steps.h"
#include "suite/file_names.h"
#include "updater/engine/version_files.h"

namespace velmo::bench {
namespace {

namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct QuietReporter : updater::UpdaterReporter {
    void installedVersionKnown(std::int32_t) override {}
    void latestVersionKnown(std::int32_t) override {}
    void versionsCompared(bool) override {}
    void clearDescription() override {}
    void announce(updater::Announcement) override {}
    void addDescriptionLine(const std::string&) override {}
    void clearFileRows() override {}
    void addFileRow(const std::string&) override {}
    void fileStateChanged(int, updater::FileState) override {}
    void setActionStatus(const std::string&) override {}
    void message(const suite::Notice&) override {}
    void fatal(const suite::Notice&) override {}
};

}  // namespace

RunRecord runUpdaterUpload(testsupport::PeerKind kind, bool passive, const stdfs::path& staged) {
    testsupport::FtpPeer peer(kind);
    const std::string folder = "livre-dor", package = "maj_bench";
    // The package: every staged file, in its folder, as the mirror holds a downloaded one.
    std::error_code ec;
    stdfs::create_directories(updater::workFolder, ec);
    stdfs::remove(stdfs::path(updater::workFolder) / package, ec);
    stdfs::create_directory_symlink(stdfs::absolute(staged), stdfs::path(updater::workFolder) / package, ec);
    updater::UpdateDescription description;
    for (const auto& e : stdfs::recursive_directory_iterator(staged)) {
        const std::string rel = stdfs::relative(e.path(), staged).generic_string();
        if (e.is_directory()) description.folders.push_back(rel + "/");
        else if (e.is_regular_file()) description.files.push_back(rel);
    }
    // Deeper folders after their parents, as a package lists them.
    std::sort(description.folders.begin(), description.folders.end());
    std::sort(description.files.begin(), description.files.end());

    const updater::OfficialSite site;
    QuietReporter reporter;
    updater::UpdaterState state;
    updater::ApplyRun run{site, reporter, ConnectionSettings{peer.host(), peer.user(), peer.password(), folder, 0,
                                                             passive ? 1 : 0, peer.port()},
                          package, description};
    run.state = &state;
    run.deadline = updater::RunDeadline(3600 * 1000);  // none that a benchmark meets
    run.fileOk.assign(description.files.size(), true);
    run.sent.assign(description.files.size(), false);
    RunRecord r;
    r.peer = testsupport::peerKindName(kind);
    r.mode = std::string(passive ? "passive" : "active") + "-updater";
    r.program = "velmo";
    const auto start = Clock::now();
    bool ok = run.session.open(peer.host(), peer.user(), peer.password(), passive, peer.port()).ok();
    run.startDirectory = run.session.currentDirectory();
    run.guestbookPath = suite::joinServerPath(run.startDirectory, folder);
    // The guestbook folder is on the server before an update (made by the server's own
    // user: the daemons run unprivileged). One command more than the updater's.
    run.session.makeDirectory(folder);
    ok = ok && run.session.changeDirectory(folder).ok();
    if (ok) {
        updater::createServerFolders(run);
        updater::uploadPackageFiles(run);
    }
    run.session.close();
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.files = countFiles(stdfs::path(peer.home()) / folder);
    const WireCount wire = countWire(peer.receivedCommands());
    r.roundTrips = wire.roundTrips;
    r.sends = wire.sends;
    r.ok = ok && run.failedFiles.empty() && r.files == static_cast<int>(description.files.size());
    stdfs::remove(stdfs::path(updater::workFolder) / package, ec);
    return r;
}

}  // namespace velmo::bench
