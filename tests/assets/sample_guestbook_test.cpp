// The sample guestbook folder that the installer is tried with: it must give the tree list
// the 333 lines (24 folders, 309 files) that the installer's count label announces.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(SampleGuestbook, TheTreeListHas333Lines) {
    const fs::path root = VELMO_SAMPLE_GUESTBOOK;
    ASSERT_TRUE(fs::is_directory(root)) << root;
    // One line per folder, and one per file of each scanned folder (not those of
    // "langues"), leaving out files named exactly "Thumbs.db".
    std::set<std::string> folders = {""};
    int fileLines = 0, thumbs = 0, inLangues = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string parent = fs::relative(entry.path().parent_path(), root).generic_string();
        if (entry.is_directory())
            folders.insert(fs::relative(entry.path(), root).generic_string());
        else if (entry.path().filename() == "Thumbs.db")
            ++thumbs;
        else
            ++(parent == "langues" ? inLangues : fileLines);
    }
    EXPECT_EQ(folders.size(), 24u);
    EXPECT_EQ(folders.size() + fileLines, 333u);
    // Both rules of the scan have something to leave out.
    EXPECT_GT(thumbs, 0);
    EXPECT_GT(inLangues, 0);
}

}  // namespace
