#include "updater/window_reporter.h"

#include "updater/updater_texts.h"

namespace velmo::updater {
namespace {

ui::MessageIcon toUi(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information: return ui::MessageIcon::Information;
        case BoxIcon::Warning: return ui::MessageIcon::Warning;
        case BoxIcon::Error: return ui::MessageIcon::Error;
        case BoxIcon::None: break;
    }
    return ui::MessageIcon::None;
}

}  // namespace

void WindowReporter::showInstalledVersion(const std::string& text) {
    ui_.setText(ids::mainWindow, ids::installedValue, text);
}

void WindowReporter::showLatestVersion(const std::string& text) { ui_.setText(ids::mainWindow, ids::latestValue, text); }

void WindowReporter::showVersionStatus(bool upToDate, const std::string& text) {
    for (int id : {ids::installedCaption, ids::installedValue, ids::latestCaption, ids::latestValue, ids::versionStatus})
        ui_.setTextColour(ids::mainWindow, id, upToDate ? green : red);
    ui_.setText(ids::mainWindow, ids::versionStatus, text);
}

void WindowReporter::clearDescription() { ui_.setText(ids::mainWindow, ids::description, ""); }

void WindowReporter::addDescriptionLine(const std::string& line) {
    ui_.setText(ids::mainWindow, ids::description, ui_.getText(ids::mainWindow, ids::description) + line + "\r\n");
}

void WindowReporter::clearFileRows() { ui_.clearRows(ids::mainWindow, ids::fileList); }

void WindowReporter::addFileRow(const std::string& name, const std::string& status) {
    ui_.addRow(ids::mainWindow, ids::fileList, {name, status});
}

void WindowReporter::setRowStatus(int row, const std::string& status) {
    ui_.setCell(ids::mainWindow, ids::fileList, row, 1, status);
    // Selecting a few rows ahead keeps the rows still to come in view.
    const int last = ui_.rowCount(ids::mainWindow, ids::fileList) - 1;
    ui_.selectRow(ids::mainWindow, ids::fileList, row == last ? 0 : std::min(row + 3, last));
    const ui::Colour colour = status == texts::rowReceived ? blue : status == texts::rowFailed ? red : darkGreen;
    ui_.setRowColour(ids::mainWindow, ids::fileList, row, colour);
}

void WindowReporter::setActionStatus(const std::string& text) { ui_.setText(ids::mainWindow, ids::actionStatus, text); }

// Once the window is closing, the worker that stops shows nothing more: the user asked
// to leave, and a fatal end would also skip the launcher the close is about to start.
void WindowReporter::message(const std::string& title, const std::string& text, BoxIcon icon) {
    if (app_.closing) return;
    ui_.messageBox(title, text, toUi(icon));
}

void WindowReporter::fatal(const std::string& title, const std::string& text, BoxIcon icon) {
    if (app_.closing) return;
    ui_.messageBox(title, text, toUi(icon));
    // The program ends without going back to the launcher.
    app_.program.post([&u = ui_] { u.postQuit(); });
}

}  // namespace velmo::updater
