#include "tests/support/http_peers.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace velmo::testsupport {
namespace {

namespace fsys = std::filesystem;

constexpr int startAttempts = 3;
constexpr int listenLimitMs = 20000;

std::string nginxProgram() {
    const char* dir = std::getenv("VELMO_PEERS_DIR");
    return std::string((dir && *dir) ? dir : "/opt/velmo-peers") + "/nginx/usr/sbin/nginx";
}

// The same file served with the chunked coding or up to the connection's end: the
// substitution filter (matching a text no test file holds) drops the length.
std::string unframedLocation(const std::string& prefix, const std::string& root, bool chunked) {
    return "    location /" + prefix + "/ {\n"
           "      alias " + root + "/;\n"
           "      sub_filter_types *;\n"
           "      sub_filter '@@velmo-never-present@@' '';\n" +
           (chunked ? "" : "      chunked_transfer_encoding off;\n") +
           "    }\n";
}

std::string nginxConfig(const std::string& base, const std::string& root, int port, const HttpTlsLeaf& leaf,
                        int tlsPort) {
    std::string redirects;
    for (const char* code : {"301", "302", "303", "307"})
        redirects += std::string("    location ~ ^/redirect/") + code + "/(.*)$ { return " + code +
                     " /$1; }\n";
    const std::string p = std::to_string(port);
    const std::string t = std::to_string(tlsPort);
    const std::string locations =
        "    root " + root + ";\n" + unframedLocation("chunked", root, true) +
        unframedLocation("close", root, false) + redirects +
        "    location ~ ^/to-https/(.*)$ { return 302 https://127.0.0.1:" + (tlsPort ? t : p) + "/$1; }\n"
        "    location = /loop { return 302 /loop; }\n";
    std::string tlsServer;
    if (tlsPort)
        tlsServer = "  server {\n"
                    "    listen 127.0.0.1:" + t + " ssl;\n"
                    "    ssl_certificate " + leaf.certFile + ";\n"
                    "    ssl_certificate_key " + leaf.keyFile + ";\n" +
                    locations +
                    "    location ~ ^/to-http/(.*)$ { return 302 http://127.0.0.1:" + p + "/$1; }\n"
                    "    location ~ ^/to-other-port/(.*)$ { return 302 https://127.0.0.1:" + p + "/$1; }\n"
                    "    location ~ ^/to-localhost/(.*)$ { return 302 https://localhost:" + t + "/$1; }\n"
                    "  }\n";
    return "daemon off;\nmaster_process off;\nworker_processes 1;\n"
           "pid " + base + "/nginx.pid;\nerror_log " + base + "/error.log;\n"
           "events { worker_connections 64; }\n"
           "http {\n"
           "  access_log " + base + "/access.log;\n"
           "  client_body_temp_path " + base + "/tmp/body;\n"
           "  proxy_temp_path " + base + "/tmp/proxy;\n"
           "  fastcgi_temp_path " + base + "/tmp/fastcgi;\n"
           "  uwsgi_temp_path " + base + "/tmp/uwsgi;\n"
           "  scgi_temp_path " + base + "/tmp/scgi;\n"
           "  default_type application/octet-stream;\n"
           "  server {\n"
           "    listen 127.0.0.1:" + p + ";\n" +
           locations +
           "  }\n" +
           tlsServer +
           "}\n";
}

}  // namespace

const char* httpPeerKindName(HttpPeerKind kind) {
    return kind == HttpPeerKind::Nginx ? "nginx" : "python-http.server";
}

HttpPeer::HttpPeer(HttpPeerKind kind) : kind_(kind) { start(); }

HttpPeer::HttpPeer(HttpPeerKind kind, const HttpTlsLeaf& leaf) : kind_(kind), leaf_(leaf) {
    if (kind_ != HttpPeerKind::Nginx) throw PeerError("only nginx serves TLS here");
    start();
}

void HttpPeer::start() {
    char pattern[] = "/tmp/velmo-http-XXXXXX";
    if (!::mkdtemp(pattern)) throw PeerError("mkdtemp failed");
    base_ = pattern;
    root_ = base_ + "/root";
    try {
        prepare();
        for (int attempt = 1;; ++attempt) {
            port_ = freeLoopbackPort();
            if (!leaf_.certFile.empty()) {
                do tlsPort_ = freeLoopbackPort();
                while (tlsPort_ == port_);
            }
            if (kind_ == HttpPeerKind::Nginx) {
                std::ofstream(base_ + "/nginx.conf", std::ios::trunc)
                    << nginxConfig(base_, root_, port_, leaf_, tlsPort_);
            }
            process_.start(commandLine(), base_ + "/output.txt");
            if (waitUntilListening(process_, port_, listenLimitMs) &&
                (tlsPort_ == 0 || waitUntilListening(process_, tlsPort_, listenLimitMs)))
                break;
            // Most often the port was taken between choosing and binding it: try another.
            const std::string output = process_.output();
            process_.stop();
            if (attempt == startAttempts)
                throw PeerError(std::string(httpPeerKindName(kind_)) + " did not start on 127.0.0.1:" +
                                std::to_string(port_) + "\n" + output);
        }
    } catch (...) {
        process_.stop();
        std::error_code ignored;
        fsys::remove_all(base_, ignored);
        throw;
    }
}

HttpPeer::~HttpPeer() {
    process_.stop();
    std::error_code ignored;
    fsys::remove_all(base_, ignored);
}

void HttpPeer::prepare() {
    // Readable for any account the server might use for its work.
    ::chmod(base_.c_str(), 0755);
    fsys::create_directories(root_);
    fsys::create_directories(base_ + "/tmp");
    if (kind_ == HttpPeerKind::Nginx) {
        if (::access(nginxProgram().c_str(), X_OK) != 0)
            throw PeerError("HTTP peer program missing: " + nginxProgram() + " (run scripts/install-deps.sh)");
    } else if (::access("/usr/bin/python3", X_OK) != 0) {
        throw PeerError("HTTP peer program missing: /usr/bin/python3");
    }
}

std::vector<std::string> HttpPeer::commandLine() const {
    if (kind_ == HttpPeerKind::Nginx)
        return {nginxProgram(), "-p", base_ + "/", "-c", base_ + "/nginx.conf", "-e", base_ + "/error.log"};
    return {"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", root_,
            std::to_string(port_)};
}

std::string HttpPeer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

std::string HttpPeer::tlsUrl(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(tlsPort_) + "/" + path;
}

std::string HttpPeer::accessLog() const {
    std::ifstream in(base_ + "/access.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void HttpPeer::writeFile(const std::string& relativePath, const std::string& bytes) const {
    const fsys::path path = fsys::path(root_) / relativePath;
    fsys::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace velmo::testsupport
