// The Win32 backend: real windows and common controls (version 6 through the manifest).
// The Ui operations, each run in the window's owner thread (win32_internal.h says how).
#include "ui/win32/win32_internal.h"

namespace velmo::ui {
namespace {

using namespace win32;

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
            // A new text puts the caret at its start; in the field being typed in, the
            // next keys must go after it (the installer rewrites its folder field while
            // the user types), so the caret goes to the end.
            const bool field = c.kind == ControlKind::TextField || c.kind == ControlKind::PasswordField;
            if (field && GetFocus() == c.hwnd) {
                const int end = GetWindowTextLengthW(c.hwnd);
                SendMessageW(c.hwnd, EM_SETSEL, end, end);
                SendMessageW(c.hwnd, EM_SCROLLCARET, 0, 0);
            }
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
        return showMessageBox(title, text, icon, buttons);
    }

private:
    LRESULT send(int windowId, int controlId, UINT msg, WPARAM wp, LPARAM lp, LRESULT fallback = 0) {
        return onControl(windowId, controlId, fallback,
                         [&](WWindow&, WControl& c) { return SendMessageW(c.hwnd, msg, wp, lp); });
    }
};

}  // namespace

std::unique_ptr<Ui> makeUi() { return std::make_unique<Win32Ui>(); }

}  // namespace velmo::ui
