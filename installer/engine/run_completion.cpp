#include "installer/engine/run_completion.h"

#include "settings/error_journal.h"
#include "suite/messages.h"

namespace velmo::installer {

Notice closingNotice(const RunReport& report) {
    if (report.outcome != UploadOutcome::Processed)
        return {suite::titles::transferStatus,
                "Tous les fichiers n'ont pas été transférés.\r\n\r\nVotre livre d'or ne sera donc pas fonctionnel.",
                NoticeKind::Information};
    Notice n{suite::titles::transferStatus, "", NoticeKind::Information};
    const int missing = report.filesGivenUp;
    if (missing == 0) {
        n.text = "Tous les dossiers et fichiers ont bien été transférés.";
    } else {
        // Files given up are missing on the server: say so instead of the all-clear, with
        // the journal that lists them.
        n.text = "Le transfert est terminé, mais ";
        n.text += missing == 1 ? "1 fichier n'a pas pu être envoyé."
                               : std::to_string(missing) + " fichiers n'ont pas pu être envoyés.";
        n.text += "\r\n\r\nLa liste se trouve dans le fichier \"";
        n.text += installerJournalPath;
        n.text += "\".\r\n\r\nVotre livre d'or risque de ne pas fonctionner correctement.";
        n.kind = NoticeKind::Warning;
    }
    if (report.permissions.outcome != PermissionOutcome::NotAsked) {
        n.text += "\r\n\r\n" + permissionSentence(report.permissions);
        if (report.permissions.outcome != PermissionOutcome::Applied) n.kind = NoticeKind::Warning;
    }
    return n;
}

ConnectionSettings settingsToRecord(const RunReport& report) {
    ConnectionSettings s = report.settings;
    s.permissionFlag = report.permissions.outcome == PermissionOutcome::Applied ? 1 : 0;
    return s;
}

SettingsSave recordRun(const RunReport& report) {
    // The files that did arrive are on the server, so the connection is recorded even when
    // some were given up.
    const ConnectionSettings s = settingsToRecord(report);
    const SettingsSave saved = saveConnectionSettings(Tool::Installer, s);
    writeErrorJournal(report.failedSends, s, installerJournalPath, report.oneAtATimeReason);
    return saved;
}

}  // namespace velmo::installer
