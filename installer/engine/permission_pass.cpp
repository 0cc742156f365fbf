#include "installer/engine/permission_pass.h"

#include <mutex>

#include "ftp/control_channel.h"
#include "installer/engine/permission_plan.h"
#include "platform/clock.h"
#include "suite/messages.h"
#include "trust/tool_connection.h"

namespace velmo::installer {

namespace {

constexpr int replyWaitLimitMs = 10000;

struct Modes {
    const char* folder;
    const char* file;
};

Modes modesFor(PermissionAction action) {
    if (action == PermissionAction::ApplyWritable) return {writableMode, writableMode};
    return {restrictedFolderMode, restrictedFileMode};
}

// One conversation at a time in the program. Never destroyed: a worker may still hold it
// while the program ends.
std::mutex& channelTurn() {
    static std::mutex* turn = new std::mutex;
    return *turn;
}

}  // namespace

bool PermissionReporter::ask(const Notice&) { return false; }

PermissionResult runPermissionPass(const ConnectionSettings& s, PermissionAction action,
                                   PermissionReporter& reporter, std::shared_ptr<ftp::TlsTrust> trust) {
    if (!trust) trust = toolTrust([&reporter](const Notice& question) { return reporter.ask(question); });
    std::lock_guard<std::mutex> turn(channelTurn());
    ftp::ControlChannel channel(replyWaitLimitMs);
    if (!channel.connect(s.serverAddress, s.port, trust))
        return {PermissionOutcome::NotConnected, 0, failureOf(channel.tlsOutcome())};
    if (channel.login(s.userId, s.password) == ftp::CommandRejected) return {PermissionOutcome::NotConnected};
    clock::sleepMs(500);
    const Modes modes = modesFor(action);
    PermissionResult result{PermissionOutcome::Applied};
    for (int i = 0; i < permissionTargetCount; ++i) {
        const PermissionTarget& target = permissionPlan[static_cast<std::size_t>(i)];
        if (channel.chmod(s.guestbookFolder + target.suffix, target.isFolder ? modes.folder : modes.file) !=
            ftp::CommandAccepted)
            ++result.refused;
        reporter.permissionStep(i + 1, permissionTargetCount, target.label);
    }
    channel.close();
    if (result.refused > 0) result.outcome = PermissionOutcome::Refused;
    return result;
}

PermissionResult runMenuPermissions(const ConnectionSettings& s, PermissionAction action,
                                    PermissionReporter& reporter) {
    PermissionResult result{PermissionOutcome::NotConnected};
    if (!s.serverAddress.empty() && !s.userId.empty() && !s.password.empty())
        result = runPermissionPass(s, action, reporter);
    if (result.outcome == PermissionOutcome::NotConnected) {
        reporter.inform(connectionFailureNotice(result.connectFailure));
        return result;
    }
    clock::sleepMs(500);
    return result;
}

std::string permissionSentence(const PermissionResult& result) {
    switch (result.outcome) {
    case PermissionOutcome::Applied:
        return "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";
    case PermissionOutcome::Refused:
        return "Le serveur a refusé " + std::to_string(result.refused) + " des " +
               std::to_string(permissionTargetCount) + " CHMOD sur les dossiers et fichiers adéquates.";
    case PermissionOutcome::NotConnected:
        return "Le programme n'a pas pu se connecter pour effectuer les CHMOD sur les dossiers et fichiers "
               "adéquates.";
    case PermissionOutcome::NotAsked:
        break;
    }
    return std::string();
}

Notice menuRunNotice(const PermissionResult& result) {
    return {suite::titles::chmodStatus, permissionSentence(result),
            result.outcome == PermissionOutcome::Applied ? NoticeKind::Information : NoticeKind::Warning};
}

}  // namespace velmo::installer
