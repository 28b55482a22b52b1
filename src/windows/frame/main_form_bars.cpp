// The frame's bars: toolbar actions, format bar, status bar, the colour
// menus, hints and the key-state panels.
#include "windows/frame/main_form.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QStatusTipEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <QTextList>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/document/line_counter.h"
#include "windows/panels/char_map.h"
#include "platform/fonts.h"
#include "platform/icons.h"
#include "platform/key_state.h"
#include "platform/prompts.h"
#include "windows/frame/color_menu.h"
#include "core/settings/color_table.h"
#include "windows/frame/led.h"

using tolvan::IconId;

namespace {

// The font box lists the installed fonts only when first opened: asking the
// font database for every family costs more than the rest of start-up.
class TFontNameBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> beforePopup;
  void showPopup() override {
    if (beforePopup) beforePopup();
    QComboBox::showPopup();
  }

 protected:
  void focusInEvent(QFocusEvent* e) override {
    if (beforePopup) beforePopup();
    QComboBox::focusInEvent(e);
  }
};

QToolButton* flatButton(QWidget* parent, const char* name, IconId icon, const QString& hint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoRaise(true);
  b->setCheckable(true);
  b->setIcon(tolvan::icon(icon));
  b->setIconSize(QSize(16, 16));
  b->setFixedSize(23, 22);
  b->setToolTip(hint);
  b->setStatusTip(hint);
  b->setProperty("flatSpeedButton", true);  // tooltips of these are large
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------
// Actions

void TMainForm::buildActions() {
  auto make = [this](const QString& text, const char* name, auto slot,
                     QKeySequence shortcut = QKeySequence()) {
    auto* a = new QAction(text, this);
    a->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  // Frame menu items.
  New1 = make(QStringLiteral("&New"), "New1", &TMainForm::New1Click, QKeySequence(Qt::CTRL | Qt::Key_N));
  New1->setIcon(tolvan::icon(IconId::New));
  Open1 = make(QStringLiteral("&Open"), "Open1", &TMainForm::Open1Click, QKeySequence(Qt::CTRL | Qt::Key_O));
  Open1->setIcon(tolvan::icon(IconId::Open));
  ReOpen1 = new QAction(QStringLiteral("&ReOpen"), this);
  ReOpen1->setObjectName(QStringLiteral("ReOpen1"));
  Exit1 = make(QStringLiteral("E&xit"), "Exit1", &TMainForm::Exit1Click);
  mmToolBar = make(QStringLiteral("&Tool Bar"), "mmToolBar", &TMainForm::mmToolBarClick);
  mmFormatBar = make(QStringLiteral("&Format Bar"), "mmFormatBar", &TMainForm::mmFormatBarClick);
  mmStatusBar = make(QStringLiteral("&Status Bar"), "mmStatusBar", &TMainForm::mmStatusBarClick);
  mmSelectorBar = make(QStringLiteral("Selector Bar"), "mmSelectorBar", &TMainForm::mmSelectorBarClick);
  mmDirPanel = make(QStringLiteral("Directory Panel"), "mmDirPanel", &TMainForm::mmDirPanelClick);
  for (QAction* a : {mmToolBar, mmFormatBar, mmStatusBar, mmSelectorBar, mmDirPanel})
    a->setCheckable(true);
  mmASCIIMap = new QAction(QStringLiteral("ASCII &Map"), this);
  mmASCIIMap->setObjectName(QStringLiteral("mmASCIIMap"));
  mmASCIIMap->setEnabled(false);
  mmASCIIMap->setCheckable(true);
  connect(mmASCIIMap, &QAction::triggered, this, [this](bool checked) {
    mmASCIIMap->setChecked(!checked);  // the command sets it
    mmASCIIMapClick();
  });
  Preferences1 = make(QStringLiteral("Preferences"), "Preferences1", &TMainForm::Preferences1Click);
  Tile1 = make(QStringLiteral("&Tile"), "Tile1", &TMainForm::Tile1Click);
  Cascade1 = make(QStringLiteral("&Cascade"), "Cascade1", &TMainForm::Cascade1Click);
  ArrangeIcons1 = make(QStringLiteral("&Arrange Icons"), "ArrangeIcons1", &TMainForm::ArrangeIcons1Click);
  Contents1 = make(QStringLiteral("&Contents"), "Contents1", &TMainForm::Contents1Click, QKeySequence(Qt::Key_F1));
  Contents1->setIcon(tolvan::icon(IconId::Help));
  Email1 = make(QStringLiteral("&Email Author"), "Email1", &TMainForm::Email1Click);
  Email1->setIcon(tolvan::icon(IconId::Email));
  Tolvanwebsite1 = make(QStringLiteral("Tolvan &Website"), "Tolvanwebsite1", &TMainForm::Tolvanwebsite1Click);
  About1 = make(QStringLiteral("About"), "About1", &TMainForm::About1Click);

  // Toolbar buttons: the hint is both the tooltip and the status-bar text.
  auto button = [this](const char* name, IconId icon, const QString& hint, auto slot) {
    auto* a = new QAction(tolvan::icon(icon), hint, this);
    a->setObjectName(QLatin1String(name));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  BtnNew = button("BtnNew", IconId::New, QStringLiteral("New File (Ctrl + N)"), &TMainForm::New1Click);
  BtnOpen = button("BtnOpen", IconId::Open, QStringLiteral("Open File (Ctrl + O)"), &TMainForm::Open1Click);
  BtnSave = button("BtnSave", IconId::Save, QStringLiteral("Save File (Ctrl + S)"), &TMainForm::ButtonSaveClick);
  BtnPrint = button("BtnPrint", IconId::Print, QStringLiteral("Print (Ctrl + P)"), &TMainForm::ButtonPrintClick);
  BtnEmail = button("BtnEmail", IconId::Email, QStringLiteral("Email File or Selected contents"), &TMainForm::ButtonEmailClick);
  BtnCut = button("BtnCut", IconId::Cut, QStringLiteral("Cut to Clipboard"), &TMainForm::ButtonCutClick);
  BtnCopy = button("BtnCopy", IconId::Copy, QStringLiteral("Copy to Clipboard (Ctrl + C)"), &TMainForm::ButtonCopyClick);
  BtnPaste = button("BtnPaste", IconId::Paste, QStringLiteral("Paste from Clipboard"), &TMainForm::ButtonPasteClick);
  BtnDelete = button("BtnDelete", IconId::Delete, QStringLiteral("Delete"), &TMainForm::ButtonDeleteClick);
  BtnUndo = button("BtnUndo", IconId::Undo, QStringLiteral("Undo (Ctrl + Z)"), &TMainForm::ButtonUndoClick);
  BtnRedo = button("BtnRedo", IconId::Redo, QStringLiteral("Redo (Ctrl + Y)"), &TMainForm::ButtonRedoClick);
  BtnFind = button("BtnFind", IconId::Find, QStringLiteral("Find (Ctrl + F)"), &TMainForm::ButtonFindClick);
  BtnReplace = button("BtnReplace", IconId::Replace, QStringLiteral("Replace (Ctrl + R)"), &TMainForm::BtnReplaceClick);
  BtnTamil = button("BtnTamil", IconId::Tamil, QStringLiteral("Set Tamil Typing Mode On / Off"), &TMainForm::BtnTamilClick);
  BtnTamil->setCheckable(true);
  BtnKeyboard = button("BtnKeyboard", IconId::Keyboard, QStringLiteral("Show ASCII Map"), [this](bool checked) {
    BtnKeyboard->setChecked(!checked);  // the command sets it
    mmASCIIMapClick();
  });
  BtnKeyboard->setCheckable(true);
  BtnDir = button("BtnDir", IconId::Dir, QStringLiteral("Show Directory Panel"), &TMainForm::mmDirPanelClick);
  BtnDir->setCheckable(true);
  BtnPen = button("BtnPen", IconId::Pen, QStringLiteral("Set Pen Color"), &TMainForm::BtnPenClick);
  BtnPaper = button("BtnPaper", IconId::Paper, QStringLiteral("Set Paper Color"), &TMainForm::BtnPaperClick);
  BtnFont = button("BtnFont", IconId::Font, QStringLiteral("Set Font"), &TMainForm::mmSetFontClick);
  BtnEncrypt = button("BtnEncrypt", IconId::Encrypt, QStringLiteral("Encrypt"), &TMainForm::BtnEncryptClick);
  BtnDecrypt = button("BtnDecrypt", IconId::Decrypt, QStringLiteral("Decrypt"), &TMainForm::BtnDecryptClick);
  BtnHelp = button("BtnHelp", IconId::Help, QStringLiteral("Help"), &TMainForm::Contents1Click);
}

void TMainForm::buildToolBar() {
  ToolBar = new QToolBar(QStringLiteral("ToolBar"), this);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->setContentsMargins(2, 2, 2, 2);
  // Sections File, Edit, Search, Tamil and Crypt.
  for (QAction* a : {BtnNew, BtnOpen, BtnSave, BtnPrint, BtnEmail}) ToolBar->addAction(a);
  ToolBar->addSeparator();
  for (QAction* a : {BtnCut, BtnCopy, BtnPaste, BtnDelete}) ToolBar->addAction(a);
  ToolBar->addSeparator();
  for (QAction* a : {BtnUndo, BtnRedo}) ToolBar->addAction(a);
  ToolBar->addSeparator();
  for (QAction* a : {BtnFind, BtnReplace}) ToolBar->addAction(a);
  ToolBar->addSeparator();
  for (QAction* a : {BtnTamil, BtnKeyboard, BtnDir, BtnPen, BtnPaper, BtnFont})
    ToolBar->addAction(a);
  ToolBar->addSeparator();
  for (QAction* a : {BtnEncrypt, BtnDecrypt, BtnHelp}) ToolBar->addAction(a);
  for (QAction* a : ToolBar->actions()) {
    if (auto* b = qobject_cast<QToolButton*>(ToolBar->widgetForAction(a))) {
      b->setAutoRaise(true);
      b->setMinimumSize(22, 22);
    }
  }
  addToolBar(Qt::TopToolBarArea, ToolBar);
}

// ---------------------------------------------------------------------------
// Format bar

void TMainForm::buildFormatBar() {
  FormatPanel = new QWidget(this);
  FormatPanel->setObjectName(QStringLiteral("FormatPanel"));
  FormatPanel->setFixedHeight(25);
  auto* h = new QHBoxLayout(FormatPanel);
  h->setContentsMargins(2, 0, 2, 0);
  h->setSpacing(2);

  auto* box = new TFontNameBox(FormatPanel);
  box->beforePopup = [this] { populateFontNames(); };
  FontName = box;
  FontName->setObjectName(QStringLiteral("FontName"));
  FontName->setFixedWidth(140);
  FontName->setEditable(false);
  connect(FontName, &QComboBox::textActivated, this, [this] { FontNameChange(); });
  h->addWidget(FontName);

  FontSize = new QSpinBox(FormatPanel);
  FontSize->setObjectName(QStringLiteral("FontSize"));
  FontSize->setRange(8, 100);
  FontSize->setValue(10);
  FontSize->setFixedWidth(45);
  FontSize->setKeyboardTracking(false);  // a typed size applies once complete
  connect(FontSize, &QSpinBox::valueChanged, this, [this] { FontSizeChange(); });
  h->addWidget(FontSize);

  BoldFlatButton = flatButton(FormatPanel, "BoldFlatButton", IconId::Bold, QStringLiteral("Bold"));
  ItalicFlatButton = flatButton(FormatPanel, "ItalicFlatButton", IconId::Italic, QStringLiteral("Italic"));
  UnderlineFlatButton =
      flatButton(FormatPanel, "UnderlineFlatButton", IconId::Underline, QStringLiteral("Underline"));
  LeftAlignFlat = flatButton(FormatPanel, "LeftAlignFlat", IconId::AlignLeft, QStringLiteral("Align Left"));
  CenterAlignFlat = flatButton(FormatPanel, "CenterAlignFlat", IconId::AlignCenter, QStringLiteral("Center"));
  RightAlignFlat = flatButton(FormatPanel, "RightAlignFlat", IconId::AlignRight, QStringLiteral("Align Right"));
  FlatSpeedButton1 = flatButton(FormatPanel, "FlatSpeedButton1", IconId::AlignJustify, QStringLiteral("Justify"));
  BulletsFlatButton = flatButton(FormatPanel, "BulletsFlatButton", IconId::Bullets, QStringLiteral("Bullets"));
  connect(BoldFlatButton, &QToolButton::clicked, this, &TMainForm::BoldFlatButtonClick);
  connect(ItalicFlatButton, &QToolButton::clicked, this, &TMainForm::ItalicFlatButtonClick);
  connect(UnderlineFlatButton, &QToolButton::clicked, this, &TMainForm::UnderlineFlatButtonClick);
  connect(BulletsFlatButton, &QToolButton::clicked, this, &TMainForm::BulletsFlatButtonClick);
  // Alignment buttons: a radio group; the id is the alignment code
  // (0 left, 1 right, 2 centre, 3 justify).
  AlignGroup_ = new QButtonGroup(this);
  AlignGroup_->setExclusive(true);
  AlignGroup_->addButton(LeftAlignFlat, 0);
  AlignGroup_->addButton(CenterAlignFlat, 2);
  AlignGroup_->addButton(RightAlignFlat, 1);
  AlignGroup_->addButton(FlatSpeedButton1, 3);
  LeftAlignFlat->setChecked(true);
  connect(AlignGroup_, &QButtonGroup::idClicked, this, &TMainForm::LeftAlignFlatClick);
  for (QToolButton* b : {BoldFlatButton, ItalicFlatButton, UnderlineFlatButton, LeftAlignFlat,
                         CenterAlignFlat, RightAlignFlat, FlatSpeedButton1, BulletsFlatButton})
    h->addWidget(b);
  h->addStretch(1);
  FormatPanel->hide();  // shown with a document when the View check mark says so
}

void TMainForm::populateFontNames() {
  if (fontNamesFilled_) return;
  fontNamesFilled_ = true;
  // Family names only: no foundry variants, no empty entry.
  const QStringList families = tolvan::installedFontFamilies();
  QString current = tolvan::familyWithoutFoundry(FontName->currentText());
  // Without a default font the box shows the family documents are drawn in.
  if (current.isEmpty())
    current = tolvan::familyWithoutFoundry(QFontInfo(QFont(DocumentFontFamily())).family());
  const QSignalBlocker block(FontName);
  FontName->clear();
  FontName->addItems(families);
  int i = FontName->findText(current, Qt::MatchFixedString);  // without regard to case
  if (i < 0 && !current.isEmpty()) {
    FontName->insertItem(0, current);  // a name the system does not have, kept as chosen
    i = 0;
  }
  FontName->setCurrentIndex(i);
}

QTextEdit* TMainForm::formatTarget() const {
  return EditForms().isEmpty() ? nullptr : activeEditor();
}

void TMainForm::FontNameChange() {
  const QString name = tolvan::familyWithoutFoundry(FontName->currentText());
  if (name.isEmpty()) return;
  if (QTextEdit* ed = formatTarget()) {
    // The family alone: its face follows the bold and italic buttons. A face
    // name left from the font dialog ("Italic") would override them.
    QTextCharFormat f;
    f.setFontFamilies({name});
    f.setFontStyleName(QString());
    ed->mergeCurrentCharFormat(f);
  }
  // Tooltips and the character map follow the chosen font.
  HintFamily_ = name;
  if (Fontpanel) Fontpanel->setMapFont(name);
}

void TMainForm::FontSizeChange() {
  if (FormatBarUpdating) return;
  if (QTextEdit* ed = formatTarget()) {
    QTextCharFormat f;
    f.setFontPointSize(FontSize->value());
    ed->mergeCurrentCharFormat(f);
  }
}

void TMainForm::BoldFlatButtonClick() {
  if (FormatBarUpdating) return;
  if (QTextEdit* ed = formatTarget()) {
    QTextCharFormat f;
    f.setFontWeight(BoldFlatButton->isChecked() ? QFont::Bold : QFont::Normal);
    ed->mergeCurrentCharFormat(f);
  }
}

void TMainForm::ItalicFlatButtonClick() {
  if (FormatBarUpdating) return;
  if (QTextEdit* ed = formatTarget()) {
    QTextCharFormat f;
    f.setFontItalic(ItalicFlatButton->isChecked());
    ed->mergeCurrentCharFormat(f);
  }
}

void TMainForm::UnderlineFlatButtonClick() {
  if (FormatBarUpdating) return;
  if (QTextEdit* ed = formatTarget()) {
    QTextCharFormat f;
    f.setFontUnderline(UnderlineFlatButton->isChecked());
    ed->mergeCurrentCharFormat(f);
  }
}

void TMainForm::LeftAlignFlatClick(int tag) {
  if (FormatBarUpdating) return;
  QTextEdit* ed = formatTarget();
  if (!ed) return;
  static constexpr Qt::Alignment kAlign[4] = {Qt::AlignLeft | Qt::AlignAbsolute,
                                              Qt::AlignRight | Qt::AlignAbsolute, Qt::AlignHCenter,
                                              Qt::AlignJustify};
  if (tag >= 0 && tag < 4) ed->setAlignment(kAlign[tag]);
}

void TMainForm::BulletsFlatButtonClick() {
  if (FormatBarUpdating) return;
  QTextEdit* ed = formatTarget();
  if (!ed) return;
  QTextCursor c = ed->textCursor();
  c.beginEditBlock();
  if (BulletsFlatButton->isChecked()) {
    // A bulleted paragraph hangs its following lines at least 10 points in
    // from its first line (where the bullet stands).
    QTextBlockFormat bf = c.blockFormat();
    if (-bf.textIndent() < kBulletHangPoints) {
      bf.setTextIndent(0);
      c.setBlockFormat(bf);
    }
    if (!c.currentList()) {
      QTextListFormat lf;
      lf.setStyle(QTextListFormat::ListDisc);
      lf.setIndent(1);
      c.createList(lf);
    }
  } else {
    if (QTextList* list = c.currentList()) {
      const QTextBlock first = ed->document()->findBlock(c.selectionStart());
      const QTextBlock last = ed->document()->findBlock(c.selectionEnd());
      for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (b.textList() == list) list->remove(b);
        if (b == last) break;
      }
    }
    QTextBlockFormat bf = c.blockFormat();
    bf.setIndent(0);
    bf.setTextIndent(0);
    c.setBlockFormat(bf);
  }
  c.endEditBlock();
}

void TMainForm::SelectionChange() {
  QTextEdit* ed = activeEditor();
  if (!ed) return;
  FormatBarUpdating = true;
  const QTextCharFormat cf = ed->currentCharFormat();
  BoldFlatButton->setChecked(cf.fontWeight() >= QFont::Bold);
  ItalicFlatButton->setChecked(cf.fontItalic());
  UnderlineFlatButton->setChecked(cf.fontUnderline());
  BulletsFlatButton->setChecked(ed->textCursor().currentList() != nullptr);
  const Qt::Alignment a = ed->alignment() & Qt::AlignHorizontal_Mask;
  int tag = 0;
  if (a & Qt::AlignJustify)
    tag = 3;
  else if (a & Qt::AlignHCenter)
    tag = 2;
  else if (a & Qt::AlignRight)
    tag = 1;
  if (QAbstractButton* b = AlignGroup_->button(tag)) b->setChecked(true);
  FormatBarUpdating = false;
}

// ---------------------------------------------------------------------------
// Status bar

namespace {

// The hint panel: a text longer than the panel ends in an ellipsis instead
// of being cut through a letter, and the text's length never widens the
// bar (nor, through it, the frame).
class TElidingLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override {
    return QSize(minimumWidth(), QLabel::minimumSizeHint().height());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), shown, foregroundRole());
  }
};

}  // namespace

void TMainForm::buildStatusBar() {
  SB = new QStatusBar(this);
  SB->setObjectName(QStringLiteral("SB"));
  SB->setSizeGripEnabled(true);
  static constexpr int kWidths[7] = {20, 100, 60, 50, 40, 40, 250};
  // Every panel has a fixed height (and all but the hint panel a fixed
  // width): a new text then repaints its own panel only, where a size that
  // might change would have the whole bar laid out and painted again at
  // every caret move.
  QLabel probe;
  probe.setFrameStyle(QFrame::Panel | QFrame::Sunken);
  probe.setText(QStringLiteral("Xg"));
  const int height = probe.sizeHint().height();
  for (int i = 0; i < 7; ++i) {
    auto* l = i == 6 ? new TElidingLabel(SB) : new QLabel(SB);
    l->setObjectName(QStringLiteral("Panel%1").arg(i));
    // The widths are the panels' least; a wider interface font still has to
    // fit "Overwrite" and the longest line/column text.
    int w = kWidths[i];
    if (i == 3) w = qMax(w, l->fontMetrics().horizontalAdvance(QStringLiteral("Overwrite")) + 10);
    if (i == 4 || i == 5) w = qMax(w, l->fontMetrics().horizontalAdvance(QStringLiteral("NUM")) + 10);
    if (i == 1) w = qMax(w, l->fontMetrics().horizontalAdvance(QStringLiteral("Line: 9,999 Col: 999")) + 10);
    if (i == 2) w = qMax(w, l->fontMetrics().horizontalAdvance(QStringLiteral("9,999,999")) + 10);
    l->setFixedSize(w, height);
    if (i == 3 || i == 4 || i == 5) l->setAlignment(Qt::AlignCenter);
    if (i != 0 && i != 6) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panels_[i] = l;
    SB->addWidget(l, i == 6 ? 1 : 0);
  }
  // The hint panel takes what the others leave; it may get narrower than
  // its usual width so that a progress bar beside it fits an 800-pixel frame.
  Panels_[6]->setMinimumWidth(Panels_[6]->fontMetrics().averageCharWidth() * 8);
  Panels_[6]->setMaximumWidth(QWIDGETSIZE_MAX);
  // The encoding of the active document, after the hints.
  {
    auto* l = new QLabel(SB);
    l->setObjectName(QStringLiteral("Panel7"));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    // Its words' width while there is room; in a frame too narrow for the
    // bar it gives way first, so the frame can be as narrow as before.
    l->setFixedHeight(height);
    l->setMinimumWidth(1);
    l->setMaximumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("Unicode")) + 12);
    Panels_[7] = l;
    SB->addWidget(l, 0);
  }
  Light = new TLed(Panels_[0]);
  Light->move(2, 2);
  setStatusBar(SB);
  // Where the lock states can be read (X11), a light poll keeps CAP and NUM
  // true while no key reaches the window (a lock pressed in another program,
  // or with the keyboard focus elsewhere).
  bool caps = false, num = false;
  if (tolvan::queryLockKeys(caps, num)) {
    auto* poll = new QTimer(this);
    poll->setInterval(500);
    connect(poll, &QTimer::timeout, this, [this] {
      if (isActiveWindow() && !closing_) UpdateKeyStatePanels();
    });
    poll->start();
  }
}

void TMainForm::SetLockStateReader(std::function<bool(bool& caps, bool& num)> reader) {
  LockStateReader_ = std::move(reader);
}

QString TMainForm::PanelText(int index) const {
  return index >= 0 && index < 8 ? Panels_[index]->text() : QString();
}

void TMainForm::SetPanelText(int index, const QString& text) {
  if (index <= 0 || index >= 8) return;
  QLabel* l = Panels_[index];
  l->setText(text);
  // The hint panel shows a long text shortened; the whole of it is its tooltip.
  if (index == 6) l->setToolTip(text);
  // The widths are the panels' least: a longer text (a caret at column
  // 1,001,234) widens its panel rather than being cut. A panel never narrows
  // again, so the bar does not jump about as the caret moves.
  if (index == 6 || index == 7) return;
  const int need = l->fontMetrics().horizontalAdvance(text) + 2 * l->frameWidth() + 10;
  if (need > l->width() && need > l->minimumWidth()) l->setFixedWidth(need);
}

void TMainForm::SetBusy(bool on) { Light->setLit(on); }

void TMainForm::ShowHint(const QString& text) { SetPanelText(6, text); }

void TMainForm::UpdateEncodingPanel() {
  const TEditForm* f = ActiveEditForm();
  QString text, tip;
  if (f && f->encoding() == tolvan::TextEncoding::Tscii) {
    text = QStringLiteral("TSCII");
    tip = QStringLiteral("A TSCII document: one byte per character");
  } else if (f) {
    // The panel says Unicode; its tooltip how the file is written.
    text = QStringLiteral("Unicode");
    switch (f->unicodeForm()) {
      case tolvan::UnicodeForm::Utf8: tip = QStringLiteral("A Unicode document, saved as UTF-8"); break;
      case tolvan::UnicodeForm::Utf8Mark:
        tip = QStringLiteral("A Unicode document, saved as UTF-8 with a byte-order mark");
        break;
      case tolvan::UnicodeForm::Utf16LeMark:
        tip = QStringLiteral("A Unicode document, saved as UTF-16 (little-endian) with a byte-order mark");
        break;
      case tolvan::UnicodeForm::Utf16BeMark:
        tip = QStringLiteral("A Unicode document, saved as UTF-16 (big-endian) with a byte-order mark");
        break;
      case tolvan::UnicodeForm::Utf32LeMark:
        tip = QStringLiteral("A Unicode document, saved as UTF-32 (little-endian) with a byte-order mark");
        break;
      case tolvan::UnicodeForm::Utf32BeMark:
        tip = QStringLiteral("A Unicode document, saved as UTF-32 (big-endian) with a byte-order mark");
        break;
    }
  }
  SetPanelText(7, text);
  Panels_[7]->setToolTip(tip);
}

void TMainForm::UpdateKeyStatePanels(const QKeyEvent* keyDown) {
  if (keyDown && keyDown->type() == QEvent::KeyPress && !keyDown->isAutoRepeat() &&
      !(keyDown == lastKeyEvent_ && keyDown->timestamp() == lastKeyTime_)) {
    lastKeyEvent_ = keyDown;
    lastKeyTime_ = keyDown->timestamp();
    switch (keyDown->key()) {
      case Qt::Key_Insert: insertOn_ = !insertOn_; break;
      case Qt::Key_CapsLock: capsOn_ = !capsOn_; break;
      case Qt::Key_NumLock: numOn_ = !numOn_; break;
      default: break;
    }
  }
  bool caps = capsOn_, num = numOn_;
  if (LockStateReader_ ? LockStateReader_(caps, num) : tolvan::queryLockKeys(caps, num)) {
    capsOn_ = caps;
    numOn_ = num;
  }
  SetPanelText(3, insertOn_ ? QStringLiteral("Insert") : QStringLiteral("Overwrite"));
  SetPanelText(4, capsOn_ ? QStringLiteral("CAP") : QString());
  SetPanelText(5, numOn_ ? QStringLiteral("NUM") : QString());
}

void TMainForm::keyPressEvent(QKeyEvent* e) {
  UpdateKeyStatePanels(e);
  QMainWindow::keyPressEvent(e);
}

QString TMainForm::FormatLineCol(int line, int col) {
  QLocale loc;
  loc.setNumberOptions(QLocale::DefaultNumberOptions);  // group digits, even in "C"
  return QStringLiteral("Line: ") + loc.toString(line) + QStringLiteral(" Col: ") +
         loc.toString(col);
}

QString TMainForm::FormatCharIndex(int index) {
  QLocale loc;
  loc.setNumberOptions(QLocale::DefaultNumberOptions);
  return loc.toString(index);
}

void TMainForm::UpdatePositionPanels() {
  QTextEdit* ed = activeEditor();
  if (!ed) return;
  const QTextCursor c = ed->textCursor();
  const int start = c.selectionStart();
  // The line counts wrapped lines from the top of the document.
  int lineStart = start;
  const int line = TLineCounter::of(ed->document())->lineAt(start, &lineStart);
  SetPanelText(1, FormatLineCol(line + 1, start - lineStart + 1));
  SetPanelText(2, FormatCharIndex(start));
}

// ---------------------------------------------------------------------------
// Colour menus

void TMainForm::buildColorMenus() {
  auto* pen = new TColorMenu(this);
  pen->setObjectName(QStringLiteral("PenMenu"));
  for (const auto& row : tolvan::kPenColors)
    pen->addColorItem(QString::fromStdString(tolvan::ColorCaption(row.value)), row.value,
                      ValueToColor(row.value));
  connect(pen, &QMenu::aboutToShow, this, &TMainForm::PenMenuPopup);
  connect(pen, &QMenu::triggered, this, &TMainForm::PenItemClick);
  PenMenu = pen;

  auto* paper = new TColorMenu(this);
  paper->setObjectName(QStringLiteral("PaperMenu"));
  for (const auto& row : tolvan::kPaperColors)
    paper->addColorItem(QString::fromStdString(tolvan::ColorCaption(row.value)), row.value,
                        ValueToColor(row.value));
  connect(paper, &QMenu::aboutToShow, this, &TMainForm::PaperMenuPopup);
  connect(paper, &QMenu::triggered, this, &TMainForm::PaperItemClick);
  PaperMenu = paper;

  // The drop-down arrows of the pen and paper buttons.
  if (auto* b = qobject_cast<QToolButton*>(ToolBar->widgetForAction(BtnPen))) {
    b->setMenu(PenMenu);
    b->setPopupMode(QToolButton::MenuButtonPopup);
  }
  if (auto* b = qobject_cast<QToolButton*>(ToolBar->widgetForAction(BtnPaper))) {
    b->setMenu(PaperMenu);
    b->setPopupMode(QToolButton::MenuButtonPopup);
  }
}

void TMainForm::PenMenuPopup() {
  // Automatic text colour counts as the system text colour (Default).
  quint32 current = tolvan::clWindowText;
  if (QTextEdit* ed = activeEditor()) {
    const QTextCharFormat cf = ed->currentCharFormat();
    if (cf.hasProperty(QTextFormat::ForegroundBrush) && cf.foreground().style() != Qt::NoBrush)
      current = colorValueOf(cf.foreground().color());
  }
  for (QAction* a : PenMenu->actions()) a->setChecked(a->data().toUInt() == current);
}

void TMainForm::PaperMenuPopup() {
  quint32 current = tolvan::clWindow;
  if (QTextEdit* ed = activeEditor()) {
    const QTextCharFormat cf = ed->currentCharFormat();
    if (cf.hasProperty(QTextFormat::BackgroundBrush) && cf.background().style() != Qt::NoBrush)
      current = colorValueOf(cf.background().color());
  }
  for (QAction* a : PaperMenu->actions()) a->setChecked(a->data().toUInt() == current);
}

void TMainForm::PenItemClick(QAction* item) {
  for (QAction* a : PenMenu->actions()) a->setChecked(a == item);
  QTextEdit* ed = formatTarget();
  if (!ed) return;
  const quint32 v = item->data().toUInt();
  QTextCharFormat f;
  if (v == tolvan::clWindowText) {
    // Default: back to the automatic colour.
    QTextCursor c = ed->textCursor();
    if (c.hasSelection()) {
      QTextCharFormat clear;
      clear.clearForeground();
      c.beginEditBlock();
      // mergeCharFormat cannot remove a property: rewrite each fragment.
      const int s = c.selectionStart(), e = c.selectionEnd();
      for (QTextBlock b = ed->document()->findBlock(s); b.isValid() && b.position() < e;
           b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
          const QTextFragment frag = it.fragment();
          const int fs = qMax(s, frag.position());
          const int fe = qMin(e, frag.position() + frag.length());
          if (fs >= fe) continue;
          QTextCursor part(ed->document());
          part.setPosition(fs);
          part.setPosition(fe, QTextCursor::KeepAnchor);
          QTextCharFormat cf = frag.charFormat();
          cf.clearForeground();
          part.setCharFormat(cf);
        }
      }
      c.endEditBlock();
    } else {
      QTextCharFormat cf = ed->currentCharFormat();
      cf.clearForeground();
      ed->setCurrentCharFormat(cf);
    }
    return;
  }
  f.setForeground(ValueToColor(v));
  ed->mergeCurrentCharFormat(f);
}

void TMainForm::PaperItemClick(QAction* item) {
  for (QAction* a : PaperMenu->actions()) a->setChecked(a == item);
  if (TEditForm* form = ActiveEditForm()) SetEditorBackground(form->Editor, ValueToColor(item->data().toUInt()));
}

void TMainForm::SetEditorBackground(QTextEdit* ed, const QColor& c) {
  if (!ed || !c.isValid()) return;
  QPalette pal = ed->palette();
  pal.setColor(QPalette::Base, c);
  ed->setPalette(pal);
}

void TMainForm::BtnPenClick() {
  if (TEditForm* f = ActiveEditForm()) f->SetPenColor1Click();
}

void TMainForm::BtnPaperClick() {
  if (TEditForm* f = ActiveEditForm()) f->SetPaperColor1Click();
}

void TMainForm::mmSetFontClick() {
  if (TEditForm* f = ActiveEditForm()) f->Font1Click();
}

// ---------------------------------------------------------------------------
// Hints

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::StatusTip: {
      // The application's hint goes to panel 6 (not over the whole bar).
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->window() == this) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
      }
      break;
    }
    case QEvent::KeyRelease: {
      // The X server switches a lock off when its key is released, not
      // when it is pressed: read the states again once the key is up (once,
      // where the key goes first).
      QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
      if (watched == first && first->window() == this && !closing_) UpdateKeyStatePanels();
      break;
    }
    case QEvent::ZOrderChange:
      if (watched == this && !closing_ && !raisingDialogs_) {
        raisingDialogs_ = true;
        QTimer::singleShot(0, this, [this] {
          raisingDialogs_ = false;
          raiseOwnedDialogs();
        });
      }
      break;
    case QEvent::ApplicationStateChange:
      // A lock may have changed while another program had the keyboard.
      if (!closing_) UpdateKeyStatePanels();
      break;
    case QEvent::ToolTip: {
      // Tooltips in the Tamil interface font, bold; large over the flat
      // buttons of the format bar, small elsewhere.
      auto* w = qobject_cast<QWidget*>(watched);
      if (w) {
        QFont f(HintFamily_.isEmpty() ? tolvan::tamilUiFontName() : HintFamily_);
        f.setBold(true);
        f.setPointSize(w->property("flatSpeedButton").toBool() ? 20 : 8);
        QToolTip::setFont(f);
      }
      break;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}
