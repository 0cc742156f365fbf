#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/net.h"

namespace velmo::testsupport {

using Clock = std::chrono::steady_clock;

void ChildProcess::start(const std::vector<std::string>& argv, const std::string& outputPath) {
    stop();
    outputPath_ = outputPath;
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (auto& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::setpgid(0, 0);
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (in >= 0) ::dup2(in, 0);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // Set on both sides, so the group exists whichever of the two runs first.
    ::setpgid(pid, pid);
    pid_ = pid;
}

bool ChildProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
        // The group may still hold children it forked: stop() is still due.
        ::kill(-pid_, SIGKILL);
        pid_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    bool reaped = false;
    while (Clock::now() < deadline) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            reaped = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid_, SIGKILL);
    if (!reaped) ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string ChildProcess::output() const {
    std::ifstream in(outputPath_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int freeLoopbackPort() {
    net::Socket s = net::Socket::listenOn("127.0.0.1", 0, 1);
    if (!s.valid()) throw std::runtime_error("cannot find a free port on 127.0.0.1");
    return s.localPort();
}

bool waitUntilListening(ChildProcess& process, int port, int limitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (Clock::now() < deadline) {
        if (!process.running()) return false;
        if (net::Socket::connectTo("127.0.0.1", port).valid()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace velmo::testsupport
