// The suite's user interface: windows, menus, controls and message boxes described as
// tables of numbered items, with an event loop per thread.
//
// Texts are Windows-1252 bytes. Window numbers are unique in a program; control numbers
// are unique in their window (the Windows backend uses them as the control ids, so a
// driver finds them with GetDlgItem). Every operation may be called from any thread:
// worker threads change controls and show message boxes themselves. Operations on a
// window or control that does not exist (any more) do nothing and return false, 0, -1
// or an empty text.
//
// Events belong to the thread that created the window: `waitEvent` returns the events
// of the calling thread's windows only, so a worker thread that opens a window of its
// own runs its own loop for it. A worker hands work to a window's thread with `post`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/image.h"

namespace velmo::ui {

// "Trebuchet MS" at 8 points (texts and fields), 9 points (the installer's tree list and
// permission title) and 10 points (main buttons, links); None keeps the system's font.
enum class FontRole { None, Text8, Text9, Large10 };

enum class ControlKind {
    Label,          // static text; alignment from `align`
    GroupBox,       // labelled frame
    TextField,      // one-line edit; `masked`, `digitsOnly`, `align` (Right) apply
    PasswordField,  // TextField with masked characters
    CheckBox,
    Button,         // push button with a text
    PictureButton,  // push button showing `image` (optional tooltip)
    ToggleButton,   // image button that stays pressed or released; tooltip
    ListBox,        // list of text lines, one selected line
    ReportList,     // list with columns: `columns`, `rowImages` or `rowCheckBoxes`
    TabPanel,       // tabs titled `tabs`; pages hold controls placed with onTab()
    ProgressBar,    // range `rangeMin`..`rangeMax`, `smooth`
    Link,           // underlined text in `colour`, `hoverColour` under the pointer, hand
                    // pointer; reports a click
    MultiLineText,  // read-only multi-line text with a vertical scroll bar
    Picture,        // static image
};

enum class TextAlign { Left, Centre, Right };

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour&) const = default;
};

struct Column {
    std::string title;
    int width = 100;
};

// One row of a control table: number, kind, x, y, width, height, text, font; the rest
// through the modifiers below, e.g.
//   {6, ControlKind::Label, 300, 40, 170, 16, ""}.centred()
//   {41, ControlKind::ProgressBar, 16, 376, 344, 16}.range(0, 100).smoothBar()
// Images are read during the call that builds the control; the backend keeps a copy.
struct ControlSpec {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
    FontRole font = FontRole::Text8;

    TextAlign align = TextAlign::Left;
    bool masked = false;
    bool digitsOnly = false;
    bool initiallyEnabled = true;
    bool initiallyChecked = false;  // check boxes; toggles: pressed
    const Image* image = nullptr;
    std::string tooltip;
    int rangeMin = 0, rangeMax = 100;
    bool smooth = false;
    std::vector<Column> columns;
    std::vector<const Image*> rowImages;
    bool rowCheckBoxes = false;
    std::vector<std::string> tabs;
    int panelId = -1, tabIndex = 0;  // page of a tab panel; x, y relative to the page
    Colour colour{0, 0, 0};
    Colour hoverColour{255, 0, 0};

    ControlSpec centred() const { auto c = *this; c.align = TextAlign::Centre; return c; }
    ControlSpec rightAligned() const { auto c = *this; c.align = TextAlign::Right; return c; }
    ControlSpec digits() const { auto c = *this; c.digitsOnly = true; return c; }
    ControlSpec disabled() const { auto c = *this; c.initiallyEnabled = false; return c; }
    ControlSpec checked() const { auto c = *this; c.initiallyChecked = true; return c; }
    ControlSpec pressed() const { return checked(); }
    ControlSpec withImage(const Image& img) const { auto c = *this; c.image = &img; return c; }
    // The image must outlive the table (it is read when the control is built).
    ControlSpec withImage(Image&&) const = delete;
    ControlSpec withTooltip(std::string t) const { auto c = *this; c.tooltip = std::move(t); return c; }
    ControlSpec range(int lo, int hi) const { auto c = *this; c.rangeMin = lo; c.rangeMax = hi; return c; }
    ControlSpec smoothBar() const { auto c = *this; c.smooth = true; return c; }
    ControlSpec withColumns(std::vector<Column> cols) const { auto c = *this; c.columns = std::move(cols); return c; }
    ControlSpec withRowImages(std::vector<const Image*> imgs) const { auto c = *this; c.rowImages = std::move(imgs); return c; }
    ControlSpec withRowCheckBoxes() const { auto c = *this; c.rowCheckBoxes = true; return c; }
    ControlSpec withTabs(std::vector<std::string> t) const { auto c = *this; c.tabs = std::move(t); return c; }
    ControlSpec onTab(int panel, int tab) const { auto c = *this; c.panelId = panel; c.tabIndex = tab; return c; }
    ControlSpec linkColours(Colour normal, Colour hover) const { auto c = *this; c.colour = normal; c.hoverColour = hover; return c; }
    ControlSpec withFont(FontRole f) const { auto c = *this; c.font = f; return c; }
};

// A window of fixed inner (client) size, centred on the screen, with a title bar and the
// system menu (close box); the minimise box and a sizing border only when asked.
struct WindowSpec {
    int id = 0;
    std::string title;
    int clientWidth = 0, clientHeight = 0;
    bool minimizeBox = false;
    bool resizable = false;
    bool topmost = false;
};

struct MenuEntry {
    int id = 0;
    std::string text;
    const Image* icon = nullptr;  // 16 x 16, or none
};

struct MenuTitle {
    std::string title;
    std::vector<MenuEntry> entries;
};

struct MenuSpec {
    std::vector<MenuTitle> titles;
};

enum class EventKind {
    None,
    Menu,         // controlId = menu entry number
    Command,      // button, picture, toggle, check box, link clicked; tab panel changed
    Changed,      // the user edited a text field
    DoubleClick,  // list box or report list
    Close,        // the close box of windowId (the window stays until destroyWindow)
    Opened,       // windowId was just shown (its first activation)
    Wake,         // wake(windowId) from another thread
    Quit,         // postQuit() of this thread
};

struct Event {
    EventKind kind = EventKind::None;
    int windowId = -1;
    int controlId = -1;
    bool operator==(const Event&) const = default;
};

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageBoxResult { Ok, Yes, No };

class Ui {
public:
    virtual ~Ui() = default;

    // Windows. createWindow builds the window, its menu and its controls in table order
    // and shows it; false when the number is taken or the system refuses.
    virtual bool createWindow(const WindowSpec& window, const std::vector<ControlSpec>& controls,
                              const MenuSpec* menu = nullptr) = 0;
    virtual void destroyWindow(int windowId) = 0;
    virtual bool windowExists(int windowId) = 0;
    virtual void setWindowEnabled(int windowId, bool enabled) = 0;
    virtual bool isWindowEnabled(int windowId) = 0;
    virtual void setWindowTitle(int windowId, const std::string& title) = 0;
    virtual void setTopmost(int windowId, bool topmost) = 0;
    virtual void bringToFront(int windowId) = 0;

    // Controls.
    virtual bool addControl(int windowId, const ControlSpec& control) = 0;
    virtual void removeControl(int windowId, int controlId) = 0;
    virtual bool controlExists(int windowId, int controlId) = 0;
    // Programmatic changes raise no events. A text field with the keyboard focus keeps
    // its caret at the end of the new text, so that typing goes on after it.
    virtual void setText(int windowId, int controlId, const std::string& text) = 0;
    virtual std::string getText(int windowId, int controlId) = 0;
    virtual void setChecked(int windowId, int controlId, bool checked) = 0;
    virtual bool isChecked(int windowId, int controlId) = 0;
    virtual void setPressed(int windowId, int controlId, bool pressed) = 0;  // toggles
    virtual bool isPressed(int windowId, int controlId) = 0;
    virtual void setEnabled(int windowId, int controlId, bool enabled) = 0;
    virtual bool isEnabled(int windowId, int controlId) = 0;
    virtual void setFocus(int windowId, int controlId) = 0;
    virtual void setTooltip(int windowId, int controlId, const std::string& text) = 0;
    virtual void setProgressRange(int windowId, int controlId, int min, int max) = 0;
    virtual void setProgress(int windowId, int controlId, int value) = 0;
    virtual int getProgress(int windowId, int controlId) = 0;
    // Colour of a label's text (black until set; a link keeps its own two colours).
    virtual void setTextColour(int windowId, int controlId, Colour colour) = 0;

    // List box lines (0-based).
    virtual int addLine(int windowId, int controlId, const std::string& text) = 0;
    virtual void setLine(int windowId, int controlId, int index, const std::string& text) = 0;
    virtual std::string getLine(int windowId, int controlId, int index) = 0;
    virtual int lineCount(int windowId, int controlId) = 0;
    virtual void clearLines(int windowId, int controlId) = 0;
    virtual void selectLine(int windowId, int controlId, int index) = 0;  // scrolls it into view
    virtual int selectedLine(int windowId, int controlId) = 0;            // -1: none

    // Report-list rows (0-based); image is an index into the control's rowImages, -1 none.
    virtual int addRow(int windowId, int controlId, const std::vector<std::string>& cells,
                       int image = -1) = 0;
    virtual void setCell(int windowId, int controlId, int row, int column, const std::string& text) = 0;
    virtual std::string getCell(int windowId, int controlId, int row, int column) = 0;
    virtual int rowCount(int windowId, int controlId) = 0;
    virtual void clearRows(int windowId, int controlId) = 0;
    virtual void setRowChecked(int windowId, int controlId, int row, bool checked) = 0;
    virtual bool isRowChecked(int windowId, int controlId, int row) = 0;
    virtual void selectRow(int windowId, int controlId, int row) = 0;
    // Colour of the text of a whole row (black until set; cleared rows lose it).
    virtual void setRowColour(int windowId, int controlId, int row, Colour colour) = 0;
    virtual int selectedRow(int windowId, int controlId) = 0;

    // Tab panels.
    virtual void selectTab(int windowId, int controlId, int tab) = 0;
    virtual int selectedTab(int windowId, int controlId) = 0;

    // Blocks until the next event of one of the calling thread's windows.
    virtual Event waitEvent() = 0;
    // The calling thread's next waitEvent returns a Quit event.
    virtual void postQuit() = 0;
    // The loop of the thread that owns windowId gets a Wake event (for flags set by
    // workers that the loop looks at after each event).
    virtual void wake(int windowId) = 0;
    // Hands `task` to the thread that owns windowId. The task runs in that thread, inside
    // its waitEvent (never inside a message box, never in the middle of a handler, never
    // in the caller's thread, even when the caller is that thread); tasks of one window
    // run in the order they were posted. waitEvent goes on waiting after a task: a task
    // ends the loop with postQuit or changes what the loop looks at. A task may itself
    // run an event loop (open a window and wait for its events). Posting never waits for
    // the owner thread. False when the window does not exist: the task is dropped
    // (destroyed without running), as are the tasks still waiting when their window is
    // destroyed.
    virtual bool post(int windowId, std::function<void()> task) = 0;

    // Modal for the whole program: owned by the program's window in front (none when
    // another program is in front); the calling thread's other windows are disabled while
    // it is shown. Returns the button pressed.
    virtual MessageBoxResult messageBox(const std::string& title, const std::string& text,
                                        MessageIcon icon = MessageIcon::None,
                                        MessageButtons buttons = MessageButtons::Ok) = 0;
};

// The backend linked into this build: Win32 in the Windows tree, the in-memory headless
// one in the native tree (ui/headless/headless_ui.h: tests drive it).
std::unique_ptr<Ui> makeUi();

}  // namespace velmo::ui
