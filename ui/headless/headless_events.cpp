// The headless backend's event queues (events, wakes, posted tasks, quits), the waits
// the tests pace themselves with, and what a user does to the windows.
#include "ui/headless/headless_ui.h"

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
