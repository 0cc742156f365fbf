// What the files of the Win32 backend share: the records of windows and controls, the
// thread rules, and the pieces each file supplies to the others.
//
// Threads. A window belongs to the thread that created it, and so do its controls: all
// work on a window (creating, changing, reading, removing its controls, destroying it)
// runs in its owner thread, handed over with SendMessage when another thread asks. The
// owner thread runs such requests while it waits in waitEvent or inside a message box,
// which is where the programs' loops spend their time. Events are queued per thread, by
// the window procedure, which the owner thread runs. A posted task waits in its window's
// record; a posted message tells the owner thread's window procedure, which queues a
// marker that waitEvent turns into a run of the task (so a task never runs inside a
// message box's own loop).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "ui/ui.h"

namespace velmo::ui::win32 {

inline constexpr UINT runMessage = WM_APP + 1;
inline constexpr UINT wakeMessage = WM_APP + 2;
inline constexpr UINT openedMessage = WM_APP + 3;
inline constexpr UINT taskMessage = WM_APP + 4;
inline constexpr wchar_t windowClass[] = L"VelmoWindow";

inline std::wstring wide(const std::string& s) { return text::cp1252ToWide(s); }
inline std::string narrow(const wchar_t* p, std::size_t n) { return text::wideToCp1252(std::wstring(p, n)); }
inline COLORREF toColorref(Colour c) { return RGB(c.r, c.g, c.b); }
inline HINSTANCE instance() { return GetModuleHandleW(nullptr); }

struct WControl {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    HWND hwnd = nullptr;
    int x = 0, y = 0, width = 0, height = 0;  // in the window's client area
    int panelId = -1, tabIndex = 0;
    COLORREF colour = 0, hoverColour = 0;
    bool hasTextColour = false;          // a label given a colour by setTextColour
    std::vector<COLORREF> rowColours;    // report lists: per row, black past the end
    bool hovering = false;
    int quiet = 0;  // programmatic text change under way: no Changed event
    bool hasTooltip = false;
    bool hasRowImages = false;
    HBITMAP bitmap = nullptr;
    HIMAGELIST images = nullptr;
};

struct WWindow {
    int id = 0;
    std::uint64_t serial = 0;  // tells a window from a later one of the same number
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
    std::vector<HBITMAP> menuBitmaps;
    std::set<int> menuIds;
    HWND tooltip = nullptr;
    HWND lastFocus = nullptr;  // the child that had the keyboard when the window was left
    std::map<int, std::unique_ptr<WControl>> controls;
    std::deque<std::function<void()>> tasks;  // posted, not yet run; under gMutex
};

// The registry of windows by number; entries change under gMutex.
extern std::mutex gMutex;
extern std::map<int, std::unique_ptr<WWindow>> gWindows;
extern std::uint64_t gNextSerial;  // under gMutex

// What the calling thread's waitEvent has to hand out: events, and markers of tasks
// posted to one of its windows (taskWindow >= 0), in arrival order.
struct Pending {
    Event event;
    int taskWindow = -1;
    std::uint64_t taskSerial = 0;
};
extern thread_local std::deque<Pending> tPending;

HWND hwndOf(int windowId);
WWindow* windowOf(int windowId);
// Runs `task` in the thread that owns `hwnd`.
void runInOwner(HWND hwnd, const std::function<void()>& task);

// Runs f(window) in the window's owner thread; `fallback` when the window does not exist.
template <class R, class F>
R onWindow(int windowId, R fallback, F f) {
    HWND h = hwndOf(windowId);
    R result = fallback;
    runInOwner(h, [&] {
        WWindow* w = windowOf(windowId);
        if (w && w->hwnd == h) result = f(*w);
    });
    return result;
}

template <class R, class F>
R onControl(int windowId, int controlId, R fallback, F f) {
    return onWindow(windowId, fallback, [&](WWindow& w) {
        auto it = w.controls.find(controlId);
        return it == w.controls.end() ? fallback : f(w, *it->second);
    });
}

// Window procedure and event queue (win32_windows.cpp).
void initialiseOnce();
bool isOurWindow(HWND h);
HMENU buildMenu(const MenuSpec& desc, WWindow& w);
void push(const Event& e);
// The oldest task of the window, when that window is still the one it was posted to.
std::function<void()> takeTask(int windowId, std::uint64_t serial);

// Fonts and pictures (win32_pictures.cpp).
HFONT fontFor(FontRole role, bool underline);
// 32-bit premultiplied BGRA: what menus and image lists blend with their background.
HBITMAP premultipliedBitmap(const Image& img);
// Opaque, already blended over `background`: buttons and static pictures draw bitmaps
// without alpha on some systems, so the blending is done here once.
HBITMAP composedBitmap(const Image& img, COLORREF background);

// Controls (win32_controls.cpp), in the owner thread.
bool buildControl(WWindow& w, const ControlSpec& s);
void releaseControl(WWindow& w, WControl& c);
void setToolText(WWindow& w, WControl& c, const std::string& text);
void showPages(WWindow& w, const WControl& panel);
// Tab panels stay below the controls of their pages.
void sinkPanels(WWindow& w);
void setCellText(WControl& c, int row, int column, const std::string& text);

// Message boxes (win32_message_box.cpp).
MessageBoxResult showMessageBox(const std::string& title, const std::string& text, MessageIcon icon,
                                MessageButtons buttons);

}  // namespace velmo::ui::win32
