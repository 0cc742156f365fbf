// Helpers for the frame and launcher tests: a scratch folder that is also the current
// directory while the test runs (the programs use paths relative to it), and the native
// stand-in program that records where it was started.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/scratch_folder.h"

namespace velmo::testing {

namespace stdfs = std::filesystem;

// The scratch folder is the current directory while the test runs.
struct ScratchDirectory : ScratchFolder {
    ScratchDirectory() : ScratchFolder(Enter) {}

    // A copy of the recorder (it writes its working directory and arguments into
    // "cwd.txt" in that directory), executable, under `relative`.
    void installRecorder(const std::string& relative) const {
        stdfs::create_directories((root / relative).parent_path());
        stdfs::copy_file(RECORD_CWD_PATH, root / relative, stdfs::copy_options::overwrite_existing);
        stdfs::permissions(root / relative, stdfs::perms::owner_all);
    }
};

// The contents of a file another process writes, once it is there; empty when it did not
// appear within the limit (a safety net for a program that never starts).
inline std::string waitForFile(const stdfs::path& p) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!s.empty() || std::chrono::steady_clock::now() > deadline) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// VELMO_OPEN_COMMAND (the native build's "open" action) for the length of a test.
struct OpenCommand {
    explicit OpenCommand(const stdfs::path& program) { ::setenv("VELMO_OPEN_COMMAND", program.c_str(), 1); }
    ~OpenCommand() { ::unsetenv("VELMO_OPEN_COMMAND"); }
};

}  // namespace velmo::testing
