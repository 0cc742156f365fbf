#include "settings/connection_settings.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::ScratchFolder;
using testing::writeBytes;

// The form as typed: blanks around the texts, the permissions asked, active mode.
const ConnectionSettings form{" ftp.exemple.org ", " moi ", "secret", " livre ", 1, 0, 2121};

TEST(ConnectionSettingsSave, EachToolWritesItsKeysInOrder) {
    ScratchFolder dir;
    const std::string path = dir.file("config.pcfg");
    // The locator and the installer replace the file and write the fields as they stand;
    // only the installer claims the permissions.
    for (auto [tool, chmod] : {std::pair{Tool::Locator, "0"}, std::pair{Tool::Installer, "1"}}) {
        SCOPED_TRACE(chmod);
        writeBytes(path, "ancienne = ligne\r\n");
        ASSERT_TRUE(saveConnectionSettings(tool, form, path));
        EXPECT_EQ(readBytes(path), std::string("transfert = 1\r\nFTP_adresse =  ftp.exemple.org \r\n") +
                                       "FTP_iDUseur =  moi \r\nFTP_infoChmod = " + chmod +
                                       "\r\nFTP_modeConnexion = 0\r\nFTP_portConnexion = 2121\r\n"
                                       "RepertoireDuLivreDor =  livre \r\n");
    }
    EXPECT_EQ(readInstallerGuestbookFolder(path), "livre");  // what the link generator uses
    // The backup tool only reads.
    const std::string installed = readBytes(path);
    EXPECT_FALSE(saveConnectionSettings(Tool::Backup, ConnectionSettings{}, path));
    EXPECT_EQ(readBytes(path), installed);
    // Without the softwareDatas folder nothing is written anywhere.
    EXPECT_FALSE(saveConnectionSettings(Tool::Locator, form, dir.file("softwareDatas/config.pcfg")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("softwareDatas")));
    // The updater rewrites in place, trimmed: `transfert` and the other lines keep their place.
    writeBytes(path, "transfert = 1\n; garde\nFTP_portConnexion = 21\nftp_adresse = ancien\nautre = valeur\n"
                     "[Grp_Local]\nFTP_iDUseur = pas celle-ci\n");
    ASSERT_TRUE(saveConnectionSettings(Tool::Updater, form, path));
    EXPECT_EQ(readBytes(path),
              "transfert = 1\r\n; garde\r\nFTP_portConnexion = 2121\r\nFTP_adresse = ftp.exemple.org\r\n"
              "autre = valeur\r\nFTP_iDUseur = moi\r\nFTP_infoChmod = 1\r\nFTP_modeConnexion = 0\r\n"
              "RepertoireDuLivreDor = livre\r\n[Grp_Local]\r\nFTP_iDUseur = pas celle-ci\r\n");
}

TEST(ConnectionSettingsLoad, DefaultsAndKeysPerTool) {
    ScratchFolder dir;
    const std::string path = dir.file("config.pcfg");
    // No folder key, blanks around the values, permissions applied.
    writeBytes(path, "transfert = 1\r\nFTP_adresse =   ftp.exemple.org   \r\nFTP_iDUseur = moi \r\n"
                     "FTP_infoChmod = 1\r\nFTP_modeConnexion = 0\r\nFTP_portConnexion = 2121\r\n");
    // Folder (its default), permission flag, transfer flag: each tool reads its own keys.
    const std::pair<Tool, std::string> table[] = {
        {Tool::Locator, "|0|0"}, {Tool::Installer, "livre-dor|1|1"}, {Tool::Backup, "|0|0"}, {Tool::Updater, "|1|0"}};
    auto fields = [](const ConnectionSettingsLoad& l) {
        const ConnectionSettings& s = l.settings;
        return s.serverAddress + "|" + s.userId + "|" + std::to_string(s.passiveFlag) + "|" + std::to_string(s.port) +
               "|" + s.guestbookFolder + "|" + std::to_string(s.permissionFlag) + "|" + std::to_string(l.transferFlag);
    };
    for (const auto& [tool, own] : table) {
        SCOPED_TRACE(static_cast<int>(tool));
        ConnectionSettingsLoad load = loadConnectionSettings(tool, path);
        EXPECT_TRUE(load.fileOpened);
        EXPECT_EQ(fields(load), "ftp.exemple.org|moi|0|2121|" + own);
    }
    EXPECT_EQ(readTransferFlag(path), 1);
    EXPECT_EQ(readInstallerGuestbookFolder(path), "livre-dor");

    // Without the file the installer still gets its defaults, and no file appears.
    const std::string missing = dir.file("absent.pcfg");
    ConnectionSettingsLoad load = loadConnectionSettings(Tool::Installer, missing);
    EXPECT_FALSE(load.fileOpened);
    EXPECT_EQ(fields(load), "||1|21|livre-dor|0|0");
    EXPECT_EQ(readTransferFlag(missing), 0);
    EXPECT_FALSE(std::filesystem::exists(missing));

    EXPECT_EQ(portFromFieldText("  2121 "), 2121);
    EXPECT_EQ(portFromFieldText("99999999999"), 2147483647);  // pinned, not wrapped
}

// An empty port field, and a settings file whose port key has no value, name no port: the
// tools connect to (and the locator records) the default 21, never port 0, which would
// only fail with a box blaming the identifiers.
TEST(ConnectionSettingsPort, ThatIsEmptyIsTheDefault21) {
    for (const char* field : {"", "   "}) EXPECT_EQ(portFromFieldText(field), 21) << "\"" << field << "\"";
    EXPECT_EQ(portFromFieldText("0"), 0);  // a port typed as such stays what it is
    ScratchFolder dir;
    const std::string path = dir.file("config.pcfg");
    ConnectionSettings typed = form;
    typed.port = portFromFieldText("");
    ASSERT_TRUE(saveConnectionSettings(Tool::Locator, typed, path));
    EXPECT_NE(readBytes(path).find("\r\nFTP_portConnexion = 21\r\n"), std::string::npos);
    writeBytes(path, "FTP_adresse = ftp.exemple.org\r\nFTP_portConnexion =   \r\n");
    for (const Tool tool : {Tool::Locator, Tool::Installer, Tool::Backup, Tool::Updater})
        EXPECT_EQ(loadConnectionSettings(tool, path).settings.port, 21) << static_cast<int>(tool);
}

}  // namespace
}  // namespace velmo
