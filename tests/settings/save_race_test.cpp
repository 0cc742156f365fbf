// Two tools saving the connection settings at the same moment (threads of one program,
// and separate programs), while another reads them: every read and the file left at the
// end are one writer's whole file, never a mix or a cut one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs.h"
#include "settings/connection_settings.h"
#include "settings/settings_lock.h"
#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::ScratchFolder;
using testing::writeBytes;
using Clock = std::chrono::steady_clock;

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

// The updater reads the file, changes its six keys and writes it all back; a locator save
// of another program that lands in between must not be undone by that write-back. Only
// `transfert`, which the updater never writes, tells: after both saves it is the
// locator's 1, whichever of the two went first.
TEST_F(SaveRace, AnUpdatersRewriteNeverUndoesALocatorSaveOfAnotherProgram) {
    constexpr int rounds = 20;
    int undone = 0;
    for (int round = 0; round < rounds; ++round) {
        writeBytes(path_, "transfert = 0\r\n");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < 40; ++i) saveConnectionSettings(Tool::Updater, writers[1], path_);
            ::_exit(0);
        }
        // The locator saves once the updater is at work (its address is in the file).
        const Clock::time_point end = Clock::now() + std::chrono::seconds(10);
        while (readBytes(path_).find(writers[1].serverAddress) == std::string::npos && Clock::now() < end) {
        }
        EXPECT_TRUE(saveConnectionSettings(Tool::Locator, writers[0], path_));
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        if (readTransferFlag(path_) != 1) ++undone;
    }
    EXPECT_EQ(undone, 0) << "of " << rounds << " locator saves";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.root), {}), 1);  // no lock file left
}

// Another program holds the file (here a child process that keeps the lock): a save waits
// for it a bounded time, then writes nothing and says the file was busy; once the other
// has let go, the same save goes through.
TEST_F(SaveRace, ASaveThatCannotHaveTheFileWritesNothingAndSaysItWasBusy) {
    int held[2], release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(held[0]);
        ::close(release[1]);
        const SettingsFileLock lock(path_);
        const char state = lock.state() == SettingsFileLock::State::Held ? 'H' : '-';
        [[maybe_unused]] ssize_t n = ::write(held[1], &state, 1);
        char c;
        n = ::read(release[0], &c, 1);  // until the test closes its end
        ::_exit(0);
    }
    ::close(held[1]);
    ::close(release[0]);
    char state = 0;
    ASSERT_EQ(::read(held[0], &state, 1), 1);
    ASSERT_EQ(state, 'H');
    for (const Tool tool : {Tool::Updater, Tool::Locator}) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(saveConnectionSettings(tool, writers[1], path_).outcome, SettingsSave::Outcome::Busy);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(settingsLockWaitMs));
        EXPECT_EQ(readBytes(path_), whole_[0]);
    }
    ::close(release[1]);
    ::close(held[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(saveConnectionSettings(Tool::Installer, writers[1], path_).outcome, SettingsSave::Outcome::Written);
    expectOneWholeFileAndNothingElse();
    EXPECT_EQ(readBytes(path_), whole_[1]);
}

}  // namespace
}  // namespace velmo
