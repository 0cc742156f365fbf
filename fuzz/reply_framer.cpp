// Control-connection bytes, cut into reads anywhere and with lines taken at any moment:
// the framer must give the lines a plain reading of the whole input gives (split at CR and
// LF, no empty line, a line longer than 4095 bytes kept to its first 4095), and the held
// tail of the last line as its partial line; the reply assembler fed those lines must keep
// its own limits. The first input bytes choose the cuts, the rest is the server's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ftp/reply_framer.h"

namespace {

using velmo::ftp::ReplyAssembler;
using velmo::ftp::ReplyFramer;

void fail(const char* what) {
    std::fprintf(stderr, "reply_framer: %s\n", what);
    std::abort();
}

bool isBreak(char c) { return c == '\r' || c == '\n'; }

// The lines of the whole input, and the tail after its last break.
std::vector<std::string> plainLines(const std::string& bytes, std::string& tail) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (!isBreak(c)) {
            // The rest of an over-long line is dropped.
            if (line.size() < ReplyFramer::MaxRead) line += c;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line.clear();
    }
    tail = line;
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Byte 0: how reads are cut; byte 1: how often lines are taken between reads.
    const unsigned cutSeed = data[0];
    const unsigned takeEvery = data[1] % 4;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    std::string expectedTail;
    const std::vector<std::string> expected = plainLines(bytes, expectedTail);

    ReplyFramer framer;
    std::vector<std::string> got;
    std::string line;
    std::size_t pos = 0;
    unsigned step = 0;
    while (pos < bytes.size()) {
        const std::size_t want = 1 + (cutSeed * 131 + step * 17) % 5000;
        const std::size_t room = framer.readRoom();
        if (room == 0) {
            // Only a full table of lines may refuse bytes: take one and go on.
            if (framer.pendingLines() == 0) fail("no room although no line is waiting");
            if (!framer.takeLine(line)) fail("a waiting line could not be taken");
            got.push_back(line);
            continue;
        }
        const std::size_t n = std::min({want, room, bytes.size() - pos});
        framer.feed(bytes.data() + pos, n);
        pos += n;
        ++step;
        if (takeEvery != 0 && step % takeEvery == 0)
            while (framer.takeLine(line)) got.push_back(line);
    }
    while (framer.takeLine(line)) got.push_back(line);
    std::string tail;
    const bool held = framer.takePartial(tail);

    if (got != expected) fail("the lines differ from a plain reading of the bytes");
    if (held != !expectedTail.empty() || tail != expectedTail) fail("the held tail differs");
    if (framer.holdsPartial() || framer.takeLine(line)) fail("bytes left after the tail was taken");

    ReplyAssembler reply;
    for (const std::string& l : got) {
        const bool ended = reply.addLine(l);
        if (ended != reply.complete()) fail("addLine and complete() disagree");
        if (reply.firstLine().size() > ReplyAssembler::MaxKeptLine) fail("the kept first line is too long");
        if (reply.text().size() > ReplyAssembler::MaxBytes) fail("the reply text passed its cap");
        if (ended || reply.overLimit()) break;
    }
    if (!got.empty() && reply.firstLine() != got[0].substr(0, ReplyAssembler::MaxKeptLine))
        fail("the first line is not the reply's first line");
    return 0;
}
