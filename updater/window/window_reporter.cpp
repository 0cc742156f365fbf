#include "updater/window/window_reporter.h"

#include <future>

#include "frame/notice_box.h"
#include "updater/engine/updater_texts.h"
#include "updater/engine/version_files.h"

namespace velmo::updater {
namespace {

const char* rowText(FileState state) {
    switch (state) {
        case FileState::Received: return texts::rowReceived;
        case FileState::Sent: return texts::rowSent;
        case FileState::Failed: return texts::rowFailed;
        case FileState::Tampered: return texts::rowTampered;
        case FileState::ToUpdate: break;
    }
    return texts::rowToUpdate;
}

ui::Colour rowColour(FileState state) {
    switch (state) {
        case FileState::Received: return WindowView::blue;
        case FileState::Failed:
        case FileState::Tampered: return WindowView::red;
        case FileState::Sent:
        case FileState::ToUpdate: break;
    }
    return WindowView::darkGreen;
}

// Tells the waiting worker that its report has run, or, when the task holding it is
// dropped unrun (the window is gone), that it never will: either way the worker goes on.
class Handback {
public:
    std::future<void> future() { return promise_.get_future(); }
    void give() {
        if (given_) return;
        given_ = true;
        promise_.set_value();
    }
    ~Handback() { give(); }

private:
    std::promise<void> promise_;
    bool given_ = false;
};

}  // namespace

void WindowView::installedVersionKnown(std::int32_t version) {
    app_.ui().setText(ids::mainWindow, ids::installedValue, formatVersion(version));
}

void WindowView::latestVersionKnown(std::int32_t version) {
    app_.ui().setText(ids::mainWindow, ids::latestValue, formatVersion(version));
}

void WindowView::versionsCompared(bool upToDate) {
    ui::Ui& u = app_.ui();
    for (int id : {ids::installedCaption, ids::installedValue, ids::latestCaption, ids::latestValue, ids::versionStatus})
        u.setTextColour(ids::mainWindow, id, upToDate ? green : red);
    u.setText(ids::mainWindow, ids::versionStatus, upToDate ? texts::upToDate : texts::notUpToDate);
}

void WindowView::clearDescription() { app_.ui().setText(ids::mainWindow, ids::description, ""); }

void WindowView::announce(Announcement announcement) {
    addDescriptionLine(std::string(announcementIndent, ' ') +
                       (announcement == Announcement::NoUpdate ? texts::noUpdate : texts::updateAvailable));
}

void WindowView::addDescriptionLine(const std::string& line) {
    ui::Ui& u = app_.ui();
    u.setText(ids::mainWindow, ids::description, u.getText(ids::mainWindow, ids::description) + line + "\r\n");
}

void WindowView::clearFileRows() { app_.ui().clearRows(ids::mainWindow, ids::fileList); }

void WindowView::addFileRow(const std::string& serverName) {
    app_.ui().addRow(ids::mainWindow, ids::fileList, {serverName, texts::rowToUpdate});
}

void WindowView::fileStateChanged(int row, FileState state) {
    ui::Ui& u = app_.ui();
    u.setCell(ids::mainWindow, ids::fileList, row, 1, rowText(state));
    // Selecting a few rows ahead keeps the rows still to come in view.
    const int last = u.rowCount(ids::mainWindow, ids::fileList) - 1;
    u.selectRow(ids::mainWindow, ids::fileList, row == last ? 0 : std::min(row + 3, last));
    u.setRowColour(ids::mainWindow, ids::fileList, row, rowColour(state));
}

void WindowView::setActionStatus(const std::string& text) {
    app_.ui().setText(ids::mainWindow, ids::actionStatus, text);
}

// Once the window is closing, the worker that stops shows nothing more: the user asked
// to leave, and a fatal end would also skip the launcher the close is about to start.
void WindowView::message(const suite::Notice& notice) {
    if (app_.closing) return;
    frame::showNotice(app_.ui(), notice);
}

void WindowView::fatal(const suite::Notice& notice) {
    if (app_.closing) return;
    frame::showNotice(app_.ui(), notice);
    // The program ends without going back to the launcher.
    app_.program.post([&u = app_.ui()] { u.postQuit(); });
}

bool WindowView::ask(const suite::Notice& question) {
    return !app_.closing && frame::askNotice(app_.ui(), question);
}

void PostingReporter::post(Report report) {
    app_->program.post([app = app_, report = std::move(report)] {
        WindowView view(*app);
        report(view);
    });
}

void PostingReporter::postAndWait(Report report) {
    auto handback = std::make_shared<Handback>();
    std::future<void> shown = handback->future();
    app_->program.post([app = app_, report = std::move(report), handback = std::move(handback)] {
        WindowView view(*app);
        report(view);
        handback->give();
    });
    shown.wait();
}

void PostingReporter::installedVersionKnown(std::int32_t version) {
    post([version](WindowView& v) { v.installedVersionKnown(version); });
}
void PostingReporter::latestVersionKnown(std::int32_t version) {
    post([version](WindowView& v) { v.latestVersionKnown(version); });
}
void PostingReporter::versionsCompared(bool upToDate) {
    post([upToDate](WindowView& v) { v.versionsCompared(upToDate); });
}
void PostingReporter::clearDescription() {
    post([](WindowView& v) { v.clearDescription(); });
}
void PostingReporter::announce(Announcement announcement) {
    post([announcement](WindowView& v) { v.announce(announcement); });
}
void PostingReporter::addDescriptionLine(const std::string& line) {
    post([line](WindowView& v) { v.addDescriptionLine(line); });
}
void PostingReporter::clearFileRows() {
    post([](WindowView& v) { v.clearFileRows(); });
}
void PostingReporter::addFileRow(const std::string& serverName) {
    post([serverName](WindowView& v) { v.addFileRow(serverName); });
}
void PostingReporter::fileStateChanged(int row, FileState state) {
    post([row, state](WindowView& v) { v.fileStateChanged(row, state); });
}
void PostingReporter::setActionStatus(const std::string& text) {
    post([text](WindowView& v) { v.setActionStatus(text); });
}
void PostingReporter::message(const suite::Notice& notice) {
    postAndWait([notice](WindowView& v) { v.message(notice); });
}
void PostingReporter::fatal(const suite::Notice& notice) {
    postAndWait([notice](WindowView& v) { v.fatal(notice); });
}
bool PostingReporter::ask(const suite::Notice& question) {
    return frame::askFromWorker(app_->program, question, [app = app_] { return !app->closing; });
}

}  // namespace velmo::updater
