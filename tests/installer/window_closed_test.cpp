// The main window closed while workers still run: the program ends, and the workers go on
// with what they share with it, touching nothing that went with the window and handing
// nothing more to its loop.
#include "tests/installer/installer_harness.h"

#include "installer/engine/permission_plan.h"
#include "tests/installer/chmod_targets.h"
#include "tests/support/scripted_server.h"

namespace velmo::installer::testing {
namespace {

using testsupport::FtpPeer;
using testsupport::PeerKind;
using testsupport::ScriptedServer;

TEST_F(InstallerWindowTest, APermissionRunGoesOnToItsEndAfterTheWindowClosed) {
    ScriptedServer server;
    server.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n").expect("TYPE A\r\n").reply("200 Type set to A\r\n");
    for (const ChmodTarget& t : chmodTargets)  // a slow server: the window closes meanwhile
        server.expect(std::string("CHMOD 777 livre-dor") + t.suffix + "\r\n").silence(100).reply("200 Ok\r\n");
    server.start();
    withSettings(ConnectionSettings{"127.0.0.1", "bob", "", "livre-dor", 0, 1, server.port()});
    start();
    ASSERT_TRUE(ui.typeText(ids::mainWindow, ids::passwordField, "pw"));
    ASSERT_TRUE(ui.chooseMenu(ids::mainWindow, ids::menuApplyChmod));
    ASSERT_TRUE(ui.waitUntil([&] {
        return ui.getText(ids::mainWindow, ids::chmodStatus).rfind("En cours : [1/14]", 0) == 0;
    }, std::chrono::seconds(30)));
    closeProgram();

    ui.expectBox("Statut Chmod.", "Le programme a effectué les CHMOD");
    waitForWorkers();
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(ui.unmetExpectations(), std::vector<std::string>{});
}

TEST_F(InstallerWindowTest, AnUploadGoesOnToItsEndAfterTheWindowClosedAndHandsNothingOver) {
    FtpPeer peer(PeerKind::Pyftpdlib);
    start();
    for (auto [id, value] : {std::pair{ids::addressField, peer.host()}, std::pair{ids::userField, peer.user()},
                             std::pair{ids::passwordField, peer.password()},
                             std::pair{ids::portField, std::to_string(peer.port())}})
        ASSERT_TRUE(ui.typeText(ids::mainWindow, id, value));
    ASSERT_TRUE(ui.click(ids::mainWindow, ids::validateButton));
    ASSERT_TRUE(ui.waitUntil([&] { return ui.getProgress(ids::mainWindow, ids::overallBar) >= 5; },
                             std::chrono::seconds(30)));
    const std::size_t boxes = ui.shownBoxes().size();
    closeProgram();

    waitForWorkers();
    EXPECT_EQ(treeBelow(peer.home()), expectedTree("livre-dor")) << "the upload ran to its end";
    EXPECT_EQ(ui.shownBoxes().size(), boxes + 1) << "the launcher's box only: no closing box";
    EXPECT_TRUE(ui.windowIds().empty()) << "no link generator";
    EXPECT_FALSE(tools.hasSettings());
}

}  // namespace
}  // namespace velmo::installer::testing
