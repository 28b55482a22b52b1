// The frame's routes to the search and output commands of the active
// document, the character map panel and the preferences dialog.
#include "windows/frame/main_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>

#include "windows/document/edit_form.h"
#include "windows/panels/char_map.h"
#include "platform/fonts.h"
#include "windows/dialogs/preferences_form.h"
#include "core/settings/settings_keys.h"

void TMainForm::buildTools() {
  // The character map along the bottom, hidden until asked for.
  Fontpanel = new TCharMap(tolvan::tamilUiFontName(), centralWidget());
  CharLabel = Fontpanel->CharLabel;
  if (QLayout* l = centralWidget()->layout()) l->addWidget(Fontpanel);
  Fontpanel->setLabelFont(FontDef.isEmpty() ? DocumentFontFamily() : FontDef);
  connect(Fontpanel, &TCharMap::charClicked, this, &TMainForm::BtnFClick);

}


void TMainForm::ButtonPrintClick() {
  if (TEditForm* f = ActiveEditForm()) f->Print1Click();
}
void TMainForm::ButtonEmailClick() {
  if (TEditForm* f = ActiveEditForm()) f->Email1Click();
}
void TMainForm::ButtonFindClick() {
  if (TEditForm* f = ActiveEditForm()) f->Find1Click();
}
void TMainForm::BtnReplaceClick() {
  if (TEditForm* f = ActiveEditForm()) f->Replace1Click();
}

void TMainForm::mmASCIIMapClick() {
  if (EditForms().isEmpty()) return;
  const bool on = !mmASCIIMap->isChecked();
  mmASCIIMap->setChecked(on);
  Fontpanel->setVisible(on);
  BtnKeyboard->setChecked(on);
}

void TMainForm::BtnFClick(unsigned char code) {
  // The byte takes the whole keystroke path, the layout's rules included
  // (a Unicode document gets the letter's Unicode).
  if (TEditForm* f = ActiveEditForm()) f->CharMapClick(code);
}

void TMainForm::setFontDef(const QString& name) {
  FontDef = name;
  settings().writeString(tolvan::Key::FontDef, tolvan::fontNameToSetting(FontDef));
}

void TMainForm::Preferences1Click() {
  // Modeless; every command makes a fresh one, owned by the frame.
  TPreferences defaults;
  defaults.fontName = FontName ? FontName->currentText() : QString();
  defaults.panelCommands = [this] { return EncMenuEnabled(); };
  defaults.setForeColor = [this](const QString& name) { setForeColor(name); };
  defaults.setBackColor = [this](const QString& name) { setBackColor(name); };
  defaults.setFontDef = [this](const QString& name) { setFontDef(name); };
  defaults.setPanelCommands = [this](bool on) { return SetEncMenuEnabled(on); };
  defaults.unicodeDocuments = [this] {
    return settings().readString(tolvan::Key::NewDocumentEncoding) == "Unicode";
  };
  defaults.setUnicodeDocuments = [this](bool on) {
    return settings().writeString(tolvan::Key::NewDocumentEncoding, on ? "Unicode" : "TSCII");
  };
  auto* prefs = new TToolForm(this, std::move(defaults));
  prefs->show();
  prefs->raise();
  prefs->activateWindow();
}
