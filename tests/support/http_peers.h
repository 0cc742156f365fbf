// Real HTTP servers started on 127.0.0.1 for one test and stopped after it.
//
//     HttpPeer web(HttpPeerKind::Nginx);            // throws PeerError when it cannot start
//     web.writeFile("velmo-maj/list.pcfg", bytes);  // below the document root
//     http::downloadFile(web.url("velmo-maj/list.pcfg"), "out");
//
// Kinds:
// - Nginx: /opt/velmo-peers/nginx (or $VELMO_PEERS_DIR/nginx), unpacked by
//   scripts/install-deps.sh, run as one foreground process with a private configuration.
//   The document root is served four ways (paths below the server's root):
//     <path>                 static file: Content-Length
//     chunked/<path>         the same file with the chunked coding
//     close/<path>           the same file ended by closing the connection (no length)
//     redirect/30N/<path>    N = 1, 2, 3, 7: that answer with the Location "/<path>"
//     to-https/<path>        302 to "https://127.0.0.1:<port>/<path>" (the TLS port when
//                            there is one, else the plain port)
//     loop                   302 to itself, for ever
//   With a TLS leaf (HttpTlsLeaf) it also listens with TLS on tlsPort(), the same root
//   and locations, and there besides:
//     to-http/<path>         302 to "http://127.0.0.1:<plain port>/<path>"
//     to-other-port/<path>   302 to "https://127.0.0.1:<plain port>/<path>"
//     to-localhost/<path>    302 to "https://localhost:<tls port>/<path>" (another name)
//   (chunked/ and close/ pass the file through nginx's substitution filter, which drops
//   the length; the file's bytes are not changed.)
// - PythonHttpServer: "python3 -m http.server" (HTTP/1.0 answers, always Content-Length,
//   301 to "<folder>/" for a folder asked without its slash).
#pragma once
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/ftp_peers.h"

namespace velmo::testsupport {

enum class HttpPeerKind { Nginx, PythonHttpServer };

// The certificate and key (PEM files) nginx presents on its TLS port.
struct HttpTlsLeaf {
    std::string certFile;
    std::string keyFile;
};

class HttpPeer {
public:
    explicit HttpPeer(HttpPeerKind kind);
    // Nginx only: the plain listener and a TLS one presenting `leaf`.
    HttpPeer(HttpPeerKind kind, const HttpTlsLeaf& leaf);
    ~HttpPeer();
    HttpPeer(const HttpPeer&) = delete;
    HttpPeer& operator=(const HttpPeer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>/" + path.
    std::string url(const std::string& path) const;
    // With a TLS leaf: its port, and "https://127.0.0.1:<tlsPort>/" + path.
    int tlsPort() const { return tlsPort_; }
    std::string tlsUrl(const std::string& path) const;
    // What nginx logged of the requests it was asked (one line each).
    std::string accessLog() const;
    // Local path of the document root.
    const std::string& root() const { return root_; }
    // Writes a file below the document root (parents created, readable by the server).
    void writeFile(const std::string& relativePath, const std::string& bytes) const;
    std::string serverOutput() const { return process_.output(); }

private:
    void prepare();
    void start();
    std::vector<std::string> commandLine() const;

    HttpPeerKind kind_;
    std::string base_;  // private folder: configuration, logs, root
    std::string root_;
    int port_ = 0;
    HttpTlsLeaf leaf_;  // empty: no TLS listener
    int tlsPort_ = 0;
    ChildProcess process_;
};

const char* httpPeerKindName(HttpPeerKind kind);

}  // namespace velmo::testsupport
