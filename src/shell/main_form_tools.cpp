// The frame's routes to the search and output commands of the active
// document, the character map panel and the preferences dialog.
#include <QLabel>
#include <QLayout>

#include "document/edit_form.h"
#include "input/char_map.h"
#include "platform/fonts.h"
#include "prefs/preferences_form.h"
#include "shell/main_form.h"

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
  // The byte takes the whole keystroke path, the layout's rules included.
  if (TEditForm* f = ActiveEditForm()) f->SendKeyToEditor(code);
}

void TMainForm::Preferences1Click() {
  // Modeless; every command makes a fresh one, owned by the frame.
  auto* prefs = new TToolForm(this);
  prefs->show();
  prefs->raise();
  prefs->activateWindow();
}
