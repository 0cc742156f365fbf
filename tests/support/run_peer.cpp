// Starts one real FTP test peer for scripts (the Wine tests) and keeps it running.
//
//   run_peer KIND [--idle SECONDS] [--read-only FOLDER]... [--no-write] [--until-signal]
//            [--tls offered|required --tls-cert PEM --tls-key PEM]
//
// KIND is pyftpdlib, vsftpd, pureftpd or proftpd. Once the server answers, prints
//   host=127.0.0.1  port=N  user=NAME  password=TEXT  home=/tmp/velmo-peer-XXXXXX/home
// one per line, then "ready", and flushes. It stops the server and removes its folder when
// standard input reaches its end (close the pipe) or on SIGTERM / SIGINT / SIGHUP; with
// --until-signal standard input is not read (for callers whose input is /dev/null).
// Exit status: 0 after a clean stop, 2 for bad arguments, 1 when the server did not start.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/ftp_peers.h"

namespace {

int wakePipe[2] = {-1, -1};

void onSignal(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &c, 1);
}

int usage() {
    std::fprintf(stderr,
                 "usage: run_peer pyftpdlib|vsftpd|pureftpd|proftpd [--idle SECONDS] "
                 "[--read-only FOLDER]... [--no-write] [--until-signal] "
                 "[--tls offered|required --tls-cert PEM --tls-key PEM]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velmo::testsupport;
    if (argc < 2) return usage();
    PeerKind kind;
    if (!peerKindFromName(argv[1], kind)) return usage();
    PeerOptions options;
    bool readInput = true;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--idle" && i + 1 < argc) options.idleTimeoutSeconds = std::atoi(argv[++i]);
        else if (a == "--read-only" && i + 1 < argc) options.readOnlyFolders.push_back(argv[++i]);
        else if (a == "--no-write") options.allowWrite = false;
        else if (a == "--until-signal") readInput = false;
        else if (a == "--tls" && i + 1 < argc) {
            const std::string mode = argv[++i];
            if (mode == "offered") options.tls = PeerOptions::Tls::Offered;
            else if (mode == "required") options.tls = PeerOptions::Tls::Required;
            else return usage();
        } else if (a == "--tls-cert" && i + 1 < argc) options.tlsCertFile = argv[++i];
        else if (a == "--tls-key" && i + 1 < argc) options.tlsKeyFile = argv[++i];
        else return usage();
    }

    if (options.tls != PeerOptions::Tls::Off && (options.tlsCertFile.empty() || options.tlsKeyFile.empty()))
        return usage();
    if (::pipe(wakePipe) != 0) return 1;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    try {
        FtpPeer peer(kind, options);
        std::printf("host=%s\nport=%d\nuser=%s\npassword=%s\nhome=%s\nready\n", peer.host().c_str(),
                    peer.port(), peer.user().c_str(), peer.password().c_str(), peer.home().c_str());
        std::fflush(stdout);
        for (;;) {
            struct pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {0, POLLIN, 0}};
            int n = ::poll(fds, readInput ? 2 : 1, -1);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || (fds[0].revents & POLLIN)) break;
            if (readInput && fds[1].revents) {
                char buffer[256];
                ssize_t got = ::read(0, buffer, sizeof buffer);
                if (got <= 0) break;  // end of input: the caller is done with the peer
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "run_peer: %s\n", e.what());
        return 1;
    }
    return 0;
}
