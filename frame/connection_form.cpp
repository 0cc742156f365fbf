#include "frame/connection_form.h"

#include <utility>

#include "platform/text_codec.h"

namespace velmo::frame {

namespace {

ui::ControlSpec row(const FormRow& r, ui::ControlKind kind, const char* ownText) {
    return ui::ControlSpec{r.id, kind, r.x, r.y, r.width, r.height, r.text != nullptr ? r.text : ownText};
}

std::string textOf(ui::Ui& ui, int windowId, int field, FormTexts texts) {
    std::string t = ui.getText(windowId, field);
    return texts == FormTexts::Trimmed ? text::trimBlanks(t) : t;
}

}  // namespace

ConnectionForm::ConnectionForm(ConnectionFormLayout layout) : layout_(std::move(layout)) {}

std::vector<ui::ControlSpec> ConnectionForm::controls() const {
    using K = ui::ControlKind;
    const ConnectionFormLayout& l = layout_;
    std::vector<ui::ControlSpec> rows = {
        row(l.addressFrame, K::GroupBox, "Adresse FTP"),
        row(l.addressPrompt, K::Label, "Entrez ci-dessous votre adresse FTP."),
        row(l.addressExample, K::Label, ftpHostExample),
        row(l.addressField, K::TextField, ""),
        row(l.userFrame, K::GroupBox, "ID Utilisateur"),
        row(l.userPrompt, K::Label, "Entrez ci-dessous votre ID Utilisateur."),
        row(l.userField, K::TextField, ""),
        row(l.passwordFrame, K::GroupBox, "Mot de passe"),
        row(l.passwordPrompt, K::Label, "Entrez ci-dessous votre mot de passe."),
        row(l.passwordField, K::PasswordField, ""),
        row(l.optionsFrame, K::GroupBox, "Options"),
        l.passiveChecked ? row(l.passiveBox, K::CheckBox, "Mode passif.").checked()
                         : row(l.passiveBox, K::CheckBox, "Mode passif."),
        row(l.portField, K::TextField, "21").digits().rightAligned(),
        row(l.portLabel, K::Label, "Port."),
    };
    if (l.chmodBox) rows.push_back(row(*l.chmodBox, K::CheckBox, "Chmod."));
    if (l.folder) {
        rows.push_back(row(l.folder->frame, K::GroupBox, ""));
        for (const FormRow& line : l.folder->lines) rows.push_back(row(line, K::Label, ""));
        rows.push_back(row(l.folder->field, K::TextField, ""));
    }
    if (l.panelId >= 0) {
        for (ui::ControlSpec& c : rows) c = c.onTab(l.panelId, l.tabIndex);
    }
    return tableInIdOrder({rows});
}

ConnectionSettings ConnectionForm::read(ui::Ui& ui, FormTexts texts) const {
    const ConnectionFormLayout& l = layout_;
    const int w = l.windowId;
    ConnectionSettings s;
    s.serverAddress = textOf(ui, w, l.addressField.id, texts);
    s.userId = textOf(ui, w, l.userField.id, texts);
    s.password = textOf(ui, w, l.passwordField.id, texts);
    s.guestbookFolder = l.folder ? textOf(ui, w, l.folder->field.id, texts) : std::string();
    s.permissionFlag = l.chmodBox && ui.isChecked(w, l.chmodBox->id) ? 1 : 0;
    s.passiveFlag = ui.isChecked(w, l.passiveBox.id) ? 1 : 0;
    s.port = portFromFieldText(ui.getText(w, l.portField.id));
    return s;
}

void ConnectionForm::trimFields(ui::Ui& ui) const {
    const ConnectionFormLayout& l = layout_;
    std::vector<int> fields = {l.addressField.id, l.userField.id, l.passwordField.id};
    if (l.folder) fields.push_back(l.folder->field.id);
    for (int id : fields) ui.setText(l.windowId, id, text::trimBlanks(ui.getText(l.windowId, id)));
}

void ConnectionForm::fill(ui::Ui& ui, const ConnectionSettings& s) const {
    const ConnectionFormLayout& l = layout_;
    const int w = l.windowId;
    ui.setText(w, l.addressField.id, s.serverAddress);
    ui.setText(w, l.userField.id, s.userId);
    if (l.chmodBox) ui.setChecked(w, l.chmodBox->id, s.permissionFlag == 1);
    ui.setChecked(w, l.passiveBox.id, s.passiveFlag == 1);
    ui.setText(w, l.portField.id, std::to_string(s.port));
    if (l.folder) ui.setText(w, l.folder->field.id, s.guestbookFolder);
}

void ConnectionForm::setEnabled(ui::Ui& ui, bool enabled) const {
    const ConnectionFormLayout& l = layout_;
    std::vector<int> ids = {l.addressField.id, l.userField.id, l.passwordField.id, l.passiveBox.id,
                            l.portField.id};
    if (l.chmodBox) ids.push_back(l.chmodBox->id);
    if (l.folder && l.folder->enabledWithForm) ids.push_back(l.folder->field.id);
    for (int id : ids) ui.setEnabled(l.windowId, id, enabled);
}

}  // namespace velmo::frame
