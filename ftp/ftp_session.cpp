// The FTP session layer: see ftp_session.h for the contract, ftp/session.h for how a
// session is built. This file keeps the public operations.
#include "ftp/ftp_session.h"

#include <atomic>

#include "ftp/session.h"
#include "ftp/wire_text.h"
#include "platform/clock.h"

namespace velmo::ftp {
namespace {

std::atomic<int> gSilenceLimitMs{120000};

using detail::SessionState;

// Starts an operation: false (NotConnected recorded) when the session has no connection.
bool beginOn(SessionState& s) {
    s.begin();
    if (s.control.connected()) return true;
    return s.fail(Failure::NotConnected);
}

// One command with the expected codes, for the operations that only look at the answer.
Result simpleCommand(SessionState& s, bool lineMade, const std::string& line, const char* codes,
                     std::string* kept = nullptr) {
    if (!beginOn(s)) return s.result;
    if (!lineMade) {
        s.fail(Failure::BadArgument);
        return s.result;
    }
    s.exchange(line, codes, kept);
    return s.result;
}

// Runs one transfer under `watch`, then forgets the watch.
template <typename Run>
Result runTransfer(SessionState& s, const TransferWatch& watch, Run run) {
    if (!beginOn(s)) return s.result;
    s.watch = &watch;
    s.moved = 0;
    s.stopAsked = false;
    s.lastReport = clock::tickMs();
    if (!run(s) && s.result.ok()) s.fail(Failure::ConnectionLost);
    s.watch = nullptr;
    return s.result;
}

}  // namespace

const char* failureName(Failure failure) {
    switch (failure) {
    case Failure::None: return "None";
    case Failure::NotConnected: return "NotConnected";
    case Failure::ConnectFailed: return "ConnectFailed";
    case Failure::LoginRefused: return "LoginRefused";
    case Failure::TimedOut: return "TimedOut";
    case Failure::ConnectionLost: return "ConnectionLost";
    case Failure::BadReply: return "BadReply";
    case Failure::Refused: return "Refused";
    case Failure::BadArgument: return "BadArgument";
    case Failure::LocalFile: return "LocalFile";
    case Failure::DataConnectionFailed: return "DataConnectionFailed";
    case Failure::Aborted: return "Aborted";
    case Failure::ListingTooLarge: return "ListingTooLarge";
    case Failure::TooLarge: return "TooLarge";
    case Failure::TlsDowngrade: return "TlsDowngrade";
    case Failure::TlsFailed: return "TlsFailed";
    case Failure::CertificateRefused: return "CertificateRefused";
    }
    return "?";
}

std::string describe(const Result& result) {
    std::string text = failureName(result.failure);
    if (result.replyCode != 0) text += " (" + std::to_string(result.replyCode) + ")";
    return text;
}

Session::Session() : state_(std::make_unique<SessionState>()) {}
Session::~Session() = default;
Session::Session(Session&&) noexcept = default;
Session& Session::operator=(Session&&) noexcept = default;

Result Session::open(const std::string& server, const std::string& userId, const std::string& password,
                     bool passive, int port) {
    return open(Account{server, userId, password, passive, port, nullptr});
}

Result Session::open(const Account& account) {
    const std::string& server = account.server;
    const std::string& userId = account.userId;
    const std::string& password = account.password;
    const bool passive = account.passive;
    const int port = account.port;
    if (!state_) state_ = std::make_unique<SessionState>();
    close();
    SessionState& s = *state_;
    s.begin();
    std::string userLine, passLine;
    if (!commandLine("USER", userId, userLine) || !commandLine("PASS", password, passLine)) {
        s.fail(Failure::BadArgument);
        return s.result;
    }
    if (!s.control.connect(server, port)) {
        s.fail(Failure::ConnectFailed);
        return s.result;
    }
    s.passive = passive;
    s.protectData = false;
    s.tlsHost.clear();
    ReplyAssembler greeting;
    if (!s.readReply(greeting, false) || (account.tls && !s.negotiateTls(server, port, *account.tls)) ||
        !s.exchange(userLine, "331", nullptr, false, Failure::LoginRefused) ||
        !s.exchange(passLine, "230", nullptr, false, Failure::LoginRefused) || !s.protectDataConnections()) {
        // No usable session: nothing later may talk on this connection.
        s.loseConnection();
    }
    return s.result;
}

bool Session::encrypted() const { return state_ && state_->control.secured(); }

void Session::close() {
    if (!state_) return;
    state_->setListing({});
    state_->loseConnection();
}

bool Session::isAlive() {
    if (!state_) return false;
    std::string line;
    commandLine("PWD", line);
    return simpleCommand(*state_, true, line, "257").ok();
}

bool Session::hasConnection() const { return state_ && state_->control.connected(); }

std::string Session::currentDirectory() {
    if (!state_) return std::string();
    std::string line, kept;
    commandLine("PWD", line);
    if (!simpleCommand(*state_, true, line, "257", &kept)) return std::string();
    return parsePwdReply(kept);
}

Result Session::changeDirectory(const std::string& directory) {
    if (!state_) return {Failure::NotConnected};
    std::string line;
    bool made = true;
    if (directory == "..") commandLine("CDUP", line);
    else made = commandLine("CWD", directory, line);
    return simpleCommand(*state_, made, line, "250");
}

Result Session::makeDirectory(const std::string& directory) {
    if (!state_) return {Failure::NotConnected};
    std::string line;
    const bool made = commandLine("MKD", directory, line);
    return simpleCommand(*state_, made, line, "257");
}

Result Session::listDirectory() {
    if (!state_) return {Failure::NotConnected};
    SessionState& s = *state_;
    s.setListing({});
    if (!beginOn(s)) return s.result;
    ListingParser parser;
    if (!s.runList(parser)) {
        if (s.result.ok()) s.fail(Failure::ConnectionLost);
        return s.result;
    }
    s.setListing(parser.takeEntries(), parser.skipped(EntryFile), parser.skipped(EntryDirectory));
    return s.result;
}

const std::vector<ListingEntry>& Session::entries() const {
    static const std::vector<ListingEntry> none;
    return state_ ? state_->listing : none;
}

int Session::skippedEntries(EntryKind kind) const {
    if (!state_) return 0;
    return kind == EntryDirectory ? state_->skippedDirectories : kind == EntryFile ? state_->skippedFiles : 0;
}

bool Session::nextEntry() {
    if (!state_) return false;
    SessionState& s = *state_;
    if (s.firstPending) {
        s.firstPending = false;
        s.current = 0;
    } else if (s.current < s.listing.size()) {
        ++s.current;
    }
    return s.current < s.listing.size();
}

namespace {
const ListingEntry* currentEntry(const std::unique_ptr<SessionState>& s) {
    if (!s || s->firstPending || s->current >= s->listing.size()) return nullptr;
    return &s->listing[s->current];
}
}  // namespace

std::string Session::entryName() const {
    const ListingEntry* e = currentEntry(state_);
    return e ? e->name : std::string();
}

EntryKind Session::entryKind() const {
    const ListingEntry* e = currentEntry(state_);
    return e ? e->kind : EntryNone;
}

std::int64_t Session::entrySize() const {
    const ListingEntry* e = currentEntry(state_);
    return e ? e->size : 0;
}

Result Session::sendFile(const std::string& localPath, const std::string& remoteName, const TransferWatch& watch) {
    if (!state_) return {Failure::NotConnected};
    return runTransfer(*state_, watch, [&](SessionState& s) { return s.runSend(localPath, remoteName); });
}

Result Session::sendFileAfterPwd(const std::string& localPath, const std::string& remoteName,
                                 const TransferWatch& watch) {
    if (!state_) return {Failure::NotConnected};
    return runTransfer(*state_, watch, [&](SessionState& s) { return s.runSend(localPath, remoteName, true); });
}

Result Session::sendFileInto(const std::string& from, const std::vector<std::string>& folders,
                             const std::string& localPath, const std::string& remoteName,
                             const TransferWatch& watch) {
    if (!state_) return {Failure::NotConnected};
    return runTransfer(*state_, watch,
                       [&](SessionState& s) { return s.runSend(localPath, remoteName, false, folders, from); });
}

std::string Session::oneAtATimeReason() const { return state_ && state_->oneAtATime ? state_->oneAtATimeReason : ""; }

Result Session::receiveFile(const std::string& remoteName, const std::string& localPath, const ReceiveBounds& bounds,
                            const TransferWatch& watch) {
    if (!state_) return {Failure::NotConnected};
    return runTransfer(*state_, watch,
                       [&](SessionState& s) { return s.runReceive(remoteName, localPath, bounds); });
}

Result Session::lastResult() const { return state_ ? state_->result : Result{Failure::NotConnected}; }

void startSessions() { startNetworkingOnce(); }
void stopSessions() { stopStartedNetworking(); }

void setSilenceLimitMs(int ms) { gSilenceLimitMs.store(ms < 0 ? 0 : ms); }
int silenceLimitMs() { return gSilenceLimitMs.load(); }

}  // namespace velmo::ftp
