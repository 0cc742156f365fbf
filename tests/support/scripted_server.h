// A loopback FTP server that plays a fixed script, for byte-exact client tests.
//
// A test writes the server's side of one conversation as a list of steps, starts the
// server, points the client at 127.0.0.1:port(), and afterwards compares what the client
// sent (every control byte is recorded) and reads the list of script mismatches.
//
//     ScriptedServer server;
//     server.reply("220 hi\r\n").expect("USER bob\r\n").reply("331 pass?\r\n")
//           .expect("PASS pw\r\n").reply("230 ok\r\n");
//     server.start();
//     ... client talks to 127.0.0.1:server.port(), then closes its connection ...
//     EXPECT_TRUE(server.finish()) << server.report();
//     EXPECT_EQ(server.received(), "USER bob\r\nPASS pw\r\n");
//
// How it runs:
// - The listener is opened by the constructor (127.0.0.1, port chosen by the system), so
//   port() is known before start(). start() runs the script in a thread of its own; the
//   first step that needs the control connection accepts it.
// - Every step that waits for the client (accept, expect, data) gives up after the step
//   limit (setStepLimit, default 5000 ms), records a mismatch and ends the script: a broken
//   client makes the test fail, never hang. A client that closes early ends the script
//   the same way.
// - After the last step the server keeps reading the control connection, recording
//   bytes, until the client closes it (or the step limit passes): tests close the client
//   before finish() so received() holds everything the client ever sent.
// - The destructor stops the script at once (every wait is sliced and checks a stop flag).
// All accessors may be called from the test thread at any time; they are locked.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace velmo::testsupport {

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // ---- script steps (add them before start) ----

    // Accepts the control connection now (the other steps accept it when they need one;
    // this is for a server that says nothing at all).
    ScriptedServer& acceptControl();
    // Sends the bytes on the control connection as one write.
    ScriptedServer& reply(const std::string& bytes);
    // Sends each piece as its own write, pausing delayMs between pieces (separate TCP
    // segments on loopback, since the sockets run without Nagle).
    ScriptedServer& replySplit(const std::vector<std::string>& pieces, int delayMs);
    // Reads the client's next line (through its LF) and records a mismatch unless it is
    // exactly `line`.
    ScriptedServer& expect(const std::string& line);
    // Same, but only the beginning of the line must match (names the client chooses).
    ScriptedServer& expectPrefix(const std::string& prefix);
    // Sends nothing for ms milliseconds.
    ScriptedServer& silence(int ms);
    // Closes the control connection (a following step that needs one accepts the next).
    ScriptedServer& drop();
    // Sends `chunk` again and again, `totalBytes` at most, stopping quietly when the client
    // closes: a server that never ends its reply.
    ScriptedServer& stream(const std::string& chunk, std::size_t totalBytes);

    // Passive mode: opens a data listener on 127.0.0.1 and replies
    // "227 Entering Passive Mode (127,0,0,1,p1,p2)" + tail + "\r\n" (tail "." for servers
    // that end the line with a dot). `host` replaces the "127,0,0,1" the reply names (a
    // server naming another address than its own); the listener stays on 127.0.0.1.
    ScriptedServer& pasv(const std::string& tail = "", const std::string& host = "127,0,0,1");
    // Accepts the client's data connection on the listener of the last pasv().
    ScriptedServer& acceptData();
    // Active mode: reads the client's next line, which must be "PORT h1,h2,h3,h4,p1,p2\r\n"
    // naming 127.0.0.1, and remembers the address.
    ScriptedServer& expectPort();
    // Active mode: connects to the address of the last expectPort().
    ScriptedServer& connectData();
    // Sends the bytes on the data connection (a listing, a download); closes the data
    // connection afterwards unless keepOpen.
    ScriptedServer& sendData(const std::string& bytes, bool keepOpen = false);
    // Like sendData, but a client that closes the data connection before the end (one that
    // gave up a download) ends the step quietly instead of as a mismatch.
    ScriptedServer& sendDataUntilClosed(const std::string& bytes);
    // Receives on the data connection until the client closes it (an upload); the bytes
    // are kept in dataReceived().
    ScriptedServer& receiveData();
    // Closes the data connection (an aborted transfer seen from the server).
    ScriptedServer& closeData();

    // Limit of every wait for the client, in ms. Set before start().
    void setStepLimit(int ms);

    // ---- running ----

    int port() const { return port_; }
    void start();
    // Waits for the script and the final drain to end (each bounded by the step limit).
    // True when every step ran without a mismatch.
    bool finish();

    // ---- results ----

    std::string received() const;                  // every control byte the client sent
    std::vector<std::string> mismatches() const;  // one text per failed step
    std::string report() const;                    // mismatches joined, for test messages
    std::vector<std::string> dataReceived() const; // one entry per receiveData step
    int connectionsAccepted() const;               // control connections accepted

private:
    struct Step {
        std::string name;
        std::function<bool(ScriptedServer&)> run;  // false ends the script
    };

    ScriptedServer& add(std::string name, std::function<bool(ScriptedServer&)> run);
    void runScript();
    void fail(const std::string& text);
    bool stopping() const { return stop_.load(); }
    bool pause(int ms);  // false when stopped

    // Control and data helpers; they run in the server thread only.
    bool ensureControl();
    bool readLine(std::string& line);
    bool sendBytes(net::Socket& s, const std::string& bytes, bool quietOnClose);
    void drainControl();

    std::vector<Step> steps_;
    int stepLimitMs_ = 5000;
    int port_ = 0;

    net::Socket listener_;
    net::Socket control_;
    net::Socket dataListener_;
    net::Socket data_;
    std::string pending_;  // control bytes read past the last line
    std::string portHost_;
    int portPort_ = 0;
    std::size_t currentStep_ = 0;
    bool stepFailed_ = false;

    mutable std::mutex mutex_;
    std::string received_;
    std::vector<std::string> mismatches_;
    std::vector<std::string> dataReceived_;
    int accepted_ = 0;
    bool started_ = false;

    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Shows CR, LF and other control bytes as escapes, for readable mismatch texts.
std::string visible(const std::string& bytes);

}  // namespace velmo::testsupport
