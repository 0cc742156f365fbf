// The upload engine without any window: small manifests of local files sent to a scripted
// FTP server (the exact conversation), with a recording reporter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "ftp/ftp_session.h"
#include "installer/engine/run_completion.h"
#include "installer/engine/upload_engine.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "settings/error_journal.h"
#include "recording_reporter.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_server.h"

using namespace velmo;
using namespace velmo::installer;
using velmo::installer::testing::RecordingReporter;
using velmo::testsupport::ScriptedServer;

namespace {

// A manifest folder below the user's folder ("" for that folder itself) holding `files`,
// reached from the previous entry's folder or, `fromBase`, from the user's folder. Its
// files are written below "local/" with their own name as content.
struct TinyManifest {
    TinyManifest() : dir(velmo::testing::ScratchFolder::Enter) {}

    TinyManifest& folder(const std::string& remote, bool fromBase, const std::vector<std::string>& files) {
        using K = RemoteStep::Kind;
        ManifestFolder f;
        const std::string name = remote.substr(remote.rfind('/') + 1);
        f.remoteFolder = remote;
        f.uploadPrefix = "local/" + (remote.empty() ? "" : remote + "/");
        f.fileLinePrefix = "   +- ";
        f.folderLine = "+-[Dossier] " + name;
        if (fromBase) f.remoteSteps.push_back({K::ChangeToBase, ""});
        f.remoteSteps.push_back({K::Make, name});
        f.remoteSteps.push_back({K::ChangeInto, name});
        f.lines.push_back(f.folderLine);
        for (const std::string& file : files) {
            addFile(f, file);
            dir.writeFile(f.uploadPrefix + file, file);
        }
        entries.push_back(std::move(f));
        return *this;
    }

    UploadJob job(int port) const {
        UploadJob j;
        j.settings = ConnectionSettings{"127.0.0.1", "bob", "pw", "livre", 0, 1, port};
        j.manifest = std::make_shared<const std::vector<ManifestFolder>>(entries);
        return j;
    }

    velmo::testing::ScratchFolder dir;
    std::vector<ManifestFolder> entries;
};

ScriptedServer& login(ScriptedServer& s) {
    return s.reply("220 ready\r\n")
        .expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n")
        .expect("USER bob\r\n").reply("331 Password required\r\n")
        .expect("PASS pw\r\n").reply("230 Logged in\r\n");
}

// The login, the login directory "/", "sessions", the user's folder made and entered.
ScriptedServer& intoNewFolder(ScriptedServer& s) {
    return login(s)
        .expect("PWD\r\n").reply("257 \"/\" is the current directory\r\n")
        .expect("MKD sessions\r\n").reply("257 \"/sessions\" created\r\n")
        .expect("CWD livre\r\n").reply("550 No such directory\r\n")
        .expect("MKD livre\r\n").reply("257 \"/livre\" created\r\n")
        .expect("CWD livre\r\n").reply("250 Okay\r\n");
}

// One passive STOR, from the PWD every send starts with.
ScriptedServer& stored(ScriptedServer& s, const std::string& name, const std::string& directory) {
    return s.expect("PWD\r\n").reply("257 \"" + directory + "\"\r\n")
        .expect("TYPE I\r\n").reply("200 Type set to I\r\n")
        .expect("PASV\r\n").pasv()
        .expect("STOR " + name + "\r\n").reply("150 Ok to send data\r\n")
        .acceptData().receiveData().reply("226 Transfer complete\r\n");
}

// A client that waits for a reply the script does not give fails in seconds, not minutes.
class UploadEngine : public ::testing::Test {
protected:
    void SetUp() override { ftp::setSilenceLimitMs(5000); }
    void TearDown() override { ftp::setSilenceLimitMs(120000); }
};

}  // namespace

// A folder that can be neither made nor entered gets none of its files sent, nor its
// nested folder made (it would land in the parent); the next folder reached from the
// user's folder is sent as usual. Each file not sent is one journal line.
TEST_F(UploadEngine, AFolderThatCannotBeEnteredGetsNoneOfItsFilesNorItsSubFolders) {
    TinyManifest m;
    m.folder("", false, {"r.txt"}).folder("aide", false, {"x.txt"}).folder("aide/img", false, {"y.txt"})
        .folder("inc", true, {"z.txt"});
    ScriptedServer server;
    stored(intoNewFolder(server), "r.txt", "/livre")
        .expect("MKD aide\r\n").reply("550 Permission denied\r\n")
        .expect("CWD aide\r\n").reply("550 No such directory\r\n")
        .expect("PWD\r\n").reply("257 \"/livre\"\r\n")  // still there: the folder itself failed
        .expect("CWD /livre\r\n").reply("250 Okay\r\n")
        .expect("MKD inc\r\n").reply("257 \"/livre/inc\" created\r\n")
        .expect("CWD inc\r\n").reply("250 Okay\r\n");
    stored(server, "z.txt", "/livre/inc");
    server.start();
    RecordingReporter r;
    const RunReport report = runTransfer(m.job(server.port()), r);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"r.txt", "z.txt"}));
    EXPECT_EQ(report.outcome, UploadOutcome::Processed);
    EXPECT_EQ(report.failedSends, (std::vector<std::string>{"local/aide/x.txt", "local/aide/img/y.txt"}));
    EXPECT_EQ(report.filesGivenUp, 2);
    EXPECT_EQ(closingNotice(report).kind, NoticeKind::Warning);
    // Every line of the tree list was still gone through, each file ended.
    int ended = 0;
    for (const UploadProgress& p : r.progressSeen) ended += p.step == UploadProgress::Step::FileEnded;
    EXPECT_EQ(ended, 4);
}

// The server drops the session in the middle of a run: before the file's second attempt
// the session is reopened where the file goes, and the run goes on. When the server does
// not take the login again, the sending ends there: the rest is given up at once instead
// of failing attempt after attempt.
TEST_F(UploadEngine, ADroppedSessionIsReopenedBeforeTheNextAttemptOrEndsTheSending) {
    struct Case {
        const char* name;
        bool reopened;
    };
    for (const Case c : {Case{"reopened", true}, Case{"login refused", false}}) {
        SCOPED_TRACE(c.name);
        TinyManifest m;
        m.folder("", false, {"a.txt", "b.txt", "c.txt"});
        ScriptedServer server;
        stored(intoNewFolder(server), "a.txt", "/livre")
            .expect("PWD\r\n").reply("257 \"/livre\"\r\n")
            .expect("TYPE I\r\n").reply("421 Timeout.\r\n").drop()
            .reply("220 ready\r\n")
            .expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n")
            .expect("USER bob\r\n").reply("331 Password required\r\n")
            .expect("PASS pw\r\n");
        if (c.reopened) {
            server.reply("230 Logged in\r\n")
                .expect("CWD /livre\r\n").reply("250 Okay\r\n")
                .expect("PWD\r\n").reply("257 \"/livre\"\r\n");
            stored(server, "b.txt", "/livre");
            stored(server, "c.txt", "/livre");
        } else {
            server.reply("530 Login incorrect.\r\n");
        }
        server.start();
        RecordingReporter r;
        const RunReport report = runTransfer(m.job(server.port()), r);
        EXPECT_TRUE(server.finish()) << server.report();
        EXPECT_EQ(server.connectionsAccepted(), 2);
        EXPECT_EQ(report.outcome, UploadOutcome::Processed);
        if (c.reopened) {
            EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
            EXPECT_EQ(report.failedSends, std::vector<std::string>{"local/b.txt"});
            EXPECT_EQ(report.filesGivenUp, 0);
        } else {
            EXPECT_EQ(server.dataReceived(), std::vector<std::string>{"a.txt"});
            EXPECT_EQ(report.failedSends, (std::vector<std::string>{"local/b.txt", "local/c.txt"}));
            EXPECT_EQ(report.filesGivenUp, 2);
        }
    }
}

// "Annuler" while a file is sent, and the server drops the session while the question is
// on screen: whatever the answer, the file is sent once more, in a session reopened where
// it goes, since the send that ended during the question may not have been the last word
// of that session. After No the run goes on; after Yes nothing else is sent.
// The stop question raised while a file is being sent does not hold that send: the server
// gets the whole file while the question is still on screen, and the answer, taken once it
// comes, acts as it always has (the file is sent once more; "Non" goes on, "Oui" stops).
TEST_F(UploadEngine, TheStopQuestionRaisedDuringASendLetsItsDataFlow) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "Yes" : "No");
        TinyManifest m;
        m.folder("", false, {"a.txt", "b.txt"});
        ScriptedServer server;
        // The late 150 keeps the send under way past its first progress round.
        intoNewFolder(server)
            .expect("PWD\r\n").reply("257 \"/livre\"\r\n")
            .expect("TYPE I\r\n").reply("200 Type set to I\r\n")
            .expect("PASV\r\n").pasv()
            .expect("STOR a.txt\r\n").silence(400).reply("150 Ok to send data\r\n")
            .acceptData().receiveData().reply("226 Transfer complete\r\n")
            .expect("PWD\r\n").reply("257 \"/livre\"\r\n");  // the session is looked at before the repeat
        stored(server, "a.txt", "/livre");
        if (!stop) stored(server, "b.txt", "/livre");
        server.start();
        RecordingReporter r;
        r.onProgress = [&](const UploadProgress& p) {
            if (p.step == UploadProgress::Step::FileStarted && p.itemIndex == 1) r.stopNow = true;
        };
        std::promise<bool> answer;
        std::thread user;
        bool fileArrivedFirst = false;
        r.answerLater = [&](const Notice&) {
            // The answer comes once the server holds the file: a send the question held
            // would never get there (and the answer would come, late, with nothing sent).
            user = std::thread([&] {
                for (int i = 0; i < 1000 && server.dataReceived().empty(); ++i) clock::sleepMs(10);
                fileArrivedFirst = !server.dataReceived().empty();
                answer.set_value(stop);
            });
            return answer.get_future();
        };
        const RunReport report = runTransfer(m.job(server.port()), r);
        if (user.joinable()) user.join();
        EXPECT_TRUE(fileArrivedFirst);
        EXPECT_TRUE(server.finish()) << server.report();
        ASSERT_EQ(r.questions.size(), 1u);
        EXPECT_EQ(r.questions[0].text, "Voulez-vous arreter le transfert en cours ?");
        ASSERT_FALSE(r.notices.empty());
        EXPECT_EQ(r.notices.back().text, stop ? "Le transfert va donc être arrêté, veuillez patienter."
                                              : "Le tansfert des fichiers va donc reprendre.");
        const std::vector<std::string> received = stop ? std::vector<std::string>{"a.txt", "a.txt"}
                                                       : std::vector<std::string>{"a.txt", "a.txt", "b.txt"};
        EXPECT_EQ(server.dataReceived(), received);
        EXPECT_EQ(report.outcome, stop ? UploadOutcome::Stopped : UploadOutcome::Processed);
        EXPECT_EQ(report.filesGivenUp, 0);
    }
}

TEST_F(UploadEngine, AFileWhoseSendEndedDuringTheStopQuestionIsSentOnceMoreAfterTheSessionIsReopened) {
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "Yes" : "No");
        TinyManifest m;
        m.folder("", false, {"a.txt", "b.txt"});
        ScriptedServer server;
        stored(intoNewFolder(server), "a.txt", "/livre")
            .drop()
            .reply("220 ready\r\n")
            .expect("AUTH TLS\r\n").reply("500 AUTH non reconnu\r\n")
            .expect("USER bob\r\n").reply("331 Password required\r\n")
            .expect("PASS pw\r\n").reply("230 Logged in\r\n")
            .expect("CWD /livre\r\n").reply("250 Okay\r\n")
            .expect("PWD\r\n").reply("257 \"/livre\"\r\n");
        stored(server, "a.txt", "/livre");
        if (!stop) stored(server, "b.txt", "/livre");
        server.start();
        RecordingReporter r;
        r.answers = {stop};
        r.onProgress = [&](const UploadProgress& p) {
            if (p.step == UploadProgress::Step::FileStarted && p.itemIndex == 1) r.stopNow = true;
        };
        const RunReport report = runTransfer(m.job(server.port()), r);
        EXPECT_TRUE(server.finish()) << server.report();
        EXPECT_EQ(server.connectionsAccepted(), 2);
        EXPECT_EQ(r.questions.size(), 1u);
        const std::vector<std::string> received = stop ? std::vector<std::string>{"a.txt", "a.txt"}
                                                       : std::vector<std::string>{"a.txt", "a.txt", "b.txt"};
        EXPECT_EQ(server.dataReceived(), received);
        EXPECT_EQ(report.outcome, stop ? UploadOutcome::Stopped : UploadOutcome::Processed);
        EXPECT_EQ(report.failedSends, std::vector<std::string>{});
        EXPECT_EQ(report.filesGivenUp, 0);
    }
}

namespace {

// The commands of one send as they go together: the three lines read before any reply.
ScriptedServer& batchedUntilPasv(ScriptedServer& s, const std::string& directory) {
    return s.expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n")
        .reply("257 \"" + directory + "\"\r\n200 Type set to I\r\n").pasv();
}

// The rest of a passive send: STOR leaves before the data connection is made, and the data
// before the server's answer (this script answers only once the data has ended).
ScriptedServer& storedEarly(ScriptedServer& s, const std::string& name) {
    return s.expect("STOR " + name + "\r\n").acceptData().receiveData()
        .reply("150 Ok to send data\r\n226 Transfer complete\r\n");
}

std::string journalOf(const RunReport& report) {
    std::filesystem::create_directories("softwareDatas");
    recordRun(report);
    std::string journal;
    fs::readWholeFile(installerJournalPath, journal);
    return journal;
}

}  // namespace

// Servers that mishandle commands sent before their answer to the previous one: the send
// goes on one command at a time, now and for every later send of the run, the run succeeds
// and only the journal tells. A stop question raised while the batch is in flight lets
// every reply be read before the session is used again.
TEST_F(UploadEngine, CommandsGoTogetherUnlessTheServerFallsOutOfStep) {
    ftp::setSilenceLimitMs(1000);  // the silent servers cost a second, not three
    struct Row {
        const char* what;
        std::function<void(ScriptedServer&)> firstSend;  // up to the one-at-a-time PASV
        const char* reason;                              // "" : no fallback
    };
    const auto oneByOneFrom = [](ScriptedServer& s, bool pwd) {
        if (pwd) s.expect("PWD\r\n").reply("257 \"/livre\"\r\n");
        s.expect("TYPE I\r\n").reply("200 Type set to I\r\n").expect("PASV\r\n").pasv();
    };
    const Row rows[] = {
        {"a server that takes them", [](ScriptedServer& s) { batchedUntilPasv(s, "/livre"); }, ""},
        {"early input dropped",
         [&](ScriptedServer& s) {
             s.expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n").reply("257 \"/livre\"\r\n");
             oneByOneFrom(s, false);
         },
         "TYPE -> (silence)"},
        {"garbled reply",
         [&](ScriptedServer& s) {
             s.expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n")
                 .reply("257 \"/livre\"\r\n\x01\x02 what\r\n").pasv();
             oneByOneFrom(s, false);
         },
         "TYPE -> ?"},
        {"reply to the wrong command",
         [&](ScriptedServer& s) {
             s.expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n").reply("200 Type set to I\r\n").pasv();
             oneByOneFrom(s, true);
         },
         "PWD -> 200"},
        {"silence", [&](ScriptedServer& s) {
             s.expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n");
             oneByOneFrom(s, true);
         },
         "PWD -> (silence)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const bool fallback = *row.reason != '\0';
        TinyManifest m;
        m.folder("", false, {"a.txt", "b.txt"});
        ScriptedServer server;
        server.setStepLimit(3000);
        intoNewFolder(server);
        row.firstSend(server);
        storedEarly(server, "a.txt");
        // The second send: one at a time after a fallback (its PWD answered late, so a
        // client still sending together would be seen with TYPE I already sent).
        if (fallback) {
            server.expect("PWD\r\n").silence(300).reply("257 \"/livre\"\r\n");
            oneByOneFrom(server, false);
        } else {
            batchedUntilPasv(server, "/livre");
        }
        storedEarly(server, "b.txt");
        server.start();
        RecordingReporter r;
        std::vector<std::string> seen;  // what the server had got, at each progress round
        r.onProgress = [&](const UploadProgress& p) {
            if (p.step == UploadProgress::Step::FileMoving) seen.push_back(server.received());
        };
        const RunReport report = runTransfer(m.job(server.port()), r);
        EXPECT_TRUE(server.finish()) << server.report();
        EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"a.txt", "b.txt"}));
        EXPECT_EQ(report.outcome, UploadOutcome::Processed);
        EXPECT_TRUE(report.failedSends.empty());
        EXPECT_EQ(report.oneAtATimeReason, row.reason);
        const bool pwdAlone = std::any_of(seen.begin(), seen.end(), [](const std::string& s) {
            return s.size() > 17 && s.compare(s.size() - 17, 17, "STOR a.txt\r\nPWD\r\n") == 0;
        });
        EXPECT_EQ(pwdAlone, fallback) << "the second send's PWD went alone";
        const std::string journal = journalOf(report);
        EXPECT_NE(journal.find("Tous les fichiers ont bien été transférés.\r\n"), std::string::npos);
        const std::string note = fallback ? std::string("Information : le serveur n'a pas suivi les commandes envoyées "
                                                        "ensemble (") + row.reason +
                                                ") ; elles lui ont été envoyées une à une.\r\n"
                                          : "";
        EXPECT_NE(journal.find("transférés.\r\n" + note + "FIN "), std::string::npos)
            << journal;
    }
}

TEST_F(UploadEngine, AStopQuestionWhileTheCommandsAreInFlightLetsEveryReplyBeRead) {
    TinyManifest m;
    m.folder("", false, {"a.txt"});
    ScriptedServer server;
    // The replies held back: the progress round (and the question) comes while all three
    // commands wait for their answers.
    intoNewFolder(server).expect("PWD\r\n").expect("TYPE I\r\n").expect("PASV\r\n").silence(400)
        .reply("257 \"/livre\"\r\n200 Type set to I\r\n").pasv();
    storedEarly(server, "a.txt").expect("PWD\r\n").reply("257 \"/livre\"\r\n");  // the repeat looks first
    batchedUntilPasv(server, "/livre");
    storedEarly(server, "a.txt");
    server.start();
    RecordingReporter r;
    bool askedBeforeAnyReply = false;
    r.onProgress = [&](const UploadProgress& p) {
        if (p.step == UploadProgress::Step::FileStarted) r.stopNow = true;
    };
    r.answerLater = [&](const Notice&) {
        const std::string got = server.received();
        askedBeforeAnyReply = got.size() >= 6 && got.compare(got.size() - 6, 6, "PASV\r\n") == 0;
        std::promise<bool> yes;
        yes.set_value(true);
        return yes.get_future();
    };
    const RunReport report = runTransfer(m.job(server.port()), r);
    EXPECT_TRUE(askedBeforeAnyReply);
    EXPECT_TRUE(server.finish()) << server.report();
    EXPECT_EQ(server.dataReceived(), (std::vector<std::string>{"a.txt", "a.txt"}));
    EXPECT_EQ(report.outcome, UploadOutcome::Stopped);
    EXPECT_TRUE(report.failedSends.empty());
    EXPECT_EQ(report.oneAtATimeReason, "");
}
