// The skeleton every program of the suite is written on: a description of the program
// (main window table, menu, About window, how it ends) and a table of routes from events to
// handlers. `Program::run` builds the window and runs the event loop; the frame answers the
// common menu entries, the About window, the close box and "Quitter" itself.
//
//   frame::ProgramDescription d;
//   d.window = {frame::mainWindow, "Velmo, Navigateur.", 752, 500};
//   d.controls = ...;                       // the window's table
//   d.menu = {{"Fichier", {frame::quitItem(3)}},
//             {"Aide", {{2, "Explications", &helpIcon}, frame::siteItem(4),
//                       frame::forumItem(5), frame::aboutItem(6)}}};
//   d.about = frame::AboutInfo{39, 40, 41, 42, 43, 44, "Velmo, Navigateur - A propos",
//                              "Velmo, Navigateur - Version : 1.0.1"};
//   frame::Program program(ui, std::move(d));
//   program.addRoutes({frame::onCommand(29, [&] { connect(program); }),
//                      frame::onMenu(2, [&] { showHelp(program.ui()); })});
//   return program.run();
//
// Everything here runs in the thread that calls `run` (the UI thread), except `post`,
// which any thread may call.
//
// How every program of the suite is put together, and the one way from an engine to its
// window:
//  - The program's state is one `XxxApp` that owns its `Program` (and the connection form,
//    the pictures, the engine's inputs). The entry makes it with std::make_shared; the
//    routes hold it by reference (it owns them), every worker and every task a worker
//    posts holds a shared_ptr copy, so it outlives the loop for as long as one of them
//    runs. State the UI thread alone reads and writes is plain; only what a worker and
//    the UI thread share (a stop request) is atomic.
//  - An engine takes its inputs as values (the trimmed form, the rows ticked when the
//    button was pressed, the description the check read) and reports outcomes as data
//    through its reporter interface: versions known, a file's state, a step reached, a
//    suite::Notice to show. It never names a widget, a colour or an icon.
//  - The window adapter implements the reporter: each report becomes a task given to
//    `post`, which runs it on the UI thread, in order, and drops it when the window is
//    gone. Presentation (which label, texts built for a control, centring, colours, bars)
//    lives there. A report the worker must wait for (a box, a Yes/No question) is posted
//    with a promise whose answer the worker waits for; a task dropped with its window
//    answers a safe default, so no worker waits for ever.
//  - Workers start through platform/worker.h only; no code on a worker touches a widget or
//    shows a box itself.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frame/tool_frame.h"
#include "platform/clock.h"
#include "ui/ui.h"

namespace velmo::frame {

// The main window of every program.
inline constexpr int mainWindow = 0;

// Menu entries the frame handles itself: "Quitter" ends the program the program's way
// (Ending), Site and Forum open the official site and the forum, "A propos" opens the
// About window.
enum class CommonEntry { None, Quit, Site, Forum, About };
// The frame's icons, for a program's own entries that show one of them.
enum class FrameIcon { None, Quit, Link, About };

struct MenuItem {
    int id = 0;
    std::string text;
    const ui::Image* icon = nullptr;  // the program's own picture, read when the window is built
    FrameIcon frameIcon = FrameIcon::None;  // else one of the frame's pictures
    CommonEntry common = CommonEntry::None;
};
// The common entries with their texts and icons.
MenuItem quitItem(int id);   // "Quitter", quit icon
MenuItem siteItem(int id);   // "Site de Velmo, livre d'or", link icon
MenuItem forumItem(int id);  // "Forum de Velmo, livre d'or", link icon
MenuItem aboutItem(int id);  // "A propos", about icon

struct MenuTitleItems {
    std::string title;
    std::vector<MenuItem> items;
};

// What the main window's close box and "Quitter" do.
enum class Ending {
    ReturnToLauncher,  // a tool: returnToLauncher, then the program ends
    Quit,              // the launcher: the program ends
};

struct ProgramDescription {
    ui::WindowSpec window;                  // number mainWindow
    std::vector<ui::ControlSpec> controls;  // built in table order; images read while building
    std::vector<MenuTitleItems> menu;       // empty: no menu bar
    std::optional<AboutInfo> about;         // none: no About window
    Ending ending = Ending::ReturnToLauncher;
    // The journal a failed worker is noted in (one line appended): "" for none.
    std::string failureJournal;
};

// The journals of the locator and the backup tool, which keep no error journal of their
// own otherwise: a failed worker is all they note. (The installer and the updater note it
// in their transfer journals, suite/paths.h.)
inline constexpr const char* locatorFailureJournal = "softwareDatas/log-erreur-Navigateur.txt";
inline constexpr const char* backupFailureJournal = "softwareDatas/log-erreur-Sauvegarde.txt";

// What a worker's escaped exception (platform/worker) becomes while a program runs:
// the line appended to the journal, with the local date and time, and the box then shown
// from the UI thread ("ATTENTION.", error icon), after which the program ends the way its
// close box ends it: what the worker left half done cannot be trusted to go on from.
std::string workerFailureJournalLine(const std::string& what, const clock::LocalDateTime& when);
std::string workerFailureText(const std::string& what, const std::string& journal);

// One row of the route table: the handler of an event of one kind, from one window and one
// control or menu entry (-1: the window itself, for Close and Opened).
struct Route {
    ui::EventKind kind = ui::EventKind::None;
    int windowId = mainWindow;
    int controlId = -1;
    std::function<void()> handler;
};
Route onMenu(int entry, std::function<void()> handler);  // of the main window
Route onCommand(int control, std::function<void()> handler, int windowId = mainWindow);
Route onChanged(int control, std::function<void()> handler, int windowId = mainWindow);
Route onDoubleClick(int control, std::function<void()> handler, int windowId = mainWindow);
Route onClose(int windowId, std::function<void()> handler);
Route onOpened(int windowId, std::function<void()> handler);

// One window table from several parts (the program's own rows, the connection form's), in
// control number order, the order every window of the suite builds its controls in.
std::vector<ui::ControlSpec> tableInIdOrder(std::vector<std::vector<ui::ControlSpec>> parts);

class Program {
public:
    // Decodes the frame's pictures (one that does not decode only loses its icon).
    Program(ui::Ui& ui, ProgramDescription description);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Adds rows to the route table. A program's route takes precedence over what the
    // frame does with the same event (the main window's close box, a common entry), but
    // not over the About window's own events (its close box and link); a later row for
    // the same event replaces an earlier one.
    void addRoutes(std::vector<Route> routes);

    // Builds the main window with its menu and controls, then runs the loop on the calling
    // thread: each event goes to its route, unrouted events are ignored. The loop ends
    // after the handler that called quit() or close() returns, or on a Quit event; then the
    // About window and the main window are destroyed. While the loop runs, a worker that
    // fails is journalled and told (workerFailureText), and the program then closes.
    // Returns 0, or 1 when the window could not be built (nothing ran). Called once.
    int run();

    // The loop ends once the current handler returns.
    void quit();
    // The close box's and "Quitter"'s way out: by the description's Ending, returnToLauncher
    // first, then quit().
    void close();
    // Hands a task to the UI thread (Ui::post on the main window): from workers. False when
    // the main window is gone (the task is dropped).
    bool post(std::function<void()> task);

    ui::Ui& ui() const { return ui_; }
    const Frame& frame() const { return frame_; }
    const FramePictures& pictures() const { return pictures_; }

private:
    void dispatch(const ui::Event& e);
    const Route* routeFor(const ui::Event& e) const;
    ui::MenuSpec menuSpec() const;

    ui::Ui& ui_;
    ProgramDescription description_;
    FramePictures pictures_;
    Frame frame_;
    std::vector<Route> routes_;       // the program's
    std::vector<Route> frameRoutes_;  // the frame's own
    bool quitting_ = false;
};

}  // namespace velmo::frame
