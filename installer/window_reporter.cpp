#include "installer/window_reporter.h"

#include "installer/permission_plan.h"

namespace velmo::installer {

void showFilePercent(InstallerApp& app, int percent) {
    ui::Ui& u = app.ui;
    if (app.themedFileBar) {
        // Setting a value just below and then the value itself makes a themed bar jump
        // instead of gliding toward it.
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100);
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100 - 1);
        u.setProgress(ids::mainWindow, ids::fileBar, percent * 100);
    } else {
        u.setProgress(ids::mainWindow, ids::fileBar, percent);
    }
}

void WindowReporter::progress(const UploadProgress& p) {
    ui::Ui& u = app_->ui;
    using Step = UploadProgress::Step;
    switch (p.step) {
    case Step::Uploading:
        u.setEnabled(ids::mainWindow, ids::cancelButton, true);
        break;
    case Step::FolderReached:
        if (!p.first) u.setText(ids::mainWindow, ids::countLabel, countLabelText(p.itemIndex));
        u.selectLine(ids::mainWindow, ids::treeList, p.itemIndex);
        u.setProgress(ids::mainWindow, ids::overallBar, overallPercent(p.itemIndex));
        break;
    case Step::FileStarted:
        u.selectLine(ids::mainWindow, ids::treeList, p.itemIndex);
        break;
    case Step::FileMoving:
        if (p.percent >= 0) showFilePercent(*app_, p.percent);
        u.setText(ids::mainWindow, ids::countLabel, countLabelText(p.itemIndex));
        break;
    case Step::FileEnded:
        u.setProgress(ids::mainWindow, ids::overallBar, overallPercent(p.itemIndex));
        break;
    }
}

bool WindowReporter::ask(const Notice& q) {
    return frame::askNotice(app_->ui, q);
}

void WindowReporter::inform(const Notice& notice) { frame::showNotice(app_->ui, notice); }

bool WindowReporter::stopRequested() { return app_->stopRequested.exchange(false); }

void WindowReporter::permissionStep(int i, int n, const std::string& label) {
    app_->ui.setProgress(ids::mainWindow, ids::chmodBar, permissionStepPercent(i, n));
    app_->ui.setText(ids::mainWindow, ids::chmodStatus, permissionStepText(i, n, label));
}

}  // namespace velmo::installer
