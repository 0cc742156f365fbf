// The connection form of the FTP tools: the FTP address, the user ID and the password, each
// in its labelled frame with a line of instruction; the "Options" frame with the passive
// box, the port field and (installer, updater) the "Chmod." box; and the guestbook folder in
// a frame of its own. Every tool numbers and places these controls its own way, and words
// the folder's frame its own way: that is the tool's layout, given as data. The kinds, the
// common texts and the reading, filling and enabling are the block's.
//
//   frame::ConnectionForm form(layout);
//   d.controls = frame::tableInIdOrder({ownRows, form.controls()});
//   ...
//   form.fill(ui, loadConnectionSettings(Tool::Locator).settings);
//   const ConnectionSettings typed = form.read(ui, frame::FormTexts::AsTyped);
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "frame/program.h"
#include "settings/connection_settings.h"
#include "ui/ui.h"

namespace velmo::frame {

// One control of the block: its number, its place and, where the tool words it otherwise
// than the block, its text (a literal of the tool's layout; none: the block's own text).
struct FormRow {
    int id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    const char* text = nullptr;
};

struct FolderRows {
    FormRow frame;               // its text is the tool's ("Répertoire de destination", ...)
    std::vector<FormRow> lines;  // the tool's lines of explanation, texts given
    FormRow field;
    bool enabledWithForm = true;  // the locator leaves it out of the connection fields
};

struct ConnectionFormLayout {
    int windowId = mainWindow;
    int panelId = -1, tabIndex = 0;  // on a tab page (the updater): places relative to it
    FormRow addressFrame, addressPrompt, addressExample, addressField;
    FormRow userFrame, userPrompt, userField;
    FormRow passwordFrame, passwordPrompt, passwordField;
    FormRow optionsFrame, passiveBox, portField, portLabel;
    std::optional<FormRow> chmodBox;
    std::optional<FolderRows> folder;
    bool passiveChecked = true;  // the passive box as built
};

// How the field texts are read: with leading and trailing blanks removed (what connecting
// uses), or as they stand (the installer's menu permission runs, the locator's save).
enum class FormTexts { Trimmed, AsTyped };

class ConnectionForm {
public:
    explicit ConnectionForm(ConnectionFormLayout layout);

    // The rows of the block in number order, for the tool's window table; texts are the
    // tool's where it gives one, else the block's: "Adresse FTP", "Entrez ci-dessous votre
    // adresse FTP.", the example line, "ID Utilisateur", "Entrez ci-dessous votre ID
    // Utilisateur.", "Mot de passe", "Entrez ci-dessous votre mot de passe.", "Options",
    // "Chmod.", "Mode passif.", "21" (port), "Port."; fields empty. The password field is
    // masked, the port field digits only and right-aligned. All in the 8-point font.
    std::vector<ui::ControlSpec> controls() const;

    // The form as a record: address, user ID, password and folder (empty without a folder
    // field) by `texts`; the permission flag from the "Chmod." box (0 without one), the
    // passive flag from its box, the port field read as a decimal number (trimmed either
    // way).
    ConnectionSettings read(ui::Ui& ui, FormTexts texts) const;
    // Puts the trimmed texts of the address, user ID, password and folder back into their
    // fields (the installer's "Valider").
    void trimFields(ui::Ui& ui) const;
    // Address, user ID, "Chmod." box, passive box, port as decimal text and folder from the
    // record; the password field is never filled.
    void fill(ui::Ui& ui, const ConnectionSettings& settings) const;
    // The connection fields together: address, user ID, password, "Chmod." box, passive
    // box, port, and the folder field unless the layout leaves it out.
    void setEnabled(ui::Ui& ui, bool enabled) const;

    const ConnectionFormLayout& layout() const { return layout_; }

private:
    ConnectionFormLayout layout_;
};

// The example line under the address prompt.
inline constexpr const char* ftpHostExample = "Ex : ftp.hebergeur-exemple.fr ou ftpperso.exemple.net";

}  // namespace velmo::frame
