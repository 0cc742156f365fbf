// Helpers for the frame and launcher tests: a scratch folder that is also the current
// directory while the test runs (the programs use paths relative to it), files in it, and
// the native stand-in program that records where it was started.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

namespace velmo::testing {

namespace stdfs = std::filesystem;

class ScratchDirectory {
public:
    ScratchDirectory() {
        std::random_device rd;
        root_ = stdfs::temp_directory_path() /
                ("velmo-frame-" + std::to_string(rd()) + "-" + std::to_string(rd()));
        stdfs::create_directories(root_);
        root_ = stdfs::canonical(root_);
        previous_ = stdfs::current_path();
        stdfs::current_path(root_);
    }
    ~ScratchDirectory() {
        std::error_code ec;
        stdfs::current_path(previous_, ec);
        stdfs::remove_all(root_, ec);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const stdfs::path& root() const { return root_; }
    stdfs::path operator/(const std::string& relative) const { return root_ / relative; }

    void writeFile(const std::string& relative, const std::string& bytes) const {
        stdfs::path p = root_ / relative;
        stdfs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    // A copy of the recorder (it writes its working directory and arguments into
    // "cwd.txt" in that directory), executable, under `relative`.
    void installRecorder(const std::string& relative) const {
        stdfs::path p = root_ / relative;
        stdfs::create_directories(p.parent_path());
        stdfs::copy_file(RECORD_CWD_PATH, p, stdfs::copy_options::overwrite_existing);
        stdfs::permissions(p, stdfs::perms::owner_all);
    }

private:
    stdfs::path root_, previous_;
};

// The contents of a file another process writes, once it is there; empty when it did not
// appear within the limit (a safety net for a program that never starts).
inline std::string waitForFile(const stdfs::path& p,
                               std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!s.empty() || std::chrono::steady_clock::now() > deadline) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// VELMO_OPEN_COMMAND (the native build's "open" action) for the length of a test.
class OpenCommand {
public:
    explicit OpenCommand(const std::string& program) {
        ::setenv("VELMO_OPEN_COMMAND", program.c_str(), 1);
    }
    ~OpenCommand() { ::unsetenv("VELMO_OPEN_COMMAND"); }
    OpenCommand(const OpenCommand&) = delete;
    OpenCommand& operator=(const OpenCommand&) = delete;
};

}  // namespace velmo::testing
