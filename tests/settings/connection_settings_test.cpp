#include "settings/connection_settings.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

ConnectionSettings formValues() {
    ConnectionSettings s;
    s.serverAddress = " ftp.exemple.org ";
    s.userId = " moi ";
    s.password = "secret";
    s.guestbookFolder = " livre ";
    s.permissionFlag = 1;
    s.passiveFlag = 0;
    s.port = 2121;
    return s;
}

TEST(ConnectionSettingsSave, LocatorAndInstallerReplaceTheFileWithTheirKeysInOrder) {
    TempFolder dir;
    const std::string path = dir.file("config.pcfg");
    // The fields go as they stand; only the installer claims the permissions.
    for (auto [tool, chmod] : {std::pair{Tool::Locator, '0'}, std::pair{Tool::Installer, '1'}}) {
        SCOPED_TRACE(chmod);
        writeBytes(path, "ancienne = ligne\r\n");
        ASSERT_TRUE(saveConnectionSettings(tool, formValues(), path));
        EXPECT_EQ(readBytes(path), std::string("transfert = 1\r\n"
                                               "FTP_adresse =  ftp.exemple.org \r\n"
                                               "FTP_iDUseur =  moi \r\n"
                                               "FTP_infoChmod = ") +
                                       chmod +
                                       "\r\n"
                                       "FTP_modeConnexion = 0\r\n"
                                       "FTP_portConnexion = 2121\r\n"
                                       "RepertoireDuLivreDor =  livre \r\n");
    }
    EXPECT_EQ(readInstallerGuestbookFolder(path), "livre");  // what the link generator uses
    // The backup tool only reads.
    EXPECT_FALSE(saveConnectionSettings(Tool::Backup, ConnectionSettings{}, path));
    EXPECT_EQ(readBytes(path).substr(0, 33), "transfert = 1\r\nFTP_adresse =  ftp");
    // Without the softwareDatas folder nothing is written anywhere.
    EXPECT_FALSE(saveConnectionSettings(Tool::Locator, formValues(), dir.file("softwareDatas/config.pcfg")));
    EXPECT_FALSE(testing::exists(dir.file("softwareDatas")));
}

TEST(ConnectionSettingsSave, UpdaterRewritesInPlaceKeepingTransfertAndOtherLines) {
    TempFolder dir;
    const std::string path = dir.file("config.pcfg");
    writeBytes(path,
               "transfert = 1\n"
               "; garde\n"
               "FTP_portConnexion = 21\n"
               "ftp_adresse = ancien\n"
               "autre = valeur\n"
               "[Grp_Local]\n"
               "FTP_iDUseur = pas celle-ci\n");
    ASSERT_TRUE(saveConnectionSettings(Tool::Updater, formValues(), path));
    EXPECT_EQ(readBytes(path),
              "transfert = 1\r\n"
              "; garde\r\n"
              "FTP_portConnexion = 2121\r\n"
              "FTP_adresse = ftp.exemple.org\r\n"
              "autre = valeur\r\n"
              "FTP_iDUseur = moi\r\n"
              "FTP_infoChmod = 1\r\n"
              "FTP_modeConnexion = 0\r\n"
              "RepertoireDuLivreDor = livre\r\n"
              "[Grp_Local]\r\n"
              "FTP_iDUseur = pas celle-ci\r\n");
}

TEST(ConnectionSettingsLoad, DefaultsAndKeysPerTool) {
    TempFolder dir;
    const std::string path = dir.file("config.pcfg");
    // No folder key, blanks around the values, permissions applied.
    writeBytes(path,
               "transfert = 1\r\n"
               "FTP_adresse =   ftp.exemple.org   \r\n"
               "FTP_iDUseur = moi \r\n"
               "FTP_infoChmod = 1\r\n"
               "FTP_modeConnexion = 0\r\n"
               "FTP_portConnexion = 2121\r\n");
    struct Expect {
        Tool tool;
        const char* folder;
        int permission;
        int transfer;
    } table[] = {
        {Tool::Locator, "", 0, 0},
        {Tool::Installer, "livre-dor", 1, 1},
        {Tool::Backup, "", 0, 0},
        {Tool::Updater, "", 1, 0},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(static_cast<int>(e.tool));
        ConnectionSettingsLoad load = loadConnectionSettings(e.tool, path);
        EXPECT_TRUE(load.fileOpened);
        EXPECT_EQ(load.settings.serverAddress, "ftp.exemple.org");
        EXPECT_EQ(load.settings.userId, "moi");
        EXPECT_EQ(load.settings.guestbookFolder, e.folder);
        EXPECT_EQ(load.settings.permissionFlag, e.permission);
        EXPECT_EQ(load.settings.passiveFlag, 0);
        EXPECT_EQ(load.settings.port, 2121);
        EXPECT_EQ(load.transferFlag, e.transfer);
    }
    EXPECT_EQ(readTransferFlag(path), 1);
    EXPECT_EQ(readInstallerGuestbookFolder(path), "livre-dor");

    // Without the file the installer still gets its defaults, and no file appears.
    const std::string missing = dir.file("absent.pcfg");
    ConnectionSettingsLoad load = loadConnectionSettings(Tool::Installer, missing);
    EXPECT_FALSE(load.fileOpened);
    EXPECT_EQ(load.settings.guestbookFolder, "livre-dor");
    EXPECT_EQ(load.settings.passiveFlag, 1);
    EXPECT_EQ(load.settings.port, 21);
    EXPECT_EQ(readTransferFlag(missing), 0);
    EXPECT_FALSE(testing::exists(missing));
}

TEST(ConnectionSettingsLoad, PortFieldText) {
    EXPECT_EQ(portFromFieldText("  2121 "), 2121);
    EXPECT_EQ(portFromFieldText("   "), 0);
    EXPECT_EQ(portFromFieldText("99999999999"), 2147483647);  // pinned, not wrapped
}

}  // namespace
}  // namespace velmo
