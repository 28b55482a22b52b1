// The document window: creation, menus, the selector button, edit commands
// and Tamil typing. Loading, saving and closing live in edit_form_files.cpp.
#include "windows/document/edit_form.h"

#include "windows/document/busy_scope.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/convert/fontmap.h"
#include "windows/document/convert_commands.h"
#include "windows/document/document_host.h"
#include "windows/document/document_layout.h"
#include "windows/document/editor.h"
#include "windows/document/edit_form_support.h"
#include "windows/document/undo_limit.h"
#include "platform/folder_monitor.h"
#include "platform/fonts.h"
#include "platform/icons.h"
#include "platform/key_sender.h"
#include "platform/prompts.h"
#include "core/settings/settings_keys.h"

namespace {

// The engines reach the editor through this sink; every byte goes through the
// editor's own key handling.
class FormKeySink final : public tolvan::KeySink {
 public:
  explicit FormKeySink(TEditForm* form) : form_(form) {}
  void SendKeyToEditor(unsigned char ch) override { form_->SendKeyToEditor(ch); }

 private:
  TEditForm* form_;
};

// Whether the clipboard holds text, kept up to date from the clipboard's own
// change signal: asking the system clipboard on every keystroke can stall on
// X11.
bool& clipboardHasTextFlag() {
  static bool flag = false;
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    QClipboard* cb = QGuiApplication::clipboard();
    auto refresh = [cb] {
      const QMimeData* md = cb->mimeData();
      clipboardHasTextFlag() = md && md->hasText();
    };
    QObject::connect(cb, &QClipboard::dataChanged, cb, refresh);
    refresh();
  }
  return flag;
}

QAction* addItem(QMenu* menu, const QString& caption, const QKeySequence& key = {}) {
  QAction* a = menu->addAction(caption);
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}

}  // namespace

namespace tolvan::document {

QString applicationTitle() { return QStringLiteral("Tolvan"); }

Settings& settingsFor(TDocumentHost* host) {
  if (host) return host->settings();
  // A window without a host (tests, tools): the settings file on its own.
  static ProfileFile file(settingsFilePath(QCoreApplication::applicationDirPath().toStdString()));
  static Settings settings(file, QCoreApplication::applicationDirPath().toStdString());
  return settings;
}

bool clipboardHasText() { return clipboardHasTextFlag(); }

}  // namespace tolvan::document

using namespace tolvan::document;

TEditForm::TEditForm(TDocumentHost* host, QWidget* parent) : QWidget(parent), Host_(host) {
  setAttribute(Qt::WA_KeyCompression, false);
  Editor = new TEditor(this, this);
  Editor->setObjectName(QStringLiteral("Editor"));
  Editor->setFrameShape(QFrame::NoFrame);
  Editor->setLineWrapMode(QTextEdit::WidgetWidth);
  Editor->setTabChangesFocus(false);
  Editor->setUndoRedoEnabled(true);
  // The margins live on the editor (SetEditorMargins), not in the document.
  Editor->document()->setDocumentMargin(0);
  Editor->document()->clearUndoRedoStacks();
  Editor->document()->setModified(false);
  tolvan::document::limitUndoHistory(Editor->document());
  // The margins around the text show the paper colour too.
  Editor->setBackgroundRole(QPalette::Base);
  Editor->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Editor);
  setFocusProxy(Editor);
  // The window previews every key before the editor sees it, typed or sent.
  Editor->installEventFilter(this);

  FileMonitor = std::make_unique<tolvan::FolderMonitor>();
  connect(FileMonitor.get(), &tolvan::FolderMonitor::changed, this,
          &TEditForm::FileMonitorChange);

  QTextDocument* doc = Editor->document();
  connect(doc, &QTextDocument::modificationChanged, this, [this] {
    if (!Editor->inKey()) EditorChange();
  });
  connect(Editor, &QTextEdit::textChanged, this, [this] {
    if (!Editor->inKey()) EditorChange();
  });
  connect(Editor, &QTextEdit::cursorPositionChanged, this, [this] {
    if (!Editor->inKey()) EditorSelectionChange();
  });
  connect(Editor, &QTextEdit::selectionChanged, this, [this] {
    if (!Editor->inKey()) EditorSelectionChange();
  });
  // The frame follows the caret and the format at it through these.
  connect(Editor, &QTextEdit::cursorPositionChanged, this, &TEditForm::caretMoved);
  connect(Editor, &QTextEdit::selectionChanged, this, &TEditForm::caretMoved);
  connect(Editor, &QTextEdit::currentCharFormatChanged, this, &TEditForm::charFormatChanged);
  // The caret's line, counted from estimated heights while the paragraphs
  // before it wait to be measured, is exact once they are.
  connect(Editor->textLayout(), &TDocumentLayout::measured, this, &TEditForm::caretMoved);
  // The edits of one key are reported once, when the key is done.
  connect(Editor, &TEditor::keyHandled, this, [this] {
    EditorChange();
    EditorSelectionChange();
  });

  buildMenus();
  setupCommands();
  FormCreate();
}

TEditForm::~TEditForm() {
  if (FileMonitor) FileMonitor->deactivate();
  if (!closed_) removeSelectorButton();
}

void TEditForm::FormCreate() {
  // The selector button goes after the buttons of the windows already open.
  if (QWidget* bar = Host_ ? Host_->selectorBar() : nullptr) {
    const auto existing =
        bar->findChildren<QToolButton*>(QStringLiteral("BtnSpeed"), Qt::FindDirectChildrenOnly);
    BtnSpeed = new QToolButton(bar);
    BtnSpeed->setObjectName(QStringLiteral("BtnSpeed"));
    BtnSpeed->setGeometry(static_cast<int>(existing.size()) * 80, 2, 80, 20);
    BtnSpeed->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    BtnSpeed->setAutoRaise(true);
    BtnSpeed->setCheckable(true);
    BtnSpeed->setIconSize(QSize(16, 16));
    BtnSpeed->setIcon(tolvan::icon(tolvan::IconId::New));
    setButtonTextColor(BtnSpeed, Qt::white);
    connect(BtnSpeed, &QToolButton::clicked, this, &TEditForm::BtnSpeedClick);
    BtnSpeed->show();
    BtnSpeedGuard_ = BtnSpeed;
  }
  readKeyboardSettings();
  ConvertCommands->buildFontMapMenu(tolvan::RegisteredFontMaps(settingsFor(Host_).file()));
}

void TEditForm::buildMenus() {
  const QFont menuFont(tolvan::tamilUiFontName());

  File1 = new QMenu(QStringLiteral("&File"), this);
  New1 = addItem(File1, QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N));
  Open1 = addItem(File1, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O));
  Save1 = addItem(File1, QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
  Saveas1 = addItem(File1, QStringLiteral("Save &As..."));
  SaveAsText1 = addItem(File1, QStringLiteral("Save As &Text"));
  File1->addSeparator();
  Email1 = addItem(File1, QStringLiteral("&Email"), QKeySequence(Qt::CTRL | Qt::Key_E));
  File1->addSeparator();
  Close1 = addItem(File1, QStringLiteral("&Close"));
  CloseAll1 = addItem(File1, QStringLiteral("Close All"));
  File1->addSeparator();
  Print1 = addItem(File1, QStringLiteral("&Print"), QKeySequence(Qt::CTRL | Qt::Key_P));
  Printersetup1 = addItem(File1, QStringLiteral("Printer setup..."));
  File1->addSeparator();
  ReOpen1 = addItem(File1, QStringLiteral("&ReOpen"));
  // This document's file read again in the other encoding (a wrong guess).
  ReopenAsTscii1 = addItem(File1, QStringLiteral("Reopen as TSCII"));
  ReopenAsUnicode1 = addItem(File1, QStringLiteral("Reopen as Unicode"));
  File1->addSeparator();
  Exit1 = addItem(File1, QStringLiteral("E&xit"));
  Email1->setEnabled(false);
  Print1->setEnabled(false);
  Printersetup1->setEnabled(false);
  {
    QFont bold = ReOpen1->font();
    bold.setBold(true);
    ReOpen1->setFont(bold);
  }

  Edit1 = new QMenu(QStringLiteral("&Edit"), this);
  UnDo1 = addItem(Edit1, QStringLiteral("&UnDo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
  Redo1 = addItem(Edit1, QStringLiteral("&Redo"));
  Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  Edit1->addSeparator();
  mmCut = addItem(Edit1, QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X));
  mmCopy = addItem(Edit1, QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
  mmPaste = addItem(Edit1, QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
  mmDelete = addItem(Edit1, QStringLiteral("De&lete"));
  Edit1->addSeparator();
  Selectall1 = addItem(Edit1, QStringLiteral("Select &all"), QKeySequence(Qt::CTRL | Qt::Key_A));
  WordWrap1 = addItem(Edit1, QStringLiteral("&WordWrap"));
  WordWrap1->setCheckable(true);
  WordWrap1->setChecked(true);

  Search1 = new QMenu(QStringLiteral("&Search"), this);
  Find1 = addItem(Search1, QStringLiteral("&Find"), QKeySequence(Qt::CTRL | Qt::Key_F));
  Replace1 = addItem(Search1, QStringLiteral("&Replace"), QKeySequence(Qt::CTRL | Qt::Key_R));
  FindAgain1 = addItem(Search1, QStringLiteral("Find &Next"), QKeySequence(Qt::Key_F3));
  for (QAction* a : {Find1, Replace1, FindAgain1}) a->setEnabled(false);

  Keyboard1 = new QMenu(QStringLiteral("&Keyboard"), this);
  mmTamilKB = addItem(Keyboard1, QStringLiteral("Tamil Mode ON"), QKeySequence(Qt::CTRL | Qt::Key_T));
  mmTamilKB->setCheckable(true);
  Keyboard1->addSeparator();
  mmAnjalKB = addItem(Keyboard1, QStringLiteral("Anjal Keyboard"));
  mmMylaiKB = addItem(Keyboard1, QStringLiteral("Mylai Keyboard"));
  mmTypeKB = addItem(Keyboard1, QStringLiteral("Typewriter Keyboard"));
  mmRomanKB = addItem(Keyboard1, QStringLiteral("Romanised Keyboard"));
  LayoutGroup_ = new QActionGroup(this);
  LayoutGroup_->setExclusive(true);
  for (QAction* a : {mmAnjalKB, mmMylaiKB, mmTypeKB, mmRomanKB}) {
    a->setCheckable(true);
    LayoutGroup_->addAction(a);
  }
  mmAnjalKB->setChecked(true);

  // The Convert menu and the editor's popup menu share the commands.
  Convert1 = new QMenu(QStringLiteral("&Convert"), this);
  ConvertCommands = new TConvertCommands(
      ConvertHost{this, Editor,
                  [this](bool on) {
                    if (Host_) Host_->setBusy(on);
                  },
                  [this]() -> tolvan::ProfileFile& { return settingsFor(Host_).file(); },
                  Host_ ? std::function<void()>([this] { Host_->showHelp(); })
                        : std::function<void()>(),
                  [this] { return Title_; }, [this] { return LineEnding_; },
                  Host_ ? std::function<QTextEdit*()>([this]() -> QTextEdit* {
                    // Import fills it with TSCII, whatever new documents are.
                    TEditForm* f = Host_->newDocument();
                    if (f) f->setEncoding(tolvan::TextEncoding::Tscii);
                    return f ? f->Editor : nullptr;
                  })
                        : std::function<QTextEdit*()>(),
                  [this] { return Editor->encoding(); },
                  [this](tolvan::TextEncoding e) { setEncoding(e); }},
      this);
  // Unicode out and in, after the Edit menu's own items.
  Edit1->addSeparator();
  ConvertCommands->addUnicodeItems(Edit1);
  EditMenu = new QMenu(this);
  EditMenu->setObjectName(QStringLiteral("EditMenu"));
  connect(addItem(EditMenu, QStringLiteral("Save")), &QAction::triggered, this, &TEditForm::Save1Click);
  connect(addItem(EditMenu, QStringLiteral("Select All")), &QAction::triggered, this,
          &TEditForm::Selectall1Click);
  EditMenu->addSeparator();
  ConvertCommands->addConverterItems(Convert1, EditMenu);
  // Whole-document conversion; the Convert items follow the encoding.
  ConvertCommands->addDocumentItems(Convert1);
  connect(this, &TEditForm::encodingChanged, ConvertCommands, &TConvertCommands::updateForEncoding);
  // And whenever one of the menus holding them opens, in case the editor's
  // encoding was set without the window.
  for (QMenu* m : {Convert1, EditMenu, Edit1})
    connect(m, &QMenu::aboutToShow, ConvertCommands, &TConvertCommands::updateForEncoding);
  EditMenu->addSeparator();
  SetasWallpaper1 = addItem(EditMenu, QStringLiteral("Set as WallPaper"));
  SetasWallpaper1->setObjectName(QStringLiteral("SetasWallpaper1"));
  connect(SetasWallpaper1, &QAction::triggered, this, &TEditForm::SetasWallpaper1Click);
  EditMenu->addSeparator();
  ConvertCommands->Convert = EditMenu->addMenu(QStringLiteral("Convert Fonts Using"));
  ConvertCommands->Convert->setObjectName(QStringLiteral("Convert"));
  Editor->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Editor, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    EditMenu->popup(Editor->viewport()->mapToGlobal(pos));
  });

  Tools1 = new QMenu(QStringLiteral("&Tools"), this);
  mmSetFont = addItem(Tools1, QStringLiteral("Set Font"));
  mmPenClr = addItem(Tools1, QStringLiteral("Set Pen Clolor"));
  mmPaperClr = addItem(Tools1, QStringLiteral("Set Paper Color"));
  Tools1->addSeparator();
  mmEncrypt = addItem(Tools1, QStringLiteral("Encrypt"));
  mmDecrypt = addItem(Tools1, QStringLiteral("Decrypt"));
  Tools1->addSeparator();
  FontConversion1 = addItem(Tools1, QStringLiteral("Font Conversion"));
  mmRecKey = addItem(Tools1, QStringLiteral("Record KeyStrokes"), QKeySequence(Qt::CTRL | Qt::Key_Q));
  mmPlayKey = addItem(Tools1, QStringLiteral("Play KeyStrokes"),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
  // Recording and playing keystrokes are never enabled.
  for (QAction* a : {mmRecKey, mmPlayKey})
    a->setEnabled(false);
  connect(FontConversion1, &QAction::triggered, ConvertCommands,
          &TConvertCommands::FontConversion1Click);

  for (QMenu* m : {File1, Edit1, Search1, Keyboard1, Convert1, Tools1, EditMenu}) m->setFont(menuFont);

  // The same pictures as the toolbar's, with a host to show the toolbar.
  if (Host_) {
    using tolvan::IconId;
    New1->setIcon(tolvan::icon(IconId::New));
    Open1->setIcon(tolvan::icon(IconId::Open));
    mmCut->setIcon(tolvan::icon(IconId::Cut));
    mmCopy->setIcon(tolvan::icon(IconId::Copy));
    mmPaste->setIcon(tolvan::icon(IconId::Paste));
    mmDelete->setIcon(tolvan::icon(IconId::Delete));
  }

  connect(New1, &QAction::triggered, this, [this] {
    if (Host_) Host_->newDocument();
  });
  connect(Open1, &QAction::triggered, this, [this] {
    if (Host_) Host_->openDocument();
  });
  connect(Exit1, &QAction::triggered, this, [this] {
    if (Host_) Host_->exitProgram();
  });
  connect(Save1, &QAction::triggered, this, &TEditForm::Save1Click);
  connect(Saveas1, &QAction::triggered, this, &TEditForm::Saveas1Click);
  connect(SaveAsText1, &QAction::triggered, this, &TEditForm::SaveAsText1Click);
  connect(ReopenAsTscii1, &QAction::triggered, this, &TEditForm::ReopenAsTscii1Click);
  connect(ReopenAsUnicode1, &QAction::triggered, this, &TEditForm::ReopenAsUnicode1Click);
  updateReopenItems();
  connect(Close1, &QAction::triggered, this, &TEditForm::Close1Click);
  connect(CloseAll1, &QAction::triggered, this, &TEditForm::CloseAll1Click);
  connect(Edit1, &QMenu::aboutToShow, this, [this] {
    clipboardHasTextFlag() = [] {
      const QMimeData* md = QGuiApplication::clipboard()->mimeData();
      return md && md->hasText();
    }();
    UpdateDocumentCommands();
  });
  connect(UnDo1, &QAction::triggered, this, &TEditForm::UnDo1Click);
  connect(Redo1, &QAction::triggered, this, &TEditForm::Redo1Click);
  connect(mmCut, &QAction::triggered, this, &TEditForm::mmCutClick);
  connect(mmCopy, &QAction::triggered, this, &TEditForm::mmCopyClick);
  connect(mmPaste, &QAction::triggered, this, &TEditForm::mmPasteClick);
  connect(mmDelete, &QAction::triggered, this, &TEditForm::mmDeleteClick);
  connect(Selectall1, &QAction::triggered, this, &TEditForm::Selectall1Click);
  connect(WordWrap1, &QAction::triggered, this, [this](bool checked) {
    // The item flips its own check mark; the command flips the editor and
    // sets the mark from the result.
    WordWrap1->setChecked(!checked);
    Wordwrap1Click();
  });
  connect(mmTamilKB, &QAction::triggered, this, [this](bool checked) {
    mmTamilKB->setChecked(!checked);
    mmTamilKBClick();
  });
  connect(mmAnjalKB, &QAction::triggered, this, &TEditForm::mmAnjalKBClick);
  connect(mmMylaiKB, &QAction::triggered, this, &TEditForm::mmMylaiKBClick);
  connect(mmTypeKB, &QAction::triggered, this, &TEditForm::mmTypeKBClick);
  connect(mmRomanKB, &QAction::triggered, this, &TEditForm::mmRomanKBClick);
  connect(mmSetFont, &QAction::triggered, this, &TEditForm::Font1Click);
  connect(mmPenClr, &QAction::triggered, this, &TEditForm::SetPenColor1Click);
  connect(mmPaperClr, &QAction::triggered, this, &TEditForm::SetPaperColor1Click);
  connect(mmEncrypt, &QAction::triggered, this, &TEditForm::mmEncryptClick);
  connect(mmDecrypt, &QAction::triggered, this, &TEditForm::mmDecryptClick);
}

QList<QMenu*> TEditForm::MergeMenus(int group) const {
  if (group == 0) return {File1};
  if (group == 1) return {Edit1, Search1, Keyboard1, Convert1, Tools1};
  return {};
}

QMdiSubWindow* TEditForm::subWindow() const {
  return qobject_cast<QMdiSubWindow*>(parentWidget());
}

// ---------------------------------------------------------------- selector bar

void TEditForm::BtnSpeedClick() {
  if (QMdiSubWindow* sub = subWindow()) {
    if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
    sub->showNormal();
    sub->showMaximized();
  } else {
    show();
    activateWindow();
  }
  Editor->setFocus();
}

void TEditForm::removeSelectorButton() {
  QToolButton* btn = BtnSpeedGuard_.data();
  if (!btn) return;
  QWidget* bar = btn->parentWidget();
  btn->hide();
  btn->setParent(nullptr);
  delete btn;
  BtnSpeed = nullptr;
  if (!bar) return;
  // The remaining buttons close up, in their order on the bar.
  const auto rest =
      bar->findChildren<QToolButton*>(QStringLiteral("BtnSpeed"), Qt::FindDirectChildrenOnly);
  int i = 0;
  for (QToolButton* b : rest) b->move(i++ * 80, 2);
}

// ---------------------------------------------------------------- commands

void TEditForm::UpdateDocumentCommands() {
  const bool hasSel = Editor->textCursor().hasSelection();
  const bool canPaste = clipboardHasText();
  const QTextDocument* doc = Editor->document();
  const bool canUndo = doc->isUndoAvailable();
  const bool canRedo = doc->isRedoAvailable();
  const bool modified = doc->isModified();
  mmCut->setEnabled(hasSel);
  mmCopy->setEnabled(hasSel);
  mmDelete->setEnabled(hasSel);
  mmPaste->setEnabled(canPaste);
  UnDo1->setEnabled(canUndo);
  Redo1->setEnabled(canRedo);
  emit copyAvailable(hasSel);
  emit pasteAvailable(canPaste);
  emit undoAvailable(canUndo);
  emit redoAvailable(canRedo);
  emit modificationChanged(modified);
  if (BtnSpeed) setButtonTextColor(BtnSpeed, modified ? QColor(0xFF, 0, 0) : QColor(Qt::black));
}

void TEditForm::SetEditorMargins() {
  // The formatting rectangle: 10 pixels from the left, 3 from the top, the
  // editor's full width and height otherwise. Kept on the editor rather than
  // in the document, so it is no edit: no undo step, no modified flag.
  Editor->setFormattingMargins(QMargins(10, 3, 0, 0));
}

void TEditForm::EditorChange() {
  UpdateDocumentCommands();
  const bool modified = Editor->document()->isModified();
  if (modified != LastReportedModified_) {
    LastReportedModified_ = modified;
    emit documentChanged(this);
  }
}

void TEditForm::EditorSelectionChange() {
  // The frame follows the active editor's caret for its position panels and
  // format bar itself; the window keeps its commands current.
  UpdateDocumentCommands();
}

void TEditForm::UnDo1Click() {
  WaitCursorScope busy(Editor->isLarge());
  if (Editor->document()->isUndoAvailable()) Editor->undo();
}

void TEditForm::Redo1Click() {
  WaitCursorScope busy(Editor->isLarge());
  if (Editor->document()->isRedoAvailable()) Editor->redo();
}

void TEditForm::mmCutClick() { Editor->cut(); }
void TEditForm::mmCopyClick() { Editor->copy(); }
void TEditForm::mmPasteClick() { Editor->paste(); }

void TEditForm::mmDeleteClick() {
  QTextCursor c = Editor->textCursor();
  if (!c.hasSelection()) return;
  WaitCursorScope busy(Editor->isLarge());
  c.removeSelectedText();
  Editor->setTextCursor(c);
}

void TEditForm::Selectall1Click() { Editor->selectAll(); }

void TEditForm::Wordwrap1Click() {
  const bool wrap = Editor->lineWrapMode() == QTextEdit::NoWrap;
  Editor->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
  // With wrapping only the vertical scroll bar is offered.
  Editor->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  WordWrap1->setChecked(wrap);
}

void TEditForm::Font1Click() {
  // The dialog starts from the editor's own font, not the selection's.
  QFont font = Editor->document()->defaultFont();
  if (!tolvan::Prompts::instance().chooseFont(this, font)) return;
  QTextCharFormat f;
  f.setFont(font);
  Editor->mergeCurrentCharFormat(f);
}

void TEditForm::SetPenColor1Click() {
  QColor c;
  if (!chooseColor(c)) return;
  QPalette p = Editor->palette();
  p.setColor(QPalette::Text, c);
  Editor->setPalette(p);
}

void TEditForm::SetPaperColor1Click() {
  QColor c;
  if (!chooseColor(c)) return;
  QPalette p = Editor->palette();
  p.setColor(QPalette::Base, c);
  Editor->setPalette(p);
}

// ---------------------------------------------------------------- Tamil typing

bool TEditForm::isTamilMode() const { return mmTamilKB->isChecked(); }

tolvan::TextEncoding TEditForm::encoding() const { return Editor->encoding(); }

void TEditForm::setEncoding(tolvan::TextEncoding e) {
  if (Editor->encoding() == e) return;
  Editor->setEncoding(e);
  updateReopenItems();
  applyEncodingFont();
  emit encodingChanged(this);
}

tolvan::Layout TEditForm::layout() const {
  // The first checked item, in the dispatch's order.
  if (mmTypeKB->isChecked()) return tolvan::Layout::Typewriter;
  if (mmAnjalKB->isChecked()) return tolvan::Layout::Anjal;
  if (mmMylaiKB->isChecked()) return tolvan::Layout::Mylai;
  return tolvan::Layout::Roman;
}

unsigned char TEditForm::EditorKeyPress(unsigned char key) {
  if (!mmTamilKB->isChecked()) return key;
  if (!LayoutGroup_->checkedAction()) return key;
  FormKeySink sink(this);
  return tolvan::EditorKeyPress(true, layout(), key, tolvan::programTamilState(), sink);
}

bool TEditForm::typesTamil() const { return mmTamilKB->isChecked() && LayoutGroup_->checkedAction(); }

void TEditForm::SendKeyToEditor(unsigned char ch) { tolvan::sendByteKey(Editor, ch); }

void TEditForm::mmTamilKBClick() {
  if (mmTamilKB->isChecked()) {
    mmTamilKB->setChecked(false);
    setWindowTitle(applicationTitle());
    mmTamilKB->setText(QStringLiteral("Set Tamil Typewriter Mode ON"));
  } else {
    mmTamilKB->setChecked(true);
    setWindowTitle(applicationTitle() + QStringLiteral(" TAMIL Keyboard ON"));
    mmTamilKB->setText(QStringLiteral("Set Tamil Typewriter Mode OFF"));
  }
  emit tamilModeChanged(mmTamilKB->isChecked());
  emit documentChanged(this);
}

void TEditForm::mmAnjalKBClick() { mmAnjalKB->setChecked(true); }
void TEditForm::mmMylaiKBClick() { mmMylaiKB->setChecked(true); }
void TEditForm::mmTypeKBClick() { mmTypeKB->setChecked(true); }
void TEditForm::mmRomanKBClick() { mmRomanKB->setChecked(true); }

void TEditForm::readKeyboardSettings() {
  tolvan::Settings& s = settingsFor(Host_);
  // A value outside 1..4 leaves the initial choice (Anjal).
  switch (tolvan::layoutFromSetting(s.readInteger(tolvan::Key::KeyBoard), layout())) {
    case tolvan::Layout::Anjal: mmAnjalKB->setChecked(true); break;
    case tolvan::Layout::Mylai: mmMylaiKB->setChecked(true); break;
    case tolvan::Layout::Typewriter: mmTypeKB->setChecked(true); break;
    case tolvan::Layout::Roman: mmRomanKB->setChecked(true); break;
  }
  // Only the check mark: the caption, the title and the toolbar button stay.
  mmTamilKB->setChecked(s.readInteger(tolvan::Key::TamilMode) == 1);
}

void TEditForm::writeKeyboardSettings() {
  tolvan::Settings& s = settingsFor(Host_);
  if (LayoutGroup_->checkedAction()) s.writeInteger(tolvan::Key::KeyBoard, tolvan::settingOfLayout(layout()));
  s.writeInteger(tolvan::Key::TamilMode, mmTamilKB->isChecked() ? 1 : 0);
}

// ---------------------------------------------------------------- events

bool TEditForm::eventFilter(QObject* watched, QEvent* event) {
  // Key preview: every key-down, typed or sent, is announced (the holder's
  // key-state panels follow it).
  if (watched == Editor && event->type() == QEvent::KeyPress)
    emit keyPreviewed(static_cast<QKeyEvent*>(event));
  return QWidget::eventFilter(watched, event);
}

void TEditForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  SetEditorMargins();
  emit formatChanged();
}

void TEditForm::paintEvent(QPaintEvent* e) {
  SetEditorMargins();
  QWidget::paintEvent(e);
}
