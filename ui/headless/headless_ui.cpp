// The headless backend's windows and controls: the state the programs change and read,
// and what the tests read of it.
#include "ui/headless/headless_ui.h"

#include <algorithm>
#include <cstdio>

namespace velmo::ui {

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
                w.s.menuIconPixels.push_back(e.icon ? e.icon->rgba : std::vector<std::uint8_t>{});
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

}  // namespace velmo::ui
