#include "settings/known_servers.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/scratch_folder.h"

namespace velmo {
namespace {

using testing::readBytes;
using testing::ScratchFolder;
using testing::writeBytes;

const std::string someDer("\x30\x82\x00\xff\x7f\x80", 6);

// What one tool recorded is what every tool reads back: the host in any letter case, each
// port on its own, a certificate's every byte value, and a later record of the same server
// keeping what it does not replace.
TEST(KnownServers, WhatIsRecordedIsReadBackPerHostAndPort) {
    ScratchFolder dir;
    const std::string path = dir.file("serveurs-tls.pcfg");
    EXPECT_EQ(readKnownServer(path, "ftp.exemple.fr", 21), KnownServer{});  // no file yet

    ASSERT_TRUE(rememberKnownServer(path, "FTP.Exemple.fr", 21, someDer));
    ASSERT_TRUE(rememberKnownServer(path, "ftp.exemple.fr", 2121, ""));
    ASSERT_TRUE(rememberKnownServer(path, "ftp.exemple.fr", 21, ""));  // seen again, no question

    struct Row {
        const char* host;
        int port;
        KnownServer expected;
    } rows[] = {
        {"ftp.exemple.fr", 21, {true, someDer}},
        {"FTP.EXEMPLE.FR", 21, {true, someDer}},
        {"ftp.exemple.fr", 2121, {true, ""}},
        {"ftp.exemple.fr", 990, {false, ""}},
        {"autre.exemple.fr", 21, {false, ""}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(readKnownServer(path, r.host, r.port), r.expected) << r.host << ":" << r.port;

    EXPECT_EQ(readBytes(path), "[ftp.exemple.fr:21]\r\nTLS = 1\r\nCertificat = 308200FF7F80\r\n"
                               "[ftp.exemple.fr:2121]\r\nTLS = 1\r\n")
        << "the file as another tool (or a person) reads it";
}

TEST(KnownServers, ADamagedCertificateEntryTrustsNothing) {
    ScratchFolder dir;
    const std::string path = dir.file("serveurs-tls.pcfg");
    for (const char* value : {"308200FF7F8", "3082ZZ", "30 82"}) {
        writeBytes(path, std::string("[h:21]\r\nTLS=1\r\nCertificat=") + value + "\r\n");
        EXPECT_EQ(readKnownServer(path, "h", 21), (KnownServer{true, ""})) << value;
    }
}

// Two tools recording servers at the same moment: each change is made on the file as it
// stands under the lock, so none undoes the other's.
TEST(KnownServers, TwoToolsRecordingAtOnceKeepEveryEntry) {
    ScratchFolder dir;
    const std::string path = dir.file("serveurs-tls.pcfg");
    constexpr int perTool = 40;
    auto record = [&](const char* host) {
        for (int port = 1; port <= perTool; ++port)
            EXPECT_TRUE(rememberKnownServer(path, host, port, someDer));
    };
    std::thread a(record, "un.exemple.fr"), b(record, "deux.exemple.fr");
    a.join();
    b.join();
    for (const char* host : {"un.exemple.fr", "deux.exemple.fr"})
        for (int port = 1; port <= perTool; ++port)
            EXPECT_TRUE(readKnownServer(path, host, port).seenWithTls) << host << ":" << port;
}

}  // namespace
}  // namespace velmo
