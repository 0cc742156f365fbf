#include "tests/support/scripted_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/clock.h"

namespace velmo::testsupport {
namespace {

// Every wait is cut into slices this long so a stop request is seen quickly.
constexpr int sliceMs = 10;

bool parsePort(const std::string& line, std::string& host, int& port) {
    // "PORT h1,h2,h3,h4,p1,p2\r\n"
    if (line.rfind("PORT ", 0) != 0) return false;
    int v[6] = {};
    int n = 0;
    std::size_t i = 5;
    while (n < 6) {
        if (i >= line.size() || line[i] < '0' || line[i] > '9') return false;
        int value = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
            value = value * 10 + (line[i] - '0');
            if (value > 255) return false;
            ++i;
        }
        v[n++] = value;
        if (n < 6) {
            if (i >= line.size() || line[i] != ',') return false;
            ++i;
        }
    }
    if (line.substr(i) != "\r\n") return false;
    host = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
    port = v[4] * 256 + v[5];
    return true;
}

}  // namespace

std::string visible(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else out += static_cast<char>(c);
    }
    return out;
}

ScriptedServer::ScriptedServer() {
    net::startNetworking();
    listener_ = net::Socket::listenOn("127.0.0.1", 0, 4);
    port_ = listener_.localPort();
}

ScriptedServer::~ScriptedServer() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stop_.store(true);
    }
    stopCv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

ScriptedServer& ScriptedServer::add(std::string name, std::function<bool(ScriptedServer&)> run) {
    steps_.push_back(Step{std::move(name), std::move(run)});
    return *this;
}

void ScriptedServer::setStepLimit(int ms) { stepLimitMs_ = ms; }

// ---------------------------------------------------------------- steps

ScriptedServer& ScriptedServer::acceptControl() {
    return add("acceptControl()", [](ScriptedServer& s) { return s.ensureControl(); });
}

ScriptedServer& ScriptedServer::reply(const std::string& bytes) {
    return add("reply(\"" + visible(bytes) + "\")", [bytes](ScriptedServer& s) {
        return s.ensureControl() && s.sendBytes(s.control_, bytes, false);
    });
}

ScriptedServer& ScriptedServer::replySplit(const std::vector<std::string>& pieces, int delayMs) {
    std::string name = "replySplit(";
    for (const auto& p : pieces) name += "\"" + visible(p) + "\" ";
    name += std::to_string(delayMs) + " ms)";
    return add(name, [pieces, delayMs](ScriptedServer& s) {
        if (!s.ensureControl()) return false;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0 && !s.pause(delayMs)) return false;
            if (!s.sendBytes(s.control_, pieces[i], false)) return false;
        }
        return true;
    });
}

ScriptedServer& ScriptedServer::expect(const std::string& line) {
    return add("expect(\"" + visible(line) + "\")", [line](ScriptedServer& s) {
        std::string got;
        if (!s.ensureControl() || !s.readLine(got)) return false;
        if (got != line) s.fail("got \"" + visible(got) + "\"");
        return true;
    });
}

ScriptedServer& ScriptedServer::expectPrefix(const std::string& prefix) {
    return add("expectPrefix(\"" + visible(prefix) + "\")", [prefix](ScriptedServer& s) {
        std::string got;
        if (!s.ensureControl() || !s.readLine(got)) return false;
        if (got.rfind(prefix, 0) != 0) s.fail("got \"" + visible(got) + "\"");
        return true;
    });
}

ScriptedServer& ScriptedServer::silence(int ms) {
    return add("silence(" + std::to_string(ms) + ")", [ms](ScriptedServer& s) { return s.pause(ms); });
}

ScriptedServer& ScriptedServer::drop() {
    return add("drop()", [](ScriptedServer& s) {
        s.control_.close();
        s.pending_.clear();
        return true;
    });
}

ScriptedServer& ScriptedServer::stream(const std::string& chunk, std::size_t totalBytes) {
    return add("stream(" + std::to_string(totalBytes) + " bytes)", [chunk, totalBytes](ScriptedServer& s) {
        if (!s.ensureControl() || chunk.empty()) return false;
        std::size_t sent = 0;
        while (sent < totalBytes) {
            std::string piece = chunk.substr(0, std::min(chunk.size(), totalBytes - sent));
            // A client that had enough and closed is the expected end of a stream.
            if (!s.sendBytes(s.control_, piece, true)) return !s.control_.valid() && !s.stopping();
            sent += piece.size();
        }
        return true;
    });
}

ScriptedServer& ScriptedServer::pasv(const std::string& tail, const std::string& host) {
    return add("pasv(" + host + ")", [tail, host](ScriptedServer& s) {
        // A client that followed the address must still reach nothing but loopback.
        if (host.rfind("127,", 0) != 0) {
            s.fail("pasv() may only name loopback addresses, not " + host);
            return false;
        }
        if (!s.ensureControl()) return false;
        s.dataListener_ = net::Socket::listenOn("127.0.0.1", 0, 2);
        int p = s.dataListener_.localPort();
        if (!s.dataListener_.valid() || p <= 0) {
            s.fail("no data listener");
            return false;
        }
        std::string line = "227 Entering Passive Mode (" + host + "," + std::to_string(p / 256) + "," +
                           std::to_string(p % 256) + ")" + tail + "\r\n";
        return s.sendBytes(s.control_, line, false);
    });
}

ScriptedServer& ScriptedServer::acceptData() {
    return add("acceptData()", [](ScriptedServer& s) {
        if (!s.dataListener_.valid()) {
            s.fail("no pasv() before acceptData()");
            return false;
        }
        const std::uint64_t start = clock::tickMs();
        while (!s.dataListener_.waitReadable(sliceMs)) {
            if (s.stopping()) return false;
            if (clock::tickMs() - start > static_cast<std::uint64_t>(s.stepLimitMs_)) {
                s.fail("the client opened no data connection");
                return false;
            }
        }
        s.data_ = s.dataListener_.accept();
        s.dataListener_.close();
        if (!s.data_.valid()) {
            s.fail("data accept failed");
            return false;
        }
        s.data_.setNonBlocking(true);
        return true;
    });
}

ScriptedServer& ScriptedServer::expectPort() {
    return add("expectPort()", [](ScriptedServer& s) {
        std::string got;
        if (!s.ensureControl() || !s.readLine(got)) return false;
        std::string host;
        int port = 0;
        if (!parsePort(got, host, port)) {
            s.fail("not a PORT line: \"" + visible(got) + "\"");
            return true;
        }
        // Test traffic stays on loopback whatever the client announces.
        if (host != "127.0.0.1") {
            s.fail("PORT names " + host + ", not 127.0.0.1");
            return true;
        }
        s.portHost_ = host;
        s.portPort_ = port;
        return true;
    });
}

ScriptedServer& ScriptedServer::connectData() {
    return add("connectData()", [](ScriptedServer& s) {
        if (s.portPort_ <= 0) {
            s.fail("no PORT address to connect to");
            return false;
        }
        s.data_ = net::Socket::connectTo(s.portHost_, s.portPort_);
        if (!s.data_.valid()) {
            s.fail("could not connect to " + s.portHost_ + ":" + std::to_string(s.portPort_));
            return false;
        }
        s.data_.setNonBlocking(true);
        return true;
    });
}

ScriptedServer& ScriptedServer::sendData(const std::string& bytes, bool keepOpen) {
    return add("sendData(" + std::to_string(bytes.size()) + " bytes)", [bytes, keepOpen](ScriptedServer& s) {
        if (!s.data_.valid()) {
            s.fail("no data connection");
            return false;
        }
        if (!s.sendBytes(s.data_, bytes, false)) return false;
        if (!keepOpen) s.data_.close();
        return true;
    });
}

ScriptedServer& ScriptedServer::sendDataUntilClosed(const std::string& bytes) {
    return add("sendDataUntilClosed(" + std::to_string(bytes.size()) + " bytes)", [bytes](ScriptedServer& s) {
        if (!s.data_.valid()) {
            s.fail("no data connection");
            return false;
        }
        s.sendBytes(s.data_, bytes, true);
        s.data_.close();
        return !s.stopping();
    });
}

ScriptedServer& ScriptedServer::receiveData() {
    return add("receiveData()", [](ScriptedServer& s) {
        if (!s.data_.valid()) {
            s.fail("no data connection");
            return false;
        }
        std::string got;
        std::uint64_t last = clock::tickMs();
        char buf[16384];
        for (;;) {
            if (s.stopping()) return false;
            if (!s.data_.waitReadable(sliceMs)) {
                // The limit counts from the last byte: a long upload is fine, a stalled one is not.
                if (clock::tickMs() - last > static_cast<std::uint64_t>(s.stepLimitMs_)) {
                    s.fail("the client neither sent nor closed the data connection (" +
                           std::to_string(got.size()) + " bytes so far)");
                    std::lock_guard<std::mutex> lock(s.mutex_);
                    s.dataReceived_.push_back(got);
                    return false;
                }
                continue;
            }
            std::size_t moved = 0;
            net::IoResult r = s.data_.receiveSome(buf, sizeof buf, moved);
            if (r == net::IoResult::Done) {
                got.append(buf, moved);
                last = clock::tickMs();
            } else if (r != net::IoResult::WouldBlock) {
                break;
            }
        }
        s.data_.close();
        std::lock_guard<std::mutex> lock(s.mutex_);
        s.dataReceived_.push_back(got);
        return true;
    });
}

ScriptedServer& ScriptedServer::closeData() {
    return add("closeData()", [](ScriptedServer& s) {
        s.data_.close();
        s.dataListener_.close();
        return true;
    });
}

// ---------------------------------------------------------------- running

void ScriptedServer::start() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (started_) return;
        started_ = true;
    }
    if (!listener_.valid()) {
        fail("no listening socket");
        return;
    }
    thread_ = std::thread([this] { runScript(); });
}

bool ScriptedServer::finish() {
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return started_ && mismatches_.empty();
}

void ScriptedServer::runScript() {
    for (currentStep_ = 0; currentStep_ < steps_.size(); ++currentStep_) {
        if (stopping()) break;
        stepFailed_ = false;
        if (!steps_[currentStep_].run(*this)) {
            // A step that stops the script without saying why still has to fail the test.
            if (!stopping() && !stepFailed_) fail("script ended here");
            break;
        }
    }
    drainControl();
    data_.close();
    dataListener_.close();
    control_.close();
}

void ScriptedServer::fail(const std::string& text) {
    stepFailed_ = true;
    std::string where = currentStep_ < steps_.size()
                            ? "step " + std::to_string(currentStep_ + 1) + " " + steps_[currentStep_].name + ": "
                            : "";
    std::lock_guard<std::mutex> lock(mutex_);
    mismatches_.push_back(where + text);
}

bool ScriptedServer::pause(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

bool ScriptedServer::ensureControl() {
    if (control_.valid()) return true;
    const std::uint64_t start = clock::tickMs();
    while (!listener_.waitReadable(sliceMs)) {
        if (stopping()) return false;
        if (clock::tickMs() - start > static_cast<std::uint64_t>(stepLimitMs_)) {
            fail("no client connected");
            return false;
        }
    }
    control_ = listener_.accept();
    if (!control_.valid()) {
        fail("accept failed");
        return false;
    }
    control_.setNonBlocking(true);
    pending_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    ++accepted_;
    return true;
}

bool ScriptedServer::readLine(std::string& line) {
    const std::uint64_t start = clock::tickMs();
    char buf[4096];
    for (;;) {
        std::size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            line = pending_.substr(0, lf + 1);
            pending_.erase(0, lf + 1);
            return true;
        }
        if (stopping()) return false;
        if (!control_.waitReadable(sliceMs)) {
            if (clock::tickMs() - start > static_cast<std::uint64_t>(stepLimitMs_)) {
                fail("no complete line from the client within " + std::to_string(stepLimitMs_) +
                     " ms (partial \"" + visible(pending_) + "\")");
                return false;
            }
            continue;
        }
        std::size_t moved = 0;
        net::IoResult r = control_.receiveSome(buf, sizeof buf, moved);
        if (r == net::IoResult::Done) {
            pending_.append(buf, moved);
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buf, moved);
        } else if (r != net::IoResult::WouldBlock) {
            fail("the client closed the control connection (partial \"" + visible(pending_) + "\")");
            control_.close();
            return false;
        }
    }
}

bool ScriptedServer::sendBytes(net::Socket& s, const std::string& bytes, bool quietOnClose) {
    std::size_t done = 0;
    std::uint64_t last = clock::tickMs();
    while (done < bytes.size()) {
        if (stopping()) return false;
        std::size_t moved = 0;
        net::IoResult r = s.sendSome(bytes.data() + done, bytes.size() - done, moved);
        if (r == net::IoResult::Done) {
            done += moved;
            last = clock::tickMs();
            continue;
        }
        if (r == net::IoResult::WouldBlock) {
            if (clock::tickMs() - last > static_cast<std::uint64_t>(stepLimitMs_)) {
                fail("the client stopped reading");
                return false;
            }
            s.waitWritable(sliceMs);
            continue;
        }
        s.close();
        if (quietOnClose) return false;
        fail("the client closed the connection before the server had sent everything");
        return false;
    }
    return true;
}

void ScriptedServer::drainControl() {
    if (!control_.valid()) return;
    std::uint64_t last = clock::tickMs();
    char buf[4096];
    while (!stopping()) {
        if (!control_.waitReadable(sliceMs)) {
            // Bounded: a client that never closes only costs one step limit.
            if (clock::tickMs() - last > static_cast<std::uint64_t>(stepLimitMs_)) return;
            continue;
        }
        std::size_t moved = 0;
        net::IoResult r = control_.receiveSome(buf, sizeof buf, moved);
        if (r == net::IoResult::Done) {
            last = clock::tickMs();
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buf, moved);
        } else if (r != net::IoResult::WouldBlock) {
            return;
        }
    }
}

// ---------------------------------------------------------------- results

std::string ScriptedServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedServer::mismatches() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mismatches_;
}

std::string ScriptedServer::report() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const auto& m : mismatches_) out += m + "\n";
    return out;
}

std::vector<std::string> ScriptedServer::dataReceived() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dataReceived_;
}

int ScriptedServer::connectionsAccepted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return accepted_;
}

}  // namespace velmo::testsupport
