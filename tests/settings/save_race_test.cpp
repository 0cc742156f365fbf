// Two tools saving the connection settings at the same moment (threads of one program,
// and separate programs), while another reads them: every read and the file left at the
// end are one writer's whole file, never a mix or a cut one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::ScratchFolder;

constexpr int rounds = 300;

// Of different lengths, so a mix of the two or a cut file cannot pass for either.
const ConnectionSettings writers[] = {
    {"ftp.court.fr", "a", "", "livre-dor", 0, 1, 21},
    {"ftp.une-adresse-nettement-plus-longue.exemple.org", "utilisateur-b", "", "autre-dossier-du-livre", 1, 0, 2121},
};

std::string savedBy(const ConnectionSettings& s) {
    ScratchFolder dir;
    const std::string path = dir.file("config.pcfg");
    EXPECT_TRUE(saveConnectionSettings(Tool::Installer, s, path));
    std::string bytes;
    fs::readWholeFile(path, bytes);
    return bytes;
}

void saveRounds(const ConnectionSettings& s, const std::string& path, std::atomic<int>& failedSaves) {
    for (int i = 0; i < rounds; ++i)
        if (!saveConnectionSettings(Tool::Installer, s, path)) ++failedSaves;
}

class SaveRace : public ::testing::Test {
protected:
    ScratchFolder dir_;
    const std::string path_ = dir_.file("config.pcfg");
    const std::string whole_[2] = {savedBy(writers[0]), savedBy(writers[1])};

    void SetUp() override { ASSERT_TRUE(fs::replaceFileContents(path_, whole_[0])); }

    // Reads the file until `done`; counts the reads that are neither writer's whole file.
    int readUntil(const std::function<bool()>& done) {
        int bad = 0;
        std::string bytes;
        while (!done()) {
            if (!fs::readWholeFile(path_, bytes) || (bytes != whole_[0] && bytes != whole_[1])) ++bad;
        }
        return bad;
    }

    void expectOneWholeFileAndNothingElse() {
        std::string bytes;
        ASSERT_TRUE(fs::readWholeFile(path_, bytes));
        EXPECT_TRUE(bytes == whole_[0] || bytes == whole_[1]) << bytes;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.root), {}), 1);  // no sibling left
    }
};

TEST_F(SaveRace, TwoThreadsSavingWhileAThirdReads) {
    std::atomic<int> failedSaves{0}, running{2};
    std::vector<std::thread> threads;
    for (const ConnectionSettings& s : writers)
        threads.emplace_back([&, s] {
            saveRounds(s, path_, failedSaves);
            --running;
        });
    const int badReads = readUntil([&] { return running == 0; });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failedSaves, 0);
    EXPECT_EQ(badReads, 0);
    expectOneWholeFileAndNothingElse();
}

TEST_F(SaveRace, TwoProgramsSavingWhileAThirdReads) {
    std::vector<pid_t> children;
    for (const ConnectionSettings& s : writers) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::atomic<int> failedSaves{0};
            saveRounds(s, path_, failedSaves);
            ::_exit(failedSaves == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    std::vector<int> statuses;
    const int badReads = readUntil([&] {
        for (auto it = children.begin(); it != children.end();) {
            int status = 0;
            if (::waitpid(*it, &status, WNOHANG) == *it) {
                statuses.push_back(status);
                it = children.erase(it);
            } else {
                ++it;
            }
        }
        return children.empty();
    });
    for (int status : statuses) EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(badReads, 0);
    expectOneWholeFileAndNothingElse();
}

}  // namespace
}  // namespace velmo
