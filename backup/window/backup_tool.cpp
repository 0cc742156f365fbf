#include "backup/window/backup_tool.h"

#include <memory>

#include "backup/window/backup_app.h"
#include "frame/notice_box.h"
#include "ftp/ftp_session.h"
#include "suite/messages.h"

namespace velmo::backup {

int runBackupTool(ui::Ui& ui) {
    // Shared with the workers, which may outlive this function.
    const auto app = std::make_shared<BackupApp>(ui);
    ftp::startSessions();
    BackupApp* a = app.get();  // the routes live in the program, which the app owns
    app->program.addRoutes(backupWindowRoutes(*app));
    app->program.addRoutes({
        // Once the main window is up: the settings file into the fields.
        frame::onOpened(ids::mainWindow, [a] {
            if (!loadSettingsIntoForm(*a))
                frame::showNotice(a->ui(), {suite::titles::attentionPlain, missingSettingsText, suite::NoticeKind::Error});
        }),
        frame::onCommand(ids::connectButton, [a] { openBackupWindow(*a); }),
    });
    const int code = app->program.run();
    ui.destroyWindow(ids::backupWindow);
    return code;
}

}  // namespace velmo::backup
