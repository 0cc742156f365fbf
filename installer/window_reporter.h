// The one adapter between the installer's engines and its main window: upload progress
// onto the tree list, the count label and the two bars, permission steps onto the
// permission panel, questions and information in message boxes, and "Annuler" as the
// stop request. It is called on the engines' threads and holds the program state for as
// long as they run.
#pragma once
#include <memory>

#include "frame/notice_box.h"
#include "installer/installer_app.h"
#include "installer/upload_engine.h"
#include "ui/ui.h"

namespace velmo::installer {

class WindowReporter final : public UploadReporter {
public:
    explicit WindowReporter(std::shared_ptr<InstallerApp> app) : app_(std::move(app)) {}

    void progress(const UploadProgress& p) override;
    bool ask(const Notice& question) override;
    void inform(const Notice& notice) override;
    bool stopRequested() override;
    void permissionStep(int i, int n, const std::string& label) override;

private:
    std::shared_ptr<InstallerApp> app_;
};

// File bar <- percent, in the way the platform's bar shows it without gliding.
void showFilePercent(InstallerApp& app, int percent);

}  // namespace velmo::installer
