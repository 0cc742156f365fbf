// velmo_ui_post_check: the Win32 back end's posted tasks in a real Win32 message loop
// (run under Wine by test_ui_post.py). Prints one line per failed check and ends with the
// number of failures as its exit code.
//
// Workers post to the main window while its thread sits in a message box: posting must
// return at once and nothing may run inside the box; then every task runs in the window's
// thread, in each poster's order. A task posted to a window that is destroyed before the
// loop waits again never runs, not even on a new window of the same number.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui/ui.h"

namespace {

using namespace velmo::ui;

int failures = 0;

void check(bool ok, const std::string& what) {
    if (ok) return;
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
    std::fflush(stdout);
}

struct BoxSearch {
    HWND box = nullptr;
};

BOOL CALLBACK findBox(HWND h, LPARAM param) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (!IsWindowVisible(h) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
    reinterpret_cast<BoxSearch*>(param)->box = h;
    return FALSE;
}

// The message box `thread` shows, once it is up (pacing only; null after 20 s).
HWND waitForBox(DWORD thread) {
    for (int i = 0; i < 2000; ++i) {
        BoxSearch search;
        EnumThreadWindows(thread, findBox, reinterpret_cast<LPARAM>(&search));
        if (search.box) return search.box;
        Sleep(10);
    }
    return nullptr;
}

// A message-only window of the main thread: a message posted to it after the tasks comes
// out of the thread's queue after theirs, so once it has been handled inside the box, the
// box's loop has seen every task's message.
constexpr UINT drainedMessage = WM_APP + 9;
std::atomic<bool> drained{false};

LRESULT CALLBACK probeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == drainedMessage) {
        drained = true;
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

HWND makeProbe() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelmoPostProbe";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

struct Ran {
    int poster, seq;
    DWORD thread;
};

}  // namespace

int main() {
    auto ui = makeUi();
    const DWORD loopThread = GetCurrentThreadId();
    const HWND probe = makeProbe();
    check(probe != nullptr, "probe window");
    check(ui->createWindow({0, "Velmo post check", 300, 100}, {{42, ControlKind::Button, 10, 10, 100, 24, "Valider"}}),
          "window 0 built");
    check(!ui->post(12, [] {}), "a post to a missing window is refused");

    std::vector<Ran> ran;  // this thread only
    std::atomic<int> ranCount{0};
    check(ui->post(0, [&] {
        ran.push_back({-1, 0, GetCurrentThreadId()});
        ++ranCount;
    }), "post from the window's own thread");
    check(ranCount == 0, "a post from the window's own thread does not run at once");

    // While this thread shows a box, three workers post; then the box is answered.
    constexpr int posters = 3, perPoster = 200;
    std::atomic<int> posted{0};
    std::thread helper([&] {
        HWND box = waitForBox(loopThread);
        check(box != nullptr, "the message box appeared");
        std::vector<std::thread> workers;
        for (int p = 0; p < posters; ++p) {
            workers.emplace_back([&, p] {
                for (int i = 0; i < perPoster; ++i) {
                    ui->post(0, [&, p, i] {
                        ran.push_back({p, i, GetCurrentThreadId()});
                        ++ranCount;
                    });
                    ++posted;
                }
            });
        }
        for (std::thread& w : workers) w.join();
        check(posted == posters * perPoster, "every post returned while the box was up");
        PostMessageW(probe, drainedMessage, 0, 0);
        for (int i = 0; i < 2000 && !drained; ++i) Sleep(10);
        check(drained, "the box's loop handled the messages posted to its thread");
        check(ranCount == 0, "no task ran inside the message box");
        if (box) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    });
    ui->messageBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageIcon::Information);
    helper.join();

    // Window 56 goes before the loop waits again; a new window 56 must not get its task.
    std::atomic<int> ranForGone{0}, ranForNew{0};
    check(ui->createWindow({56, "Velmo post check 56", 100, 100}, {}), "window 56 built");
    check(ui->post(56, [&] { ++ranForGone; }), "post to window 56");
    ui->destroyWindow(56);
    check(ui->createWindow({56, "Velmo post check 56 again", 100, 100}, {}), "window 56 built again");
    check(ui->post(56, [&] { ++ranForNew; }), "post to the new window 56");
    check(ui->post(0, [&] { ui->postQuit(); }), "the quit task");

    std::vector<Event> events;
    for (Event e = ui->waitEvent(); e.kind != EventKind::Quit; e = ui->waitEvent()) events.push_back(e);

    check(ran.size() == 1 + posters * perPoster, "every task ran once: " + std::to_string(ran.size()));
    check(!ran.empty() && ran[0].poster == -1, "the first posted task ran first");
    std::vector<int> next(posters, 0);
    for (const Ran& r : ran) {
        check(r.thread == loopThread, "task of poster " + std::to_string(r.poster) + " ran in the window's thread");
        if (r.poster >= 0 && r.seq != next[r.poster]++)
            check(false, "poster " + std::to_string(r.poster) + ": task " + std::to_string(r.seq) + " out of order");
    }
    check(ranForGone == 0, "the task of the destroyed window did not run");
    check(ranForNew == 1, "the new window's task ran");
    for (const Event& e : events)
        check(e.kind == EventKind::Opened, "only Opened events besides the tasks, got kind " +
                                               std::to_string(static_cast<int>(e.kind)));
    ui->destroyWindow(56);
    ui->destroyWindow(0);
    std::printf("%s: %d failed checks\n", failures ? "FAIL" : "ok", failures);
    return failures;
}
