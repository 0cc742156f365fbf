// The Win32 backend: real windows and common controls (version 6 through the manifest).
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
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "platform/text_codec.h"
#include "ui/ui.h"

namespace velmo::ui {
namespace {

constexpr UINT runMessage = WM_APP + 1;
constexpr UINT wakeMessage = WM_APP + 2;
constexpr UINT openedMessage = WM_APP + 3;
constexpr UINT taskMessage = WM_APP + 4;
constexpr wchar_t windowClass[] = L"VelmoWindow";

std::wstring wide(const std::string& s) { return text::cp1252ToWide(s); }

std::string narrow(const wchar_t* p, std::size_t n) { return text::wideToCp1252(std::wstring(p, n)); }

COLORREF toColorref(Colour c) { return RGB(c.r, c.g, c.b); }

// ---------------------------------------------------------------- fonts and pictures

HFONT fontFor(FontRole role, bool underline) {
    static std::mutex m;
    static HFONT fonts[4][2] = {};
    if (role == FontRole::None) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    std::lock_guard lock(m);
    HFONT& f = fonts[static_cast<int>(role)][underline ? 1 : 0];
    if (!f) {
        int points = role == FontRole::Text8 ? 8 : role == FontRole::Text9 ? 9 : 10;
        HDC dc = GetDC(nullptr);
        int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
        f = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        L"Trebuchet MS");
    }
    return f;
}

bool usable(const Image& img) {
    return img.width > 0 && img.height > 0 &&
           img.rgba.size() == static_cast<std::size_t>(img.width) * img.height * 4;
}

HBITMAP makeDib(int w, int h, std::uint8_t** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down rows, like Image
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<std::uint8_t*>(p);
    return bmp;
}

// 32-bit premultiplied BGRA: what menus and image lists blend with their background.
HBITMAP premultipliedBitmap(const Image& img) {
    if (!usable(img)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bmp = makeDib(img.width, img.height, &bits);
    if (!bmp) return nullptr;
    for (std::size_t i = 0; i < img.rgba.size(); i += 4) {
        unsigned a = img.rgba[i + 3];
        bits[i + 0] = static_cast<std::uint8_t>(img.rgba[i + 2] * a / 255);
        bits[i + 1] = static_cast<std::uint8_t>(img.rgba[i + 1] * a / 255);
        bits[i + 2] = static_cast<std::uint8_t>(img.rgba[i + 0] * a / 255);
        bits[i + 3] = static_cast<std::uint8_t>(a);
    }
    return bmp;
}

// Opaque, already blended over `background`: buttons and static pictures draw bitmaps
// without alpha on some systems, so the blending is done here once.
HBITMAP composedBitmap(const Image& img, COLORREF background) {
    if (!usable(img)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bmp = makeDib(img.width, img.height, &bits);
    if (!bmp) return nullptr;
    const unsigned br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    for (std::size_t i = 0; i < img.rgba.size(); i += 4) {
        unsigned a = img.rgba[i + 3];
        bits[i + 0] = static_cast<std::uint8_t>((img.rgba[i + 2] * a + bb * (255 - a)) / 255);
        bits[i + 1] = static_cast<std::uint8_t>((img.rgba[i + 1] * a + bg * (255 - a)) / 255);
        bits[i + 2] = static_cast<std::uint8_t>((img.rgba[i + 0] * a + br * (255 - a)) / 255);
        bits[i + 3] = 255;
    }
    return bmp;
}

// ---------------------------------------------------------------- registry

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
    std::map<int, std::unique_ptr<WControl>> controls;
    std::deque<std::function<void()>> tasks;  // posted, not yet run; under gMutex
};

std::mutex gMutex;
std::map<int, std::unique_ptr<WWindow>> gWindows;  // entries change under gMutex
std::uint64_t gNextSerial = 1;                     // under gMutex

// What the calling thread's waitEvent has to hand out: events, and markers of tasks
// posted to one of its windows (taskWindow >= 0), in arrival order.
struct Pending {
    Event event;
    int taskWindow = -1;
    std::uint64_t taskSerial = 0;
};
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

// Runs `task` in the thread that owns `hwnd`.
void runInOwner(HWND hwnd, const std::function<void()>& task) {
    if (!hwnd) return;
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        task();
        return;
    }
    SendMessageW(hwnd, runMessage, 0, reinterpret_cast<LPARAM>(&task));
}

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

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

void ensureTooltip(WWindow& w) {
    if (w.tooltip) return;
    w.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, w.hwnd, nullptr,
                                instance(), nullptr);
}

void setToolText(WWindow& w, WControl& c, const std::string& text) {
    ensureTooltip(w);
    if (!w.tooltip) return;
    std::wstring t = wide(text);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = w.hwnd;
    ti.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
    ti.lpszText = t.data();
    if (!c.hasTooltip) {
        c.hasTooltip = SendMessageW(w.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    } else {
        SendMessageW(w.tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

POINT pageOrigin(const WControl& panel) {
    RECT rc{0, 0, panel.width, panel.height};
    SendMessageW(panel.hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rc));
    return POINT{panel.x + rc.left, panel.y + rc.top};
}

void showPages(WWindow& w, const WControl& panel) {
    int current = static_cast<int>(SendMessageW(panel.hwnd, TCM_GETCURSEL, 0, 0));
    for (auto& [id, c] : w.controls) {
        if (c->panelId == panel.id) ShowWindow(c->hwnd, c->tabIndex == current ? SW_SHOW : SW_HIDE);
    }
}

// Tab panels stay below the controls of their pages.
void sinkPanels(WWindow& w) {
    for (auto& [id, c] : w.controls) {
        if (c->kind == ControlKind::TabPanel)
            SetWindowPos(c->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK linkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* c = reinterpret_cast<WControl*>(ref);
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!c->hovering) {
                c->hovering = true;
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&tme);
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            break;
        case WM_MOUSELEAVE:
            c->hovering = false;
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

bool buildControl(WWindow& w, const ControlSpec& s) {
    if (w.controls.count(s.id)) {
        OutputDebugStringW((L"velmo ui: control number given twice: " + std::to_wstring(s.id)).c_str());
        return false;
    }
    auto c = std::make_unique<WControl>();
    c->id = s.id;
    c->kind = s.kind;
    c->x = s.x;
    c->y = s.y;
    c->width = s.width;
    c->height = s.height;
    c->panelId = s.panelId;
    c->tabIndex = s.tabIndex;
    c->colour = toColorref(s.colour);
    c->hoverColour = toColorref(s.hoverColour);

    bool visible = true;
    if (s.panelId >= 0) {
        auto p = w.controls.find(s.panelId);
        if (p == w.controls.end() || p->second->kind != ControlKind::TabPanel) {
            OutputDebugStringW((L"velmo ui: no tab panel for control " + std::to_wstring(s.id)).c_str());
            return false;
        }
        POINT o = pageOrigin(*p->second);
        c->x += o.x;
        c->y += o.y;
        visible = static_cast<int>(SendMessageW(p->second->hwnd, TCM_GETCURSEL, 0, 0)) == s.tabIndex;
    }

    const wchar_t* cls = L"STATIC";
    DWORD style = 0, ex = 0;
    DWORD align = s.align == TextAlign::Centre ? 1 : s.align == TextAlign::Right ? 2 : 0;
    switch (s.kind) {
        case ControlKind::Label:
            style = (align == 1 ? SS_CENTER : align == 2 ? SS_RIGHT : SS_LEFT) | SS_NOPREFIX;
            break;
        case ControlKind::Link:
            style = (align == 1 ? SS_CENTER : align == 2 ? SS_RIGHT : SS_LEFT) | SS_NOPREFIX | SS_NOTIFY;
            break;
        case ControlKind::GroupBox: cls = L"BUTTON"; style = BS_GROUPBOX; break;
        case ControlKind::TextField:
        case ControlKind::PasswordField:
            cls = L"EDIT";
            ex = WS_EX_CLIENTEDGE;
            style = ES_AUTOHSCROLL | WS_TABSTOP | (align == 1 ? ES_CENTER : align == 2 ? ES_RIGHT : ES_LEFT);
            if (s.masked || s.kind == ControlKind::PasswordField) style |= ES_PASSWORD;
            if (s.digitsOnly) style |= ES_NUMBER;
            break;
        case ControlKind::CheckBox: cls = L"BUTTON"; style = BS_AUTOCHECKBOX | WS_TABSTOP; break;
        case ControlKind::Button: cls = L"BUTTON"; style = BS_PUSHBUTTON | WS_TABSTOP; break;
        case ControlKind::PictureButton: cls = L"BUTTON"; style = BS_PUSHBUTTON | BS_BITMAP | WS_TABSTOP; break;
        case ControlKind::ToggleButton:
            cls = L"BUTTON";
            style = BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP | WS_TABSTOP;
            break;
        case ControlKind::ListBox:
            cls = L"LISTBOX";
            ex = WS_EX_CLIENTEDGE;
            style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
            break;
        case ControlKind::ReportList:
            cls = WC_LISTVIEWW;
            ex = WS_EX_CLIENTEDGE;
            style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP;
            break;
        case ControlKind::TabPanel: cls = WC_TABCONTROLW; style = WS_CLIPSIBLINGS | WS_TABSTOP; break;
        case ControlKind::ProgressBar: cls = PROGRESS_CLASSW; style = s.smooth ? PBS_SMOOTH : 0; break;
        case ControlKind::MultiLineText:
            cls = L"EDIT";
            ex = WS_EX_CLIENTEDGE;
            style = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
            break;
        case ControlKind::Picture: style = SS_BITMAP | SS_CENTERIMAGE; break;
    }
    style |= WS_CHILD;
    if (visible) style |= WS_VISIBLE;
    if (!s.initiallyEnabled) style |= WS_DISABLED;
    const bool hasText = s.kind != ControlKind::Picture && s.kind != ControlKind::PictureButton &&
                         s.kind != ControlKind::ToggleButton;
    std::wstring text = hasText ? wide(s.text) : std::wstring();
    c->hwnd = CreateWindowExW(ex, cls, text.c_str(), style, c->x, c->y, c->width, c->height, w.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), instance(), nullptr);
    if (!c->hwnd) {
        OutputDebugStringW((L"velmo ui: control not created: " + std::to_wstring(s.id)).c_str());
        return false;
    }
    SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(s.font, s.kind == ControlKind::Link)), FALSE);

    switch (s.kind) {
        case ControlKind::CheckBox:
            if (s.initiallyChecked) SendMessageW(c->hwnd, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case ControlKind::PictureButton:
        case ControlKind::ToggleButton:
            if (s.image) {
                c->bitmap = composedBitmap(*s.image, GetSysColor(COLOR_BTNFACE));
                SendMessageW(c->hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c->bitmap));
            }
            if (s.kind == ControlKind::ToggleButton && s.initiallyChecked)
                SendMessageW(c->hwnd, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case ControlKind::Picture:
            if (s.image) {
                c->bitmap = composedBitmap(*s.image, GetSysColor(COLOR_BTNFACE));
                SendMessageW(c->hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c->bitmap));
            }
            break;
        case ControlKind::ProgressBar:
            SendMessageW(c->hwnd, PBM_SETRANGE32, s.rangeMin, s.rangeMax);
            SendMessageW(c->hwnd, PBM_SETPOS, s.rangeMin, 0);
            break;
        case ControlKind::ReportList: {
            DWORD lvex = LVS_EX_FULLROWSELECT | (s.rowCheckBoxes ? LVS_EX_CHECKBOXES : 0);
            SendMessageW(c->hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, lvex, lvex);
            for (std::size_t i = 0; i < s.columns.size(); ++i) {
                std::wstring title = wide(s.columns[i].title);
                LVCOLUMNW col{};
                col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
                col.cx = s.columns[i].width;
                col.pszText = title.data();
                col.iSubItem = static_cast<int>(i);
                SendMessageW(c->hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
            }
            if (!s.rowImages.empty() && s.rowImages[0]) {
                const Image& first = *s.rowImages[0];
                c->images = ImageList_Create(first.width, first.height, ILC_COLOR32,
                                             static_cast<int>(s.rowImages.size()), 0);
                for (const Image* img : s.rowImages) {
                    HBITMAP b = img ? premultipliedBitmap(*img) : nullptr;
                    ImageList_Add(c->images, b, nullptr);
                    if (b) DeleteObject(b);
                }
                SendMessageW(c->hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(c->images));
                c->hasRowImages = true;
            }
            break;
        }
        case ControlKind::TabPanel:
            for (std::size_t i = 0; i < s.tabs.size(); ++i) {
                std::wstring title = wide(s.tabs[i]);
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = title.data();
                SendMessageW(c->hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
            }
            break;
        case ControlKind::Link:
            SetWindowSubclass(c->hwnd, linkProc, 1, reinterpret_cast<DWORD_PTR>(c.get()));
            break;
        default: break;
    }
    WControl& placed = *c;
    w.controls[s.id] = std::move(c);
    if (!s.tooltip.empty()) setToolText(w, placed, s.tooltip);
    return true;
}

void releaseControl(WWindow& w, WControl& c) {
    if (c.hasTooltip && w.tooltip) {
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = w.hwnd;
        ti.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
        SendMessageW(w.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    if (c.kind == ControlKind::Link) RemoveWindowSubclass(c.hwnd, linkProc, 1);
    DestroyWindow(c.hwnd);
    if (c.bitmap) DeleteObject(c.bitmap);
    if (c.images) ImageList_Destroy(c.images);
}

void push(const Event& e) { tPending.push_back(Pending{e, -1, 0}); }

// The oldest task of the window, when that window is still the one it was posted to.
std::function<void()> takeTask(int windowId, std::uint64_t serial) {
    std::lock_guard lock(gMutex);
    auto it = gWindows.find(windowId);
    if (it == gWindows.end() || it->second->serial != serial || it->second->tasks.empty()) return {};
    std::function<void()> task = std::move(it->second->tasks.front());
    it->second->tasks.pop_front();
    return task;
}

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
    auto controlOf = [&](int id) -> WControl* {
        auto it = w->controls.find(id);
        return it == w->controls.end() ? nullptr : it->second.get();
    };
    switch (msg) {
        case wakeMessage: push({EventKind::Wake, w->id, -1}); return 0;
        case taskMessage: tPending.push_back(Pending{{}, w->id, w->serial}); return 0;
        case openedMessage: push({EventKind::Opened, w->id, -1}); return 0;
        case WM_CLOSE: push({EventKind::Close, w->id, -1}); return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wp), code = HIWORD(wp);
            if (lp == 0) {
                if (code == 0 && w->menuIds.count(id)) push({EventKind::Menu, w->id, id});
                return 0;
            }
            WControl* c = controlOf(id);
            if (!c) break;
            switch (c->kind) {
                case ControlKind::Button:
                case ControlKind::PictureButton:
                case ControlKind::ToggleButton:
                case ControlKind::CheckBox:
                    if (code == BN_CLICKED) push({EventKind::Command, w->id, id});
                    break;
                case ControlKind::TextField:
                case ControlKind::PasswordField:
                    if (code == EN_CHANGE && c->quiet == 0) push({EventKind::Changed, w->id, id});
                    break;
                case ControlKind::ListBox:
                    if (code == LBN_DBLCLK) push({EventKind::DoubleClick, w->id, id});
                    break;
                case ControlKind::Link:
                    if (code == STN_CLICKED) push({EventKind::Command, w->id, id});
                    break;
                default: break;
            }
            return 0;
        }
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            WControl* c = controlOf(static_cast<int>(nm->idFrom));
            if (!c || c->hwnd != nm->hwndFrom) break;
            if (c->kind == ControlKind::ReportList && nm->code == NM_DBLCLK) {
                push({EventKind::DoubleClick, w->id, c->id});
            } else if (c->kind == ControlKind::ReportList && nm->code == NM_CUSTOMDRAW) {
                // Row colours: asked for each row, then the list draws it as usual.
                auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
                if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
                if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.dwItemSpec < c->rowColours.size())
                    draw->clrText = c->rowColours[draw->nmcd.dwItemSpec];
                return CDRF_DODEFAULT;
            } else if (c->kind == ControlKind::TabPanel && nm->code == TCN_SELCHANGE) {
                showPages(*w, *c);
                push({EventKind::Command, w->id, c->id});
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            WControl* c = controlOf(GetDlgCtrlID(reinterpret_cast<HWND>(lp)));
            if (c && (c->kind == ControlKind::Link || c->hasTextColour)) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetTextColor(dc, c->hovering ? c->hoverColour : c->colour);
                SetBkMode(dc, TRANSPARENT);
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        }
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
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
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

struct DisableContext {
    HWND owner;
    std::vector<HWND> disabled;
};

BOOL CALLBACK disableThreadWindow(HWND h, LPARAM lp) {
    auto* ctx = reinterpret_cast<DisableContext*>(lp);
    if (h != ctx->owner && IsWindowVisible(h) && IsWindowEnabled(h) && isOurWindow(h)) {
        EnableWindow(h, FALSE);
        ctx->disabled.push_back(h);
    }
    return TRUE;
}

// ---------------------------------------------------------------- the backend

class Win32Ui final : public Ui {
public:
    Win32Ui() { initialiseOnce(); }

    bool createWindow(const WindowSpec& desc, const std::vector<ControlSpec>& controls,
                      const MenuSpec* menu) override {
        WWindow* w;
        {
            std::lock_guard lock(gMutex);
            if (gWindows.count(desc.id)) return false;
            auto fresh = std::make_unique<WWindow>();
            fresh->id = desc.id;
            fresh->serial = gNextSerial++;
            w = fresh.get();
            gWindows[desc.id] = std::move(fresh);  // reserved; hwnd set below
        }
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        if (desc.minimizeBox) style |= WS_MINIMIZEBOX;
        if (desc.resizable) style |= WS_THICKFRAME;
        DWORD ex = desc.topmost ? WS_EX_TOPMOST : 0;
        if (menu) w->menu = buildMenu(*menu, *w);
        RECT rc{0, 0, desc.clientWidth, desc.clientHeight};
        AdjustWindowRectEx(&rc, style, w->menu != nullptr, ex);
        const int outerW = rc.right - rc.left, outerH = rc.bottom - rc.top;
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const int x = work.left + ((work.right - work.left) - outerW) / 2;
        const int y = work.top + ((work.bottom - work.top) - outerH) / 2;
        HWND h = CreateWindowExW(ex, windowClass, wide(desc.title).c_str(), style, x, y, outerW, outerH, nullptr,
                                 w->menu, instance(), w);
        if (!h) {
            OutputDebugStringW((L"velmo ui: window not created, error " + std::to_wstring(GetLastError())).c_str());
            if (w->menu) DestroyMenu(w->menu);
            for (HBITMAP b : w->menuBitmaps) DeleteObject(b);
            std::lock_guard lock(gMutex);
            gWindows.erase(desc.id);
            return false;
        }
        {
            // Other threads' requests reach the window only once this thread pumps
            // messages again, so they never see it half built.
            std::lock_guard lock(gMutex);
            w->hwnd = h;
        }
        bool ok = true;
        for (const ControlSpec& c : controls) ok = buildControl(*w, c) && ok;
        sinkPanels(*w);
        ShowWindow(h, SW_SHOW);
        UpdateWindow(h);
        PostMessageW(h, openedMessage, 0, 0);
        return ok;
    }

    void destroyWindow(int windowId) override {
        onWindow(windowId, false, [&](WWindow& w) {
            for (auto& [id, c] : w.controls) releaseControl(w, *c);
            w.controls.clear();
            if (w.tooltip) DestroyWindow(w.tooltip);
            DestroyWindow(w.hwnd);  // destroys the menu too
            for (HBITMAP b : w.menuBitmaps) DeleteObject(b);
            // Tasks still waiting are dropped, destroyed once the lock is released (what
            // they hold may call back into the UI when it goes).
            std::deque<std::function<void()>> dropped;
            std::lock_guard lock(gMutex);
            dropped.swap(w.tasks);
            gWindows.erase(windowId);  // `w` is gone from here on
            return true;
        });
    }

    bool windowExists(int windowId) override { return hwndOf(windowId) != nullptr; }

    void setWindowEnabled(int windowId, bool enabled) override {
        onWindow(windowId, false, [&](WWindow& w) { return EnableWindow(w.hwnd, enabled) != 0; });
    }

    bool isWindowEnabled(int windowId) override {
        return onWindow(windowId, false, [&](WWindow& w) { return IsWindowEnabled(w.hwnd) != 0; });
    }

    void setWindowTitle(int windowId, const std::string& title) override {
        onWindow(windowId, false, [&](WWindow& w) { return SetWindowTextW(w.hwnd, wide(title).c_str()) != 0; });
    }

    void setTopmost(int windowId, bool topmost) override {
        onWindow(windowId, false, [&](WWindow& w) {
            return SetWindowPos(w.hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE) != 0;
        });
    }

    void bringToFront(int windowId) override {
        onWindow(windowId, false, [&](WWindow& w) {
            BringWindowToTop(w.hwnd);
            return SetForegroundWindow(w.hwnd) != 0;
        });
    }

    bool addControl(int windowId, const ControlSpec& control) override {
        return onWindow(windowId, false, [&](WWindow& w) {
            bool ok = buildControl(w, control);
            if (ok && control.panelId >= 0) sinkPanels(w);
            return ok;
        });
    }

    void removeControl(int windowId, int controlId) override {
        onControl(windowId, controlId, false, [&](WWindow& w, WControl& c) {
            releaseControl(w, c);
            w.controls.erase(controlId);
            return true;
        });
    }

    bool controlExists(int windowId, int controlId) override {
        return onControl(windowId, controlId, false, [](WWindow&, WControl&) { return true; });
    }

    void setText(int windowId, int controlId, const std::string& text) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            ++c.quiet;
            BOOL ok = SetWindowTextW(c.hwnd, wide(text).c_str());
            --c.quiet;
            if (c.kind == ControlKind::Link) InvalidateRect(c.hwnd, nullptr, TRUE);
            return ok != 0;
        });
    }

    std::string getText(int windowId, int controlId) override {
        return onControl(windowId, controlId, std::string(), [&](WWindow&, WControl& c) {
            int n = GetWindowTextLengthW(c.hwnd);
            std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
            int got = GetWindowTextW(c.hwnd, buf.data(), n + 1);
            return narrow(buf.data(), static_cast<std::size_t>(got));
        });
    }

    void setChecked(int windowId, int controlId, bool checked) override {
        send(windowId, controlId, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool isChecked(int windowId, int controlId) override {
        return send(windowId, controlId, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void setPressed(int windowId, int controlId, bool pressed) override { setChecked(windowId, controlId, pressed); }
    bool isPressed(int windowId, int controlId) override { return isChecked(windowId, controlId); }

    void setEnabled(int windowId, int controlId, bool enabled) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) { return EnableWindow(c.hwnd, enabled) != 0; });
    }
    bool isEnabled(int windowId, int controlId) override {
        return onControl(windowId, controlId, false, [&](WWindow&, WControl& c) { return IsWindowEnabled(c.hwnd) != 0; });
    }

    void setFocus(int windowId, int controlId) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) { return SetFocus(c.hwnd) != nullptr; });
    }

    void setTooltip(int windowId, int controlId, const std::string& text) override {
        onControl(windowId, controlId, false, [&](WWindow& w, WControl& c) {
            setToolText(w, c, text);
            return true;
        });
    }

    void setProgressRange(int windowId, int controlId, int min, int max) override {
        send(windowId, controlId, PBM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
    }
    void setProgress(int windowId, int controlId, int value) override {
        send(windowId, controlId, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    }
    int getProgress(int windowId, int controlId) override {
        return static_cast<int>(send(windowId, controlId, PBM_GETPOS, 0, 0));
    }

    void setTextColour(int windowId, int controlId, Colour colour) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            if (c.kind != ControlKind::Label) return false;
            c.colour = toColorref(colour);
            c.hasTextColour = true;
            return InvalidateRect(c.hwnd, nullptr, TRUE) != 0;
        });
    }

    int addLine(int windowId, int controlId, const std::string& text) override {
        std::wstring t = wide(text);
        LRESULT r = send(windowId, controlId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()), LB_ERR);
        return r < 0 ? -1 : static_cast<int>(r);
    }

    void setLine(int windowId, int controlId, int index, const std::string& text) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            int count = static_cast<int>(SendMessageW(c.hwnd, LB_GETCOUNT, 0, 0));
            if (index < 0 || index >= count) return false;
            int selected = static_cast<int>(SendMessageW(c.hwnd, LB_GETCURSEL, 0, 0));
            std::wstring t = wide(text);
            SendMessageW(c.hwnd, LB_DELETESTRING, index, 0);
            SendMessageW(c.hwnd, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(t.c_str()));
            if (selected == index) SendMessageW(c.hwnd, LB_SETCURSEL, index, 0);
            return true;
        });
    }

    std::string getLine(int windowId, int controlId, int index) override {
        return onControl(windowId, controlId, std::string(), [&](WWindow&, WControl& c) {
            LRESULT n = SendMessageW(c.hwnd, LB_GETTEXTLEN, index, 0);
            if (n == LB_ERR) return std::string();
            std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
            LRESULT got = SendMessageW(c.hwnd, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buf.data()));
            return got == LB_ERR ? std::string() : narrow(buf.data(), static_cast<std::size_t>(got));
        });
    }

    int lineCount(int windowId, int controlId) override {
        return static_cast<int>(send(windowId, controlId, LB_GETCOUNT, 0, 0));
    }
    void clearLines(int windowId, int controlId) override { send(windowId, controlId, LB_RESETCONTENT, 0, 0); }
    void selectLine(int windowId, int controlId, int index) override {
        send(windowId, controlId, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    int selectedLine(int windowId, int controlId) override {
        LRESULT r = send(windowId, controlId, LB_GETCURSEL, 0, 0, LB_ERR);
        return r < 0 ? -1 : static_cast<int>(r);
    }

    int addRow(int windowId, int controlId, const std::vector<std::string>& cells, int image) override {
        return onControl(windowId, controlId, -1, [&](WWindow&, WControl& c) {
            std::wstring first = cells.empty() ? std::wstring() : wide(cells[0]);
            LVITEMW item{};
            item.mask = LVIF_TEXT | (c.hasRowImages ? LVIF_IMAGE : 0);
            item.iItem = static_cast<int>(SendMessageW(c.hwnd, LVM_GETITEMCOUNT, 0, 0));
            item.pszText = first.data();
            item.iImage = image >= 0 ? image : I_IMAGENONE;
            int row = static_cast<int>(SendMessageW(c.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            if (row < 0) return -1;
            for (std::size_t i = 1; i < cells.size(); ++i) setCellText(c, row, static_cast<int>(i), cells[i]);
            return row;
        });
    }

    void setCell(int windowId, int controlId, int row, int column, const std::string& text) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            setCellText(c, row, column, text);
            return true;
        });
    }

    std::string getCell(int windowId, int controlId, int row, int column) override {
        return onControl(windowId, controlId, std::string(), [&](WWindow&, WControl& c) {
            std::wstring buf(1024, L'\0');
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = buf.data();
            item.cchTextMax = static_cast<int>(buf.size());
            LRESULT n = SendMessageW(c.hwnd, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            return narrow(buf.data(), static_cast<std::size_t>(n));
        });
    }

    int rowCount(int windowId, int controlId) override {
        return static_cast<int>(send(windowId, controlId, LVM_GETITEMCOUNT, 0, 0));
    }
    void clearRows(int windowId, int controlId) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            c.rowColours.clear();
            return SendMessageW(c.hwnd, LVM_DELETEALLITEMS, 0, 0) != 0;
        });
    }

    void setRowChecked(int windowId, int controlId, int row, bool checked) override {
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        send(windowId, controlId, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    bool isRowChecked(int windowId, int controlId, int row) override {
        LRESULT s = send(windowId, controlId, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
        return ((s & LVIS_STATEIMAGEMASK) >> 12) == 2;
    }

    void selectRow(int windowId, int controlId, int row) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            LVITEMW clear{};
            clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(c.hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
            if (row < 0) return true;
            LVITEMW set{};
            set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            set.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(c.hwnd, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&set));
            SendMessageW(c.hwnd, LVM_ENSUREVISIBLE, row, FALSE);
            return true;
        });
    }
    void setRowColour(int windowId, int controlId, int row, Colour colour) override {
        onControl(windowId, controlId, false, [&](WWindow&, WControl& c) {
            if (row < 0 || row >= static_cast<int>(SendMessageW(c.hwnd, LVM_GETITEMCOUNT, 0, 0))) return false;
            if (c.rowColours.size() <= static_cast<std::size_t>(row)) c.rowColours.resize(row + 1, RGB(0, 0, 0));
            c.rowColours[row] = toColorref(colour);
            return SendMessageW(c.hwnd, LVM_REDRAWITEMS, row, row) != 0;
        });
    }
    int selectedRow(int windowId, int controlId) override {
        return static_cast<int>(send(windowId, controlId, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, -1));
    }

    void selectTab(int windowId, int controlId, int tab) override {
        onControl(windowId, controlId, false, [&](WWindow& w, WControl& c) {
            SendMessageW(c.hwnd, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
            showPages(w, c);
            return true;
        });
    }
    int selectedTab(int windowId, int controlId) override {
        return static_cast<int>(send(windowId, controlId, TCM_GETCURSEL, 0, 0, -1));
    }

    Event waitEvent() override {
        for (;;) {
            if (!tPending.empty()) {
                const Pending next = tPending.front();
                tPending.pop_front();
                if (next.taskWindow < 0) return next.event;
                // The task may run a loop of its own, which takes from tPending too.
                if (std::function<void()> task = takeTask(next.taskWindow, next.taskSerial)) task();
                continue;
            }
            MSG msg;
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return Event{EventKind::Quit, -1, -1};
            // Only the Tab key goes through the dialog manager (moving between fields):
            // it would turn Enter and Escape into commands 1 and 2, which are menu entries.
            if ((msg.message == WM_KEYDOWN || msg.message == WM_CHAR) && msg.wParam == VK_TAB && msg.hwnd) {
                HWND root = GetAncestor(msg.hwnd, GA_ROOT);
                if (root && isOurWindow(root) && IsDialogMessageW(root, &msg)) continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    void postQuit() override { push({EventKind::Quit, -1, -1}); }

    void wake(int windowId) override {
        if (HWND h = hwndOf(windowId)) PostMessageW(h, wakeMessage, 0, 0);
    }

    bool post(int windowId, std::function<void()> task) override {
        std::function<void()> dropped;  // destroyed after the lock is released
        std::lock_guard lock(gMutex);
        auto it = gWindows.find(windowId);
        // A window still being built (no handle yet) does not exist for other threads.
        if (it == gWindows.end() || !it->second->hwnd || !task) {
            dropped = std::move(task);
            return false;
        }
        WWindow& w = *it->second;
        w.tasks.push_back(std::move(task));
        // Posting only queues the message: it never waits for the owner thread.
        if (PostMessageW(w.hwnd, taskMessage, 0, 0)) return true;
        dropped = std::move(w.tasks.back());  // the thread's queue is full
        w.tasks.pop_back();
        return false;
    }

    MessageBoxResult messageBox(const std::string& title, const std::string& text, MessageIcon icon,
                                MessageButtons buttons) override {
        HWND owner = GetForegroundWindow();
        DWORD pid = 0;
        if (owner) GetWindowThreadProcessId(owner, &pid);
        if (pid != GetCurrentProcessId()) owner = nullptr;
        if (owner) owner = GetAncestor(owner, GA_ROOT);
        DisableContext ctx{owner, {}};
        EnumThreadWindows(GetCurrentThreadId(), disableThreadWindow, reinterpret_cast<LPARAM>(&ctx));
        UINT flags = buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK;
        switch (icon) {
            case MessageIcon::Information: flags |= MB_ICONINFORMATION; break;
            case MessageIcon::Warning: flags |= MB_ICONWARNING; break;
            case MessageIcon::Error: flags |= MB_ICONERROR; break;
            case MessageIcon::None: break;
        }
        if (!owner) flags |= MB_TASKMODAL;
        int r = MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), flags | MB_SETFOREGROUND);
        for (HWND h : ctx.disabled) {
            if (IsWindow(h)) EnableWindow(h, TRUE);
        }
        if (r == IDYES) return MessageBoxResult::Yes;
        if (r == IDNO) return MessageBoxResult::No;
        return MessageBoxResult::Ok;
    }

private:
    LRESULT send(int windowId, int controlId, UINT msg, WPARAM wp, LPARAM lp, LRESULT fallback = 0) {
        return onControl(windowId, controlId, fallback,
                         [&](WWindow&, WControl& c) { return SendMessageW(c.hwnd, msg, wp, lp); });
    }

    static void setCellText(WControl& c, int row, int column, const std::string& text) {
        std::wstring t = wide(text);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = t.data();
        SendMessageW(c.hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
};

}  // namespace

std::unique_ptr<Ui> makeUi() { return std::make_unique<Win32Ui>(); }

}  // namespace velmo::ui
