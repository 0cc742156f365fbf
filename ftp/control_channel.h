// The small control-connection client of the installer and the updater: it logs in by
// hand and sends the permission commands (CHMOD, then SITE CHMOD) that the session layer
// does not offer. It never opens a data connection and shows no messages: every outcome
// is a return value. Texts are CP1252 bytes.
//
// Use: construct with the program's reply-wait limit (5000 ms in the updater, 10000 ms
// in the installer), then connect, login, any number of chmod, close (or let the
// destructor close). Each object is one conversation with its own connection and its own
// last reply, so two conversations at once (the installer allows it) do not disturb each
// other. One object is used by one thread at a time. Lines go through the shared control
// connection (ftp/control_connection.h); this class adds its own pacing and reply rules.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "ftp/control_connection.h"
#include "ftp/tls_trust.h"

namespace velmo::ftp {

// Results of login and sendSiteCommand.
enum class CommandResult { CommandTimedOut = -1, CommandRejected = 0, CommandAccepted = 1 };
using enum CommandResult;

// What readReply returns when nothing came.
inline constexpr const char* ReplyTimeOut = "TimeOut";

class ControlChannel {
public:
    // Every reply wait gives the server up to replyWaitLimitMs for the first byte.
    // loginBoundMs bounds how long login may take, whatever the server answers.
    explicit ControlChannel(int replyWaitLimitMs, int loginBoundMs = DefaultLoginBoundMs);
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // Opens the TCP connection and reads the greeting; true only for a 220 greeting.
    // With `tls`, then AUTH TLS under its rules (ftp/tls_trust.h), so that login's USER
    // and PASS go encrypted whenever the server offers it. On false the connection is
    // closed again (a refusing or silent server, a refused downgrade or certificate).
    bool connect(const std::string& server, int port, std::shared_ptr<TlsTrust> tls = nullptr);
    bool connected() const { return connection_.connected(); }
    // How the last connect's AUTH TLS step ended (Plain when it had no `tls` or never got
    // that far): the tool words a refused certificate or a downgrade apart from a server
    // that could not be reached.
    TlsStart tlsOutcome() const { return tlsOutcome_; }
    void close();

    // One reply wait, after a 10 ms pause: up to firstWaitMs for the first byte, then
    // the reply's lines until its last line, or until the server has been quiet for
    // 50 ms (1000 ms after a read of more than 150 bytes). The result is the reply as one
    // text (lines joined with CR LF, trailing LF, CR and blanks removed, at most
    // MaxReplyBytes), "TimeOut" when nothing came, "" when no connection is open. A reply
    // still coming ReplyCompletionMarginMs after the first wait's limit is given up with
    // its connection ("TimeOut"): what followed would pass for the next reply.
    std::string readReply(int firstWaitMs);
    std::string readReply() { return readReply(replyWaitLimit_); }

    // Sends every byte of `line` as given (the caller includes the CR LF), after dropping
    // whatever the server sent unasked.
    void sendLine(const std::string& line);

    // USER, then PASS when asked (331), then TYPE A once the user is in (230); accepted
    // when TYPE A is answered with 200, rejected on 530, timed out when the server stops
    // answering. Past loginBoundMs (a server that keeps asking for the password, or keeps
    // answering TYPE A with 230) it ends rejected.
    CommandResult login(const std::string& userId, const std::string& password);

    // word + " " + mode + " " + path; accepted only on 200.
    CommandResult sendSiteCommand(const std::string& word, const std::string& path, const std::string& mode);

    // "CHMOD mode path", and "SITE CHMOD mode path" unless the first was accepted; the
    // result is that of the last command sent.
    CommandResult chmod(const std::string& path, const std::string& mode);

    // Text of the last reply wait of this conversation.
    const std::string& lastReply() const { return lastReply_; }
    int replyWaitLimit() const { return replyWaitLimit_; }

    static constexpr int DefaultLoginBoundMs = 15000;
    static constexpr int ReplyCompletionMarginMs = 2000;
    // A reply longer than this ends there: a server that never stops sending cannot make
    // a reply wait last forever or grow without end.
    static constexpr std::size_t MaxReplyBytes = ReplyAssembler::MaxBytes;

private:
    int replyWaitLimit_;
    int loginBoundMs_;
    ControlConnection connection_;
    std::string lastReply_;
    TlsStart tlsOutcome_ = TlsStart::Plain;
};

// First three characters of a reply text (fewer when the text is shorter).
std::string replyCode(const std::string& reply);

}  // namespace velmo::ftp
