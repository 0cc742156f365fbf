#include "installer/installer_app.h"

namespace velmo::installer {

InstallerApp::InstallerApp(ui::Ui& u, bool themed)
    : ui(u),
      frame{u, pictures.frame,
            frame::AboutInfo{ids::aboutWindow, 71, 72, 73, 74, 75, "Velmo Transfert - A propos",
                             "Velmo Transfert - Version : 1.2.0"},
            ids::mainWindow},
      themedFileBar(themed) {}

void InstallerApp::post(MainTask task) {
    {
        std::lock_guard<std::mutex> lock(postedLock_);
        posted_.push_back(std::move(task));
    }
    ui.wake(ids::mainWindow);
}

void InstallerApp::runPosted(const std::shared_ptr<InstallerApp>& self) {
    for (;;) {
        MainTask task;
        {
            std::lock_guard<std::mutex> lock(postedLock_);
            if (posted_.empty()) return;
            task = std::move(posted_.front());
            posted_.pop_front();
        }
        task(self);
    }
}

}  // namespace velmo::installer
