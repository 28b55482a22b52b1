// The main frame: start-up and shutdown, the settings it keeps, document
// window management, menus and the commands of the frame's own menus. The
// bars (toolbar, format bar, status bar, colour menus) are in
// main_form_bars.cpp.
#include "shell/main_form.h"

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

#include "convert/converters.h"
#include "document/convert_commands.h"
#include "document/edit_form.h"
#include "document/editor.h"
#include "document/find_dialog.h"
#include "input/char_map.h"
#include "platform/fonts.h"
#include "platform/icons.h"
#include "platform/prompts.h"
#include "prefs/about_box.h"
#include "shell/color_table.h"
#include "shell/crypt_commands.h"
#include "shell/dir_panel.h"
#include "shell/frame_mdi_area.h"
#include "shell/led.h"
#include "shell/product_info.h"
#include "shell/recent_files.h"
#include "shell/selector_bar.h"
#include "shell/settings_keys.h"

using tolvan::Key;

namespace {

// Settings values are bytes; file names go through the file-name encoding,
// everything else is Latin-1 (one byte, one character).
QString fromBytes(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
std::string toBytes(const QString& s) {
  const QByteArray b = s.toLatin1();
  return std::string(b.constData(), size_t(b.size()));
}
QString pathFromBytes(const std::string& s) {
  return QFile::decodeName(QByteArray(s.data(), qsizetype(s.size())));
}
std::string pathToBytes(const QString& s) {
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), size_t(b.size()));
}
QString withSlash(QString dir) {
  if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  return dir;
}

}  // namespace

TMainForm::TMainForm(const QString& programDir, QWidget* parent) : QMainWindow(parent) {
  ProgramDir_ = withSlash(programDir.isEmpty() ? QCoreApplication::applicationDirPath()
                                               : programDir);
  // The frame's title names the program itself ("Tolvan - [document]"); a
  // display name would make the platform append it a second time
  // ("Tolvan - [Tolvan1] \u2014 Tolvan"). Message boxes fall back to the
  // program's name for their title.
  if (!QGuiApplication::applicationDisplayName().isEmpty())
    QGuiApplication::setApplicationDisplayName(QString());
  setWindowTitle(QStringLiteral("Tolvan"));
  setWindowIcon(tolvan::appIcon());
  setObjectName(QStringLiteral("MainForm"));
  FormCreate();
}

TMainForm::~TMainForm() {
  // The document windows go with the base class; nothing they signal on the
  // way out may reach this half-destroyed frame.
  closing_ = true;
  qApp->removeEventFilter(this);
  if (Mdi_) Mdi_->disconnect(this);
  for (TEditForm* f : Forms_) {
    disconnect(f, nullptr, this, nullptr);
    if (f->Editor) disconnect(f->Editor, nullptr, this, nullptr);
  }
  Forms_.clear();
  ConnectedForm_ = LastActive_ = nullptr;
  delete Mdi_;
  Mdi_ = nullptr;
}

// ---------------------------------------------------------------------------
// Start-up

void TMainForm::FormCreate() {
  tolvan::initIconTheme();
  // The window skeleton: MDI area with the format bar and the selector bar
  // above it; toolbar, status bar and the directory panel's place around it.
  Mdi_ = new TFrameMdiArea();
  Mdi_->setBannerSource([this] { return FontDef; }, [this] { return BannerText; });
  connect(Mdi_, &TFrameMdiArea::firstPainted, this, &TMainForm::FinishStartup, Qt::QueuedConnection);
  Mdi_->setObjectName(QStringLiteral("MdiArea"));
  Mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* central = new QWidget(this);
  auto* vbox = new QVBoxLayout(central);
  vbox->setContentsMargins(0, 0, 0, 0);
  vbox->setSpacing(0);
  buildActions();
  buildFormatBar();
  FileTab = new QWidget(central);
  FileTab->setObjectName(QStringLiteral("FileTab"));
  FileTab->setFixedHeight(24);
  FileTab->setAutoFillBackground(true);
  {
    QPalette pal = FileTab->palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    FileTab->setPalette(pal);
  }
  // More buttons than fit wrap into further rows.
  new TSelectorBarLayout(FileTab);
  vbox->addWidget(FormatPanel);
  vbox->addWidget(FileTab);
  vbox->addWidget(Mdi_, 1);
  setCentralWidget(central);
  buildToolBar();
  buildStatusBar();
  buildDirPanel();
  buildMenus();

  // 2. Dropped files.
  setAcceptDrops(true);

  // 3. Settings file; window placement and the recently-used list.
  Place1 = std::make_unique<tolvan::ProfileFile>(
      tolvan::settingsFilePath(pathToBytes(ProgramDir_)));
  Settings_ = std::make_unique<tolvan::Settings>(*Place1, pathToBytes(ProgramDir_));
  RecentFiles_ = std::make_unique<tolvan::RecentFiles>();
  RecentFiles_->load(*Place1);
  RestorePlacement();
  refreshRecentMenu();

  // 4. The program-wide defaults.
  ForeColor = fromBytes(Settings_->readString(Key::ForeColor));
  BackColor = fromBytes(Settings_->readString(Key::BackColor));
  FontDef = tolvan::familyWithoutFoundry(fromBytes(Settings_->readString(Key::FontDef)));
  Viewer = fromBytes(Settings_->readString(Key::Viewer));

  // 5. The directory panel's popup menu switch (the panel comes later).
  EncMenuEnabled_ = Settings_->dirPanelSwitchOn();
  DirTree->SetEncMenuEnabled(EncMenuEnabled_);

  // 6.
  ApplyViewerFlags();

  // 7. and 8. Each settings write replaces the file durably, which costs more
  // than the rest of start-up, so the two writes wait until the window has
  // painted (FinishStartup); what they write is decided here.
  const bool firstDate = Settings_->readString(Key::StartDate).empty();
  const std::string today = toBytes(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
  // The usage counter and the thank-you message every hundredth start.
  const int times = Settings_->readInteger(Key::Times);
  if (times % 100 == 0) {
    TAboutBox::hideSplash();
    tolvan::Prompts::instance().information(
        this, QStringLiteral("Thank you for using Tolvan \" %1 \" times !").arg(times));
  }
  Deferred_.push_back([this, firstDate, today, times] {
    if (firstDate) Settings_->writeString(Key::StartDate, today);  // kept, never used
    Settings_->writeInteger(Key::Times, times + 1);
  });
  // The MDI area's first paint starts it; a frame never shown gets it soon
  // anyway.
  QTimer::singleShot(500, this, &TMainForm::FinishStartup);

  // 9. The folder of the last opened document; before any, the user's home
  // folder (the program's folder is no place for documents).
  {
    const tolvan::KeySpec& spec = tolvan::keySpec(Key::WorkDir);
    const std::string stored = Place1->ReadString(spec.section, spec.readName, "");
    WorkDir = withSlash(stored.empty() ? QDir::homePath() : pathFromBytes(stored));
  }
  DirTree->SetFolder(WorkDir);
  OpenDir_ = WorkDir;  // the open dialog's folder

  // 10.
  if (FontDef.isEmpty()) {
    TAboutBox::hideSplash();
    tolvan::Prompts::instance().information(
        this, QStringLiteral(
                  "Please select your favorite font as default using the menu option View - > "
                  "Preferences"));
  }

  // 11. The banner of the empty frame.
  BannerText = ChooseBannerText(FontDef);

  // 12. Font box (filled when first opened), character-map label, panel 6.
  FontName->addItem(FontDef);
  FontName->setCurrentText(FontDef);
  SetPanelText(6, FontDef);
  if (FontDef.isEmpty()) {
    // Without a default font the box names the family documents are drawn
    // in, once the program's own fonts are registered, rather than nothing.
    Deferred_.push_back([this] {
      if (!FontName || fontNamesFilled_ || !FontName->currentText().isEmpty()) return;
      const QSignalBlocker block(FontName);
      FontName->setItemText(
          0, tolvan::familyWithoutFoundry(QFontInfo(QFont(DocumentFontFamily())).family()));
    });
  }

  // 13.
  UntitledCounter = 0;
  qApp->installEventFilter(this);  // hints and key states
  UpdateControls();
  UpdateKeyStatePanels();
  connect(Mdi_, &QMdiArea::subWindowActivated, this, &TMainForm::onSubWindowActivated);

  // 12. and 14. The character map, its label in the default font.
  buildTools();

  // 15. The colour menus.
  buildColorMenus();

  // 17. The directory panel's pattern box shows its first entry.
  DirTree->FileFilter->setCurrentIndex(0);

  // The start-up message boxes took the keyboard focus and gave it back to
  // nobody; without a window manager that hands focus to new windows, the
  // frame would never see a key (Ctrl+N after answering the boxes did
  // nothing). Ask for it once the frame is on screen.
  QTimer::singleShot(0, this, [this] {
    if (!isVisible()) return;
    raise();
    // A box already up (a file from the command line that cannot be read)
    // keeps the keyboard: raise() above has put it back on top.
    if (!QApplication::activeModalWidget()) activateWindow();
  });
}

QString TMainForm::ChooseBannerText(const QString& fontDef) {
  const QString site = QString::fromLatin1(tolvan::kWebSite);
  if (fontDef.contains(QLatin1String("TSC")))
    return QLatin1Char('\r') + QString::fromLatin1(tolvan::kTamilBannerTscii) +
           QLatin1Char('\r') + site;
  if (fontDef.contains(QLatin1String("TAB")))
    return QLatin1Char('\r') + fromBytes(tolvan::TsciiToTab(tolvan::kTamilBannerTscii)) +
           QLatin1Char('\r') + site;
  return QStringLiteral("\rTolvan by Veyran\r") + site;
}

QRect TMainForm::FitPlacement(const QRect& stored, const QRect& avail, const QSize& least) {
  // Never smaller than the window can be, never larger than the screen's free
  // area, and wholly on it: a stored rectangle from another screen layout or
  // an edited file must not make a window nobody can see or reach.
  const int w = qBound(qMin(least.width(), avail.width()), stored.width(), avail.width());
  const int h = qBound(qMin(least.height(), avail.height()), stored.height(), avail.height());
  const int x = qBound(avail.left(), stored.left(), avail.left() + avail.width() - w);
  const int y = qBound(avail.top(), stored.top(), avail.top() + avail.height() - h);
  return QRect(x, y, w, h);
}

void TMainForm::RestorePlacement() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  const QSize ss = primary ? primary->size() : QSize(1024, 768);
  const QString norm =
      fromBytes(Settings_->readPlacement(Key::NormPos, ss.width(), ss.height()));
  const QStringList parts = norm.split(QLatin1Char(','));
  QRect stored;
  if (parts.size() == 4) {
    bool ok[4];
    // Read wide: a hand-edited file may hold anything.
    const qint64 l = parts[0].trimmed().toLongLong(&ok[0]), t = parts[1].trimmed().toLongLong(&ok[1]),
                 r = parts[2].trimmed().toLongLong(&ok[2]), b = parts[3].trimmed().toLongLong(&ok[3]);
    auto clampInt = [](qint64 v) { return int(std::clamp<qint64>(v, -1000000, 1000000)); };
    if (ok[0] && ok[1] && ok[2] && ok[3] && r > l && b > t)
      stored = QRect(QPoint(clampInt(l), clampInt(t)), QPoint(clampInt(r) - 1, clampInt(b) - 1));
  }
  // The screen the stored rectangle lies on (its centre), else the primary.
  const QScreen* screen = stored.isValid() ? QGuiApplication::screenAt(stored.center()) : nullptr;
  if (!screen) screen = primary;
  const QRect avail = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), ss);
  const QSize least = minimumSizeHint().expandedTo(minimumSize()).expandedTo(QSize(200, 150));
  if (stored.isValid()) {
    RestoredRect_ = FitPlacement(stored, avail, least);
    // The stored corner is the window's outer corner (title bar and border
    // included, as a window manager places it); the size is the inside.
    move(RestoredRect_.topLeft());
    resize(RestoredRect_.size());
  } else {
    // Nothing stored: a usual size in the middle of the screen.
    const QRect r = FitPlacement(QRect(QPoint(0, 0), QSize(800, 600)), avail, least);
    resize(r.size());
    move(avail.center() - QPoint(r.width() / 2, r.height() / 2));
  }
  // Show command 3 is "maximised"; minimised (2) restores as normal.
  if (Settings_->readInteger(Key::ShowCmd) == 3) setWindowState(Qt::WindowMaximized);
  // Once a window manager has framed the window, the frame too must be on
  // the screen.
  QTimer::singleShot(300, this, [this] { FitFrameToScreen(0); });
}

QRect TMainForm::PlacementRect() const {
  // Outer corner, inner size, of the normal (not maximised) window.
  const QRect inner = normalGeometry().isValid() ? normalGeometry() : geometry();
  const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
  return QRect(inner.topLeft() - frameOffset, inner.size());
}

void TMainForm::FitFrameToScreen(int attempt) {
  if (!isVisible() || isMaximized() || isMinimized() || isFullScreen()) return;
  const QScreen* screen = this->screen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  const QRect outer = frameGeometry();
  if (avail.contains(outer)) return;
  const QSize margins = outer.size() - geometry().size();
  // A window manager tells the frame's size a little after it maps the
  // window: acting on a frame not known yet would move the window by its
  // own title bar. Without one there is no frame, and after a few tries the
  // inside is all there is.
  if (margins.isNull() && attempt < 5) {
    QTimer::singleShot(200, this, [this, attempt] { FitFrameToScreen(attempt + 1); });
    return;
  }
  const QSize least = minimumSizeHint().expandedTo(minimumSize()) + margins;
  const QRect fitted = FitPlacement(outer, avail, least);
  const QRect placement(fitted.topLeft(), fitted.size() - margins);
  // Our own correction, not the user's move: the stored text stays.
  const bool wasRestored = RestoredRect_.isValid() && PlacementRect() == RestoredRect_;
  resize(placement.size());
  move(placement.topLeft());
  if (wasRestored) RestoredRect_ = placement;
}

void TMainForm::SavePlacement() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize ss = screen ? screen->size() : QSize(1024, 768);
  const QRect g = PlacementRect();
  Settings_->writeInteger(Key::FormVersion, 0);
  Settings_->writeInteger(Key::Flags, 0);
  int showCmd = 1;
  if (isMinimized())
    showCmd = 2;
  else if (isMaximized())
    showCmd = 3;
  Settings_->writeInteger(Key::ShowCmd, showCmd);
  Settings_->writeInteger(Key::PixelsPerInch, logicalDpiX());
  // A stored rectangle the window still has stays as the user wrote it (even
  // when it had to be fitted to this screen); a move or resize replaces it.
  if (RestoredRect_.isValid() && g == RestoredRect_) return;
  Settings_->writePlacement(Key::MinMaxPos, ss.width(), ss.height(), "-1,-1,-1,-1");
  const QString norm = QStringLiteral("%1,%2,%3,%4")
                           .arg(g.left())
                           .arg(g.top())
                           .arg(g.left() + g.width())
                           .arg(g.top() + g.height());
  Settings_->writePlacement(Key::NormPos, ss.width(), ss.height(), toBytes(norm));
}

// ---------------------------------------------------------------------------
// Shutdown

bool TMainForm::CloseDocuments(const QList<TEditForm*>& order) {
  // Every window answers before any closes: a Cancel (or a save that did
  // not happen) at the third question must not leave the first two closed.
  QList<QPointer<TEditForm>> agreed;
  for (TEditForm* f : order) {
    if (!Forms_.contains(f)) continue;
    if (!f->AskToClose()) {
      for (const auto& a : agreed)
        if (a) a->WithdrawCloseAnswer();
      return false;
    }
    agreed << f;
  }
  for (const auto& f : agreed)
    if (f) f->Close1Click();
  return EditForms().isEmpty();
}

bool TMainForm::CloseAllDocuments() {
  // Last to first, as the windows were made.
  QList<TEditForm*> order = EditForms();
  std::reverse(order.begin(), order.end());
  return CloseDocuments(order);
}

void TMainForm::closeEvent(QCloseEvent* e) {
  // Every document window gets its close query first, the active one first;
  // one Cancel keeps the program running and every window open.
  QList<TEditForm*> order;
  const auto subs = Mdi_->subWindowList(QMdiArea::ActivationHistoryOrder);
  for (auto it = subs.rbegin(); it != subs.rend(); ++it)
    if (auto* f = qobject_cast<TEditForm*>((*it)->widget())) order << f;
  for (TEditForm* f : EditForms())
    if (!order.contains(f)) order << f;
  // A file still being encrypted or decrypted is named first; its work stops
  // (leaving the file as it was) only once every window has agreed to close.
  if (!CryptCommands->AskToStop(this) || !CloseDocuments(order)) {
    e->ignore();
    return;
  }
  CryptCommands->CancelAll();
  FormClose();
  e->accept();
}

void TMainForm::FinishStartup() {
  const auto work = std::move(Deferred_);
  Deferred_.clear();
  for (const auto& w : work) w();
}

void TMainForm::FormClose() {
  if (closing_) return;
  FinishStartup();
  closing_ = true;
  // 1. No more active-window or drop handling.
  disconnect(Mdi_, &QMdiArea::subWindowActivated, this, &TMainForm::onSubWindowActivated);
  setAcceptDrops(false);
  // 2. Placement and the recently-used list.
  SavePlacement();
  RecentFiles_->save(*Place1);
  // 3. The program-wide settings, in this order.
  Settings_->writeString(Key::ForeColor, toBytes(ForeColor));
  Settings_->writeString(Key::BackColor, toBytes(BackColor));
  Settings_->writeString(Key::WorkDir, pathToBytes(WorkDir));
  Settings_->writeInteger(Key::FontSize, FontSizeValue());
  Settings_->writeString(Key::FontDef, toBytes(FontDef));
  Settings_->writeString(Key::Viewer, toBytes(Viewer));
}

// ---------------------------------------------------------------------------
// Colours and fonts

QString TMainForm::DocumentFontFamily() const {
  return FontDef.isEmpty() ? tolvan::tamilUiFontName() : FontDef;
}

int TMainForm::FontSizeValue() const { return FontSize ? FontSize->value() : 10; }

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
  connect(form, &TEditForm::documentChanged, this, [this] { updateFrameTitle(); });
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
  for (const QString& p : paths) {
    const QString name = p.trimmed();
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
// Menus

void TMainForm::buildMenus() {
  File1 = new QMenu(QStringLiteral("&File"), this);
  File1->setObjectName(QStringLiteral("File1"));
  File1->addAction(New1);
  File1->addAction(Open1);
  File1->addSeparator();
  File1->addAction(ReOpen1);
  File1->addSeparator();
  File1->addAction(Exit1);

  View1 = new QMenu(QStringLiteral("&View"), this);
  View1->setObjectName(QStringLiteral("View1"));
  View1->addAction(mmToolBar);
  View1->addAction(mmFormatBar);
  View1->addAction(mmStatusBar);
  View1->addAction(mmSelectorBar);
  View1->addSeparator();
  View1->addAction(mmDirPanel);
  View1->addAction(mmASCIIMap);
  View1->addSeparator();
  View1->addAction(Preferences1);

  Window1 = new QMenu(QStringLiteral("&Window"), this);
  Window1->setObjectName(QStringLiteral("Window1"));
  connect(Window1, &QMenu::aboutToShow, this, &TMainForm::fillWindowMenu);
  fillWindowMenu();

  Help1 = new QMenu(QStringLiteral("&Help"), this);
  Help1->setObjectName(QStringLiteral("Help1"));
  Help1->addAction(Contents1);
  Help1->addSeparator();
  Help1->addAction(Email1);
  Help1->addAction(Tolvanwebsite1);
  Help1->addAction(About1);

  RecentMenu = new QMenu(QStringLiteral("&ReOpen"), this);
  RecentMenu->setObjectName(QStringLiteral("RecentFiles"));
  attachRecentMenu(ReOpen1);
  RebuildMenuBar();
}

void TMainForm::fillWindowMenu() {
  Window1->clear();
  Window1->addAction(Tile1);
  Window1->addAction(Cascade1);
  Window1->addAction(ArrangeIcons1);
  const auto forms = EditForms();
  if (forms.isEmpty()) return;
  Window1->addSeparator();
  TEditForm* active = ActiveEditForm();
  int n = 0;
  for (TEditForm* f : forms) {
    ++n;
    QString caption = f->subWindow() ? f->subWindow()->windowTitle() : f->windowTitle();
    caption.replace(QLatin1Char('&'), QLatin1String("&&"));
    QAction* a = Window1->addAction(
        n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(caption) : caption);
    a->setCheckable(true);
    a->setChecked(f == active);
    QPointer<TEditForm> guard(f);
    connect(a, &QAction::triggered, this, [guard] {
      if (guard) guard->BtnSpeedClick();
    });
  }
}

void TMainForm::RebuildMenuBar() {
  QMenuBar* bar = menuBar();
  bar->clear();
  TEditForm* form = ActiveEditForm();
  if (form) {
    for (QMenu* m : form->MergeMenus(0)) bar->addMenu(m);
    for (QMenu* m : form->MergeMenus(1)) bar->addMenu(m);
  } else {
    bar->addMenu(File1);
  }
  bar->addMenu(View1);
  bar->addMenu(Window1);
  bar->addMenu(Help1);
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
  if (ConnectedForm_ && ConnectedForm_->Editor) disconnect(ConnectedForm_->Editor, nullptr, this, nullptr);
  ConnectedForm_ = form;
  if (!form || !form->Editor) return;
  QTextEdit* ed = form->Editor;
  connect(ed, &QTextEdit::cursorPositionChanged, this, &TMainForm::onEditorCursorMoved);
  connect(ed, &QTextEdit::selectionChanged, this, &TMainForm::onEditorCursorMoved);
  connect(ed, &QTextEdit::currentCharFormatChanged, this, [this] { SelectionChange(); });
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
// View toggles

void TMainForm::ApplyViewerFlags() {
  while (Viewer.size() < 5) Viewer += QLatin1Char('0');
  auto on = [this](int pos) { return Viewer.at(pos - 1) == QLatin1Char('1'); };
  FileTab->setVisible(on(1));
  mmSelectorBar->setChecked(on(1));
  ToolBar->setVisible(on(2));
  mmToolBar->setChecked(on(2));
  mmFormatBar->setChecked(on(3));
  SB->setVisible(on(4));
  mmStatusBar->setChecked(on(4));
  DirPanel->setVisible(on(5));
  if (on(5)) resizeDocks({DirPanel}, {153}, Qt::Horizontal);
  mmDirPanel->setChecked(on(5));
  BtnDir->setChecked(on(5));
}

void TMainForm::setViewerFlag(int position, bool on) {
  while (Viewer.size() < 5) Viewer += QLatin1Char('0');
  Viewer[position - 1] = on ? QLatin1Char('1') : QLatin1Char('0');
}

bool TMainForm::viewerFlag(int position) const {
  return Viewer.size() >= position && Viewer.at(position - 1) == QLatin1Char('1');
}

void TMainForm::mmSelectorBarClick() {
  const bool on = !viewerFlag(1);
  FileTab->setVisible(on);
  mmSelectorBar->setChecked(on);
  setViewerFlag(1, on);
}

void TMainForm::mmToolBarClick() {
  const bool on = !viewerFlag(2);
  ToolBar->setVisible(on);
  mmToolBar->setChecked(on);
  setViewerFlag(2, on);
}

void TMainForm::mmFormatBarClick() {
  const bool on = !viewerFlag(3);
  mmFormatBar->setChecked(on);
  setViewerFlag(3, on);
  // Without a document only the check mark changes; the bar shows with the
  // next document.
  if (!EditForms().isEmpty()) FormatPanel->setVisible(on);
}

void TMainForm::mmStatusBarClick() {
  const bool on = !viewerFlag(4);
  SB->setVisible(on);
  mmStatusBar->setChecked(on);
  setViewerFlag(4, on);
}

void TMainForm::mmDirPanelClick() {
  const bool on = !viewerFlag(5);
  DirPanel->setVisible(on);
  if (on) resizeDocks({DirPanel}, {153}, Qt::Horizontal);
  mmDirPanel->setChecked(on);
  BtnDir->setChecked(on);
  setViewerFlag(5, on);
}

// ---------------------------------------------------------------------------
// File, Window and Help commands

void TMainForm::New1Click() {
  ++UntitledCounter;
  TEditForm* form = CreateEditForm();
  form->InitNewDocument();
  UpdateControls();
}

QString TMainForm::OpenFilter() {
  return QStringLiteral(
      "Plain text files (*.txt, *.csv) (*.txt *.csv *.log *.ini);;"
      "Html Files (*.htm, *.html, *.asp) (*.htm *.html *.asp);;"
      "Script Files (*.js, *.vbs, *.pl, *.pas.*.java, *.cpp) (*.js *.vbs *.pl *.pas *.cpp *.java);;"
      "Rich text files (*.rtf, *.doc) (*.rtf *.doc);;"
      "All files (*)");
}

void TMainForm::Open1Click() {
  const QStringList names = tolvan::Prompts::instance().openFileNames(
      this, QStringLiteral("Open"), OpenDir_, OpenFilter());
  if (names.isEmpty()) return;
  // Several selected files: the first is opened. UTF-8 text with Tamil
  // letters may be imported instead (the user is asked).
  if (TConvertCommands::offerUnicodeImport(this, names.first(), [this]() -> QTextEdit* {
        TEditForm* f = newDocument();
        return f ? f->Editor : nullptr;
      }))
    return;
  TEditForm* form = CreateEditForm();
  form->OpenDocumentFile(names.first());
}

void TMainForm::RecentFilesClick(const QString& path) {
  TEditForm* form = CreateEditForm();
  form->OpenDocumentFile(path);
}

void TMainForm::Exit1Click() { close(); }

void TMainForm::Tile1Click() {
  // Side by side: equal-width columns filling the area.
  const auto subs = Mdi_->subWindowList(QMdiArea::CreationOrder);
  QList<QMdiSubWindow*> shown;
  for (QMdiSubWindow* s : subs)
    if (!s->isMinimized()) shown << s;
  if (shown.isEmpty()) return;
  const QRect area = Mdi_->viewport()->rect();
  const int w = area.width() / int(shown.size());
  int x = 0;
  for (QMdiSubWindow* s : shown) {
    s->showNormal();
    s->setGeometry(x, 0, w, area.height());
    x += w;
  }
}

void TMainForm::Cascade1Click() {
  for (QMdiSubWindow* s : Mdi_->subWindowList())
    if (s->isMaximized()) s->showNormal();
  Mdi_->cascadeSubWindows();
}

void TMainForm::ArrangeIcons1Click() {
  // Minimised windows in a row along the bottom edge.
  const QRect area = Mdi_->viewport()->rect();
  int x = 0;
  for (QMdiSubWindow* s : Mdi_->subWindowList(QMdiArea::CreationOrder)) {
    if (!s->isMinimized()) continue;
    const QSize sz = s->size();
    if (x + sz.width() > area.width()) x = 0;
    s->move(x, area.height() - sz.height());
    x += sz.width();
  }
}

QString TMainForm::FindHelpFile() const {
  // The current folder first, as it always was; then beside the program, then
  // where an installed program keeps its data.
  for (const QString& dir : {QDir::currentPath(), ProgramDir_,
                             QDir(ProgramDir_).filePath(QStringLiteral("../share/tolvan"))}) {
    const QString path = QDir(dir).filePath(QStringLiteral("Tolvan.txt"));
    if (QFileInfo(path).isFile()) return path;
  }
  return QString();
}

void TMainForm::Contents1Click() {
  const QString help = FindHelpFile();
  if (!help.isEmpty()) {
    TEditForm* form = CreateEditForm();
    form->OpenDocumentFile(help);
    return;
  }
  // No help file: a new window (the untitled number is not counted again)
  // telling where to get it.
  TEditForm* form = CreateEditForm();
  form->InitNewDocument();
  const QString text =
      QStringLiteral("Full Help is available in the \"tolvan.txt\" file, which seems to be missing.\n"
                     "It is included in the tolvan.zip file which you can download from ") +
      QString::fromLatin1(tolvan::kWebSite);
  form->Editor->setPlainText(text);
  form->Editor->document()->setModified(false);
  form->UpdateDocumentCommands();
  UpdateControls();
}

void TMainForm::Email1Click() {
  QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QLatin1String(tolvan::kAuthorEmail)));
}

void TMainForm::Tolvanwebsite1Click() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(tolvan::kWebUrl)));
}

void TMainForm::About1Click() {
  // Closed by a click, the box leaves nobody the keyboard where no window
  // manager hands it on: give it back to the control that had it.
  tolvan::FocusReturn focus(this);
  TAboutBox box(this);
  tolvan::raiseWhenShown(&box);
  box.exec();
}

void TMainForm::raiseOwnedDialogs() {
  // Without a window manager nothing keeps a dialog above the window it
  // belongs to: whenever the frame is raised, its open dialogs go back on
  // top, a modal one last, with the keyboard.
  QWidget* modal = QApplication::activeModalWidget();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == this || w == modal || !w->isVisible()) continue;
    const Qt::WindowType type = w->windowType();
    if (type != Qt::Dialog && type != Qt::Sheet) continue;
    if (w->parentWidget() && w->parentWidget()->window() == this) w->raise();
  }
  if (modal && modal != this && modal->isVisible()) {
    modal->raise();
    modal->activateWindow();
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
