// The one adapter between the installer's engines and its main window. The engines call it
// on their workers' threads; it touches no widget there. Every report becomes a task posted
// to the window's thread (in the order of the reports, dropped once the window is gone),
// where the window side shows it: upload progress on the tree list, the count label and the
// two bars, permission steps on the permission panel. A question or an information is a
// box shown by such a task, the worker waiting for the answer. "Annuler" is the stop
// request, an atomic the worker reads.
#pragma once
#include <functional>
#include <memory>

#include "installer/window/installer_app.h"
#include "installer/engine/upload_engine.h"

namespace velmo::installer {

class WindowReporter final : public UploadReporter {
public:
    explicit WindowReporter(std::shared_ptr<InstallerApp> app) : app_(std::move(app)) {}

    void progress(const UploadProgress& p) override;
    // No when the window is gone before the box could be answered: nothing is overwritten
    // and what the run was doing goes on as it went.
    bool ask(const Notice& question) override;
    // Returns once the box is closed. With the window gone the box stands alone, as the
    // outcome of a run is still the user's to read.
    void inform(const Notice& notice) override;
    bool stopRequested() override;
    // The box is a task posted like the others; the future breaks when the window goes
    // before the box could be closed.
    std::future<bool> askWithoutWaiting(const Notice& question) override;
    std::future<bool> informWithoutWaiting(const Notice& notice) override;
    void permissionStep(int i, int n, const std::string& label) override;

private:
    std::shared_ptr<InstallerApp> app_;
};

// Hands `task` to the window's thread, after every report posted before it; false when the
// window is gone (the task is dropped).
bool onWindowThread(const std::shared_ptr<InstallerApp>& app, std::function<void(InstallerApp&)> task);
// Runs `task` on the window's thread and waits for what it returns; `whenGone` when the
// window went before the task could run.
bool answeredOnWindowThread(const std::shared_ptr<InstallerApp>& app, std::function<bool(InstallerApp&)> task,
                            bool whenGone);

// The window's side, on its thread.
void showProgress(InstallerApp& app, const UploadProgress& p);
void showPermissionStep(InstallerApp& app, int i, int n, const std::string& label);
// File bar <- percent, in the way the platform's bar shows it without gliding.
void showFilePercent(InstallerApp& app, int percent);

}  // namespace velmo::installer
