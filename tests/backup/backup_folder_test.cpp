// The local folder of each backup: named after its start, made together with a missing
// "sauvegardes", and never one that exists already, even within the same second.
#include <gtest/gtest.h>

#include "backup/engine/backup_folder.h"
#include "tests/support/scratch_folder.h"

using namespace velmo;
using namespace velmo::backup;
using velmo::testing::ScratchFolder;

TEST(BackupFolder, EveryBackupGetsANewFolderNamedAfterItsStart) {
    ScratchFolder tools(ScratchFolder::Enter);
    const clock::LocalDateTime start{2009, 3, 5, 14, 7, 9};
    const std::string stamped = "sauvegarde_2009_03_05__14_07_09";
    EXPECT_EQ(backupFolderName(start), stamped);
    EXPECT_EQ(backupFolderName({2010, 12, 31, 0, 59, 0}), "sauvegarde_2010_12_31__00_59_00");

    // "sauvegardes" is missing: it is made first.
    EXPECT_EQ(createBackupFolder("sauvegardes", start), stamped);
    // More backups within the same second; a file that took a name is stepped over.
    tools.writeFile("sauvegardes/" + stamped + "_3", "pas un dossier");
    EXPECT_EQ(createBackupFolder("sauvegardes", start), stamped + "_2");
    EXPECT_EQ(createBackupFolder("sauvegardes", start), stamped + "_4");
    // A backup's folder is new: what an earlier one holds is never reused.
    tools.writeFile("sauvegardes/" + stamped + "/chmod_perso/livre.txt", "ancien");
    const std::string next = createBackupFolder("sauvegardes", start);
    EXPECT_EQ(next, stamped + "_5");
    EXPECT_TRUE(std::filesystem::is_empty(tools / ("sauvegardes/" + next)));

    // Where no folder can be made, no name is given.
    tools.writeFile("fichier", "x");
    EXPECT_EQ(createBackupFolder("fichier", start), "");
    EXPECT_EQ(createBackupFolder("fichier/sauvegardes", start), "");
}
