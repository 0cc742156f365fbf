// The permission passes without any window, against a scripted server: what they send,
// what they count as applied, and what a menu run tells the user itself.
#include <gtest/gtest.h>

#include "installer/engine/permission_pass.h"
#include "installer/engine/permission_plan.h"
#include "tests/installer/chmod_targets.h"
#include "platform/net.h"
#include "recording_reporter.h"
#include "tests/support/scripted_server.h"

using namespace velmo;
using namespace velmo::installer;
using velmo::installer::testing::ChmodTarget;
using velmo::installer::testing::chmodTargets;
using velmo::installer::testing::RecordingReporter;
using velmo::testsupport::ScriptedServer;

namespace {

const char* const chmodDone = "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";

struct Case {
    const char* name;
    bool listening;        // false: nothing listens on the port
    bool loginAccepted;
    int refusedTarget;     // index into the plan of a target the server refuses, -1 none
    PermissionResult expected;
    Notice closing;        // menuRunNotice, for a run that connected
};

}  // namespace

// The server answers the plain CHMOD as unknown and takes SITE CHMOD, as most do. A pass
// that could not connect or log in sends no CHMOD and claims nothing; one whose targets
// were refused says how many.
TEST(PermissionPass, CountsOnlyWhatTheServerAcceptedAndAMenuRunSaysWhyItStopped) {
    const std::string refusedText = "Le serveur a refusé 1 des 14 CHMOD sur les dossiers et fichiers adéquates.";
    const std::vector<Case> cases = {
        {"nothing listens", false, false, -1, {PermissionOutcome::NotConnected}, {}},
        {"login refused", true, false, -1, {PermissionOutcome::NotConnected}, {}},
        {"one target refused", true, true, 2, {PermissionOutcome::Refused, 1},
         {"Statut Chmod.", refusedText, NoticeKind::Warning}},
        {"all accepted", true, true, -1, {PermissionOutcome::Applied}, {"Statut Chmod.", chmodDone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        int port = server.port();
        if (!c.listening) {
            net::Socket listener = net::Socket::listenOn("127.0.0.1", 0, 1);
            port = listener.localPort();
        }
        server.reply("220 ready\r\n").expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n").expect("USER bob\r\n").reply("331 Password required\r\n")
            .expect("PASS pw\r\n");
        if (!c.loginAccepted) {
            server.reply("530 Login incorrect.\r\n");
        } else {
            server.reply("230 Logged in\r\n").expect("TYPE A\r\n").reply("200 Type set to A\r\n");
            for (std::size_t i = 0; i < chmodTargets.size(); ++i) {
                const std::string path = std::string("livre-dor") + chmodTargets[i].suffix;
                server.expect("CHMOD 777 " + path + "\r\n").reply("500 'CHMOD': command not understood\r\n")
                    .expect("SITE CHMOD 777 " + path + "\r\n")
                    .reply(static_cast<int>(i) == c.refusedTarget ? "550 Permission denied\r\n"
                                                                  : "200 SITE CHMOD command successful\r\n");
            }
        }
        if (c.listening) server.start();

        RecordingReporter r;
        const ConnectionSettings s{"127.0.0.1", "bob", "pw", "livre-dor", 0, 1, port};
        const PermissionResult result = runMenuPermissions(s, PermissionAction::ApplyWritable, r);
        if (c.listening) {
            EXPECT_TRUE(server.finish()) << server.report();
        }
        EXPECT_EQ(result, c.expected);
        if (c.expected.outcome == PermissionOutcome::NotConnected) {
            EXPECT_EQ(r.notices, std::vector<Notice>{connectionFailedNotice()});
            EXPECT_TRUE(r.steps.empty());
        } else {
            EXPECT_TRUE(r.notices.empty()) << "the closing box is the caller's";
            ASSERT_EQ(r.steps.size(), 14u);
            EXPECT_EQ(r.steps[2], "3/14 cfg_choix_skin.php");
            EXPECT_EQ(menuRunNotice(result), c.closing);
        }
    }
}
