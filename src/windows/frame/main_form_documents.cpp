// The frame's document routing: it makes the document windows, serves them
// as their host, follows the active one (menu bar, toolbar states, format
// bar) and routes the toolbar's commands and dropped files to it.
#include "windows/frame/main_form.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/convert/converters.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/panels/char_map.h"
#include "platform/fonts.h"
#include "platform/icons.h"
#include "platform/prompts.h"
#include "windows/dialogs/about_box.h"
#include "core/settings/color_table.h"
#include "windows/frame/crypt_commands.h"
#include "windows/panels/dir_panel.h"
#include "windows/frame/frame_mdi_area.h"
#include "windows/frame/led.h"
#include "core/settings/product_info.h"
#include "core/settings/recent_files.h"
#include "windows/frame/selector_bar.h"
#include "core/settings/settings_keys.h"

namespace {

// File names in the settings go through the file-name encoding.
QString pathFromBytes(const std::string& s) {
  return QFile::decodeName(QByteArray(s.data(), qsizetype(s.size())));
}
std::string pathToBytes(const QString& s) {
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), size_t(b.size()));
}

}  // namespace

// ---------------------------------------------------------------------------
// Document windows

QMdiArea* TMainForm::MdiArea() const { return Mdi_; }

TEditForm* TMainForm::CreateEditForm() {
  // Documents need the Tamil font; start-up may have left registering it
  // until after the first paint.
  tolvan::registerTsciiFonts(ProgramDir_);
  auto* form = new TEditForm(this);
  // The format bar shows with a document when its menu item is checked.
  if (FormatPanel && mmFormatBar) FormatPanel->setVisible(mmFormatBar->isChecked());
  Forms_ << form;
  watchDocument(form);
  // By the time destroyed() is emitted the form is only a QObject: compare
  // the pointer, never use it.
  connect(form, &QObject::destroyed, this, [this, form] {
    Forms_.removeAll(form);
    if (ConnectedForm_ == form) ConnectedForm_ = nullptr;
    if (LastActive_ == form) menuStale_ = true;
    if (!closing_) QMetaObject::invokeMethod(this, &TMainForm::UpdateActiveSettings,
                                             Qt::QueuedConnection);
  });
  connect(form, &TEditForm::documentClosed, this, [this](TEditForm* f) {
    Forms_.removeAll(f);
    if (ConnectedForm_ == f) ConnectedForm_ = nullptr;
    if (LastActive_ == f) menuStale_ = true;
    if (!closing_) UpdateActiveSettings();
    // The find and replace dialogs serve every document window and go with
    // the last one: the next document starts with fresh ones and nothing to
    // repeat.
    if (Forms_.isEmpty())
      for (TFindDialog* d : findChildren<TFindDialog*>(Qt::FindDirectChildrenOnly)) {
        d->hide();
        d->deleteLater();
      }
  });
  connect(form, &TEditForm::documentChanged, this, [this, form] {
    updateFrameTitle();
    if (ActiveEditForm() == form) UpdateEncodingPanel();
  });
  connect(form, &TEditForm::encodingChanged, this, [this](TEditForm* f) {
    if (ActiveEditForm() == f) UpdateEncodingPanel();
  });
  connect(form, &TEditForm::statusNote, this, &TMainForm::ShowHint);
  QMdiSubWindow* sub = Mdi_->addSubWindow(form);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowIcon(tolvan::appIcon());
  Mdi_->adoptSubWindow(sub);
  sub->showMaximized();
  Mdi_->setActiveSubWindow(sub);
  UpdateActiveSettings();
  return form;
}

TEditForm* TMainForm::newDocument() {
  New1Click();
  return ActiveEditForm();
}

bool TMainForm::feedsToolbar(const TEditForm* form) const {
  const TEditForm* active = ActiveEditForm();
  return active == form || active == nullptr;
}

void TMainForm::watchDocument(TEditForm* form) {
  auto follow = [this, form](QAction* const& button) {
    return [this, form, &button](bool on) {
      if (button && feedsToolbar(form)) button->setEnabled(on);
    };
  };
  connect(form, &TEditForm::copyAvailable, this, [this, form](bool on) {
    if (!feedsToolbar(form)) return;
    for (QAction* a : {BtnCut, BtnCopy, BtnDelete})
      if (a) a->setEnabled(on);
  });
  connect(form, &TEditForm::pasteAvailable, this, follow(BtnPaste));
  connect(form, &TEditForm::undoAvailable, this, follow(BtnUndo));
  connect(form, &TEditForm::redoAvailable, this, follow(BtnRedo));
  connect(form, &TEditForm::modificationChanged, this, follow(BtnSave));
  connect(form, &TEditForm::tamilModeChanged, this, [this](bool on) {
    if (BtnTamil) BtnTamil->setChecked(on);
  });
  connect(form, &TEditForm::formatChanged, this, [this, form] {
    if (ActiveEditForm() == form) SelectionChange();
  });
  connect(form, &TEditForm::keyPreviewed, this,
          [this](const QKeyEvent* e) { UpdateKeyStatePanels(e); });
  // Files dropped on the text open here, as anywhere else on the frame;
  // queued, so the program the drag came from is not kept waiting.
  connect(form->Editor, &TEditor::filesDropped, this, &TMainForm::DropFiles, Qt::QueuedConnection);
}

TEditForm* TMainForm::ActiveEditForm() const {
  // The current sub-window stays current while a dialog has the focus.
  QMdiSubWindow* sub = Mdi_ ? Mdi_->currentSubWindow() : nullptr;
  auto* form = sub ? qobject_cast<TEditForm*>(sub->widget()) : nullptr;
  if (form && Forms_.contains(form)) return form;
  return nullptr;
}

QList<TEditForm*> TMainForm::EditForms() const { return Forms_; }

QTextEdit* TMainForm::activeEditor() const {
  TEditForm* f = ActiveEditForm();
  return f ? f->Editor : nullptr;
}

void TMainForm::OpenFiles(const QStringList& paths, bool addToRecent) {
  for (const QString& name : paths) {
    // The name exactly as given: "notes.txt " is not "notes.txt".
    if (name.isEmpty()) continue;
    // A relative name is taken against the current folder now, so the
    // window's title, button tooltip, list entry and later saves all name
    // the same file whatever the current folder becomes.
    const QString full = QFileInfo(name).absoluteFilePath();
    TEditForm* form = CreateEditForm();
    const bool ok = form->OpenDocumentFile(full);
    if (ok && addToRecent) AddRecentFile(full);
  }
}

void TMainForm::AddRecentFile(const QString& path) {
  RecentFiles_->add(pathToBytes(path), tolvan::RecentFiles::kProgramData);
  refreshRecentMenu();
}

void TMainForm::refreshRecentMenu() {
  RecentMenu->clear();
  RecentMenu->setToolTipsVisible(true);
  const QFontMetrics fm(RecentMenu->font());
  int n = 0;
  for (const auto& e : RecentFiles_->entries()) {
    ++n;
    const QString path = pathFromBytes(e.path);
    // "&1" .. "&9", then "&A" for the tenth.
    const QChar accel = n < 10 ? QChar(u'0' + n) : QChar(u'A' + (n - 10));
    // One text, number then path: a Tab would put the path in the menu's
    // shortcut column, far from its number. Very long paths are shortened in
    // the middle; the hint and tooltip keep them whole.
    QString shown = fm.elidedText(path, Qt::ElideMiddle, kMaxRecentTextWidth);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* a = RecentMenu->addAction(QStringLiteral("&") + accel + QLatin1Char(' ') + shown);
    a->setStatusTip(path);
    a->setToolTip(path);
    a->setData(path);
    connect(a, &QAction::triggered, this, [this, path] { RecentFilesClick(path); });
  }
  const bool any = !RecentFiles_->empty();
  ReOpen1->setEnabled(any);
  if (ReOpenOwner_) ReOpenOwner_->setEnabled(any);
}

void TMainForm::attachRecentMenu(QAction* owner) {
  if (ReOpenOwner_ == owner) return;
  if (ReOpenOwner_ && ReOpenOwner_ != owner) ReOpenOwner_->setMenu(static_cast<QMenu*>(nullptr));
  ReOpenOwner_ = owner;
  if (owner) {
    owner->setMenu(RecentMenu);
    QFont f = owner->font();
    f.setBold(true);
    owner->setFont(f);
    owner->setEnabled(RecentFiles_ && !RecentFiles_->empty());
  }
}

// ---------------------------------------------------------------------------
// Active window

void TMainForm::onSubWindowActivated(QMdiSubWindow*) {
  if (closing_) return;
  UpdateActiveSettings();
}

void TMainForm::UpdateActiveSettings() {
  if (closing_) return;
  // 1.
  UpdateControls();
  TEditForm* form = ActiveEditForm();
  // The hint panel's note on how a file was opened belongs to its document:
  // another document shows its own (or none).
  if (form != LastActive_) ShowHint(form ? form->encodingNote() : QString());
  if (form != LastActive_ || menuStale_) {
    LastActive_ = form;
    menuStale_ = false;
    RebuildMenuBar();
    connectEditor(form);
  }
  updateFrameTitle();
  if (!form) {
    // 2. The frame's own ReOpen item; no format bar without a document.
    attachRecentMenu(ReOpen1);
    FormatPanel->hide();
    return;
  }
  // 3. The document's ReOpen item; its selector button alone shown pressed.
  attachRecentMenu(form->ReOpen1);
  for (TEditForm* f : EditForms()) {
    if (!f->BtnSpeed) continue;
    f->BtnSpeed->setCheckable(true);
    f->BtnSpeed->setChecked(f == form);
  }
  FormatPanel->setVisible(mmFormatBar->isChecked());
  SelectionChange();
  UpdatePositionPanels();
}

void TMainForm::updateFrameTitle() {
  // As an MDI frame shows it: the program, then the active document.
  TEditForm* form = ActiveEditForm();
  QString title = QStringLiteral("Tolvan");
  if (form) {
    const QString doc = form->subWindow() ? form->subWindow()->windowTitle() : form->windowTitle();
    if (!doc.isEmpty()) title += QStringLiteral(" - [") + doc + QLatin1Char(']');
  }
  setWindowTitle(title);
}

void TMainForm::connectEditor(TEditForm* form) {
  if (ConnectedForm_) {
    disconnect(ConnectedForm_, &TEditForm::caretMoved, this, &TMainForm::onEditorCursorMoved);
    disconnect(ConnectedForm_, &TEditForm::charFormatChanged, this, &TMainForm::SelectionChange);
  }
  ConnectedForm_ = form;
  if (!form) return;
  connect(form, &TEditForm::caretMoved, this, &TMainForm::onEditorCursorMoved);
  connect(form, &TEditForm::charFormatChanged, this, &TMainForm::SelectionChange);
}

void TMainForm::onEditorCursorMoved() {
  UpdatePositionPanels();
  SelectionChange();
}

void TMainForm::UpdateControls() {
  const bool hasDoc = !EditForms().isEmpty();
  BtnSave->setEnabled(false);
  for (QAction* a : {BtnCut, BtnCopy, BtnDelete, BtnUndo, BtnRedo, BtnPen, BtnPaper, BtnFont,
                     BtnTamil, BtnEncrypt, BtnDecrypt, BtnEmail, BtnPrint, BtnFind, BtnReplace,
                     BtnKeyboard})
    a->setEnabled(hasDoc);
  const QMimeData* md = QApplication::clipboard()->mimeData();
  BtnPaste->setEnabled(hasDoc && md && md->hasText());
  UpdateEncodingPanel();
  if (!hasDoc) {
    SetPanelText(1, QString());
    SetPanelText(2, QString());
    mmASCIIMap->setEnabled(false);
    // Hidden, the check marks left as they are.
    if (Fontpanel) Fontpanel->hide();
  } else {
    if (TEditForm* f = ActiveEditForm()) f->UpdateDocumentCommands();
    mmASCIIMap->setEnabled(true);
  }
}

// ---------------------------------------------------------------------------
// Routed toolbar commands

void TMainForm::ButtonSaveClick() {
  if (TEditForm* f = ActiveEditForm()) f->Save1Click();
}
void TMainForm::ButtonCutClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmCutClick();
}
void TMainForm::ButtonCopyClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmCopyClick();
}
void TMainForm::ButtonPasteClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmPasteClick();
}
void TMainForm::ButtonDeleteClick() {
  if (TEditForm* f = ActiveEditForm()) f->mmDeleteClick();
}
void TMainForm::ButtonUndoClick() {
  if (TEditForm* f = ActiveEditForm()) f->UnDo1Click();
}
void TMainForm::ButtonRedoClick() {
  if (TEditForm* f = ActiveEditForm()) f->Redo1Click();
}
void TMainForm::BtnTamilClick() {
  if (TEditForm* f = ActiveEditForm())
    f->mmTamilKBClick();
  else
    BtnTamil->setChecked(false);
}

// ---------------------------------------------------------------------------
// Drops

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  QStringList files;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) files << u.toLocalFile();
  if (files.isEmpty()) return;
  e->acceptProposedAction();
  DropFiles(files);
}

void TMainForm::DropFiles(const QStringList& files) {
  // Each dropped file in its own window and at the top of the list, so the
  // last one dropped ends up first.
  OpenFiles(files, true);
}
