// A server program started by a test in a process group of its own and stopped with
// everything it forked. Test infrastructure for the Linux build only.
//
//     ChildProcess server;
//     server.start({"/usr/bin/python3", "-m", "http.server", ...}, base + "/output.txt");
//     if (!waitUntilListening(server, port, 20000)) ... server.output() says why ...
#pragma once
#include <string>
#include <vector>

namespace velmo::testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs argv[0] (a path) with standard input from /dev/null and both outputs appended
    // to `outputPath`. Throws std::runtime_error when no process can be made.
    void start(const std::vector<std::string>& argv, const std::string& outputPath);
    // True while the process has not ended (an ended one is reaped here).
    bool running();
    // TERM to the whole group, up to 5 s for the process to end, then KILL to the group.
    void stop();
    // What the process printed so far.
    std::string output() const;

private:
    int pid_ = -1;
    std::string outputPath_;
};

// A port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

// Tries to connect to 127.0.0.1:port until it works; false when the process ended first
// or `limitMs` passed.
bool waitUntilListening(ChildProcess& process, int port, int limitMs);

}  // namespace velmo::testsupport
