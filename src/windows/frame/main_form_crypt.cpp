// The frame's directory panel and encryption commands: the panel in the left
// dock, its double-click and popup commands, the text routines the document
// windows call, and the toolbar's Encrypt and Decrypt buttons.
#include "windows/frame/main_form.h"

#include <QAction>
#include <QDockWidget>
#include <QFileInfo>
#include <QFileSystemModel>

#include "windows/document/edit_form.h"
#include "windows/frame/crypt_commands.h"
#include "windows/panels/dir_panel.h"
#include "core/settings/settings_keys.h"

void TMainForm::buildDirPanel() {
  DirPanel = new QDockWidget(QStringLiteral("Directory"), this);
  DirPanel->setObjectName(QStringLiteral("DirPanel"));
  DirPanel->setFeatures(QDockWidget::NoDockWidgetFeatures);
  DirTree = new TDirPanel(DirPanel);
  DirPanel->setWidget(DirTree);
  addDockWidget(Qt::LeftDockWidgetArea, DirPanel);
  DirPanel->hide();

  CryptCommands = new TCryptCommands(this, SB, Light, [this](const QString& text) { SetPanelText(6, text); });
  connect(DirTree, &TDirPanel::openFileRequested, this, [this](const QString& file) {
    // A file already open in a window (under this name or another that
    // reaches it) brings that window up: a second window on it would
    // overwrite the first one's saves.
    const QFileInfo wanted(file);
    const QString real = wanted.canonicalFilePath();
    for (TEditForm* f : EditForms()) {
      const QFileInfo open(f->Title());
      if (!open.isAbsolute() || !open.exists()) continue;
      if (open.canonicalFilePath() == real) {
        f->BtnSpeedClick();
        return;
      }
    }
    // OpenDocumentFile also sets WorkDir and adds the file to the list.
    TEditForm* form = CreateEditForm();
    form->OpenDocumentFile(file);
  });
  connect(DirTree->Encrypt2, &QAction::triggered, this, &TMainForm::Encrypt2Click);
  connect(DirTree->Decrypt2, &QAction::triggered, this, &TMainForm::Decrypt2Click);
  connect(DirTree->CRC, &QAction::triggered, this, &TMainForm::CRCClick);
  // The new and renamed files show in the tree at once.
  connect(CryptCommands, &TCryptCommands::finished, this, [this](TCryptCommands::Kind kind) {
    if (kind != TCryptCommands::Kind::Crc) DirTree->RefreshClick();
  });
}

bool TMainForm::SetEncMenuEnabled(bool on) {
  if (!Settings_->writeString(tolvan::Key::DirPanelSwitch, on ? tolvan::kDirPanelSwitchValue : std::string_view()))
    return false;
  EncMenuEnabled_ = Settings_->dirPanelSwitchOn();
  DirTree->SetEncMenuEnabled(EncMenuEnabled_);
  return true;
}

void TMainForm::Encrypt2Click() { CryptCommands->Run(TCryptCommands::Kind::Encrypt, DirTree->SelectedPath()); }
void TMainForm::Decrypt2Click() { CryptCommands->Run(TCryptCommands::Kind::Decrypt, DirTree->SelectedPath()); }
void TMainForm::CRCClick() { CryptCommands->Run(TCryptCommands::Kind::Crc, DirTree->SelectedPath()); }

bool TMainForm::EncryptText(const QByteArray& text, QByteArray& out) { return CryptCommands->EncryptText(text, out); }
bool TMainForm::DecryptText(const QByteArray& text, QByteArray& out) { return CryptCommands->DecryptText(text, out); }

void TMainForm::BtnEncryptClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmEncryptClick();
}

void TMainForm::BtnDecryptClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmDecryptClick();
}
