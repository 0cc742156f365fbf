// The sample guestbook folder that the installer is tried with: it must give the tree list
// the 333 lines (24 folders, 309 files) that the installer's count label announces, and
// hold the files the other tools look for on the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const fs::path root = VELMO_SAMPLE_GUESTBOOK;

// The installer's 24 folders in its processing order; "langues" is the one it never scans.
const std::vector<std::string> manifestFolders = {
    "", "aide", "aide/img", "chmod_perso", "chmod_perso/save", "images", "images/smileys",
    "img_perso", "imgs", "inc", "install", "langues", "langues/lg01_fr", "langues/lg02_en",
    "langues/lg03_es", "langues/lg04_it", "langues/lg05_de", "langues/lg06_po",
    "langues/lg07_nl", "skins", "skins/mon_skin", "skins/mon_skin/imgs",
    "skins/skin_blanc_officiel", "skins/skin_blanc_officiel/imgs"};

// What the installer lists for one folder: its files (not its sub-folders), leaving out
// files named exactly "Thumbs.db".
std::vector<std::string> listedFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename() != "Thumbs.db")
            names.push_back(entry.path().filename().string());
    return names;
}

bool isFile(const std::string& relative) {
    const fs::path p = root / relative;
    return fs::is_regular_file(p) && fs::file_size(p) > 0;
}

TEST(SampleGuestbook, TheTreeListHas333Lines) {
    ASSERT_TRUE(fs::is_directory(root)) << root;
    int folderLines = 0, fileLines = 0;
    for (const std::string& folder : manifestFolders) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(fs::is_directory(root / folder));  // a missing folder would drop its lines
        ++folderLines;
        if (folder == "langues") continue;
        fileLines += int(listedFiles(root / folder).size());
    }
    EXPECT_EQ(folderLines, 24);
    EXPECT_EQ(fileLines, 309);
    EXPECT_EQ(folderLines + fileLines, 333);
}

TEST(SampleGuestbook, HoldsOnlyTheManifestFoldersAndTheFilesTheScanLeavesOut) {
    std::vector<std::string> found;
    int thumbs = 0, inLangues = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory()) {
            found.push_back(relative);
        } else {
            if (entry.path().filename() == "Thumbs.db") ++thumbs;
            if (entry.path().parent_path() == root / "langues") ++inLangues;
        }
    }
    found.push_back("");
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected = manifestFolders;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
    // Both rules of the scan have something to leave out.
    EXPECT_GT(thumbs, 0);
    EXPECT_GT(inLangues, 0);
}

TEST(SampleGuestbook, HoldsTheMarkersThePermissionTargetsAndTheSkinSettings) {
    for (const char* marker : {"livre_lire.php", "livre_signer.php", "install/index.php"})
        EXPECT_TRUE(isFile(marker)) << marker;
    for (const char* name : {"cfg_choix_skin.php", "cfg_param_intro.php", "chemin.php", "code_ecrit.php",
                             "dico_flood.php", "livre.txt", "livre_diff.txt", "mdp.php",
                             "messages_accueil.php", "scroll_velmo.css"})
        EXPECT_TRUE(isFile(std::string("chmod_perso/") + name)) << name;
    EXPECT_TRUE(fs::is_directory(root / "chmod_perso/save"));
    for (const char* skin : {"mon_skin", "skin_blanc_officiel"}) {
        EXPECT_TRUE(isFile(std::string("skins/") + skin + "/cfg_variables.php")) << skin;
        // The backup takes a skin's images except "index.php" and "Thumbs.db": keep some.
        int images = 0;
        for (const std::string& name : listedFiles(root / "skins" / skin / "imgs"))
            if (name != "index.php") ++images;
        EXPECT_GT(images, 0) << skin;
    }
}

TEST(SampleGuestbook, SizesSuitATransferTest) {
    std::uintmax_t total = 0, largest = 0;
    int pictures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::uintmax_t size = entry.file_size();
        total += size;
        largest = std::max(largest, size);
        const std::string ext = entry.path().extension().string();
        if (ext == ".png" || ext == ".gif") ++pictures;
    }
    EXPECT_GE(largest, 300u * 1024) << "one file long enough to show a transfer's progress";
    EXPECT_LE(total, 4u * 1024 * 1024);
    EXPECT_GT(pictures, 20);
}

}  // namespace
