// The figures of the upload benchmark: one record per program run, kept in a plain
// tab-separated file so that runs on several links (each in its own network namespace)
// end in one table.
//
// The wire's limit of a run is what its wire text costs on a link of that round trip when
// nothing else waits: one round trip per command, one more per transfer for its final
// reply, one per data connection and two per control connection (the connect, then the
// greeting, which the server sends once it has accepted), plus the engine's own fixed
// pauses (10 ms after starting each send). It is counted from the commands the server
// logged, so it follows what was really sent. An encrypted login also pays its TLS
// handshakes, which no log line shows: one round trip for the control connection's and one
// for each data connection's while PROT P holds (the least a handshake costs: TLS 1.3, or a
// resumed TLS 1.2 session).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace velmo::bench {

struct WireCount {
    int roundTrips = 0;
    int sends = 0;  // STOR commands: each is followed by the engine's 10 ms pause
};

// Round trips of a command sequence as a server logged it (command word first).
WireCount countWire(const std::vector<std::string>& commands);

// True when a server's log shows every login made on a control connection that had taken
// AUTH TLS first, followed by PROT P before any transfer: nothing, password or file, went
// in clear. A login whose AUTH TLS was refused, one without PROT P (even with no transfer)
// or a PROT C is not encrypted throughout; nor is a log without any login.
bool encryptedThroughout(const std::vector<std::string>& commands);

struct RunRecord {
    double rttMs = 0;
    std::string peer;     // "vsftpd", "pyftpdlib", ...
    std::string mode;     // "passive" / "active"
    std::string program;  // "velmo" / "lftp"
    double seconds = 0;
    int files = 0;
    int roundTrips = 0;  // velmo only: its wire text
    int sends = 0;       // velmo only
    bool ok = false;
};

// The engine's pause after starting each send.
inline constexpr double sendPauseMs = 10.0;
// At a latency, the engine's whole install against lftp's: at most this share.
inline constexpr double maxShareOfLftp = 0.8;

bool appendRecord(const std::string& path, const RunRecord& r);
bool readRecords(const std::string& path, std::vector<RunRecord>& out);

// The side-by-side table, one line per link, server and mode, as Markdown: medians of
// the runs, per-file times, the ratios to lftp and to the wire's limit, and whether the
// goal is met (at a latency: at most 1.05 times the wire's limit sent one command at a
// time; on plain loopback: the engine less its pauses at most 2 ms per file above lftp),
// and at a latency whether it takes at most 0.8 times lftp's time.
void printTable(std::FILE* out, const std::vector<RunRecord>& records);

}  // namespace velmo::bench
