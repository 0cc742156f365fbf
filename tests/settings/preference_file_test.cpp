#include "settings/preference_file.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "platform/fs.h"
#include "tests/support/reduced_rights.h"
#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::ScratchFolder;
using testing::writeBytes;
namespace sfs = std::filesystem;

const std::string bom = "\xEF\xBB\xBF";

struct RewriteCase {
    const char* what;
    std::string before;
    std::function<void(PreferenceFile&)> change;
    std::string after;  // empty: the file is left as it was
};

TEST(PreferenceFileRewrite, ReadsLayoutAndInsertionRules) {
    const RewriteCase cases[] = {
        {"values: blanks around go, duplicates give the first, no digits read as 0, comments are no keys, "
         "LF-only and blank lines are read and written as CR LF lines",
         "   port   =   21   \r\nlettres = abc\r\nonglets =\tv a l\t \t\r\nDouble = premier\r\n"
         "double = second\r\n; cle = commentaire\n\n[Grp_A]\ndansA=1\n",
         [](PreferenceFile& f) {
             EXPECT_EQ(f.readInteger("port", 0), 21);
             EXPECT_EQ(f.readInteger("lettres", 99), 0);  // present without digits: 0, not the default
             EXPECT_EQ(f.readString("onglets", "") + "|" + f.readString("DOUBLE", ""), "v a l|premier");
             EXPECT_EQ(f.readString("cle", "none"), "none");
             EXPECT_EQ(f.readInteger("dansA", -1), -1);  // not in the top section
             EXPECT_TRUE(f.selectGroup("GRP_a"));
             EXPECT_EQ(f.readInteger("dansa", -1), 1);
             f.writeInteger("double", 2);
         },
         "port = 21   \r\nlettres = abc\r\nonglets = v a l\t \t\r\nDouble = premier\r\n"
         "double = second\r\n; cle = commentaire\r\n[Grp_A]\r\ndansA = 1\r\ndouble = 2\r\n"},
        {"stepping through a group skips comments and stops at the next header",
         "top = 0\r\n[Grp_Fichiers]\r\nun.php = a \r\n; rien\r\nDeux.php=b\r\n[Grp_Autre]\r\nx=1\r\n",
         [](PreferenceFile& f) {
             ASSERT_TRUE(f.selectGroup("grp_fichiers"));
             ASSERT_TRUE(f.beginKeys());
             std::string seen = f.currentKeyName();  // "" on the header
             while (f.nextKey()) seen += "|" + f.currentKeyName() + "=" + f.currentValue();
             EXPECT_EQ(seen, "|un.php=a|Deux.php=b");
             EXPECT_EQ(f.currentKeyName(), "Deux.php");  // the cursor stays on the last key
             EXPECT_FALSE(f.selectGroup("Grp_Manquant"));
             EXPECT_FALSE(f.beginKeys());
         },
         ""},
        {"a key in other letter cases (accented ones too, and CP1252's \x8A \x8C \x8E \x9F) is replaced in its place",
         "transfert = 1\r\nFTP_adresse = old\r\nCl\xE9 = 1\r\n\x9A\x9C\x9E\xFF = 1\r\n[gr\xFF]\r\n",
         [](PreferenceFile& f) {
             f.writeString("ftp_adresse", "new.example");
             f.writeInteger("CL\xC9", 2);
             EXPECT_EQ(f.readInteger("\x8A\x8C\x8E\x9F", 0), 1);
             f.writeInteger("\x8A\x8C\x8E\x9F", 2);
             EXPECT_TRUE(f.selectGroup("GR\x9F"));
         },
         "transfert = 1\r\nftp_adresse = new.example\r\nCL\xC9 = 2\r\n\x8A\x8C\x8E\x9F = 2\r\n[gr\xFF]\r\n"},
        {"new keys: a top one on the first line, a group's before the next header, a missing group's "
         "after a new header at the end",
         "[Grp_A]\r\nx = 1\r\n[Grp_B]\r\ny = 2\r\n",
         [](PreferenceFile& f) {
             f.writeString("top", "v");
             f.selectGroup("Grp_A");
             f.writeInteger("z", 3);
             EXPECT_FALSE(f.selectGroup("Grp_Nouveau"));
             EXPECT_EQ(f.readInteger("x", -1), -1);  // a pending group finds nothing
             f.writeInteger("k", 7);
         },
         "top = v\r\n[Grp_A]\r\nx = 1\r\nz = 3\r\n[Grp_B]\r\ny = 2\r\n[Grp_Nouveau]\r\nk = 7\r\n"},
        {"selecting the top section leaves the cursor: a comment still follows the last written key",
         "a = 1\r\n[G]\r\nk = 1\r\n[H]\r\n",
         [](PreferenceFile& f) {
             f.selectGroup("G");
             f.writeInteger("k", 2);
             EXPECT_TRUE(f.selectGroup(""));
             EXPECT_EQ(f.readInteger("a", 0), 1);
             f.writeComment("apres k");
             f.writeInteger("b", 3);
             f.writeComment("apres b");
         },
         "a = 1\r\nb = 3\r\n; apres b\r\n[G]\r\nk = 2\r\n; apres k\r\n[H]\r\n"},
        {"leading blanks and text after a header go, '; ' is restored; comments go first or after the header",
         "  ;direct\r\n   [G]  trailing text\r\n\tk\t =\t v  \r\n[H]\r\n",
         [](PreferenceFile& f) { f.writeComment("added"); f.selectGroup("G"); f.writeComment("sous le titre"); },
         "; added\r\n; direct\r\n[G]\r\n; sous le titre\r\nk = v  \r\n[H]\r\n"},
        {"a header without ']' and a line without '=' at the end of the file", "[Grp sans fin\r\nseul",
         [](PreferenceFile& f) {
             EXPECT_TRUE(f.selectGroup("grp SANS fin"));
             EXPECT_EQ(f.readString("seul", "x"), "");
             f.writeString("seul", "");
         },
         "[Grp sans fin]\r\nseul = \r\n"},
        // "é" is the single byte E9 in the program's texts and C3 A9 in a file marked as UTF-8.
        {"a UTF-8 file is read and written in the callers' CP1252",
         bom + "caf\xC3\xA9 = cr\xC3\xA8me \r\n\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF = oui\r\n[Gr\xC3\xA9]\r\nn\xC3\xA9=1\r\n",
         [](PreferenceFile& f) {
             EXPECT_TRUE(f.isUtf8());
             EXPECT_EQ(f.readString("CAF\xC3\xA9", "?"), "?");
             EXPECT_EQ(f.readString("café", ""), "crème");
             EXPECT_EQ(f.readString("\x8A\x8C\x8E\x9F", ""), "oui");  // U+0161 U+0153 U+017E U+00FF
             ASSERT_TRUE(f.selectGroup("GRÉ"));  // accented capitals match in UTF-8 too
             ASSERT_TRUE(f.beginKeys() && f.nextKey());
             EXPECT_EQ(f.currentKeyName(), "né");
             f.writeString("clé", "été");
         },
         bom + "\r\ncaf\xC3\xA9 = cr\xC3\xA8me \r\n\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF = oui\r\n[Gr\xC3\xA9]\r\nn\xC3\xA9 = 1\r\n"
               "cl\xC3\xA9 = \xC3\xA9t\xC3\xA9\r\n"},
        {"the mark's own empty line is read back, and a marked file with no items keeps its mark", bom + "\r\n",
         [](PreferenceFile& f) { f.writeComment("déjà"); }, bom + "\r\n; d\xC3\xA9j\xC3\xA0\r\n"},
        // Found by fuzz/preference_file: written as it was read, the first line would begin
        // with the mark and the file would read back as UTF-8, its first key renamed.
        {"a single-byte file whose first key begins with the mark's bytes keeps an empty line before it",
         "\r\n" + bom + "k=\xE9\r\n",
         [](PreferenceFile& f) {
             EXPECT_FALSE(f.isUtf8());
             EXPECT_EQ(f.readString(bom + "k", ""), "\xE9");
             f.writeInteger("n", 1);
         },
         "\r\n" + bom + "k = \xE9\r\nn = 1\r\n"},
    };
    ScratchFolder dir;
    const std::string path = dir.file("f.pcfg");
    for (const RewriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path, c.before);
        PreferenceFile f;
        ASSERT_TRUE(f.open(path));
        c.change(f);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(readBytes(path), c.after.empty() ? c.before : c.after);
    }
}

TEST(PreferenceFileFailures, CreateReplacesOnCloseOrReportsAndAMissingFileAppearsOnlyWhenWritten) {
    ScratchFolder dir;
    const std::string path = dir.file("new.pcfg");
    PreferenceFile f;
    // Create starts empty and replaces the old file on close, without a byte-order mark;
    // nothing written still empties it.
    for (bool write : {true, false}) {
        writeBytes(path, "old = contents\r\n");
        ASSERT_TRUE(f.create(path));
        EXPECT_EQ(f.readString("old", "absent"), "absent");
        if (write) f.writeInteger("transfert", 1);
        EXPECT_TRUE(f.close());
        EXPECT_EQ(readBytes(path), write ? "transfert = 1\r\n" : "");
    }
    // When the replacement cannot be written beside the file (here: writes stop at the
    // second byte), close says so and the old file stays whole (a fresh create does not
    // empty it before close).
    writeBytes(path, "old = contents\r\n");
    ASSERT_TRUE(f.create(path));
    EXPECT_EQ(readBytes(path), "old = contents\r\n");
    f.writeInteger("transfert", 0);
    {
        testing::FileSizeLimit limit(2);
        EXPECT_FALSE(f.close());
    }
    EXPECT_EQ(readBytes(path), "old = contents\r\n");
    // Missing file: defaults, and nothing on disk unless something was written.
    const std::string missing = dir.file("absent.pcfg");
    EXPECT_FALSE(f.open(missing));
    EXPECT_EQ(f.readInteger("FTP_portConnexion", 21), 21);
    f.close();
    EXPECT_FALSE(sfs::exists(missing));
    EXPECT_FALSE(f.open(missing));
    f.writeInteger("transfert", 0);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(missing), "transfert = 0\r\n");
}

TEST(PreferenceFileFailures, AReadOnlyFileIsNeverWrittenAndAReadOnlyFoldersFileIsWrittenInPlace) {
    ScratchFolder dir;
    const std::string locked = dir.file("lecture.pcfg");
    writeBytes(locked, "k=1\n");
    // Root writes through permission bits: run with an ordinary account's file rights, in a
    // folder that account may write, so only the file's own permissions stop a rewrite.
    sfs::permissions(dir.path, sfs::perms::all);
    sfs::permissions(locked, sfs::perms::owner_read | sfs::perms::group_read | sfs::perms::others_read);
    PreferenceFile f;
    {
        testing::OrdinaryRights rights;
        fs::File probe;
        if (probe.open(locked, fs::File::Mode::ReadWriteExisting)) GTEST_SKIP() << "the file stayed writable";
        ASSERT_TRUE(f.open(locked));
        EXPECT_TRUE(f.isReadOnly());
        f.writeInteger("k", 2);
        EXPECT_EQ(f.readInteger("k", 0), 2);  // changes live in memory
        EXPECT_FALSE(f.close());
        EXPECT_EQ(readBytes(locked), "k=1\n");
        EXPECT_FALSE(f.create(locked));
    }

    // A folder that takes no new file, holding a writable one: both ways of saving still
    // reach the file (rewritten in place), and nothing else appears in the folder.
    const std::string writable = dir.file("ecriture.pcfg");
    writeBytes(writable, "k = 1\r\nautre = ligne plus longue que la suite\r\n");
    sfs::permissions(writable, sfs::perms::all);
    sfs::permissions(dir.path, sfs::perms::owner_all | sfs::perms::group_read | sfs::perms::group_exec |
                                   sfs::perms::others_read | sfs::perms::others_exec);
    testing::OrdinaryRights rights;
    ASSERT_TRUE(f.open(writable));
    EXPECT_FALSE(f.isReadOnly());
    f.writeInteger("k", 2);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(writable), "k = 2\r\nautre = ligne plus longue que la suite\r\n");
    ASSERT_TRUE(f.create(writable));
    f.writeInteger("k", 3);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(readBytes(writable), "k = 3\r\n");
    EXPECT_EQ(std::distance(sfs::directory_iterator(dir.path), sfs::directory_iterator()), 2);
}

// The settings lie in a folder that takes no new file, so a save can only rewrite them in
// place, and there is no room for the longer new contents: the save says it failed and the
// old settings stay whole, never cut where the room ran out. Both ways of saving (the
// updater's rewrite, the locator's and installer's new file), on a disk really full: a
// small file system of the test's own, or a limit on the size of files.
const std::string oldSettings = "transfert = 1\r\nFTP_adresse = ftp.exemple.org\r\nRepertoireDuLivreDor = livre\r\n";

// Run as an ordinary account in the refusing folder: "kept" when close failed and the old
// bytes are there, else what went wrong.
std::string saveLongerInPlace(const std::string& path, bool rewrite, const std::function<void()>& beforeClose) {
    PreferenceFile f;
    testing::OrdinaryRights rights;
    if (!(rewrite ? f.open(path) : f.create(path))) return "not opened";
    f.writeString("FTP_adresse", std::string(6000, 'a'));  // past the old file's one page
    beforeClose();
    if (f.close()) return "written";
    return readBytes(path) == oldSettings ? "kept" : "lost: " + readBytes(path).substr(0, 40);
}

TEST(PreferenceFileFailures, InPlaceOnAFullDiskTheOldSettingsStayWhole) {
    for (const bool rewrite : {true, false}) {
        SCOPED_TRACE(rewrite ? "rewrite" : "new file");
        {
            ScratchFolder dir;
            const std::string path = dir.file("config.pcfg");
            writeBytes(path, oldSettings);
            sfs::permissions(path, sfs::perms::all);
            sfs::permissions(dir.path, sfs::perms::owner_all | sfs::perms::group_read | sfs::perms::group_exec |
                                           sfs::perms::others_read | sfs::perms::others_exec);
            std::string outcome;
            {
                std::unique_ptr<testing::FileSizeLimit> limit;
                outcome = saveLongerInPlace(path, rewrite, [&] {
                    limit = std::make_unique<testing::FileSizeLimit>(oldSettings.size() + 100);
                });
            }
            EXPECT_EQ(outcome, "kept") << "size limit";
        }

        // A 64 KiB memory file system, mounted in a mount namespace of a child process of
        // its own (the mount goes with it), filled up to its last page.
        ScratchFolder dir;
        const std::string path = dir.file("config.pcfg");
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(out[0]);
            std::string said;
            if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
                said = "skip";
            } else {
                writeBytes(path, oldSettings);
                sfs::permissions(path, sfs::perms::all);
                {
                    std::ofstream filler(dir.file("remplissage"), std::ios::binary);
                    const std::string page(4096, 'x');
                    for (int i = 0; i < 64 && filler.write(page.data(), page.size()); ++i) filler.flush();
                }
                said = saveLongerInPlace(path, rewrite, [] {});
            }
            [[maybe_unused]] const ssize_t n = ::write(out[1], said.data(), said.size());
            ::_exit(0);
        }
        ::close(out[1]);
        std::string said;
        char buffer[256];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
        ::close(out[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (said == "skip") GTEST_SKIP() << "no file system can be mounted here (needs root)";
        EXPECT_EQ(said, "kept") << "full file system";
    }
}

}  // namespace
}  // namespace velmo
