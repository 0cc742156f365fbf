// The sample guestbook folder that the installer is tried with: it must give the tree list
// the 333 lines (24 folders, 309 files) that the installer's count label announces, and
// hold the files the other tools look for on the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
const fs::path root = VELMO_SAMPLE_GUESTBOOK;

// The installer's 24 folders; "langues" is the one it never scans.
const std::set<std::string> manifestFolders = {
    "", "aide", "aide/img", "chmod_perso", "chmod_perso/save", "images", "images/smileys",
    "img_perso", "imgs", "inc", "install", "langues", "langues/lg01_fr", "langues/lg02_en",
    "langues/lg03_es", "langues/lg04_it", "langues/lg05_de", "langues/lg06_po",
    "langues/lg07_nl", "skins", "skins/mon_skin", "skins/mon_skin/imgs",
    "skins/skin_blanc_officiel", "skins/skin_blanc_officiel/imgs"};

bool isFile(const std::string& relative) {
    const fs::path p = root / relative;
    return fs::is_regular_file(p) && fs::file_size(p) > 0;
}

TEST(SampleGuestbook, TheTreeListHas333Lines) {
    ASSERT_TRUE(fs::is_directory(root)) << root;
    // Folder lines are the manifest's; file lines are the files of each scanned folder
    // (not those of "langues"), leaving out files named exactly "Thumbs.db".
    std::set<std::string> folders = {""};
    int fileLines = 0, thumbs = 0, inLangues = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string parent = fs::relative(entry.path().parent_path(), root).generic_string();
        if (entry.is_directory()) {
            folders.insert(fs::relative(entry.path(), root).generic_string());
        } else if (entry.path().filename() == "Thumbs.db") {
            ++thumbs;
        } else if (parent == "langues") {
            ++inLangues;
        } else {
            ++fileLines;
        }
    }
    EXPECT_EQ(folders, manifestFolders);
    EXPECT_EQ(folders.size() + fileLines, 333u);
    // Both rules of the scan have something to leave out.
    EXPECT_GT(thumbs, 0);
    EXPECT_GT(inLangues, 0);
}

TEST(SampleGuestbook, HoldsTheMarkersThePermissionTargetsTheSkinsAndABigFile) {
    for (const char* marker : {"livre_lire.php", "livre_signer.php", "install/index.php"})
        EXPECT_TRUE(isFile(marker)) << marker;
    for (const char* name : {"cfg_choix_skin.php", "cfg_param_intro.php", "chemin.php", "code_ecrit.php",
                             "dico_flood.php", "livre.txt", "livre_diff.txt", "mdp.php",
                             "messages_accueil.php", "scroll_velmo.css"})
        EXPECT_TRUE(isFile(std::string("chmod_perso/") + name)) << name;
    for (const char* skin : {"mon_skin", "skin_blanc_officiel"}) {
        EXPECT_TRUE(isFile(std::string("skins/") + skin + "/cfg_variables.php")) << skin;
        // The backup takes a skin's images except "index.php" and "Thumbs.db": keep some.
        int images = 0;
        for (const auto& entry : fs::directory_iterator(root / "skins" / skin / "imgs"))
            images += entry.is_regular_file() && entry.path().filename() != "index.php" &&
                      entry.path().filename() != "Thumbs.db";
        EXPECT_GT(images, 0) << skin;
    }
    std::uintmax_t total = 0, largest = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        total += entry.file_size();
        largest = std::max(largest, entry.file_size());
    }
    EXPECT_GE(largest, 300u * 1024) << "one file long enough to show a transfer's progress";
    EXPECT_LE(total, 4u * 1024 * 1024);
}

}  // namespace
