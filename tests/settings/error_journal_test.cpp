#include "settings/error_journal.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::ScratchFolder;

// Hands out the given readings one after the other.
std::function<clock::LocalDateTime()> clockReading(std::vector<clock::LocalDateTime> readings) {
    return [readings, next = std::size_t(0)]() mutable { return readings.at(next++); };
}

const std::string head =
    "DEBUT ========================================\r\n"
    "Journal d'erreur des fichiers mal transf\xE9r\xE9s.\r\n";

// One block as the journal must hold it, byte for byte.
std::string block(const std::string& date, const std::string& time, const char* chmod, const char* passive,
                  const char* port, const std::string& list) {
    return head + "Date        : " + date + "\r\nHeure       : " + time +
           "\r\n"
           "Adresse FTP : 127.0.0.1\r\n"
           "R\xE9p. dest.  : livre-dor\r\n"
           "CHMOD       : " + chmod + "\r\nMode passif : " + passive + "\r\nNum\xE9ro Port : " + port +
           "\r\n"
           "\r\n"
           "Information : Chaque fichier mal transf\xE9r\xE9 est envoy\xE9 \xE0 nouveau et ceci autant de fois\r\n"
           "              qu'il le faut jusqu'\xE0 ce que celui-ci soit bien sur le serveur.\r\n"
           "========================================\r\n" +
           list + "FIN ========================================\r\n\r\n\r\n\r\n";
}

TEST(ErrorJournal, BlocksAppendedByteForByteWhereTheFolderExists) {
    ScratchFolder dir;
    const std::string path = dir.file("log-erreur.txt");
    ConnectionSettings s{"127.0.0.1", "moi", "jamais", "livre-dor", 0, 1, 2121};
    // The date is read before the time: a block written across midnight takes each
    // from its own reading.
    writeErrorJournal({}, s, path, clockReading({{2026, 12, 31, 23, 59, 59}, {2027, 1, 1, 0, 0, 0}}));
    const std::string first =
        block("31/12/2026", "00:00:00", "non", "oui", "2121", "Tous les fichiers ont bien \xE9t\xE9 transf\xE9r\xE9s.\r\n");
    EXPECT_EQ(readBytes(path), first);

    s.permissionFlag = 1;
    s.passiveFlag = 2;  // only 1 reads as "oui"
    s.port = 21;
    writeErrorJournal({"livre-dor/aide/img/a.gif", "livre-dor/aide/img/a.gif", "livre-dor/b.php"}, s, path,
                      clockReading({{2027, 3, 4, 5, 6, 7}, {2027, 3, 4, 5, 6, 7}}));
    EXPECT_EQ(readBytes(path), first + block("04/03/2027", "05:06:07", "oui", "non", "21",
                                             "livre-dor/aide/img/a.gif\r\nlivre-dor/aide/img/a.gif\r\n"
                                             "livre-dor/b.php\r\n"));
    EXPECT_EQ(readBytes(path).find("jamais"), std::string::npos);
    // A missing folder is left alone; without a clock the real one dates the block.
    writeErrorJournal({"x"}, s, dir.file("softwareDatas/log-erreur.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("softwareDatas")));
    writeErrorJournal({}, s, dir.file("log.txt"));
    EXPECT_EQ(readBytes(dir.file("log.txt")).rfind(head + "Date        : ", 0), 0u);
}

}  // namespace
}  // namespace velmo
