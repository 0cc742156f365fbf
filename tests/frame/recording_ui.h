// A Ui that passes every call on to another one and notes, with the time, the calls that
// change a window's place, state or existence, so a test can see the order of the steps
// (and the pause) of the frame's window handling, not only where it ended.
#pragma once
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace velmo::testing {

class RecordingUi final : public ui::Ui {
public:
    struct Call {
        std::string what;  // "enable 0", "disable 0", "topmost 0", "ordinary 0", "front 0",
                           // "create 34", "destroy 34"
        std::chrono::steady_clock::time_point at;
    };

    explicit RecordingUi(ui::Ui& inner) : in_(inner) {}

    std::vector<Call> calls() const {
        std::lock_guard lock(m_);
        return calls_;
    }

    bool createWindow(const ui::WindowSpec& w, const std::vector<ui::ControlSpec>& c,
                      const ui::MenuSpec* menu = nullptr) override {
        note("create " + std::to_string(w.id));
        return in_.createWindow(w, c, menu);
    }
    void destroyWindow(int id) override {
        note("destroy " + std::to_string(id));
        in_.destroyWindow(id);
    }
    bool windowExists(int id) override { return in_.windowExists(id); }
    void setWindowEnabled(int id, bool e) override {
        note((e ? "enable " : "disable ") + std::to_string(id));
        in_.setWindowEnabled(id, e);
    }
    bool isWindowEnabled(int id) override { return in_.isWindowEnabled(id); }
    void setWindowTitle(int id, const std::string& t) override { in_.setWindowTitle(id, t); }
    void setTopmost(int id, bool t) override {
        note((t ? "topmost " : "ordinary ") + std::to_string(id));
        in_.setTopmost(id, t);
    }
    void bringToFront(int id) override {
        note("front " + std::to_string(id));
        in_.bringToFront(id);
    }
    bool addControl(int w, const ui::ControlSpec& c) override { return in_.addControl(w, c); }
    void removeControl(int w, int c) override { in_.removeControl(w, c); }
    bool controlExists(int w, int c) override { return in_.controlExists(w, c); }
    void setText(int w, int c, const std::string& t) override { in_.setText(w, c, t); }
    std::string getText(int w, int c) override { return in_.getText(w, c); }
    void setChecked(int w, int c, bool v) override { in_.setChecked(w, c, v); }
    bool isChecked(int w, int c) override { return in_.isChecked(w, c); }
    void setPressed(int w, int c, bool v) override { in_.setPressed(w, c, v); }
    bool isPressed(int w, int c) override { return in_.isPressed(w, c); }
    void setEnabled(int w, int c, bool v) override { in_.setEnabled(w, c, v); }
    bool isEnabled(int w, int c) override { return in_.isEnabled(w, c); }
    void setFocus(int w, int c) override { in_.setFocus(w, c); }
    void setTooltip(int w, int c, const std::string& t) override { in_.setTooltip(w, c, t); }
    void setProgressRange(int w, int c, int lo, int hi) override { in_.setProgressRange(w, c, lo, hi); }
    void setProgress(int w, int c, int v) override { in_.setProgress(w, c, v); }
    int getProgress(int w, int c) override { return in_.getProgress(w, c); }
    int addLine(int w, int c, const std::string& t) override { return in_.addLine(w, c, t); }
    void setLine(int w, int c, int i, const std::string& t) override { in_.setLine(w, c, i, t); }
    std::string getLine(int w, int c, int i) override { return in_.getLine(w, c, i); }
    int lineCount(int w, int c) override { return in_.lineCount(w, c); }
    void clearLines(int w, int c) override { in_.clearLines(w, c); }
    void selectLine(int w, int c, int i) override { in_.selectLine(w, c, i); }
    int selectedLine(int w, int c) override { return in_.selectedLine(w, c); }
    int addRow(int w, int c, const std::vector<std::string>& cells, int image = -1) override {
        return in_.addRow(w, c, cells, image);
    }
    void setCell(int w, int c, int r, int col, const std::string& t) override { in_.setCell(w, c, r, col, t); }
    std::string getCell(int w, int c, int r, int col) override { return in_.getCell(w, c, r, col); }
    int rowCount(int w, int c) override { return in_.rowCount(w, c); }
    void clearRows(int w, int c) override { in_.clearRows(w, c); }
    void setRowChecked(int w, int c, int r, bool v) override { in_.setRowChecked(w, c, r, v); }
    bool isRowChecked(int w, int c, int r) override { return in_.isRowChecked(w, c, r); }
    void selectRow(int w, int c, int r) override { in_.selectRow(w, c, r); }
    int selectedRow(int w, int c) override { return in_.selectedRow(w, c); }
    void selectTab(int w, int c, int t) override { in_.selectTab(w, c, t); }
    int selectedTab(int w, int c) override { return in_.selectedTab(w, c); }
    ui::Event waitEvent() override { return in_.waitEvent(); }
    void postQuit() override { in_.postQuit(); }
    void wake(int w) override { in_.wake(w); }
    ui::MessageBoxResult messageBox(const std::string& title, const std::string& text,
                                    ui::MessageIcon icon = ui::MessageIcon::None,
                                    ui::MessageButtons buttons = ui::MessageButtons::Ok) override {
        return in_.messageBox(title, text, icon, buttons);
    }

private:
    void note(std::string what) {
        std::lock_guard lock(m_);
        calls_.push_back({std::move(what), std::chrono::steady_clock::now()});
    }

    ui::Ui& in_;
    mutable std::mutex m_;
    std::vector<Call> calls_;
};

}  // namespace velmo::testing
