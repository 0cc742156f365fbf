// The updater's engines reporting into the window (UpdaterReporter over ui::Ui). Called
// from the worker thread: the UI layer accepts changes and message boxes from any thread.
#pragma once
#include "updater/updater_reporter.h"
#include "updater/updater_window.h"

namespace velmo::updater {

class WindowReporter final : public UpdaterReporter {
public:
    explicit WindowReporter(UpdaterApp& app) : app_(app), ui_(app.ui) {}

    void showInstalledVersion(const std::string& text) override;
    void showLatestVersion(const std::string& text) override;
    void showVersionStatus(bool upToDate, const std::string& text) override;
    void clearDescription() override;
    void addDescriptionLine(const std::string& line) override;
    void clearFileRows() override;
    void addFileRow(const std::string& name, const std::string& status) override;
    void setRowStatus(int row, const std::string& status) override;
    void setActionStatus(const std::string& text) override;
    void message(const std::string& title, const std::string& text, BoxIcon icon) override;
    void fatal(const std::string& title, const std::string& text, BoxIcon icon) override;

    static constexpr ui::Colour green{0, 128, 0}, red{255, 0, 0}, blue{0, 0, 255}, darkGreen{0, 102, 0};

private:
    UpdaterApp& app_;
    ui::Ui& ui_;
};

}  // namespace velmo::updater
