#include "frame/program.h"

#include <algorithm>
#include <utility>

#include "platform/fs.h"
#include "platform/worker.h"
#include "suite/messages.h"

namespace velmo::frame {

namespace {

Route route(ui::EventKind kind, int windowId, int controlId, std::function<void()> handler) {
    return Route{kind, windowId, controlId, std::move(handler)};
}

bool matches(const Route& r, const ui::Event& e) {
    return r.kind == e.kind && r.windowId == e.windowId && r.controlId == e.controlId;
}

}  // namespace

MenuItem quitItem(int id) { return {id, quitEntryText, nullptr, FrameIcon::Quit, CommonEntry::Quit}; }
MenuItem siteItem(int id) { return {id, siteEntryText, nullptr, FrameIcon::Link, CommonEntry::Site}; }
MenuItem forumItem(int id) { return {id, forumEntryText, nullptr, FrameIcon::Link, CommonEntry::Forum}; }
MenuItem aboutItem(int id) { return {id, aboutEntryText, nullptr, FrameIcon::About, CommonEntry::About}; }

Route onMenu(int entry, std::function<void()> handler) {
    return route(ui::EventKind::Menu, mainWindow, entry, std::move(handler));
}
Route onCommand(int control, std::function<void()> handler, int windowId) {
    return route(ui::EventKind::Command, windowId, control, std::move(handler));
}
Route onChanged(int control, std::function<void()> handler, int windowId) {
    return route(ui::EventKind::Changed, windowId, control, std::move(handler));
}
Route onDoubleClick(int control, std::function<void()> handler, int windowId) {
    return route(ui::EventKind::DoubleClick, windowId, control, std::move(handler));
}
Route onClose(int windowId, std::function<void()> handler) {
    return route(ui::EventKind::Close, windowId, -1, std::move(handler));
}
Route onOpened(int windowId, std::function<void()> handler) {
    return route(ui::EventKind::Opened, windowId, -1, std::move(handler));
}

std::vector<ui::ControlSpec> tableInIdOrder(std::vector<std::vector<ui::ControlSpec>> parts) {
    std::vector<ui::ControlSpec> table;
    for (std::vector<ui::ControlSpec>& part : parts)
        for (ui::ControlSpec& c : part) table.push_back(std::move(c));
    std::stable_sort(table.begin(), table.end(),
                     [](const ui::ControlSpec& a, const ui::ControlSpec& b) { return a.id < b.id; });
    return table;
}

Program::Program(ui::Ui& ui, ProgramDescription description)
    : ui_(ui),
      description_(std::move(description)),
      frame_{ui, pictures_, description_.about.value_or(AboutInfo{}), mainWindow} {
    loadFramePictures(pictures_);
    frameRoutes_.push_back(onClose(mainWindow, [this] { close(); }));
    for (const MenuTitleItems& title : description_.menu) {
        for (const MenuItem& item : title.items) {
            switch (item.common) {
                case CommonEntry::Quit:
                    frameRoutes_.push_back(onMenu(item.id, [this] { close(); }));
                    break;
                case CommonEntry::Site:
                    frameRoutes_.push_back(onMenu(item.id, [this] { openInBrowser(ui_, officialSiteAddress()); }));
                    break;
                case CommonEntry::Forum:
                    frameRoutes_.push_back(onMenu(item.id, [this] { openInBrowser(ui_, forumAddress()); }));
                    break;
                case CommonEntry::About:
                    frameRoutes_.push_back(onMenu(item.id, [this] { showAboutWindow(frame_); }));
                    break;
                case CommonEntry::None:
                    break;
            }
        }
    }
}

void Program::addRoutes(std::vector<Route> routes) {
    for (Route& r : routes) {
        std::erase_if(routes_, [&](const Route& old) {
            return old.kind == r.kind && old.windowId == r.windowId && old.controlId == r.controlId;
        });
        routes_.push_back(std::move(r));
    }
}

ui::MenuSpec Program::menuSpec() const {
    ui::MenuSpec menu;
    for (const MenuTitleItems& title : description_.menu) {
        ui::MenuTitle t{title.title, {}};
        for (const MenuItem& item : title.items) {
            const ui::Image* icon = item.icon;
            switch (item.frameIcon) {
                case FrameIcon::Quit: icon = &pictures_.quitIcon; break;
                case FrameIcon::Link: icon = &pictures_.linkIcon; break;
                case FrameIcon::About: icon = &pictures_.aboutIcon; break;
                case FrameIcon::None: break;
            }
            t.entries.push_back({item.id, item.text, icon});
        }
        menu.titles.push_back(std::move(t));
    }
    return menu;
}

const Route* Program::routeFor(const ui::Event& e) const {
    for (const std::vector<Route>* table : {&routes_, &frameRoutes_}) {
        auto it = std::find_if(table->begin(), table->end(), [&](const Route& r) { return matches(r, e); });
        if (it != table->end()) return &*it;
    }
    return nullptr;
}

void Program::dispatch(const ui::Event& e) {
    if (e.kind == ui::EventKind::Quit) {
        quitting_ = true;
        return;
    }
    if (description_.about && handleAboutEvent(frame_, e)) return;
    if (const Route* r = routeFor(e)) {
        // A copy: the handler may add routes, which moves the table.
        const std::function<void()> handler = r->handler;
        if (handler) handler();
    }
}

std::string workerFailureJournalLine(const std::string& what, const clock::LocalDateTime& when) {
    return clock::formatDateMask("%dd/%mm/%yyyy %hh:%ii:%ss", when) +
           " - Erreur inattendue pendant une opération en arrière-plan (" + what +
           ") : l'opération a été interrompue et le programme fermé.\r\n";
}

std::string workerFailureText(const std::string& what, const std::string& journal) {
    std::string text = "Une erreur inattendue a interrompu l'opération en cours (" + what + ").\r\n\r\n";
    if (!journal.empty()) text += "Elle a été notée dans le fichier \"" + journal + "\".\r\n";
    return text + "Le programme va donc se fermer.";
}

namespace {

// One short line of the exception's own words: no line ends, no control characters.
std::string plainWords(const std::string& what) {
    std::string out = what.substr(0, 200);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return out.empty() ? std::string("?") : out;
}

}  // namespace

int Program::run() {
    const ui::MenuSpec menu = menuSpec();
    if (!ui_.createWindow(description_.window, description_.controls, description_.menu.empty() ? nullptr : &menu))
        return 1;
    quitting_ = false;
    // The handler runs on the failed worker's thread: it uses only the Ui, which outlives
    // the workers, and the journal's path (a copy). The box comes from the UI thread, and
    // from inside this loop only (a task posted once the window is gone is dropped), so
    // `this` is alive when it runs.
    worker::setFailureHandler([ui = &ui_, journal = description_.failureJournal, this](const std::string& what) {
        const std::string words = plainWords(what);
        if (!journal.empty()) fs::appendToFile(journal, workerFailureJournalLine(words, clock::localNow()));
        ui->post(mainWindow, [this, text = workerFailureText(words, journal)] {
            ui_.messageBox(suite::titles::attentionCaps, text, ui::MessageIcon::Error);
            close();
            // A task is no event: the loop only looks at quitting_ after the next one.
            ui_.postQuit();
        });
    });
    while (!quitting_) dispatch(ui_.waitEvent());
    worker::setFailureHandler(nullptr);
    if (description_.about) ui_.destroyWindow(description_.about->windowId);
    ui_.destroyWindow(mainWindow);
    return 0;
}

void Program::quit() { quitting_ = true; }

void Program::close() {
    if (description_.ending == Ending::ReturnToLauncher) returnToLauncher(ui_);
    quit();
}

bool Program::post(std::function<void()> task) { return ui_.post(mainWindow, std::move(task)); }

}  // namespace velmo::frame
