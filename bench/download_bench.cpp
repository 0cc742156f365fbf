// Download benchmark: the updater's HTTP client fetching one large file from a local
// server, beside `curl -o` fetching the same file from the same server, in the same run,
// on whatever loopback the process runs on (scripts/bench.sh --download runs it inside
// each delayed namespace).
//
//     download_bench [--rtt MS] [--runs N] [--megabytes M] [--servers nginx,python]
//
// Prints one Markdown table row per server: the medians of the runs in ms and MB/s, and
// the ratio to curl. Every copy is checked byte for byte; a wrong or failed copy fails
// the benchmark. Nothing leaves 127.0.0.1.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "http/download.h"
#include "tests/support/http_peers.h"

using namespace velmo;
using testsupport::HttpPeer;
using testsupport::HttpPeerKind;
namespace stdfs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string readAll(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Bytes that no compression or cache could shorten.
std::string randomBytes(std::size_t n) {
    std::mt19937_64 generator(20240611);
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t word = generator();
        for (std::size_t k = 0; k < 8 && i + k < n; ++k) out[i + k] = static_cast<char>(word >> (8 * k));
    }
    return out;
}

struct Timing {
    std::vector<double> velmoMs, curlMs;
    int failures = 0;
};

}  // namespace

int main(int argc, char** argv) {
    double rttMs = 0;
    int runs = 1;
    int megabytes = 50;
    std::string servers = "nginx,python";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rtt") rttMs = std::atof(argv[i + 1]);
        else if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--megabytes") megabytes = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--servers") servers = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: %s [--rtt MS] [--runs N] [--megabytes M] [--servers nginx,python]\n", argv[0]);
            return 2;
        }
    }
    const std::string content = randomBytes(static_cast<std::size_t>(megabytes) * 1000 * 1000);
    char tmpl[] = "/tmp/velmo-download-bench-XXXXXX";
    const stdfs::path work = mkdtemp(tmpl);

    // The updater's own bounds stop far smaller answers than this one: the benchmark
    // raises only the size bound and the whole answer's time bound.
    http::DownloadLimits limits;
    limits.response.maxBodyBytes = static_cast<std::int64_t>(content.size()) * 2;
    limits.responseLimitMs = 600000;

    std::printf("| RTT | server | size | runs | Velmo ms | curl ms | Velmo MB/s | curl MB/s | Velmo / curl |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    std::stringstream list(servers);
    for (std::string name; std::getline(list, name, ',');) {
        if (name != "nginx" && name != "python") {
            std::fprintf(stderr, "unknown server %s\n", name.c_str());
            return 2;
        }
        HttpPeer peer(name == "nginx" ? HttpPeerKind::Nginx : HttpPeerKind::PythonHttpServer);
        peer.writeFile("big.bin", content);
        const std::string url = peer.url("big.bin");
        Timing t;
        for (int r = 0; r < runs; ++r) {
            const stdfs::path ours = work / "velmo.bin", theirs = work / "curl.bin";
            stdfs::remove(ours);
            stdfs::remove(theirs);
            auto start = Clock::now();
            const http::DownloadResult got = http::downloadFile(url, ours.string(), limits);
            t.velmoMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (!got.ok() || readAll(ours) != content) {
                std::fprintf(stderr, "Velmo download from %s failed: %s\n", name.c_str(), http::errorName(got.error));
                ++t.failures;
            }
            const std::string cmd = "curl -s -f -o '" + theirs.string() + "' '" + url + "'";
            start = Clock::now();
            const int rc = std::system(cmd.c_str());
            t.curlMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (rc != 0 || readAll(theirs) != content) {
                std::fprintf(stderr, "curl download from %s failed\n", name.c_str());
                ++t.failures;
            }
        }
        const double v = median(t.velmoMs), c = median(t.curlMs);
        const double mb = content.size() / 1e6;
        std::printf("| %g ms | %s | %d MB | %d%s | %.0f | %.0f | %.1f | %.1f | %.2f |\n", rttMs, name.c_str(), megabytes,
                    runs, t.failures ? " (FAILED)" : "", v, c, mb / (v / 1000), mb / (c / 1000), v / c);
        std::fflush(stdout);
        failures += t.failures;
    }
    std::error_code ec;
    stdfs::remove_all(work, ec);
    return failures == 0 ? 0 : 1;
}
