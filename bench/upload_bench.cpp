// Upload benchmark: the sample guestbook sent to a loopback FTP server by the installer's
// real upload engine (a reporter that shows nothing), and the same files sent by lftp's
// `mirror -R` over one connection to a fresh server of the same kind, side by side in the
// same run, on whatever loopback the process runs on (scripts/bench.sh runs it once per
// latency, inside a namespace whose loopback delays every packet).
//
//     upload_bench [--rtt MS] [--runs N] [--peers pyftpdlib,vsftpd] [--modes passive,active]
//                  [--programs velmo,lftp,updater] [--sample DIR] [--record FILE] [--tls]
//     upload_bench --table FILE
//
// --rtt names the link's round trip, for the wire's limit (bench/latency/link_check.py
// measures it). --record appends one line per program run to FILE; --table prints the
// side-by-side table of every run recorded there. DIR holds livre-dor (default: the
// source tree's sample folder). Every run starts fresh servers and empty login folders;
// nothing leaves 127.0.0.1. The exit status is non-zero when a run failed. --tls: the
// servers offer TLS with a self-signed certificate made for the run; the installer's
// engine connects encrypted with it already trusted (bench/upload_runs.h: runEngine) and
// lftp is forced to TLS on the control and the data connections. The updater's rows are
// plain only. Every server that logs its commands can (pure-ftpd logs none).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/upload_runs.h"

using namespace velmo;
using namespace velmo::bench;
using testsupport::PeerKind;
namespace stdfs = std::filesystem;

namespace {

struct Options {
    double rttMs = 0;
    int runs = 1;
    std::string peers = "vsftpd,pyftpdlib";
    std::string modes = "passive";
    std::string programs = "velmo,lftp,updater";
    stdfs::path sample = BENCH_SAMPLE_PARENT;
    std::string record;
    std::string table;
    bool tls = false;
};

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--tls") {  // the one option without a value
            o.tls = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) return false;
        const char* v = argv[i + 1];
        if (a == "--rtt") o.rttMs = std::atof(v);
        else if (a == "--runs") o.runs = std::max(1, std::atoi(v));
        else if (a == "--peers") o.peers = v;
        else if (a == "--modes") o.modes = v;
        else if (a == "--programs") o.programs = v;
        else if (a == "--sample") o.sample = v;
        else if (a == "--record") o.record = v;
        else if (a == "--table") o.table = v;
        else return false;
    }
    return true;
}

void printRun(const RunRecord& r) {
    std::printf("  %-6s %-10s %-8s %8.3f s %8.2f ms/file %4d files", r.program.c_str(), r.peer.c_str(),
                r.mode.c_str(), r.seconds, r.files ? r.seconds * 1000.0 / r.files : 0.0, r.files);
    if (r.program == "velmo") std::printf(", %d round trips, %d sends", r.roundTrips, r.sends);
    std::printf("%s\n", r.ok ? "" : "  (FAILED)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--rtt MS] [--runs N] [--peers a,b] [--modes passive,active] "
                             "[--programs velmo,lftp,updater] [--sample DIR] [--record FILE] [--tls] | --table FILE\n", argv[0]);
        return 2;
    }
    if (!o.table.empty()) {
        std::vector<RunRecord> records;
        if (!readRecords(o.table, records)) {
            std::fprintf(stderr, "cannot read %s\n", o.table.c_str());
            return 2;
        }
        printTable(stdout, records);
        return 0;
    }
    std::vector<PeerKind> kinds;
    for (const std::string& name : splitList(o.peers)) {
        PeerKind k;
        if (!testsupport::peerKindFromName(name, k) || !testsupport::FtpPeer::logsCommands(k)) {
            std::fprintf(stderr, "unknown peer %s, or one that logs no commands\n", name.c_str());
            return 2;
        }
        kinds.push_back(k);
    }
    std::vector<bool> passiveModes;
    for (const std::string& m : splitList(o.modes)) {
        if (m != "passive" && m != "active") {
            std::fprintf(stderr, "unknown mode %s\n", m.c_str());
            return 2;
        }
        passiveModes.push_back(m == "passive");
    }

    // A working folder like Tools, with livre-dor beside the "program".
    char tmpl[] = "/tmp/velmo-bench-XXXXXX";
    const stdfs::path tools = mkdtemp(tmpl);
    stdfs::create_directory_symlink(stdfs::absolute(o.sample / "livre-dor"), tools / "livre-dor");
    stdfs::create_directory(tools / "softwareDatas");
    const stdfs::path previous = stdfs::current_path();
    stdfs::current_path(tools);
    std::vector<std::string> lines;
    const auto manifest = std::make_shared<const std::vector<installer::ManifestFolder>>(installer::scanManifest(lines));
    const stdfs::path staged = tools / "staged";
    stageManifestCopy(*manifest, staged);

    // With --tls: a self-signed certificate for 127.0.0.1, made for this run.
    std::unique_ptr<testsupport::TlsCertificates> certificates;
    if (o.tls) {
        stdfs::create_directory(tools / "certificates");
        certificates = std::make_unique<testsupport::TlsCertificates>((tools / "certificates").string());
    }
    std::printf("%d files in 24 folders; %d run(s) per server and mode%s.\n", countFiles(staged), o.runs,
                o.tls ? ", over TLS" : "");
    std::fflush(stdout);
    const std::vector<std::string> programs = splitList(o.programs);
    auto wanted = [&](const char* p) { return std::find(programs.begin(), programs.end(), p) != programs.end(); };
    int failures = 0;
    for (PeerKind k : kinds) {
        for (bool passive : passiveModes) {
            for (int run = 0; run < o.runs; ++run) {
                std::vector<RunRecord> results;
                if (o.tls) {
                    if (wanted("velmo")) results.push_back(runEngine(k, passive, manifest, &certificates->selfSigned));
                    if (wanted("lftp")) results.push_back(runLftp(k, passive, staged, &certificates->selfSigned));
                } else {
                    if (wanted("velmo")) results.push_back(runEngine(k, passive, manifest));
                    if (wanted("lftp")) results.push_back(runLftp(k, passive, staged));
                    // The updater's upload of the same files as one package, beside the
                    // same lftp run (its row: mode "-updater").
                    if (wanted("updater")) {
                        results.push_back(runUpdaterUpload(k, passive, staged));
                        if (wanted("lftp")) {
                            RunRecord same = results[results.size() - 2];
                            same.mode += "-updater";
                            results.push_back(same);
                        }
                    }
                }
                for (RunRecord& r : results) {
                    r.rttMs = o.rttMs;
                    printRun(r);
                    if (!o.record.empty() && !appendRecord(o.record, r)) {
                        std::fprintf(stderr, "cannot write %s\n", o.record.c_str());
                        ++failures;
                    }
                    failures += !r.ok;
                }
            }
        }
    }
    stdfs::current_path(previous);
    std::error_code ec;
    stdfs::remove_all(tools, ec);
    return failures == 0 ? 0 : 1;
}
