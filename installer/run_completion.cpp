#include "installer/run_completion.h"

#include "settings/error_journal.h"
#include "installer/link_generator.h"
#include "installer/permission_runs.h"

namespace velmo::installer {

namespace {

const char* const chmodSentence = "Le programme a effectué les CHMOD sur les dossiers et fichiers adéquates.";

}  // namespace

std::string closingMessage(int filesGivenUp, bool permissionsApplied) {
    std::string text;
    if (filesGivenUp == 0) {
        text = "Tous les dossiers et fichiers ont bien été transférés.";
    } else {
        text = "Le transfert est terminé, mais ";
        text += filesGivenUp == 1 ? "1 fichier n'a pas pu être envoyé."
                                  : std::to_string(filesGivenUp) + " fichiers n'ont pas pu être envoyés.";
        text += "\r\n\r\nLa liste se trouve dans le fichier \"";
        text += installerJournalPath;
        text += "\".\r\n\r\nVotre livre d'or risque de ne pas fonctionner correctement.";
    }
    if (permissionsApplied) {
        text += "\r\n\r\n";
        text += chmodSentence;
    }
    return text;
}

void completeRun(InstallerApp& app, UploadRun& run) {
    ui::Ui& u = app.ui;
    const bool permissions = app.keepGoing == 1 && run.settings.permissionFlag == 1;
    if (permissions) applyUploadPermissions(app, run.settings);

    if (app.keepGoing == 1) {
        showFilePercent(app, 0);
        u.setProgress(ids::mainWindow, ids::overallBar, 100);

        u.setWindowEnabled(ids::mainWindow, false);
        // Files given up after every attempt are missing on the server: say so instead of
        // the all-clear, with the journal that lists them.
        u.messageBox("Statut transfert.", closingMessage(run.filesGivenUp, permissions),
                     run.filesGivenUp == 0 ? ui::MessageIcon::Information : ui::MessageIcon::Warning);
        u.setWindowEnabled(ids::mainWindow, true);
        if (permissions) {
            u.setProgress(ids::mainWindow, ids::chmodBar, 0);
            u.setText(ids::mainWindow, ids::chmodStatus, "En cours :");
        }

        u.setEnabled(ids::mainWindow, ids::validateButton, true);
        u.setEnabled(ids::mainWindow, ids::cancelButton, false);
        // The files that did arrive are on the server, so the connection is recorded
        // even when some were given up.
        saveConnectionSettings(Tool::Installer, run.settings);
        writeErrorJournal(run.failedSends, run.settings, installerJournalPath);

        u.setWindowEnabled(ids::mainWindow, false);
        openLinkGenerator(app);
    } else {
        u.messageBox("Statut transfert.",
                     "Tous les fichiers n'ont pas été transférés.\r\n\r\nVotre livre d'or ne sera donc pas "
                     "fonctionnel.",
                     ui::MessageIcon::Information);
        app.keepGoing = 1;
        u.setEnabled(ids::mainWindow, ids::validateButton, true);
        u.setEnabled(ids::mainWindow, ids::cancelButton, false);
        setFormEnabled(app, true);
        showFilePercent(app, 0);
        u.setProgress(ids::mainWindow, ids::overallBar, 0);
    }
    run.failedSends.clear();
}

}  // namespace velmo::installer
