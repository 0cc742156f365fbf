#include "installer/window/window_reporter.h"

#include <future>

#include "frame/notice_box.h"
#include "installer/window/progress_display.h"

namespace velmo::installer {

bool onWindowThread(const std::shared_ptr<InstallerApp>& app, std::function<void(InstallerApp&)> task) {
    return app->program.post([app, task = std::move(task)] { task(*app); });
}

bool answeredOnWindowThread(const std::shared_ptr<InstallerApp>& app, std::function<bool(InstallerApp&)> task,
                            bool whenGone) {
    // The promise belongs to the posted task alone: a task dropped with the window breaks
    // it, which is how the waiting worker learns that no answer will come.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    onWindowThread(app, [answer, task = std::move(task)](InstallerApp& a) { answer->set_value(task(a)); });
    try {
        return answered.get();
    } catch (const std::future_error&) {
        return whenGone;
    }
}

void showFilePercent(InstallerApp& app, int percent) {
    ui::Ui& u = app.ui();
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

void showProgress(InstallerApp& app, const UploadProgress& p) {
    ui::Ui& u = app.ui();
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
        if (p.percent >= 0) showFilePercent(app, p.percent);
        u.setText(ids::mainWindow, ids::countLabel, countLabelText(p.itemIndex));
        break;
    case Step::FileEnded:
        u.setProgress(ids::mainWindow, ids::overallBar, overallPercent(p.itemIndex));
        break;
    }
}

void showPermissionStep(InstallerApp& app, int i, int n, const std::string& label) {
    app.ui().setProgress(ids::mainWindow, ids::chmodBar, permissionStepPercent(i, n));
    app.ui().setText(ids::mainWindow, ids::chmodStatus, permissionStepText(i, n, label));
}

void WindowReporter::progress(const UploadProgress& p) {
    onWindowThread(app_, [p](InstallerApp& a) { showProgress(a, p); });
}

bool WindowReporter::ask(const Notice& q) {
    return answeredOnWindowThread(app_, [q](InstallerApp& a) { return frame::askNotice(a.ui(), q); }, false);
}

void WindowReporter::inform(const Notice& notice) {
    const bool shown = answeredOnWindowThread(app_, [notice](InstallerApp& a) {
        frame::showNotice(a.ui(), notice);
        return true;
    }, false);
    if (!shown) frame::showNotice(app_->ui(), notice);
}

bool WindowReporter::stopRequested() { return app_->stopRequested.exchange(false); }

namespace {
// `task` on the window's thread, its result into the returned future.
std::future<bool> postedBox(const std::shared_ptr<InstallerApp>& app, std::function<bool(InstallerApp&)> task) {
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    onWindowThread(app, [answer, task = std::move(task)](InstallerApp& a) { answer->set_value(task(a)); });
    return answered;
}
}  // namespace

std::future<bool> WindowReporter::askWithoutWaiting(const Notice& q) {
    return postedBox(app_, [q](InstallerApp& a) { return frame::askNotice(a.ui(), q); });
}

std::future<bool> WindowReporter::informWithoutWaiting(const Notice& notice) {
    return postedBox(app_, [notice](InstallerApp& a) {
        frame::showNotice(a.ui(), notice);
        return true;
    });
}

void WindowReporter::permissionStep(int i, int n, const std::string& label) {
    onWindowThread(app_, [i, n, label](InstallerApp& a) { showPermissionStep(a, i, n, label); });
}

}  // namespace velmo::installer
