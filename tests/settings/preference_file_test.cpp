#include "settings/preference_file.h"

#include <gtest/gtest.h>
#include <sys/fsuid.h>

#include <filesystem>
#include <functional>

#include "platform/fs.h"
#include "temp_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

struct RewriteCase {
    const char* what;
    std::string before;
    std::function<void(PreferenceFile&)> change;
    std::string after;
};

TEST(PreferenceFileRewrite, LayoutAndInsertionRules) {
    const RewriteCase cases[] = {
        {"a key spelled in small letters replaces FTP_adresse and keeps its place",
         "transfert = 1\r\nFTP_adresse = old\r\nFTP_iDUseur = me\r\n",
         [](PreferenceFile& f) { f.writeString("ftp_adresse", "new.example"); },
         "transfert = 1\r\nftp_adresse = new.example\r\nFTP_iDUseur = me\r\n"},
        {"a key of a missing group goes after a new header at the end", "a = 1\r\n[Grp_A]\r\nb = 2\r\n",
         [](PreferenceFile& f) { EXPECT_FALSE(f.selectGroup("Grp_Nouveau")); f.writeInteger("k", 7); },
         "a = 1\r\n[Grp_A]\r\nb = 2\r\n[Grp_Nouveau]\r\nk = 7\r\n"},
        {"a new top key in a file that starts with a header goes on the first line", "[Grp_A]\r\nb = 2\r\n",
         [](PreferenceFile& f) { f.writeString("top", "v"); }, "top = v\r\n[Grp_A]\r\nb = 2\r\n"},
        {"a new key of a group goes before the next header; groups match in any case",
         "[Grp_A]\r\nx = 1\r\n[Grp_B]\r\ny = 2\r\n",
         [](PreferenceFile& f) { EXPECT_TRUE(f.selectGroup("grp_a")); f.writeInteger("z", 3); },
         "[Grp_A]\r\nx = 1\r\nz = 3\r\n[Grp_B]\r\ny = 2\r\n"},
        {"blank lines and leading blanks go, comments and headers stay, '; ' is restored",
         "  ;direct\r\n\r\n\r\n   [G]  trailing text\r\n\tk\t =\t v  \r\n\r\n",
         [](PreferenceFile& f) { f.writeComment("added"); }, "; added\r\n; direct\r\n[G]\r\nk = v  \r\n"},
        {"LF-only lines are read like CR LF ones and written with CR LF", "a=1\nb = 2\n\n[G]\nc=3\n",
         [](PreferenceFile& f) {
             EXPECT_EQ(f.readInteger("b", 0), 2);
             EXPECT_TRUE(f.selectGroup("G"));
             EXPECT_EQ(f.readString("c", ""), "3");
             f.writeInteger("c", 4);
         },
         "a = 1\r\nb = 2\r\n[G]\r\nc = 4\r\n"},
        {"a header without ']' and a line without '=' at the end of the file", "[Grp sans fin\r\nseul",
         [](PreferenceFile& f) {
             EXPECT_TRUE(f.selectGroup("grp SANS fin"));
             EXPECT_EQ(f.readString("seul", "x"), "");
             f.writeString("seul", "");
         },
         "[Grp sans fin]\r\nseul = \r\n"},
        {"a comment after selecting a group lands right after its header", "[G]\r\nk = 1\r\n[H]\r\n",
         [](PreferenceFile& f) { f.selectGroup("G"); f.writeComment("sous le titre"); },
         "[G]\r\n; sous le titre\r\nk = 1\r\n[H]\r\n"},
        {"accented capitals match their small letters", "Cl\xE9 = 1\r\n",
         [](PreferenceFile& f) { f.writeInteger("CL\xC9", 2); }, "CL\xC9 = 2\r\n"},
    };
    TempFolder dir;
    const std::string path = dir.file("f.pcfg");
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path, c.before);
        PreferenceFile f;
        ASSERT_TRUE(f.open(path));
        c.change(f);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(readBytes(path), c.after);
    }
}

TEST(PreferenceFileRewrite, CreateStartsEmptyAndReplacesTheOldFileOnClose) {
    TempFolder dir;
    const std::string path = dir.file("new.pcfg");
    for (bool write : {true, false}) {
        writeBytes(path, "old = contents\r\n");
        PreferenceFile f;
        ASSERT_TRUE(f.create(path));
        EXPECT_EQ(f.readString("old", "absent"), "absent");
        if (write) f.writeInteger("transfert", 1);
        EXPECT_TRUE(f.close());
        // No byte-order mark; nothing written still empties the file.
        EXPECT_EQ(readBytes(path), write ? "transfert = 1\r\n" : "");
    }
}

TEST(PreferenceFileRead, ValuesTrimmingAndDefaults) {
    TempFolder dir;
    const std::string path = dir.file("r.pcfg");
    writeBytes(path,
               "   FTP_portConnexion   =   21   \r\n"
               "lettres = abc\r\n"
               "onglets =\tv a l\t \t\r\n"
               "Double = premier\r\n"
               "double = second\r\n"
               "; cle = commentaire\r\n"
               "[Grp_A]\r\n"
               "dansA = 1\r\n");
    PreferenceFile f;
    ASSERT_TRUE(f.open(path));
    EXPECT_FALSE(f.isReadOnly());
    EXPECT_EQ(f.readInteger("FTP_portConnexion", 0), 21);
    EXPECT_EQ(f.readInteger("lettres", 99), 0);  // present without digits: 0, not the default
    EXPECT_EQ(f.readString("onglets", ""), "v a l");
    EXPECT_EQ(f.readString("DOUBLE", ""), "premier");
    EXPECT_EQ(f.readString("cle", "none"), "none");        // comments are not keys
    EXPECT_EQ(f.readInteger("dansA", -1), -1);             // not in the top section
    EXPECT_TRUE(f.selectGroup("GRP_a"));
    EXPECT_EQ(f.readInteger("dansa", -1), 1);
    EXPECT_FALSE(f.selectGroup("Grp_B"));
    EXPECT_EQ(f.readInteger("dansA", -1), -1);  // a pending group finds nothing
}

TEST(PreferenceFileRead, SteppingThroughAGroupSkipsCommentsAndStopsAtTheNextHeader) {
    TempFolder dir;
    const std::string path = dir.file("v.pcfg");
    writeBytes(path, "top = 0\r\n[Grp_Fichiers]\r\nun.php = a \r\n; rien\r\nDeux.php=b\r\n[Grp_Autre]\r\nx=1\r\n");
    PreferenceFile f;
    ASSERT_TRUE(f.open(path));
    ASSERT_TRUE(f.selectGroup("grp_fichiers"));
    ASSERT_TRUE(f.beginKeys());
    EXPECT_EQ(f.currentKeyName(), "");  // on the header
    ASSERT_TRUE(f.nextKey());
    EXPECT_EQ(f.currentKeyName() + "=" + f.currentValue(), "un.php=a");
    ASSERT_TRUE(f.nextKey());
    EXPECT_EQ(f.currentKeyName() + "=" + f.currentValue(), "Deux.php=b");
    EXPECT_FALSE(f.nextKey());  // the cursor stays on the last key
    EXPECT_EQ(f.currentKeyName(), "Deux.php");
    EXPECT_FALSE(f.selectGroup("Grp_Manquant"));
    EXPECT_FALSE(f.beginKeys());
    f.close();
    EXPECT_FALSE(f.beginKeys());  // nothing open
}

TEST(PreferenceFileUtf8, ByteOrderMarkRoundTrip) {
    TempFolder dir;
    const std::string path = dir.file("u.pcfg");
    // "é" is the single byte E9 in the program's texts and C3 A9 in the file.
    const std::string bom = "\xEF\xBB\xBF";
    writeBytes(path, bom + "caf\xC3\xA9 = cr\xC3\xA8me \r\n[Gr\xC3\xA9]\r\nn\xC3\xA9=1\r\n");
    PreferenceFile f;
    ASSERT_TRUE(f.open(path));
    EXPECT_TRUE(f.isUtf8());
    EXPECT_EQ(f.readString("CAF\xC3\xA9", "?"), "?");  // callers speak CP1252, not UTF-8
    EXPECT_EQ(f.readString("café", ""), "crème");
    ASSERT_TRUE(f.selectGroup("Gré"));
    ASSERT_TRUE(f.beginKeys());
    ASSERT_TRUE(f.nextKey());
    EXPECT_EQ(f.currentKeyName(), "né");
    f.writeString("clé", "été");
    f.writeComment("déjà");
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(path), bom + "\r\ncaf\xC3\xA9 = cr\xC3\xA8me \r\n[Gr\xC3\xA9]\r\nn\xC3\xA9 = 1\r\n"
                                     "cl\xC3\xA9 = \xC3\xA9t\xC3\xA9\r\n; d\xC3\xA9j\xC3\xA0\r\n");
    // Reopened, the mark and the empty first line it leaves are read back as before.
    ASSERT_TRUE(f.open(path));
    EXPECT_TRUE(f.isUtf8());
    ASSERT_TRUE(f.selectGroup("GRÉ"));  // accented capitals match in UTF-8 too
    EXPECT_EQ(f.readString("CLÉ", "x"), "été");
    f.close();
    // A marked file with no items keeps its mark.
    writeBytes(path, bom);
    ASSERT_TRUE(f.open(path));
    f.writeComment("x");
    f.close();
    EXPECT_EQ(readBytes(path), bom + "\r\n; x\r\n");
}

TEST(PreferenceFileFailures, MissingAndUncreatableFiles) {
    TempFolder dir;
    // Missing file: defaults, and nothing on disk unless something was written.
    const std::string missing = dir.file("absent.pcfg");
    PreferenceFile f;
    EXPECT_FALSE(f.open(missing));
    EXPECT_EQ(f.readInteger("FTP_portConnexion", 21), 21);
    EXPECT_FALSE(f.beginKeys());
    f.close();
    EXPECT_FALSE(testing::exists(missing));
    EXPECT_FALSE(f.open(missing));
    f.writeInteger("transfert", 0);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(missing), "transfert = 0\r\n");
    // A file that cannot be created: create and close say so, nothing reaches the disk.
    EXPECT_FALSE(f.create(dir.file("softwareDatas/config.pcfg")));
    f.writeInteger("transfert", 1);
    EXPECT_FALSE(f.close());
    EXPECT_FALSE(testing::exists(dir.file("softwareDatas")));
}

TEST(PreferenceFileFailures, AReadOnlyFileIsReadButNeverWritten) {
    TempFolder dir;
    const std::string locked = dir.file("lecture.pcfg");
    writeBytes(locked, "k=1\n");
    // Root writes through permission bits: file checks run with an ordinary account's
    // rights (Linux drops the file capabilities with the file-system user id). The folder
    // lets that account write, so only the file's own permissions stop a rewrite.
    namespace sfs = std::filesystem;
    sfs::permissions(dir.path(), sfs::perms::all);
    sfs::permissions(locked, sfs::perms::owner_read | sfs::perms::group_read | sfs::perms::others_read);
    struct OrdinaryRights {
        OrdinaryRights() { ::setfsuid(65534); }
        ~OrdinaryRights() { ::setfsuid(0); }
    } rights;
    fs::File probe;
    if (probe.open(locked, fs::File::Mode::ReadWriteExisting)) GTEST_SKIP() << "the file stayed writable";
    PreferenceFile f;
    ASSERT_TRUE(f.open(locked));
    EXPECT_TRUE(f.isReadOnly());
    f.writeInteger("k", 2);
    EXPECT_EQ(f.readInteger("k", 0), 2);  // changes live in memory
    EXPECT_FALSE(f.close());
    EXPECT_EQ(readBytes(locked), "k=1\n");
    EXPECT_FALSE(f.create(locked));
}

TEST(PreferenceFileFailures, CloseNeverLeavesAPartialFile) {
    TempFolder dir;
    const std::string path = dir.file("config.pcfg");
    const std::string old = "transfert = 1\r\nFTP_adresse = ancien\r\n";
    // The new contents arrive under a new directory entry: a second name of the old file
    // still sees the old bytes whole, so the file was never rewritten in place.
    writeBytes(path, old);
    std::filesystem::create_hard_link(path, dir.file("lien.pcfg"));
    PreferenceFile f;
    ASSERT_TRUE(f.open(path));
    f.writeString("FTP_adresse", "nouveau");
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(path), "transfert = 1\r\nFTP_adresse = nouveau\r\n");
    EXPECT_EQ(readBytes(dir.file("lien.pcfg")), old);
    std::vector<fs::FolderEntry> entries;
    ASSERT_TRUE(fs::listFolder(dir.path(), entries));
    EXPECT_EQ(entries.size(), 2u);  // no copy left beside it

    // When the replacement cannot be written beside the file, the old one stays whole
    // (and a fresh create does not empty it before close).
    writeBytes(path, old);
    std::filesystem::create_directory(path + ".nouveau");
    ASSERT_TRUE(f.create(path));
    EXPECT_EQ(readBytes(path), old);
    f.writeInteger("transfert", 0);
    EXPECT_FALSE(f.close());
    EXPECT_EQ(readBytes(path), old);
}

}  // namespace
}  // namespace velmo
