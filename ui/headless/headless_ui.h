// The in-memory backend of the native tree. Programs run their real event loops against
// it; tests read the state of every window and control, inject what a user would do
// (clicks, menu choices, typing, closing) and script the answers to message boxes.
//
// A user can only act on what is there: injections into a missing, hidden or disabled
// control, or into a disabled window, are refused (false) and raise no event.
//
// Message boxes follow a script of expectations (title, text substring, answer). A box
// takes the first unused expectation it fits; a box that fits none is recorded as a
// failure (and printed on stderr) and answered Ok, or No for a Yes/No box. An
// expectation may hold its box open until the test releases it, to look at the program
// while the box is up.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "ui/ui.h"

namespace velmo::ui {

struct RowState {
    std::vector<std::string> cells;
    int image = -1;
    bool checked = false;
    Colour colour;
};

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    int x = 0, y = 0, width = 0, height = 0;
    FontRole font = FontRole::Text8;
    TextAlign align = TextAlign::Left;
    bool masked = false, digitsOnly = false;
    std::string text;
    bool enabled = true;
    bool visible = true;  // false on a tab page that is not selected
    bool checked = false;
    bool pressed = false;
    std::string tooltip;
    int imageWidth = 0, imageHeight = 0;  // 0 without an image
    int rangeMin = 0, rangeMax = 100, progress = 0;
    bool smooth = false;
    std::vector<std::string> lines;
    int selected = -1;  // line, row
    std::vector<Column> columns;
    std::vector<RowState> rows;
    int rowImageCount = 0;
    bool rowCheckBoxes = false;
    std::vector<std::string> tabs;
    int selectedTab = 0;
    int panelId = -1, tabIndex = 0;
    Colour colour, hoverColour;  // a label's text colour, a link's two colours
};

struct WindowState {
    int id = 0;
    std::string title;
    int clientWidth = 0, clientHeight = 0;
    bool minimizeBox = false, resizable = false;
    bool enabled = true;
    bool topmost = false;
    int focusedControl = -1;
    std::thread::id owner;
    std::vector<MenuTitle> menu;  // icons not kept: entries' icon is null
    std::vector<int> menuIconSizes;  // one per entry in menu order: width of its icon, 0 none
    std::vector<std::vector<std::uint8_t>> menuIconPixels;  // the same entries' RGBA, empty for none
    std::vector<int> controlIds;     // in creation order
};

struct ShownBox {
    std::string title, text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageBoxResult answer = MessageBoxResult::Ok;
    std::thread::id thread;
    int ownerWindow = -1;  // window in front when it was shown, -1 none
    bool expected = true;
};

class HeadlessUi final : public Ui {
public:
    HeadlessUi();
    ~HeadlessUi() override;

    // --- Ui ---
    bool createWindow(const WindowSpec& window, const std::vector<ControlSpec>& controls,
                      const MenuSpec* menu = nullptr) override;
    void destroyWindow(int windowId) override;
    bool windowExists(int windowId) override;
    void setWindowEnabled(int windowId, bool enabled) override;
    bool isWindowEnabled(int windowId) override;
    void setWindowTitle(int windowId, const std::string& title) override;
    void setTopmost(int windowId, bool topmost) override;
    void bringToFront(int windowId) override;
    bool addControl(int windowId, const ControlSpec& control) override;
    void removeControl(int windowId, int controlId) override;
    bool controlExists(int windowId, int controlId) override;
    void setText(int windowId, int controlId, const std::string& text) override;
    std::string getText(int windowId, int controlId) override;
    void setChecked(int windowId, int controlId, bool checked) override;
    bool isChecked(int windowId, int controlId) override;
    void setPressed(int windowId, int controlId, bool pressed) override;
    bool isPressed(int windowId, int controlId) override;
    void setEnabled(int windowId, int controlId, bool enabled) override;
    bool isEnabled(int windowId, int controlId) override;
    void setFocus(int windowId, int controlId) override;
    void setTooltip(int windowId, int controlId, const std::string& text) override;
    void setProgressRange(int windowId, int controlId, int min, int max) override;
    void setProgress(int windowId, int controlId, int value) override;
    int getProgress(int windowId, int controlId) override;
    void setTextColour(int windowId, int controlId, Colour colour) override;
    int addLine(int windowId, int controlId, const std::string& text) override;
    void setLine(int windowId, int controlId, int index, const std::string& text) override;
    std::string getLine(int windowId, int controlId, int index) override;
    int lineCount(int windowId, int controlId) override;
    void clearLines(int windowId, int controlId) override;
    void selectLine(int windowId, int controlId, int index) override;
    int selectedLine(int windowId, int controlId) override;
    int addRow(int windowId, int controlId, const std::vector<std::string>& cells,
               int image = -1) override;
    void setCell(int windowId, int controlId, int row, int column, const std::string& text) override;
    std::string getCell(int windowId, int controlId, int row, int column) override;
    int rowCount(int windowId, int controlId) override;
    void clearRows(int windowId, int controlId) override;
    void setRowChecked(int windowId, int controlId, int row, bool checked) override;
    bool isRowChecked(int windowId, int controlId, int row) override;
    void selectRow(int windowId, int controlId, int row) override;
    void setRowColour(int windowId, int controlId, int row, Colour colour) override;
    int selectedRow(int windowId, int controlId) override;
    void selectTab(int windowId, int controlId, int tab) override;
    int selectedTab(int windowId, int controlId) override;
    Event waitEvent() override;
    void postQuit() override;
    void wake(int windowId) override;
    bool post(int windowId, std::function<void()> task) override;
    MessageBoxResult messageBox(const std::string& title, const std::string& text,
                                MessageIcon icon = MessageIcon::None,
                                MessageButtons buttons = MessageButtons::Ok) override;

    // --- reading the state (tests) ---
    std::optional<WindowState> window(int windowId) const;
    std::optional<ControlState> control(int windowId, int controlId) const;
    std::vector<int> windowIds() const;  // in creation order
    int frontWindow() const;             // -1 none

    // --- what a user does ---
    bool click(int windowId, int controlId);  // check boxes and toggles flip first
    bool chooseMenu(int windowId, int entryId);
    bool closeBox(int windowId);
    // Replaces the field's text as typing would (a digits-only field drops other
    // characters) and raises Changed.
    bool typeText(int windowId, int controlId, const std::string& text);
    // Selects the line or row (-1: a click outside the rows) and raises DoubleClick.
    bool doubleClick(int windowId, int controlId, int index);
    // Ticks or unticks a report list row's check box; raises no event.
    bool tickRow(int windowId, int controlId, int row, bool checked);
    // Selects the tab and raises Command on the panel.
    bool chooseTab(int windowId, int controlId, int tab);

    // --- message boxes ---
    void expectBox(const std::string& title, const std::string& textContains,
                   MessageBoxResult answer = MessageBoxResult::Ok);
    // The box stays open (its thread blocked, its windows disabled) until releaseBox.
    void expectHeldBox(const std::string& title, const std::string& textContains,
                       MessageBoxResult answer = MessageBoxResult::Ok);
    // Waits until a held box is open; false after `limit` (a safety net, not a pace).
    bool waitForHeldBox(std::chrono::milliseconds limit = std::chrono::seconds(20));
    std::optional<ShownBox> heldBox() const;  // the oldest open held box
    void releaseBox();                        // answers the oldest open held box
    std::vector<ShownBox> shownBoxes() const;
    std::vector<std::string> failures() const;   // unexpected boxes, in order
    std::vector<std::string> unmetExpectations() const;

    // Waits until `condition` holds, re-checking after every change of the state (and of
    // the boxes); false after `limit`. The condition may call any method of this object.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds limit = std::chrono::seconds(20));

private:
    struct Control {
        ControlState s;
    };
    struct Window {
        WindowState s;
        std::map<int, Control> controls;
    };
    struct Expectation {
        std::string title, textContains;
        MessageBoxResult answer;
        bool hold = false;
        bool used = false;
    };
    // What waits in a thread's queue: an event, or a task posted to one of its windows.
    struct Pending {
        Event event;
        std::function<void()> task;
        int taskWindow = -1;
    };
    struct OpenBox {
        std::uint64_t serial;
        ShownBox box;
        bool released = false;
        std::vector<int> disabledWindows;
    };

    Window* findWindow(int windowId);
    const Window* findWindow(int windowId) const;
    Control* findControl(int windowId, int controlId);
    const Control* findControl(int windowId, int controlId) const;
    bool buildControl(Window& w, const ControlSpec& desc);
    bool visibleLocked(const Window& w, const Control& c) const;
    bool userCanReach(int windowId, int controlId, Window** w, Control** c);
    void postLocked(const Window& w, Event e);
    void changedLocked();  // state generation + wake waitUntil

    mutable std::mutex mutex_;
    std::condition_variable eventCv_;
    std::condition_variable stateCv_;
    std::uint64_t generation_ = 0;
    std::map<int, Window> windows_;
    std::vector<int> windowOrder_;  // creation order
    std::vector<int> zOrder_;       // last is in front
    std::map<std::thread::id, std::deque<Pending>> queues_;
    std::vector<Expectation> script_;
    std::vector<ShownBox> shown_;
    std::vector<std::string> failures_;
    std::vector<OpenBox> open_;
    std::uint64_t nextSerial_ = 1;
};

// The headless backend behind a Ui obtained from makeUi() in the native tree.
HeadlessUi* asHeadless(Ui& ui);

}  // namespace velmo::ui
