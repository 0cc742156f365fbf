#include "ui/headless/headless_ui.h"

#include <algorithm>
#include <cstdio>

namespace velmo::ui {

namespace {

bool isTextField(ControlKind k) {
    return k == ControlKind::TextField || k == ControlKind::PasswordField;
}

const char* kindName(ControlKind k) {
    switch (k) {
        case ControlKind::Label: return "label";
        case ControlKind::GroupBox: return "group box";
        case ControlKind::TextField: return "text field";
        case ControlKind::PasswordField: return "password field";
        case ControlKind::CheckBox: return "check box";
        case ControlKind::Button: return "button";
        case ControlKind::PictureButton: return "picture button";
        case ControlKind::ToggleButton: return "toggle button";
        case ControlKind::ListBox: return "list box";
        case ControlKind::ReportList: return "report list";
        case ControlKind::TabPanel: return "tab panel";
        case ControlKind::ProgressBar: return "progress bar";
        case ControlKind::Link: return "link";
        case ControlKind::MultiLineText: return "multi-line text";
        case ControlKind::Picture: return "picture";
    }
    return "?";
}

}  // namespace

std::unique_ptr<Ui> makeUi() { return std::make_unique<HeadlessUi>(); }

HeadlessUi* asHeadless(Ui& ui) { return dynamic_cast<HeadlessUi*>(&ui); }

HeadlessUi::HeadlessUi() = default;

HeadlessUi::~HeadlessUi() = default;

HeadlessUi::Window* HeadlessUi::findWindow(int windowId) {
    auto it = windows_.find(windowId);
    return it == windows_.end() ? nullptr : &it->second;
}

const HeadlessUi::Window* HeadlessUi::findWindow(int windowId) const {
    auto it = windows_.find(windowId);
    return it == windows_.end() ? nullptr : &it->second;
}

HeadlessUi::Control* HeadlessUi::findControl(int windowId, int controlId) {
    Window* w = findWindow(windowId);
    if (!w) return nullptr;
    auto it = w->controls.find(controlId);
    return it == w->controls.end() ? nullptr : &it->second;
}

const HeadlessUi::Control* HeadlessUi::findControl(int windowId, int controlId) const {
    const Window* w = findWindow(windowId);
    if (!w) return nullptr;
    auto it = w->controls.find(controlId);
    return it == w->controls.end() ? nullptr : &it->second;
}

void HeadlessUi::changedLocked() {
    ++generation_;
    stateCv_.notify_all();
}

void HeadlessUi::postLocked(const Window& w, Event e) {
    queues_[w.s.owner].push_back(Pending{e, {}, -1});
    eventCv_.notify_all();
}

bool HeadlessUi::buildControl(Window& w, const ControlSpec& desc) {
    if (w.controls.count(desc.id)) return false;
    ControlState s;
    s.id = desc.id;
    s.kind = desc.kind;
    s.x = desc.x;
    s.y = desc.y;
    s.width = desc.width;
    s.height = desc.height;
    s.font = desc.font;
    s.align = desc.align;
    s.masked = desc.masked || desc.kind == ControlKind::PasswordField;
    s.digitsOnly = desc.digitsOnly;
    s.text = desc.text;
    s.enabled = desc.initiallyEnabled;
    s.checked = desc.kind == ControlKind::CheckBox && desc.initiallyChecked;
    s.pressed = desc.kind == ControlKind::ToggleButton && desc.initiallyChecked;
    s.tooltip = desc.tooltip;
    if (desc.image) {
        s.imageWidth = desc.image->width;
        s.imageHeight = desc.image->height;
    }
    s.rangeMin = desc.rangeMin;
    s.rangeMax = desc.rangeMax;
    s.progress = desc.rangeMin;
    s.smooth = desc.smooth;
    s.columns = desc.columns;
    s.rowImageCount = static_cast<int>(desc.rowImages.size());
    s.rowCheckBoxes = desc.rowCheckBoxes;
    s.tabs = desc.tabs;
    s.panelId = desc.panelId;
    s.tabIndex = desc.tabIndex;
    s.colour = desc.colour;
    s.hoverColour = desc.hoverColour;
    w.controls[desc.id] = Control{std::move(s)};
    w.s.controlIds.push_back(desc.id);
    return true;
}

bool HeadlessUi::visibleLocked(const Window& w, const Control& c) const {
    if (c.s.panelId < 0) return true;
    auto it = w.controls.find(c.s.panelId);
    if (it == w.controls.end()) return false;
    return it->second.s.selectedTab == c.s.tabIndex && visibleLocked(w, it->second);
}

// ---------------------------------------------------------------- windows

bool HeadlessUi::createWindow(const WindowSpec& desc, const std::vector<ControlSpec>& controls,
                              const MenuSpec* menu) {
    std::lock_guard lock(mutex_);
    if (windows_.count(desc.id)) return false;
    Window w;
    w.s.id = desc.id;
    w.s.title = desc.title;
    w.s.clientWidth = desc.clientWidth;
    w.s.clientHeight = desc.clientHeight;
    w.s.minimizeBox = desc.minimizeBox;
    w.s.resizable = desc.resizable;
    w.s.topmost = desc.topmost;
    w.s.owner = std::this_thread::get_id();
    if (menu) {
        for (const MenuTitle& t : menu->titles) {
            MenuTitle copy{t.title, {}};
            for (const MenuEntry& e : t.entries) {
                copy.entries.push_back({e.id, e.text, nullptr});
                w.s.menuIconSizes.push_back(e.icon ? e.icon->width : 0);
            }
            w.s.menu.push_back(std::move(copy));
        }
    }
    for (const ControlSpec& c : controls) {
        if (!buildControl(w, c)) {
            std::fprintf(stderr, "headless ui: window %d: control %d given twice\n", desc.id, c.id);
            return false;
        }
    }
    auto& placed = windows_[desc.id] = std::move(w);
    windowOrder_.push_back(desc.id);
    zOrder_.push_back(desc.id);
    postLocked(placed, Event{EventKind::Opened, desc.id, -1});
    changedLocked();
    return true;
}

void HeadlessUi::destroyWindow(int windowId) {
    // Tasks still waiting for the window are dropped; they are destroyed once the lock is
    // released, since what they hold may call back into the UI when it goes.
    std::vector<std::function<void()>> dropped;
    std::lock_guard lock(mutex_);
    auto it = windows_.find(windowId);
    if (it == windows_.end()) return;
    auto& queue = queues_[it->second.s.owner];
    for (auto p = queue.begin(); p != queue.end();) {
        if (p->task && p->taskWindow == windowId) {
            dropped.push_back(std::move(p->task));
            p = queue.erase(p);
        } else {
            ++p;
        }
    }
    windows_.erase(it);
    std::erase(windowOrder_, windowId);
    std::erase(zOrder_, windowId);
    changedLocked();
}

bool HeadlessUi::windowExists(int windowId) {
    std::lock_guard lock(mutex_);
    return findWindow(windowId) != nullptr;
}

void HeadlessUi::setWindowEnabled(int windowId, bool enabled) {
    std::lock_guard lock(mutex_);
    if (Window* w = findWindow(windowId)) {
        w->s.enabled = enabled;
        changedLocked();
    }
}

bool HeadlessUi::isWindowEnabled(int windowId) {
    std::lock_guard lock(mutex_);
    const Window* w = findWindow(windowId);
    return w && w->s.enabled;
}

void HeadlessUi::setWindowTitle(int windowId, const std::string& title) {
    std::lock_guard lock(mutex_);
    if (Window* w = findWindow(windowId)) {
        w->s.title = title;
        changedLocked();
    }
}

void HeadlessUi::setTopmost(int windowId, bool topmost) {
    std::lock_guard lock(mutex_);
    if (Window* w = findWindow(windowId)) {
        w->s.topmost = topmost;
        changedLocked();
    }
}

void HeadlessUi::bringToFront(int windowId) {
    std::lock_guard lock(mutex_);
    if (!findWindow(windowId)) return;
    std::erase(zOrder_, windowId);
    zOrder_.push_back(windowId);
    changedLocked();
}

// ---------------------------------------------------------------- controls

bool HeadlessUi::addControl(int windowId, const ControlSpec& control) {
    std::lock_guard lock(mutex_);
    Window* w = findWindow(windowId);
    if (!w || !buildControl(*w, control)) return false;
    changedLocked();
    return true;
}

void HeadlessUi::removeControl(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    Window* w = findWindow(windowId);
    if (!w || !w->controls.erase(controlId)) return;
    std::erase(w->s.controlIds, controlId);
    if (w->s.focusedControl == controlId) w->s.focusedControl = -1;
    changedLocked();
}

bool HeadlessUi::controlExists(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    return findControl(windowId, controlId) != nullptr;
}

void HeadlessUi::setText(int windowId, int controlId, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.text = text;
        changedLocked();
    }
}

std::string HeadlessUi::getText(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? c->s.text : std::string();
}

void HeadlessUi::setChecked(int windowId, int controlId, bool checked) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.checked = checked;
        changedLocked();
    }
}

bool HeadlessUi::isChecked(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c && c->s.checked;
}

void HeadlessUi::setPressed(int windowId, int controlId, bool pressed) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.pressed = pressed;
        changedLocked();
    }
}

bool HeadlessUi::isPressed(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c && c->s.pressed;
}

void HeadlessUi::setEnabled(int windowId, int controlId, bool enabled) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.enabled = enabled;
        changedLocked();
    }
}

bool HeadlessUi::isEnabled(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c && c->s.enabled;
}

void HeadlessUi::setFocus(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    Window* w = findWindow(windowId);
    if (w && w->controls.count(controlId)) {
        w->s.focusedControl = controlId;
        changedLocked();
    }
}

void HeadlessUi::setTooltip(int windowId, int controlId, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.tooltip = text;
        changedLocked();
    }
}

void HeadlessUi::setProgressRange(int windowId, int controlId, int min, int max) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        c->s.rangeMin = min;
        c->s.rangeMax = max;
        c->s.progress = std::clamp(c->s.progress, min, std::max(min, max));
        changedLocked();
    }
}

void HeadlessUi::setProgress(int windowId, int controlId, int value) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId)) {
        // A progress bar keeps its position inside its range, as the system's does.
        c->s.progress = std::clamp(value, c->s.rangeMin, std::max(c->s.rangeMin, c->s.rangeMax));
        changedLocked();
    }
}

int HeadlessUi::getProgress(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    const Control* c = findControl(windowId, controlId);
    return c ? c->s.progress : 0;
}

void HeadlessUi::setTextColour(int windowId, int controlId, Colour colour) {
    std::lock_guard lock(mutex_);
    if (Control* c = findControl(windowId, controlId); c && c->s.kind == ControlKind::Label) {
        c->s.colour = colour;
        changedLocked();
    }
}

void HeadlessUi::setRowColour(int windowId, int controlId, int row, Colour colour) {
    std::lock_guard lock(mutex_);
    Control* c = findControl(windowId, controlId);
    if (!c || row < 0 || row >= static_cast<int>(c->s.rows.size())) return;
    c->s.rows[row].colour = colour;
    changedLocked();
}

// ---------------------------------------------------------------- list box

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

// ---------------------------------------------------------------- events

Event HeadlessUi::waitEvent() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            auto& queue = queues_[std::this_thread::get_id()];
            eventCv_.wait(lock, [&] { return !queue.empty(); });
            Pending next = std::move(queue.front());
            queue.pop_front();
            if (!next.task) return next.event;
            task = std::move(next.task);
        }
        // Unlocked: the task uses the UI, and may run a loop of its own.
        task();
    }
}

void HeadlessUi::postQuit() {
    std::lock_guard lock(mutex_);
    queues_[std::this_thread::get_id()].push_back(Pending{Event{EventKind::Quit, -1, -1}, {}, -1});
    eventCv_.notify_all();
}

bool HeadlessUi::post(int windowId, std::function<void()> task) {
    std::function<void()> dropped;  // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    const Window* w = findWindow(windowId);
    if (!w || !task) {
        dropped = std::move(task);
        return false;
    }
    queues_[w->s.owner].push_back(Pending{Event{}, std::move(task), windowId});
    eventCv_.notify_all();
    return true;
}

void HeadlessUi::wake(int windowId) {
    std::lock_guard lock(mutex_);
    if (const Window* w = findWindow(windowId)) postLocked(*w, Event{EventKind::Wake, windowId, -1});
}

// ---------------------------------------------------------------- message boxes

MessageBoxResult HeadlessUi::messageBox(const std::string& title, const std::string& text,
                                        MessageIcon icon, MessageButtons buttons) {
    std::unique_lock lock(mutex_);
    ShownBox box;
    box.title = title;
    box.text = text;
    box.icon = icon;
    box.buttons = buttons;
    box.thread = std::this_thread::get_id();
    box.ownerWindow = zOrder_.empty() ? -1 : zOrder_.back();

    Expectation* match = nullptr;
    for (Expectation& e : script_) {
        if (!e.used && e.title == title && text.find(e.textContains) != std::string::npos) {
            match = &e;
            break;
        }
    }
    if (!match) {
        box.expected = false;
        box.answer = buttons == MessageButtons::YesNo ? MessageBoxResult::No : MessageBoxResult::Ok;
        std::string what = "unexpected message box \"" + title + "\": \"" + text + "\"";
        std::fprintf(stderr, "headless ui: %s\n", what.c_str());
        failures_.push_back(std::move(what));
        shown_.push_back(box);
        changedLocked();
        return box.answer;
    }
    match->used = true;
    box.answer = match->answer;
    if (buttons == MessageButtons::Ok && box.answer != MessageBoxResult::Ok) box.answer = MessageBoxResult::Ok;
    if (buttons == MessageButtons::YesNo && box.answer == MessageBoxResult::Ok) {
        std::string what = "message box \"" + title + "\" has Yes and No; the script answered Ok";
        std::fprintf(stderr, "headless ui: %s\n", what.c_str());
        failures_.push_back(std::move(what));
        box.answer = MessageBoxResult::No;
    }
    shown_.push_back(box);
    if (!match->hold) {
        changedLocked();
        return box.answer;
    }

    // Held: the owner and the calling thread's windows take no input until released.
    OpenBox open{nextSerial_++, box, false, {}};
    for (auto& [id, w] : windows_) {
        if (w.s.enabled && (w.s.owner == box.thread || id == box.ownerWindow)) {
            w.s.enabled = false;
            open.disabledWindows.push_back(id);
        }
    }
    const std::uint64_t serial = open.serial;
    open_.push_back(std::move(open));
    changedLocked();
    auto mine = [&] {
        return std::find_if(open_.begin(), open_.end(), [&](const OpenBox& b) { return b.serial == serial; });
    };
    stateCv_.wait(lock, [&] { return mine()->released; });
    auto it = mine();
    for (int id : it->disabledWindows) {
        if (Window* w = findWindow(id)) w->s.enabled = true;
    }
    MessageBoxResult answer = it->box.answer;
    open_.erase(it);
    changedLocked();
    return answer;
}

void HeadlessUi::expectBox(const std::string& title, const std::string& textContains,
                           MessageBoxResult answer) {
    std::lock_guard lock(mutex_);
    script_.push_back({title, textContains, answer, false, false});
}

void HeadlessUi::expectHeldBox(const std::string& title, const std::string& textContains,
                               MessageBoxResult answer) {
    std::lock_guard lock(mutex_);
    script_.push_back({title, textContains, answer, true, false});
}

bool HeadlessUi::waitForHeldBox(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return stateCv_.wait_for(lock, limit, [&] {
        return std::any_of(open_.begin(), open_.end(), [](const OpenBox& b) { return !b.released; });
    });
}

std::optional<ShownBox> HeadlessUi::heldBox() const {
    std::lock_guard lock(mutex_);
    for (const OpenBox& b : open_) {
        if (!b.released) return b.box;
    }
    return std::nullopt;
}

void HeadlessUi::releaseBox() {
    std::lock_guard lock(mutex_);
    for (OpenBox& b : open_) {
        if (!b.released) {
            b.released = true;
            changedLocked();
            return;
        }
    }
}

std::vector<ShownBox> HeadlessUi::shownBoxes() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<std::string> HeadlessUi::failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

std::vector<std::string> HeadlessUi::unmetExpectations() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const Expectation& e : script_) {
        if (!e.used) out.push_back(e.title + " / " + e.textContains);
    }
    return out;
}

bool HeadlessUi::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(mutex_);
            seen = generation_;
        }
        if (condition()) return true;
        std::unique_lock lock(mutex_);
        if (!stateCv_.wait_until(lock, deadline, [&] { return generation_ != seen; })) {
            lock.unlock();
            return condition();
        }
    }
}

// ---------------------------------------------------------------- state for tests

std::optional<WindowState> HeadlessUi::window(int windowId) const {
    std::lock_guard lock(mutex_);
    const Window* w = findWindow(windowId);
    if (!w) return std::nullopt;
    return w->s;
}

std::optional<ControlState> HeadlessUi::control(int windowId, int controlId) const {
    std::lock_guard lock(mutex_);
    const Window* w = findWindow(windowId);
    if (!w) return std::nullopt;
    auto it = w->controls.find(controlId);
    if (it == w->controls.end()) return std::nullopt;
    ControlState s = it->second.s;
    s.visible = visibleLocked(*w, it->second);
    return s;
}

std::vector<int> HeadlessUi::windowIds() const {
    std::lock_guard lock(mutex_);
    return windowOrder_;
}

int HeadlessUi::frontWindow() const {
    std::lock_guard lock(mutex_);
    return zOrder_.empty() ? -1 : zOrder_.back();
}

// ---------------------------------------------------------------- user actions

bool HeadlessUi::userCanReach(int windowId, int controlId, Window** w, Control** c) {
    *w = findWindow(windowId);
    if (!*w || !(*w)->s.enabled) return false;
    if (controlId < 0) return true;
    *c = findControl(windowId, controlId);
    return *c && (*c)->s.enabled && visibleLocked(**w, **c);
}

bool HeadlessUi::click(int windowId, int controlId) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, controlId, &w, &c)) return false;
    switch (c->s.kind) {
        case ControlKind::CheckBox: c->s.checked = !c->s.checked; break;
        case ControlKind::ToggleButton: c->s.pressed = !c->s.pressed; break;
        case ControlKind::Button:
        case ControlKind::PictureButton:
        case ControlKind::Link: break;
        default:
            std::fprintf(stderr, "headless ui: a %s (%d/%d) reports no click\n", kindName(c->s.kind),
                         windowId, controlId);
            return false;
    }
    postLocked(*w, Event{EventKind::Command, windowId, controlId});
    changedLocked();
    return true;
}

bool HeadlessUi::chooseMenu(int windowId, int entryId) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, -1, &w, &c)) return false;
    bool found = false;
    for (const MenuTitle& t : w->s.menu) {
        for (const MenuEntry& e : t.entries) found = found || e.id == entryId;
    }
    if (!found) return false;
    postLocked(*w, Event{EventKind::Menu, windowId, entryId});
    return true;
}

bool HeadlessUi::closeBox(int windowId) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, -1, &w, &c)) return false;
    postLocked(*w, Event{EventKind::Close, windowId, -1});
    return true;
}

bool HeadlessUi::typeText(int windowId, int controlId, const std::string& text) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, controlId, &w, &c) || !isTextField(c->s.kind)) return false;
    std::string typed;
    for (char ch : text) {
        if (!c->s.digitsOnly || (ch >= '0' && ch <= '9')) typed += ch;
    }
    c->s.text = typed;
    w->s.focusedControl = controlId;
    postLocked(*w, Event{EventKind::Changed, windowId, controlId});
    changedLocked();
    return true;
}

bool HeadlessUi::doubleClick(int windowId, int controlId, int index) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, controlId, &w, &c)) return false;
    int count;
    if (c->s.kind == ControlKind::ListBox) {
        count = static_cast<int>(c->s.lines.size());
    } else if (c->s.kind == ControlKind::ReportList) {
        count = static_cast<int>(c->s.rows.size());
    } else {
        return false;
    }
    // A double click outside the rows leaves the selection as it was.
    if (index >= 0 && index < count) c->s.selected = index;
    postLocked(*w, Event{EventKind::DoubleClick, windowId, controlId});
    changedLocked();
    return true;
}

bool HeadlessUi::tickRow(int windowId, int controlId, int row, bool checked) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, controlId, &w, &c) || c->s.kind != ControlKind::ReportList ||
        !c->s.rowCheckBoxes || row < 0 || row >= static_cast<int>(c->s.rows.size()))
        return false;
    c->s.rows[row].checked = checked;
    changedLocked();
    return true;
}

bool HeadlessUi::chooseTab(int windowId, int controlId, int tab) {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    Control* c = nullptr;
    if (!userCanReach(windowId, controlId, &w, &c) || c->s.kind != ControlKind::TabPanel || tab < 0 ||
        tab >= static_cast<int>(c->s.tabs.size()))
        return false;
    c->s.selectedTab = tab;
    postLocked(*w, Event{EventKind::Command, windowId, controlId});
    changedLocked();
    return true;
}

}  // namespace velmo::ui
