#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/process.h"

namespace stdfs = std::filesystem;
using velmo::process::createProcess;
using velmo::process::shellOpen;

namespace {

std::string waitForFile(const stdfs::path& p) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!s.empty()) return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
}

}  // namespace

TEST(Process, RelativeProgramResolvesAgainstTheCallerAndRunsInTheGivenFolder) {
    char tmpl[] = "/tmp/velmo-proc-XXXXXX";
    stdfs::path root = mkdtemp(tmpl);
    stdfs::create_directories(root / "Tools");
    stdfs::copy_file(RECORD_CWD_PATH, root / "Tools" / "outil");
    stdfs::path previous = stdfs::current_path();
    stdfs::current_path(root);

    EXPECT_TRUE(createProcess("\"Tools/outil\" un deux", "Tools"));
    EXPECT_EQ(waitForFile(root / "Tools" / "cwd.txt"), (root / "Tools").string() + "|un|deux");

    // Without a working directory the child inherits ours.
    EXPECT_TRUE(createProcess("\"Tools\\outil\"", ""));
    EXPECT_EQ(waitForFile(root / "cwd.txt"), root.string());

    EXPECT_FALSE(createProcess("\"Tools/absent\"", "Tools"));
    EXPECT_FALSE(createProcess("\"Tools/outil\"", "dossier-absent"));
    stdfs::current_path(previous);
    stdfs::remove_all(root);
}

TEST(Process, ShellOpenUsesTheConfiguredOpenerAndReportsWhenNoneStarts) {
    char tmpl[] = "/tmp/velmo-open-XXXXXX";
    stdfs::path root = mkdtemp(tmpl);
    stdfs::path opener = root / "opener.sh";
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > \"" << (root / "opened.txt").string() << "\"\n";
    stdfs::permissions(opener, stdfs::perms::owner_all);
    setenv("VELMO_OPEN_COMMAND", opener.c_str(), 1);
    EXPECT_TRUE(shellOpen("http://www.velmo-livredor.example/index.php", "", ""));
    EXPECT_EQ(waitForFile(root / "opened.txt"), "http://www.velmo-livredor.example/index.php\n");
    setenv("VELMO_OPEN_COMMAND", (root / "absent-opener").c_str(), 1);
    EXPECT_FALSE(shellOpen("http://www.velmo-livredor.example/", "", ""));
    unsetenv("VELMO_OPEN_COMMAND");
    stdfs::remove_all(root);
}
