// The Win32 backend's registry of windows, the hand-over to a window's owner thread, the
// window procedure that turns messages into events, and the window class and menus.
#include "ui/win32/win32_internal.h"

namespace velmo::ui::win32 {

std::mutex gMutex;
std::map<int, std::unique_ptr<WWindow>> gWindows;
std::uint64_t gNextSerial = 1;
thread_local std::deque<Pending> tPending;

HWND hwndOf(int windowId) {
    std::lock_guard lock(gMutex);
    auto it = gWindows.find(windowId);
    return it == gWindows.end() ? nullptr : it->second->hwnd;
}

WWindow* windowOf(int windowId) {
    std::lock_guard lock(gMutex);
    auto it = gWindows.find(windowId);
    return it == gWindows.end() ? nullptr : it->second.get();
}

void runInOwner(HWND hwnd, const std::function<void()>& task) {
    if (!hwnd) return;
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        task();
        return;
    }
    SendMessageW(hwnd, runMessage, 0, reinterpret_cast<LPARAM>(&task));
}

void push(const Event& e) { tPending.push_back(Pending{e, -1, 0}); }

std::function<void()> takeTask(int windowId, std::uint64_t serial) {
    std::lock_guard lock(gMutex);
    auto it = gWindows.find(windowId);
    if (it == gWindows.end() || it->second->serial != serial || it->second->tasks.empty()) return {};
    std::function<void()> task = std::move(it->second->tasks.front());
    it->second->tasks.pop_front();
    return task;
}

namespace {

// Each handler below returns true with `result` set when it answered the message, false
// when the message goes on to DefWindowProcW.

WControl* controlOf(WWindow& w, int id) {
    auto it = w.controls.find(id);
    return it == w.controls.end() ? nullptr : it->second.get();
}

// The field the user was typing in gets the keyboard back when the window is active again
// (after a message box, for instance), as in a dialog; the system alone would give it to
// the window itself, and the next keys would be lost.
bool onActivate(HWND hwnd, WWindow& w, WPARAM wp) {
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) w.lastFocus = focus;
        return true;
    }
    if (w.lastFocus && IsWindow(w.lastFocus) && IsChild(hwnd, w.lastFocus) && IsWindowEnabled(w.lastFocus) &&
        IsWindowVisible(w.lastFocus) && !HIWORD(wp)) {
        SetFocus(w.lastFocus);
        return true;
    }
    return false;
}

bool onCommand(WWindow& w, WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp), code = HIWORD(wp);
    if (lp == 0) {
        if (code == 0 && w.menuIds.count(id)) push({EventKind::Menu, w.id, id});
        return true;
    }
    WControl* c = controlOf(w, id);
    if (!c) return false;
    switch (c->kind) {
        case ControlKind::Button:
        case ControlKind::PictureButton:
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) push({EventKind::Command, w.id, id});
            break;
        case ControlKind::TextField:
        case ControlKind::PasswordField:
            if (code == EN_CHANGE && c->quiet == 0) push({EventKind::Changed, w.id, id});
            break;
        case ControlKind::ListBox:
            if (code == LBN_DBLCLK) push({EventKind::DoubleClick, w.id, id});
            break;
        case ControlKind::Link:
            if (code == STN_CLICKED) push({EventKind::Command, w.id, id});
            break;
        default: break;
    }
    return true;
}

bool onNotify(WWindow& w, LPARAM lp, LRESULT& result) {
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    WControl* c = controlOf(w, static_cast<int>(nm->idFrom));
    if (!c || c->hwnd != nm->hwndFrom) return false;
    result = 0;
    if (c->kind == ControlKind::ReportList && nm->code == NM_DBLCLK) {
        push({EventKind::DoubleClick, w.id, c->id});
    } else if (c->kind == ControlKind::ReportList && nm->code == NM_CUSTOMDRAW) {
        // Row colours: asked for each row, then the list draws it as usual.
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
            return true;
        }
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.dwItemSpec < c->rowColours.size())
            draw->clrText = c->rowColours[draw->nmcd.dwItemSpec];
        result = CDRF_DODEFAULT;
    } else if (c->kind == ControlKind::TabPanel && nm->code == TCN_SELCHANGE) {
        showPages(w, *c);
        push({EventKind::Command, w.id, c->id});
    }
    return true;
}

bool onColourStatic(WWindow& w, WPARAM wp, LPARAM lp, LRESULT& result) {
    WControl* c = controlOf(w, GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
    if (!c || (c->kind != ControlKind::Link && !c->hasTextColour)) return false;
    HDC dc = reinterpret_cast<HDC>(wp);
    SetTextColor(dc, c->hovering ? c->hoverColour : c->colour);
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

}  // namespace

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    auto* w = reinterpret_cast<WWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == runMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    }
    if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    switch (msg) {
        case wakeMessage: push({EventKind::Wake, w->id, -1}); return 0;
        case taskMessage: tPending.push_back(Pending{{}, w->id, w->serial}); return 0;
        case openedMessage: push({EventKind::Opened, w->id, -1}); return 0;
        case WM_CLOSE: push({EventKind::Close, w->id, -1}); return 0;
        case WM_ACTIVATE:
            if (onActivate(hwnd, *w, wp)) return 0;
            break;
        case WM_COMMAND:
            if (onCommand(*w, wp, lp)) return 0;
            break;
        case WM_NOTIFY:
            if (onNotify(*w, lp, result)) return result;
            break;
        case WM_CTLCOLORSTATIC:
            if (onColourStatic(*w, wp, lp, result)) return result;
            break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = windowProc;
        wc.hInstance = instance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        // The program's own icon (resource 1, see cmake/program_resources.cmake) in the title
        // bar and the task bar; the system's when a program carries none.
        wc.hIcon = LoadIconW(instance(), MAKEINTRESOURCEW(1));
        if (wc.hIcon == nullptr) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = windowClass;
        RegisterClassExW(&wc);
    });
}

bool isOurWindow(HWND h) {
    wchar_t name[32] = {};
    GetClassNameW(h, name, 32);
    return lstrcmpW(name, windowClass) == 0;
}

HMENU buildMenu(const MenuSpec& desc, WWindow& w) {
    HMENU bar = CreateMenu();
    for (const MenuTitle& t : desc.titles) {
        HMENU popup = CreatePopupMenu();
        for (const MenuEntry& e : t.entries) {
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(e.id), wide(e.text).c_str());
            w.menuIds.insert(e.id);
            if (e.icon) {
                if (HBITMAP b = premultipliedBitmap(*e.icon)) {
                    MENUITEMINFOW mii{};
                    mii.cbSize = sizeof(mii);
                    mii.fMask = MIIM_BITMAP;
                    mii.hbmpItem = b;
                    SetMenuItemInfoW(popup, static_cast<UINT>(e.id), FALSE, &mii);
                    w.menuBitmaps.push_back(b);
                }
            }
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), wide(t.title).c_str());
    }
    return bar;
}

}  // namespace velmo::ui::win32
