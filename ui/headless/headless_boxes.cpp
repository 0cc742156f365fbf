// The headless backend's message boxes: the script of expected boxes, held boxes, and
// what was shown.
#include "ui/headless/headless_ui.h"

#include <algorithm>
#include <cstdio>

namespace velmo::ui {

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

}  // namespace velmo::ui
