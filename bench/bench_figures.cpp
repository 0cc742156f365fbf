#include "bench/bench_figures.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace velmo::bench {
namespace {

std::string commandWord(const std::string& line) {
    std::string word = line.substr(0, line.find(' '));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// The command's argument, upper-case (PROT P and PROT p are the same request).
std::string argumentOf(const std::string& line) {
    const std::size_t space = line.find(' ');
    std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
    while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\r')) arg.pop_back();
    for (char& c : arg) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return arg;
}

bool oneOf(const std::string& word, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return word == w; });
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Group {
    double rttMs;
    std::string peer, mode;
    std::vector<const RunRecord*> velmo, lftp;
    int failed = 0;
};

// Milliseconds per file of each successful run of one program.
std::vector<double> perFileMs(const std::vector<const RunRecord*>& runs) {
    std::vector<double> out;
    for (const RunRecord* r : runs)
        if (r->files > 0) out.push_back(r->seconds * 1000.0 / r->files);
    return out;
}

std::string figureCell(const std::vector<double>& values) {
    if (values.empty()) return "-";
    char text[96];
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    if (values.size() == 1) std::snprintf(text, sizeof text, "%.1f", values.front());
    else std::snprintf(text, sizeof text, "%.1f (%.1f..%.1f)", median(values), *lo, *hi);
    return text;
}

std::string ratioCell(double a, double b) {
    if (a <= 0 || b <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", a / b);
    return text;
}

}  // namespace

WireCount countWire(const std::vector<std::string>& commands) {
    WireCount c;
    bool protectedData = false;  // PROT P given on the current login
    for (const std::string& line : commands) {
        const std::string word = commandWord(line);
        if (word.empty()) continue;
        c.roundTrips += 1;
        if (oneOf(word, {"STOR", "APPE", "RETR", "LIST", "NLST", "MLSD"})) c.roundTrips += 1;
        if (oneOf(word, {"PASV", "EPSV", "PORT", "EPRT"})) c.roundTrips += 1 + (protectedData ? 1 : 0);
        if (word == "USER") {
            c.roundTrips += 2;
            protectedData = false;
        }
        // An AUTH TLS the server refused is logged as well; PBSZ only follows one it took,
        // so the control connection's handshake is counted there.
        if (word == "PBSZ") c.roundTrips += 1;
        if (word == "PROT") protectedData = argumentOf(line) == "P";
        if (word == "STOR") ++c.sends;
    }
    return c;
}

bool encryptedThroughout(const std::vector<std::string>& commands) {
    bool logins = false, authAsked = false, inLogin = false, protectedData = false;
    for (const std::string& line : commands) {
        const std::string word = commandWord(line);
        if (word == "AUTH") authAsked = true;
        if (word == "USER") {
            // The previous login ended without PROT P, or this one's connection took no AUTH.
            if ((inLogin && !protectedData) || !authAsked) return false;
            logins = inLogin = true;
            authAsked = protectedData = false;
        }
        if (word == "PROT") protectedData = argumentOf(line) == "P";
        if (oneOf(word, {"STOR", "APPE", "RETR", "LIST", "NLST", "MLSD"}) && !protectedData) return false;
    }
    return logins && protectedData;
}

bool appendRecord(const std::string& path, const RunRecord& r) {
    std::ofstream out(path, std::ios::app);
    out << r.rttMs << '\t' << r.peer << '\t' << r.mode << '\t' << r.program << '\t' << r.seconds << '\t'
        << r.files << '\t' << r.roundTrips << '\t' << r.sends << '\t' << (r.ok ? 1 : 0) << '\n';
    return static_cast<bool>(out);
}

bool readRecords(const std::string& path, std::vector<RunRecord>& out) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        RunRecord r;
        int ok = 0;
        if (fields >> r.rttMs >> r.peer >> r.mode >> r.program >> r.seconds >> r.files >> r.roundTrips >> r.sends >> ok) {
            r.ok = ok == 1;
            out.push_back(r);
        }
    }
    return true;
}

void printTable(std::FILE* out, const std::vector<RunRecord>& records) {
    std::vector<Group> groups;
    for (const RunRecord& r : records) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return g.rttMs == r.rttMs && g.peer == r.peer && g.mode == r.mode;
        });
        if (it == groups.end()) it = groups.insert(groups.end(), Group{r.rttMs, r.peer, r.mode, {}, {}});
        if (!r.ok) ++it->failed;
        else (r.program == "velmo" ? it->velmo : it->lftp).push_back(&r);
    }
    std::fprintf(out,
                 "| RTT | server | mode | runs | Velmo ms/file | lftp ms/file | wire's limit ms/file | Velmo / lftp "
                 "| Velmo / wire | Velmo less pauses ms/file | goal | goal at a latency |\n");
    std::fprintf(out, "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Group& g : groups) {
        const std::vector<double> velmo = perFileMs(g.velmo), lftp = perFileMs(g.lftp);
        const double v = velmo.empty() ? 0 : median(velmo);
        const double l = lftp.empty() ? 0 : median(lftp);
        double wire = 0, lessPauses = 0;
        if (!g.velmo.empty()) {
            const RunRecord& first = *g.velmo.front();
            const double pauses = sendPauseMs * first.sends / first.files;
            wire = g.rttMs * first.roundTrips / first.files + pauses;
            lessPauses = v - pauses;
        }
        std::string goal = "-";
        if (v > 0 && g.rttMs > 0) goal = v <= 1.05 * wire ? "met (<= 1.05 x wire)" : "missed (> 1.05 x wire)";
        else if (v > 0 && l > 0) goal = lessPauses <= l + 2.0 ? "met (<= lftp + 2 ms)" : "missed (> lftp + 2 ms)";
        // At a latency the whole install is to take at most 0.8 times lftp's over one
        // connection (the commands that need no answer yet travel together).
        std::string latencyGoal = "-";
        if (v > 0 && l > 0 && g.rttMs > 0)
            latencyGoal = v <= maxShareOfLftp * l ? "met (<= 0.8 x lftp)" : "missed (> 0.8 x lftp)";
        char lessCell[32] = "-";
        if (v > 0) std::snprintf(lessCell, sizeof lessCell, "%.1f", lessPauses);
        char wireCell[32] = "-";
        if (wire > 0) std::snprintf(wireCell, sizeof wireCell, "%.1f", wire);
        std::fprintf(out, "| %g ms | %s | %s | %zu%s | %s | %s | %s | %s | %s | %s | %s | %s |\n", g.rttMs, g.peer.c_str(),
                     g.mode.c_str(), std::max(g.velmo.size(), g.lftp.size()),
                     g.failed ? (" + " + std::to_string(g.failed) + " failed").c_str() : "",
                     figureCell(velmo).c_str(), figureCell(lftp).c_str(), wireCell, ratioCell(v, l).c_str(),
                     ratioCell(v, wire).c_str(), lessCell, goal.c_str(), latencyGoal.c_str());
    }
}

}  // namespace velmo::bench
