// Building and releasing the Win32 controls of a window's table: the window classes and
// styles of each kind, tooltips, tab pages, link labels and report-list cells.
#include "ui/win32/win32_internal.h"

namespace velmo::ui::win32 {

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

namespace {

struct WindowClassAndStyle {
    const wchar_t* cls = L"STATIC";
    DWORD style = 0;
    DWORD ex = 0;
};

// The Win32 class and styles that make a control of the table's kind look and act as
// the table says (before WS_CHILD, visibility and enabling, which every kind shares).
WindowClassAndStyle classAndStyleOf(const ControlSpec& s) {
    const DWORD staticAlign = s.align == TextAlign::Centre ? SS_CENTER : s.align == TextAlign::Right ? SS_RIGHT : SS_LEFT;
    const DWORD editAlign = s.align == TextAlign::Centre ? ES_CENTER : s.align == TextAlign::Right ? ES_RIGHT : ES_LEFT;
    WindowClassAndStyle out;
    switch (s.kind) {
        case ControlKind::Label: out.style = staticAlign | SS_NOPREFIX; break;
        case ControlKind::Link: out.style = staticAlign | SS_NOPREFIX | SS_NOTIFY; break;
        case ControlKind::GroupBox: out = {L"BUTTON", BS_GROUPBOX, 0}; break;
        case ControlKind::TextField:
        case ControlKind::PasswordField:
            out = {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | editAlign, WS_EX_CLIENTEDGE};
            if (s.masked || s.kind == ControlKind::PasswordField) out.style |= ES_PASSWORD;
            if (s.digitsOnly) out.style |= ES_NUMBER;
            break;
        case ControlKind::CheckBox: out = {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0}; break;
        case ControlKind::Button: out = {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0}; break;
        case ControlKind::PictureButton: out = {L"BUTTON", BS_PUSHBUTTON | BS_BITMAP | WS_TABSTOP, 0}; break;
        case ControlKind::ToggleButton:
            out = {L"BUTTON", BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_BITMAP | WS_TABSTOP, 0};
            break;
        case ControlKind::ListBox:
            out = {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
            break;
        case ControlKind::ReportList:
            out = {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE};
            break;
        case ControlKind::TabPanel: out = {WC_TABCONTROLW, WS_CLIPSIBLINGS | WS_TABSTOP, 0}; break;
        case ControlKind::ProgressBar: out = {PROGRESS_CLASSW, static_cast<DWORD>(s.smooth ? PBS_SMOOTH : 0), 0}; break;
        case ControlKind::MultiLineText:
            out = {L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE};
            break;
        case ControlKind::Picture: out.style = SS_BITMAP | SS_CENTERIMAGE; break;
    }
    return out;
}

// A control on a tab page is placed from the page's origin and shown only while its page
// is the current one. False when the table names no tab panel for it.
bool placeOnPage(WWindow& w, const ControlSpec& s, WControl& c, bool& visible) {
    visible = true;
    if (s.panelId < 0) return true;
    auto p = w.controls.find(s.panelId);
    if (p == w.controls.end() || p->second->kind != ControlKind::TabPanel) {
        OutputDebugStringW((L"velmo ui: no tab panel for control " + std::to_wstring(s.id)).c_str());
        return false;
    }
    POINT o = pageOrigin(*p->second);
    c.x += o.x;
    c.y += o.y;
    visible = static_cast<int>(SendMessageW(p->second->hwnd, TCM_GETCURSEL, 0, 0)) == s.tabIndex;
    return true;
}

void fillReportList(const ControlSpec& s, WControl& c) {
    DWORD lvex = LVS_EX_FULLROWSELECT | (s.rowCheckBoxes ? LVS_EX_CHECKBOXES : 0);
    SendMessageW(c.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, lvex, lvex);
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        std::wstring title = wide(s.columns[i].title);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.cx = s.columns[i].width;
        col.pszText = title.data();
        col.iSubItem = static_cast<int>(i);
        SendMessageW(c.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    if (s.rowImages.empty() || !s.rowImages[0]) return;
    const Image& first = *s.rowImages[0];
    c.images = ImageList_Create(first.width, first.height, ILC_COLOR32, static_cast<int>(s.rowImages.size()), 0);
    for (const Image* img : s.rowImages) {
        HBITMAP b = img ? premultipliedBitmap(*img) : nullptr;
        ImageList_Add(c.images, b, nullptr);
        if (b) DeleteObject(b);
    }
    SendMessageW(c.hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(c.images));
    c.hasRowImages = true;
}

// What the table gives a control beyond its text once it exists: check state, pictures,
// progress range, report columns, tab titles, the link's hover behaviour.
void fillCreatedControl(const ControlSpec& s, WControl& c) {
    switch (s.kind) {
        case ControlKind::CheckBox:
            if (s.initiallyChecked) SendMessageW(c.hwnd, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case ControlKind::PictureButton:
        case ControlKind::ToggleButton:
            if (s.image) {
                c.bitmap = composedBitmap(*s.image, GetSysColor(COLOR_BTNFACE));
                SendMessageW(c.hwnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c.bitmap));
            }
            if (s.kind == ControlKind::ToggleButton && s.initiallyChecked)
                SendMessageW(c.hwnd, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case ControlKind::Picture:
            if (s.image) {
                c.bitmap = composedBitmap(*s.image, GetSysColor(COLOR_BTNFACE));
                SendMessageW(c.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c.bitmap));
            }
            break;
        case ControlKind::ProgressBar:
            SendMessageW(c.hwnd, PBM_SETRANGE32, s.rangeMin, s.rangeMax);
            SendMessageW(c.hwnd, PBM_SETPOS, s.rangeMin, 0);
            break;
        case ControlKind::ReportList: fillReportList(s, c); break;
        case ControlKind::TabPanel:
            for (std::size_t i = 0; i < s.tabs.size(); ++i) {
                std::wstring title = wide(s.tabs[i]);
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = title.data();
                SendMessageW(c.hwnd, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
            }
            break;
        case ControlKind::Link:
            SetWindowSubclass(c.hwnd, linkProc, 1, reinterpret_cast<DWORD_PTR>(&c));
            break;
        default: break;
    }
}

}  // namespace

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
    if (!placeOnPage(w, s, *c, visible)) return false;
    WindowClassAndStyle kind = classAndStyleOf(s);
    DWORD style = kind.style | WS_CHILD;
    if (visible) style |= WS_VISIBLE;
    if (!s.initiallyEnabled) style |= WS_DISABLED;
    const bool hasText = s.kind != ControlKind::Picture && s.kind != ControlKind::PictureButton &&
                         s.kind != ControlKind::ToggleButton;
    std::wstring text = hasText ? wide(s.text) : std::wstring();
    c->hwnd = CreateWindowExW(kind.ex, kind.cls, text.c_str(), style, c->x, c->y, c->width, c->height, w.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)), instance(), nullptr);
    if (!c->hwnd) {
        OutputDebugStringW((L"velmo ui: control not created: " + std::to_wstring(s.id)).c_str());
        return false;
    }
    SendMessageW(c->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(s.font, s.kind == ControlKind::Link)), FALSE);
    fillCreatedControl(s, *c);
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

void setCellText(WControl& c, int row, int column, const std::string& text) {
    std::wstring t = wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = t.data();
    SendMessageW(c.hwnd, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace velmo::ui::win32
