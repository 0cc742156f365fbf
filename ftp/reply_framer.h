// Control-connection replies as bytes arrive: cutting reads into lines, telling where a
// reply ends, and matching its code. No sockets here; the session feeds what it read.
#pragma once
#include <cstddef>
#include <deque>
#include <string>

namespace velmo::ftp {

// The reply buffer: 4096 bytes with one kept for a terminator, filled by reads of at most
// 4095 bytes, and up to 128 lines waiting to be read.
//
// Lines break at CR and LF; a run of them is one break, so no line is empty. Bytes after
// the last break stay in the buffer and are completed by the next read (a reply split
// across TCP segments reads as whole lines); takePartial hands them out as a line when the
// reader knows no more is coming (the server went quiet or closed). A line longer than
// 4095 bytes is consumed whole: its first 4095 bytes are kept and the rest is dropped up
// to its break, so the line after it starts where the server started it. When the table
// is full, the remaining bytes are cut only after lines have been taken.
class ReplyFramer {
public:
    static constexpr std::size_t BufferSize = 4096;
    static constexpr std::size_t MaxRead = BufferSize - 1;
    static constexpr std::size_t MaxPendingLines = 128;

    // How many bytes the next read may bring (0 while the buffer is full of uncut bytes
    // and the table cannot take them: take a line first).
    std::size_t readRoom() const;
    // Appends read bytes (at most readRoom()) and cuts them into lines.
    void feed(const char* data, std::size_t size);
    // The next line, without its break. False when more bytes are needed.
    bool takeLine(std::string& line);
    // True when bytes of a line whose break has not come yet are held.
    bool holdsPartial() const;
    // The held bytes of an unfinished line, as a line (call once takeLine gave false).
    // The line is then over: what follows starts a new one.
    bool takePartial(std::string& line);
    std::size_t pendingLines() const { return pending_.size(); }
    void clear();

private:
    void cut();
    std::string buffer_;
    std::deque<std::string> pending_;
    // The kept start of a line longer than MaxRead while the rest of it is being dropped.
    std::string overlong_;
    bool inOverlong_ = false;
};

// One reply, line by line. The first line's code decides: when its fourth character is
// "-", the reply goes on until a line that starts with the same three-digit code followed
// by anything but "-" (or by nothing); lines in between may hold any text. Otherwise the
// first line is the whole reply (a line shorter than four characters included).
//
// A reply may not grow without end: past MaxLines lines or MaxBytes bytes it is over its
// limit, and the session gives up on the connection.
class ReplyAssembler {
public:
    static constexpr std::size_t MaxLines = 256;
    static constexpr std::size_t MaxBytes = 64 * 1024;
    // Copies of reply lines are kept to this many characters.
    static constexpr std::size_t MaxKeptLine = 1023;

    // Adds a line; true when it ended the reply.
    bool addLine(const std::string& line);
    bool complete() const { return complete_; }
    bool overLimit() const { return overLimit_; }
    // The first line (cut to MaxKeptLine): its code is the reply's code.
    const std::string& firstLine() const { return first_; }
    // Every line so far joined with CR LF between them, cut at MaxBytes.
    const std::string& text() const { return text_; }
    std::size_t lineCount() const { return lines_; }
    void reset();

private:
    std::string first_;
    std::string text_;
    std::string code_;  // three digits while a multi-line reply runs
    std::size_t lines_ = 0;
    std::size_t bytes_ = 0;
    bool complete_ = false;
    bool overLimit_ = false;
};

// True when the line starts with three digits that occur in `expected` ("125;150").
bool codeMatches(const std::string& line, const char* expected);
// True when the line starts with three digits, the first being `digit` ('2' for a
// completion reply).
bool codeClass(const std::string& line, char digit);

}  // namespace velmo::ftp
