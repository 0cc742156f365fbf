#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/process.h"
#include "tests/support/scratch_folder.h"

namespace stdfs = std::filesystem;
using velmo::process::createProcess;

// What the started helper wrote, once it has written it.
std::string waitForFile(const stdfs::path& p) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!s.empty()) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
}

TEST(Process, RelativeProgramResolvesAgainstTheCallerAndRunsInTheGivenFolder) {
    const velmo::testing::ScratchFolder scratch(velmo::testing::ScratchFolder::Enter);
    const stdfs::path& root = scratch.root;
    stdfs::create_directories(root / "Tools");
    stdfs::copy_file(RECORD_CWD_PATH, root / "Tools" / "outil");
    EXPECT_TRUE(createProcess("\"Tools/outil\" un deux", "Tools"));
    EXPECT_EQ(waitForFile(root / "Tools" / "cwd.txt"), (root / "Tools").string() + "|un|deux");
    // Without a working directory the child inherits ours.
    EXPECT_TRUE(createProcess("\"Tools\\outil\"", ""));
    EXPECT_EQ(waitForFile(root / "cwd.txt"), root.string());
    EXPECT_FALSE(createProcess("\"Tools/absent\"", "Tools"));
    EXPECT_FALSE(createProcess("\"Tools/outil\"", "dossier-absent"));
}
