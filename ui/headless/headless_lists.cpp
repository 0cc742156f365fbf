// List box lines, report-list rows and tab panels of the headless backend.
#include "ui/headless/headless_ui.h"

namespace velmo::ui {

int HeadlessUi::addLine(int windowId, int controlId, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c) return -1;
    c->s.lines.push_back(text);
    changedLocked();
    return static_cast<int>(c->s.lines.size()) - 1;
}

void HeadlessUi::setLine(int windowId, int controlId, int index, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || index < 0 || index >= static_cast<int>(c->s.lines.size())) return;
    c->s.lines[index] = text;
    changedLocked();
}

std::string HeadlessUi::getLine(int windowId, int controlId, int index) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    if (!c || index < 0 || index >= static_cast<int>(c->s.lines.size())) return {};
    return c->s.lines[index];
}

int HeadlessUi::lineCount(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? static_cast<int>(c->s.lines.size()) : 0;
}

void HeadlessUi::clearLines(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.lines.clear();
        c->s.selected = -1;
        changedLocked();
    }
}

void HeadlessUi::selectLine(int windowId, int controlId, int index) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c) return;
    c->s.selected = (index >= 0 && index < static_cast<int>(c->s.lines.size())) ? index : -1;
    changedLocked();
}

int HeadlessUi::selectedLine(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? c->s.selected : -1;
}

// ---------------------------------------------------------------- report list

int HeadlessUi::addRow(int windowId, int controlId, const std::vector<std::string>& cells, int image) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c) return -1;
    RowState r;
    r.cells = cells;
    r.image = (image >= 0 && image < c->s.rowImageCount) ? image : -1;
    c->s.rows.push_back(std::move(r));
    changedLocked();
    return static_cast<int>(c->s.rows.size()) - 1;
}

void HeadlessUi::setCell(int windowId, int controlId, int row, int column, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size()) || column < 0) return;
    auto& cells = c->s.rows[row].cells;
    if (column >= static_cast<int>(cells.size())) cells.resize(column + 1);
    cells[column] = text;
    changedLocked();
}

std::string HeadlessUi::getCell(int windowId, int controlId, int row, int column) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size()) || column < 0) return {};
    const auto& cells = c->s.rows[row].cells;
    return column < static_cast<int>(cells.size()) ? cells[column] : std::string();
}

int HeadlessUi::rowCount(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? static_cast<int>(c->s.rows.size()) : 0;
}

void HeadlessUi::clearRows(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.rows.clear();
        c->s.selected = -1;
        changedLocked();
    }
}

void HeadlessUi::setRowChecked(int windowId, int controlId, int row, bool checked) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size())) return;
    c->s.rows[row].checked = checked;
    changedLocked();
}

bool HeadlessUi::isRowChecked(int windowId, int controlId, int row) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size())) return false;
    return c->s.rows[row].checked;
}

void HeadlessUi::selectRow(int windowId, int controlId, int row) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c) return;
    c->s.selected = (row >= 0 && row < static_cast<int>(c->s.rows.size())) ? row : -1;
    changedLocked();
}

void HeadlessUi::setRowColour(int windowId, int controlId, int row, Colour colour) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size())) return;
    c->s.rows[row].colour = colour;
    changedLocked();
}

int HeadlessUi::selectedRow(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? c->s.selected : -1;
}

// ---------------------------------------------------------------- tabs

void HeadlessUi::selectTab(int windowId, int controlId, int tab) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || tab < 0 || tab >= static_cast<int>(c->s.tabs.size())) return;
    c->s.selectedTab = tab;
    changedLocked();
}

int HeadlessUi::selectedTab(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? c->s.selectedTab : -1;
}

}  // namespace velmo::ui
