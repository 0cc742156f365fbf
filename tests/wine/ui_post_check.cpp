// velmo_ui_post_check: the Win32 back end's posted tasks in a real message loop (run under
// Wine by test_ui_post.py). Prints each failed check; the exit code is their number.
//
// Workers post to the main window while its thread sits in a message box: posting returns
// at once and nothing runs inside the box; then every task runs in the window's thread, in
// each poster's order. A task for a window destroyed before the loop waits again never
// runs, not even on a new window of the same number.
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
}

BOOL CALLBACK findBox(HWND h, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (!IsWindowVisible(h) || lstrcmpW(cls, L"#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = h;
    return FALSE;
}

// A message-only window of the main thread: a message posted to it after the tasks comes
// out of the thread's queue after theirs, so once the box's loop has handled it, that loop
// has seen every task's message.
std::atomic<bool> drained{false};

LRESULT CALLBACK probeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP + 9) drained = true;
    return DefWindowProcW(h, msg, wp, lp);
}

// Pacing for the helper's waits: they end as soon as the condition holds.
template <class Condition>
bool eventually(Condition done) {
    for (int i = 0; i < 2000 && !done(); ++i) Sleep(10);
    return done();
}

}  // namespace

int main() {
    auto ui = makeUi();
    const DWORD loopThread = GetCurrentThreadId();
    WNDCLASSW wc{};
    wc.lpfnWndProc = probeProc;
    wc.lpszClassName = L"VelmoPostProbe";
    RegisterClassW(&wc);
    const HWND probe = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    check(ui->createWindow({0, "Velmo post check", 300, 100}, {}), "window 0 built");
    check(!ui->post(12, [] {}), "a post to a missing window is refused");

    struct Ran {
        int poster, seq;
        DWORD thread;
    };
    std::vector<Ran> ran;  // this thread only
    std::atomic<int> ranCount{0};
    auto task = [&](int poster, int seq) {
        return [&ran, &ranCount, poster, seq] {
            ran.push_back({poster, seq, GetCurrentThreadId()});
            ++ranCount;
        };
    };
    ui->post(0, task(-1, 0));
    check(ranCount == 0, "a post from the window's own thread does not run at once");

    constexpr int posters = 3, perPoster = 200;
    std::thread helper([&] {
        HWND box = nullptr;
        check(eventually([&] { return !EnumThreadWindows(loopThread, findBox, reinterpret_cast<LPARAM>(&box)); }),
              "the message box appeared");
        std::vector<std::thread> workers;
        for (int p = 0; p < posters; ++p)
            workers.emplace_back([&, p] {
                for (int i = 0; i < perPoster; ++i) ui->post(0, task(p, i));
            });
        for (std::thread& w : workers) w.join();  // a post that waited for the box would hang here
        PostMessageW(probe, WM_APP + 9, 0, 0);
        check(eventually([] { return drained.load(); }), "the box's loop handled the thread's messages");
        check(ranCount == 0, "no task ran inside the message box");
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    });
    ui->messageBox("Information.", "Voulez-vous arreter le transfert en cours ?", MessageIcon::Information);
    helper.join();

    // Window 56 goes before the loop waits again; a new window 56 must not get its task.
    std::atomic<int> ranForGone{0}, ranForNew{0};
    ui->createWindow({56, "Velmo post check 56", 100, 100}, {});
    ui->post(56, [&] { ++ranForGone; });
    ui->destroyWindow(56);
    ui->createWindow({56, "Velmo post check 56 again", 100, 100}, {});
    ui->post(56, [&] { ++ranForNew; });
    ui->post(0, [&] { ui->postQuit(); });
    while (ui->waitEvent().kind != EventKind::Quit) {
    }

    check(ran.size() == 1 + posters * perPoster, "every task ran once: " + std::to_string(ran.size()));
    check(!ran.empty() && ran[0].poster == -1, "the first posted task ran first");
    std::vector<int> next(posters, 0);
    for (const Ran& r : ran) {
        check(r.thread == loopThread, "a task ran in another thread");
        if (r.poster >= 0) check(r.seq == next[r.poster]++, "poster " + std::to_string(r.poster) + " out of order");
    }
    check(ranForGone == 0 && ranForNew == 1, "only the new window 56's task ran");
    std::printf("%s: %d failed checks\n", failures ? "FAIL" : "ok", failures);
    return failures;
}
