// The GET client against a real HTTP server: nginx with each body framing and each
// redirect. (python's http.server, HTTP/1.0 answers, serves the updater's check tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/download.h"
#include "tests/support/http_peers.h"
#include "tests/support/scratch_folder.h"

using namespace velmo::http;
using velmo::testing::ScratchFolder;
using velmo::testsupport::HttpPeer;
using velmo::testsupport::HttpPeerKind;

namespace {

// Every byte value, line ends of each kind and a chunk-size-looking line, over several
// of nginx's chunks.
std::string awkwardBytes() {
    std::string bytes;
    for (int round = 0; round < 200; ++round) {
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
        bytes += "\r\n0\r\n\r\n\n\r";
    }
    return bytes;
}

}  // namespace

TEST(DownloadRealServers, NginxFramingsAndRedirectsGiveTheFileByteForByte) {
    HttpPeer web(HttpPeerKind::Nginx);
    const std::string bytes = awkwardBytes();
    web.writeFile("velmo-maj/maj_2010000/img/fond.velmo", bytes);
    struct Row {
        std::string path;
        int redirects;
    };
    const std::vector<Row> rows = {
        {"velmo-maj/maj_2010000/img/fond.velmo", 0},
        {"chunked/velmo-maj/maj_2010000/img/fond.velmo", 0},
        {"close/velmo-maj/maj_2010000/img/fond.velmo", 0},
        {"redirect/301/velmo-maj/maj_2010000/img/fond.velmo", 1},
        {"redirect/302/velmo-maj/maj_2010000/img/fond.velmo", 1},
        {"redirect/303/velmo-maj/maj_2010000/img/fond.velmo", 1},
        {"redirect/307/velmo-maj/maj_2010000/img/fond.velmo", 1},
    };
    for (const Row& r : rows) {
        ScratchFolder dir;
        const DownloadResult got = downloadFile(web.url(r.path), dir.file("fond.php"));
        ASSERT_TRUE(got.ok()) << r.path << ": " << errorName(got.error) << " " << errorName(got.parseError);
        EXPECT_EQ(got.redirects, r.redirects) << r.path;
        EXPECT_EQ(got.finalUrl, web.url(r.redirects ? "velmo-maj/maj_2010000/img/fond.velmo" : r.path)) << r.path;
        EXPECT_TRUE(dir.readFile("fond.php") == bytes) << r.path << ": the stored file differs";
    }

    ScratchFolder dir;
    DownloadResult got = downloadFile(web.url("velmo-maj/missing.pcfg"), dir.file("f"));
    EXPECT_EQ(got.error, DownloadError::HttpStatus);
    EXPECT_EQ(got.status, 404);
    // Followed (same host), and then the plain server behind the https address fails the
    // handshake cleanly.
    got = downloadFile(web.url("to-https/velmo-maj/maj_2010000/img/fond.velmo"), dir.file("f"));
    EXPECT_EQ(got.error, DownloadError::TlsFailed);
    EXPECT_EQ(got.redirects, 1);
    EXPECT_FALSE(got.tlsDetail.empty());
    got = downloadFile(web.url("loop"), dir.file("f"));
    EXPECT_EQ(got.error, DownloadError::TooManyRedirects);
    EXPECT_EQ(got.redirects, DownloadLimits{}.maxRedirects);
    EXPECT_FALSE(std::filesystem::exists(dir / "f"));
}
