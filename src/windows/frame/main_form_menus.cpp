// The frame's menus and their commands: the menu bar with the active
// document's menus merged in, the Window menu, the View toggles and the
// File, Window and Help commands of the frame itself.
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
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/convert/converters.h"
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
  // Several selected files: the first is opened (as TSCII or Unicode, as
  // the file shows).
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
