// The main frame's start-up and exit: building the window, reading the
// settings it keeps and writing them back, the placement on the screen,
// and closing the documents on the way out. The other parts of the frame:
// main_form_documents.cpp (document windows), main_form_menus.cpp (menus,
// actions, view toggles and the frame's own commands), main_form_bars.cpp
// (toolbar, format bar, status bar, colour menus).
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

using tolvan::Key;

namespace {

// Settings values are bytes; file names go through the file-name encoding,
// the font name is UTF-8 (platform/fonts.h), everything else is Latin-1 (one
// byte, one character).
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
  FontDef = tolvan::familyWithoutFoundry(tolvan::fontNameFromSetting(Settings_->readString(Key::FontDef)));
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
    // The message box above runs events: the deferred work may already have
    // been done while it was open, and would not come round again.
    if (startupFinished_) QTimer::singleShot(0, this, &TMainForm::FinishStartup);
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
  startupFinished_ = true;
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
  Settings_->writeString(Key::FontDef, tolvan::fontNameToSetting(FontDef));
  Settings_->writeString(Key::Viewer, toBytes(Viewer));
}

// ---------------------------------------------------------------------------
// Colours and fonts

QString TMainForm::DocumentFontFamily() const {
  return FontDef.isEmpty() ? tolvan::tamilUiFontName() : FontDef;
}

int TMainForm::FontSizeValue() const { return FontSize ? FontSize->value() : 10; }
