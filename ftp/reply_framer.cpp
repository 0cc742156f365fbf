#include "ftp/reply_framer.h"

#include <cstring>

namespace velmo::ftp {
namespace {

bool isBreak(char c) { return c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool startsWithCode(const std::string& line) {
    return line.size() >= 3 && isDigit(line[0]) && isDigit(line[1]) && isDigit(line[2]);
}

}  // namespace

std::size_t ReplyFramer::readRoom() const {
    return buffer_.size() >= MaxRead ? 0 : MaxRead - buffer_.size();
}

void ReplyFramer::feed(const char* data, std::size_t size) {
    const std::size_t room = readRoom();
    buffer_.append(data, size < room ? size : room);
    cut();
}

void ReplyFramer::cut() {
    while (pending_.size() < MaxPendingLines) {
        if (inOverlong_) {
            std::size_t end = 0;
            while (end < buffer_.size() && !isBreak(buffer_[end])) ++end;
            buffer_.erase(0, end);  // the rest of the long line: dropped
            if (buffer_.empty()) return;
            pending_.push_back(std::move(overlong_));
            overlong_.clear();
            inOverlong_ = false;
            continue;
        }
        std::size_t start = 0;
        while (start < buffer_.size() && isBreak(buffer_[start])) ++start;
        if (start > 0) buffer_.erase(0, start);
        if (buffer_.empty()) return;
        std::size_t end = 0;
        while (end < buffer_.size() && !isBreak(buffer_[end])) ++end;
        if (end == buffer_.size()) {
            // No break yet: wait for the rest. A buffer full of one line keeps that much
            // of it and drops the rest up to the break.
            if (buffer_.size() < MaxRead) return;
            overlong_.swap(buffer_);
            buffer_.clear();
            inOverlong_ = true;
            continue;
        }
        pending_.push_back(buffer_.substr(0, end));
        buffer_.erase(0, end);
    }
}

bool ReplyFramer::takeLine(std::string& line) {
    if (pending_.empty()) cut();
    if (pending_.empty()) return false;
    line = std::move(pending_.front());
    pending_.pop_front();
    return true;
}

bool ReplyFramer::holdsPartial() const {
    if (inOverlong_) return true;
    for (char c : buffer_)
        if (!isBreak(c)) return true;
    return false;
}

bool ReplyFramer::takePartial(std::string& line) {
    cut();
    if (!pending_.empty() || !holdsPartial()) return false;
    if (inOverlong_) {
        line = std::move(overlong_);
        overlong_.clear();
        inOverlong_ = false;
    } else {
        std::size_t start = 0;
        while (start < buffer_.size() && isBreak(buffer_[start])) ++start;
        line = buffer_.substr(start);
    }
    buffer_.clear();
    return true;
}

void ReplyFramer::clear() {
    buffer_.clear();
    pending_.clear();
    overlong_.clear();
    inOverlong_ = false;
}

bool ReplyAssembler::addLine(const std::string& line) {
    if (complete_) return true;
    ++lines_;
    bytes_ += line.size() + 2;
    if (text_.size() < MaxBytes) {
        if (lines_ > 1) text_ += "\r\n";
        text_ += line;
        if (text_.size() > MaxBytes) text_.resize(MaxBytes);
    }
    if (lines_ == 1) {
        first_ = line.substr(0, MaxKeptLine);
        if (line.size() >= 4 && line[3] == '-' && startsWithCode(line)) {
            code_ = line.substr(0, 3);
        } else {
            complete_ = true;
            return true;
        }
    } else if (line.compare(0, 3, code_) == 0 && (line.size() == 3 || line[3] != '-')) {
        complete_ = true;
        return true;
    }
    if (lines_ >= MaxLines || bytes_ >= MaxBytes) overLimit_ = true;
    return false;
}

void ReplyAssembler::reset() { *this = ReplyAssembler(); }

bool codeMatches(const std::string& line, const char* expected) {
    if (!startsWithCode(line) || expected == nullptr) return false;
    const std::size_t n = std::strlen(expected);
    for (std::size_t i = 0; i + 3 <= n; ++i) {
        if (std::memcmp(expected + i, line.data(), 3) == 0) return true;
    }
    return false;
}

bool codeClass(const std::string& line, char digit) {
    return startsWithCode(line) && line[0] == digit;
}

}  // namespace velmo::ftp
