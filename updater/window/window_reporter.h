// The updater's engines reporting into the window. WindowView shows a report on the
// window and runs on the window's thread only; a worker reports through PostingReporter,
// which hands each report to that thread as a posted task (in the order reported) and waits
// for the boxes to be closed before the engine goes on.
#pragma once
#include <functional>
#include <memory>

#include "updater/engine/updater_reporter.h"
#include "updater/window/updater_window.h"

namespace velmo::updater {

class WindowView final : public UpdaterReporter {
public:
    explicit WindowView(UpdaterApp& app) : app_(app) {}

    void installedVersionKnown(std::int32_t version) override;
    void latestVersionKnown(std::int32_t version) override;
    void versionsCompared(bool upToDate) override;
    void clearDescription() override;
    void announce(Announcement announcement) override;
    void addDescriptionLine(const std::string& line) override;
    void clearFileRows() override;
    void addFileRow(const std::string& serverName) override;
    void fileStateChanged(int row, FileState state) override;
    void setActionStatus(const std::string& text) override;
    void message(const suite::Notice& notice) override;
    void fatal(const suite::Notice& notice) override;
    // No once the window is closing.
    bool ask(const suite::Notice& question) override;

    static constexpr ui::Colour green{0, 128, 0}, red{255, 0, 0}, blue{0, 0, 255}, darkGreen{0, 102, 0};
    // The announcements stand in the middle of the description area: leading blanks centre
    // them in its width.
    static constexpr std::size_t announcementIndent = 86;

private:
    UpdaterApp& app_;
};

// From a worker only: on the window's own thread a box would wait for that very thread.
class PostingReporter final : public UpdaterReporter {
public:
    explicit PostingReporter(std::shared_ptr<UpdaterApp> app) : app_(std::move(app)) {}

    void installedVersionKnown(std::int32_t version) override;
    void latestVersionKnown(std::int32_t version) override;
    void versionsCompared(bool upToDate) override;
    void clearDescription() override;
    void announce(Announcement announcement) override;
    void addDescriptionLine(const std::string& line) override;
    void clearFileRows() override;
    void addFileRow(const std::string& serverName) override;
    void fileStateChanged(int row, FileState state) override;
    void setActionStatus(const std::string& text) override;
    void message(const suite::Notice& notice) override;
    void fatal(const suite::Notice& notice) override;
    // Posted like a box, the worker waiting for the answer; No when the window went or is
    // closing.
    bool ask(const suite::Notice& question) override;

private:
    using Report = std::function<void(WindowView&)>;
    // The report runs on the window's thread later; dropped with the window.
    void post(Report report);
    // The same, and the worker waits until it has run there (or was dropped: a window gone
    // meanwhile shows nothing, and the worker goes on at once).
    void postAndWait(Report report);

    const std::shared_ptr<UpdaterApp> app_;
};

}  // namespace velmo::updater
