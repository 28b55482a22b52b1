// The character map panel, the preferences dialog with its shortcuts, and the
// frame's routes to the search and output commands: a real frame on the
// offscreen platform, prompts from a script, the desktop recorded, HOME and
// the XDG folders in a temporary folder.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTimer>
#include <QFontMetrics>
#include <QDialog>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>
#include <QToolTip>
#include <QXmlStreamReader>
#include <QHelpEvent>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/panels/char_map.h"
#include "core/input/keyboard.h"
#include "platform/byte_text.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "platform/shortcuts.h"
#include "windows/dialogs/preferences_form.h"
#include "windows/panels/dir_panel.h"
#include "windows/frame/main_form.h"
#include "core/settings/settings_keys.h"
#include "core/settings/profile_file.h"
#include "../window_test_util.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class ToolsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  tolvan::RecordingDesktop desktop_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }

  TToolForm* openPreferences() {
    const auto before = frame_->findChildren<TToolForm*>();
    frame_->Preferences1->trigger();
    for (TToolForm* t : frame_->findChildren<TToolForm*>())
      if (!before.contains(t)) return t;
    return nullptr;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    qputenv("HOME", path("home").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", path("home/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("home/.local/share").toLocal8Bit());
    QDir().mkpath(path("home/.config"));
    QDir().mkpath(path("home/Schreibtisch"));
    {
      QFile dirs(path("home/.config/user-dirs.dirs"));
      QVERIFY(dirs.open(QIODevice::WriteOnly));
      dirs.write("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    }
    {
      QFile ini(path("Tolvan.ini"));
      QVERIFY(ini.open(QIODevice::WriteOnly));
      ini.write("[Tolvan]\r\nTimes=5\r\nFontDef=MylaiTSC\r\n");
    }
    Prompts::setInstance(&prompts_);
    tolvan::Desktop::setInstance(&desktop_);
    frame_ = new TMainForm(dir_.path());
    frame_->resize(900, 700);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    Prompts::setInstance(nullptr);
    tolvan::Desktop::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
    desktop_.urls.clear();
    desktop_.commands.clear();
  }

  // ---------------------------------------------------------------- map

  void mapNeedsADocument() {
    QVERIFY(!frame_->Fontpanel->isVisible());
    QVERIFY(!frame_->mmASCIIMap->isEnabled());
    QVERIFY(!frame_->BtnKeyboard->isEnabled());
    frame_->mmASCIIMapClick();  // nothing without a document
    QVERIFY(!frame_->Fontpanel->isVisible());
    QVERIFY(!frame_->mmASCIIMap->isChecked());
  }

  void mapShowsAndHidesWithItsItemAndButton() {
    frame_->New1Click();
    QVERIFY(frame_->mmASCIIMap->isEnabled());
    QVERIFY(frame_->BtnKeyboard->isEnabled());
    frame_->mmASCIIMap->trigger();
    QVERIFY(frame_->Fontpanel->isVisible());
    QVERIFY(frame_->mmASCIIMap->isChecked());
    QVERIFY(frame_->BtnKeyboard->isChecked());
    QCOMPARE(frame_->Fontpanel->height(), 142);
    frame_->BtnKeyboard->trigger();
    QVERIFY(!frame_->Fontpanel->isVisible());
    QVERIFY(!frame_->mmASCIIMap->isChecked());
    QVERIFY(!frame_->BtnKeyboard->isChecked());
    // Closing the last document hides the panel and keeps the check mark;
    // the next click then unchecks it and the panel stays hidden.
    frame_->mmASCIIMapClick();
    QVERIFY(frame_->Fontpanel->isVisible());
    cleanup();
    QVERIFY(!frame_->Fontpanel->isVisible());
    QVERIFY(frame_->mmASCIIMap->isChecked());
    QVERIFY(!frame_->mmASCIIMap->isEnabled());
    frame_->New1Click();
    frame_->mmASCIIMapClick();
    QVERIFY(!frame_->mmASCIIMap->isChecked());
    QVERIFY(!frame_->Fontpanel->isVisible());
  }

  void gridOfButtons() {
    TCharMap* map = frame_->Fontpanel;
    QCOMPARE(map->findChildren<QToolButton*>().size(), 224);
    struct Cell { int code, left, top; };
    for (const Cell c : {Cell{32, 0, 1}, Cell{63, 620, 1}, Cell{64, 0, 21}, Cell{255, 620, 121}}) {
      QToolButton* b = map->button(c.code);
      QVERIFY(b);
      QCOMPARE(b->geometry(), QRect(c.left, c.top, 20, 20));
      QCOMPARE(b->toolTip(), QString(tolvan::byteToChar(uchar(c.code))));
    }
    QCOMPARE(map->CharLabel->geometry(), QRect(672, 48, 49, 41));
    QCOMPARE(map->CharLabel->font().pointSize(), 20);
  }

  // In an 800-pixel frame, or with the directory panel beside it, the grid
  // is wider than the panel: every button can still be brought fully into
  // view (by a scroll bar where one is needed), and the label stays whole.
  void everyButtonReachableInANarrowFrame_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("dirPanel");
    QTest::newRow("900, directory panel") << 900 << true;
    QTest::newRow("800, directory panel") << 800 << true;
    QTest::newRow("narrowest, directory panel") << 0 << true;
    QTest::newRow("narrowest") << 0 << false;
  }
  void everyButtonReachableInANarrowFrame() {
    QFETCH(int, width);
    QFETCH(bool, dirPanel);
    frame_->New1Click();
    if (frame_->DirPanel->isVisible() != dirPanel) frame_->mmDirPanelClick();
    frame_->resize(width, 700);  // 0: as narrow as the frame goes
    frame_->mmASCIIMapClick();
    QVERIFY(frame_->Fontpanel->isVisible());
    QCoreApplication::processEvents();
    TCharMap* map = frame_->Fontpanel;
    auto whole = [&](QWidget* w) {
      return w->isVisible() && w->visibleRegion() == QRegion(w->rect()) &&
             frame_->rect().contains(QRect(w->mapTo(frame_, QPoint(0, 0)), w->size()));
    };
    const QList<QScrollBar*> bars = map->findChildren<QScrollBar*>();
    auto reachable = [&](QToolButton* b) {
      if (whole(b)) return true;
      for (QScrollBar* bar : bars) {
        if (!bar->isVisible()) continue;
        for (int v = bar->minimum(); v <= bar->maximum(); v += qMax(1, bar->pageStep() / 2)) {
          bar->setValue(v);
          if (whole(b)) return true;
        }
        bar->setValue(bar->maximum());
        if (whole(b)) return true;
      }
      return false;
    };
    for (int code = TCharMap::kFirstCode; code <= TCharMap::kLastCode; ++code)
      QVERIFY2(reachable(map->button(code)), qPrintable(QStringLiteral("button %1").arg(code)));
    QVERIFY(whole(map->CharLabel));
    // Back to the other tests' frame, the panel at its full width first.
    if (dirPanel) frame_->mmDirPanelClick();
    frame_->resize(900, 700);
    QCoreApplication::processEvents();
    QCOMPARE(map->height(), 142);
    frame_->mmASCIIMapClick();
  }

  // Dialog titles are shown whole: the preferences dialog and the real
  // password dialog are at least as wide as their title bars need.
  void dialogTitlesFit() {
    TToolForm* t = openPreferences();
    QCOMPARE(t->windowTitle(), QStringLiteral("Tolvan Tools & Preference Settings"));
    QVERIFY(t->width() >= tolvan::titleWidth(t));
    QVERIFY(tolvan::titleWidth(t) > QFontMetrics(t->font()).horizontalAdvance(t->windowTitle()));
    t->CancelBtnClick();

    Prompts::setInstance(nullptr);  // the real dialogs
    int width = 0, need = 0;
    QTimer::singleShot(0, [&] {
      if (QWidget* d = QApplication::activeModalWidget()) {
        width = d->width();
        need = tolvan::titleWidth(d);
        static_cast<QDialog*>(d)->reject();
      }
    });
    QString pw;
    Prompts::instance().inputQuery(frame_, QStringLiteral("Password for encryption"),
                                   QStringLiteral("Password:"), pw, true);
    Prompts::setInstance(&prompts_);
    QVERIFY(need > 0);
    QVERIFY2(width >= need, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(need)));
  }

  void clickingTypesThroughTheLayout_data() {
    QTest::addColumn<bool>("tamil");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("space") << false << QByteArray() << 32 << QByteArray(" ");
    QTest::newRow("0xFF") << false << QByteArray() << 255 << QByteArray("\xFF");
    QTest::newRow("0xAD") << false << QByteArray() << 0xAD << QByteArray("\xAD");
    // a after k in Anjal: the vowel joins the consonant.
    QTest::newRow("k then a") << true << QByteArray("k") << 0xAB << QByteArray("\xB8");
  }
  void clickingTypesThroughTheLayout() {
    QFETCH(bool, tamil);
    QFETCH(QByteArray, keys);
    QFETCH(int, code);
    QFETCH(QByteArray, text);
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    f->mmAnjalKBClick();
    if (f->isTamilMode() != tamil) f->mmTamilKBClick();
    for (char k : keys) QTest::keyClick(f->Editor, k);
    QTest::mouseClick(frame_->Fontpanel->button(code), Qt::LeftButton);
    QCOMPARE(textOf(f), text);
  }

  void hoverShowsTheCharacter() {
    frame_->New1Click();
    frame_->mmASCIIMapClick();
    QToolButton* b = frame_->Fontpanel->button(0xB8);
    QTest::mouseMove(b, QPoint(5, 5));
    QCOMPARE(frame_->Fontpanel->CharLabel->text(), QString(QChar(0xB8)));
    QCOMPARE(frame_->Fontpanel->CharLabel->font().pointSize(), 20);
    frame_->mmASCIIMapClick();
  }

  void fontChangeReachesEveryButton() {
    frame_->New1Click();
    frame_->FontName->addItem(QStringLiteral("DejaVu Sans"));
    frame_->FontName->setCurrentText(QStringLiteral("DejaVu Sans"));
    frame_->FontNameChange();
    for (int code = 32; code <= 255; ++code)
      QCOMPARE(frame_->Fontpanel->button(code)->font().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(frame_->Fontpanel->CharLabel->font().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(frame_->Fontpanel->CharLabel->font().pointSize(), 20);
    frame_->FontName->setCurrentText(QStringLiteral("MylaiTSC"));
    frame_->FontNameChange();
  }

  void mapTooltipsLargeOverTheButtonsInTheChosenFont() {
    frame_->New1Click();
    frame_->mmASCIIMapClick();
    TCharMap* map = frame_->Fontpanel;
    frame_->FontName->addItem(QStringLiteral("DejaVu Sans"));
    struct Case {
      QWidget* widget;
      int size;
    };
    const QList<Case> cases = {{map->button(0xB8), 20}, {map->button('A'), 20},
                               {map->button(255), 20}, {map, 8}, {map->CharLabel, 8},
                               {frame_->FontName, 8}};
    for (const QString& family : {QStringLiteral("DejaVu Sans"), QStringLiteral("MylaiTSC")}) {
      frame_->FontName->setCurrentText(family);
      frame_->FontNameChange();
      for (const Case& c : cases) {
        QToolTip::setFont(QFont(QStringLiteral("Sans"), 13));
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), c.widget->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(c.widget, &help);
        const QFont f = QToolTip::font();
        QVERIFY2(f.family() == family && f.pointSize() == c.size && f.bold(),
                 qPrintable(c.widget->objectName() + ": " + f.toString()));
        QToolTip::hideText();
      }
    }
    frame_->mmASCIIMapClick();
  }

  // ---------------------------------------------------------------- routes

  void toolbarRoutesToTheActiveDocument() {
    QVERIFY(!frame_->BtnFind->isEnabled());
    frame_->ButtonFindClick();  // no document: nothing
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    for (QAction* a : {frame_->BtnPrint, frame_->BtnEmail, frame_->BtnFind, frame_->BtnReplace})
      QVERIFY(a->isEnabled());
    frame_->BtnFind->trigger();
    QVERIFY(f->findDialog(false)->isVisible());
    frame_->BtnReplace->trigger();
    QVERIFY(f->findDialog(true)->isVisible());
    frame_->BtnEmail->trigger();
    QCOMPARE(desktop_.urls.size(), 1);
    frame_->BtnPrint->trigger();
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Print"));
  }

  void openStartsInTheFolderReadAtStartUp() {
    const QString startDir = frame_->workDir();
    QDir().mkpath(path("other"));
    QFile f(path("other/doc.txt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    TEditForm* doc = frame_->CreateEditForm();
    QVERIFY(doc->OpenDocumentFile(path("other/doc.txt")));
    QVERIFY(frame_->workDir() != startDir);  // opening moves WorkDir (saved at exit)
    prompts_.fileDialogDirs.clear();
    frame_->Open1Click();  // cancelled
    QCOMPARE(prompts_.fileDialogDirs, QStringList{startDir});
  }

  // ---------------------------------------------------------------- preferences

  void preferencesDialogIsModelessWithItsControls() {
    TToolForm* t = openPreferences();
    QVERIFY(t);
    QVERIFY(t->isVisible());
    QVERIFY(!t->isModal());
    QCOMPARE(t->windowTitle(), QStringLiteral("Tolvan Tools & Preference Settings"));
    QStringList captions;
    for (QPushButton* b : {t->BtnPenClr, t->BtnPaperClr, t->IconBtn, t->SMBtn, t->SendToBtn,
                           t->UninstalBtn, t->OkBtn, t->CancelBtn})
      captions << b->text();
    QCOMPARE(captions, (QStringList{"Set Pen Color", "Set Paper Color", "Create Icon on DeskTop",
                                    "Create Icon on Start Menu", "Create Link in SendTo Menu",
                                    "Clear Icons and Links", "Okay", "Cancel"}));
    QCOMPARE(t->FontName2->currentText(), frame_->FontName->currentText());
    QVERIFY(t->FontName2->isEditable());
    const QVariant f = t->FontName2->itemData(0, Qt::FontRole);
    QCOMPARE(f.value<QFont>().family(), t->FontName2->itemText(0));
    // A second one opens beside it.
    TToolForm* u = openPreferences();
    QVERIFY(u && u != t);
    u->CancelBtnClick();
    t->CancelBtnClick();
  }

  void coloursTakeEffectAtOnceEvenOnCancel() {
    TToolForm* t = openPreferences();
    prompts_.colors.push_back(QColor(255, 0, 0));
    t->BtnPenClrClick();
    prompts_.colors.push_back(QColor(0x12, 0x34, 0x56));
    t->BtnPaperClrClick();
    t->CancelBtnClick();
    QCOMPARE(frame_->defaultForeColor(), QStringLiteral("clRed"));
    QCOMPARE(frame_->defaultBackColor(), QStringLiteral("$00563412"));
    // The next document opens in them.
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    QCOMPARE(f->Editor->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(f->Editor->palette().color(QPalette::Base), QColor(0x12, 0x34, 0x56));
    frame_->setForeColor(QStringLiteral("clBlack"));
    frame_->setBackColor(QStringLiteral("clWhite"));
  }

  void okayWritesTheTypedFontAtOnce() {
    TToolForm* t = openPreferences();
    t->FontName2->setEditText(QStringLiteral("My Own Font"));
    t->OkBtnClick();
    QCOMPARE(frame_->fontDef(), QStringLiteral("My Own Font"));
    tolvan::ProfileFile ini(path("Tolvan.ini").toStdString());
    QCOMPARE(QString::fromStdString(ini.ReadString("Tolvan", "FontDef", "")),
             QStringLiteral("My Own Font"));
    // Cancel drops a typed font.
    TToolForm* u = openPreferences();
    u->FontName2->setEditText(QStringLiteral("Dropped"));
    u->CancelBtnClick();
    QCOMPARE(frame_->fontDef(), QStringLiteral("My Own Font"));
  }

  void panelCommandsFollowTheCheckBox() {
    // The box shows the switch as it stands; Okay writes it and the panel's
    // menu follows at once; Cancel drops a change.
    QVERIFY(!frame_->EncMenuEnabled());
    for (bool on : {true, false}) {
      TToolForm* t = openPreferences();
      QCOMPARE(t->PanelCommands->isChecked(), !on);
      t->PanelCommands->setChecked(on);
      t->OkBtnClick();
      QCOMPARE(frame_->EncMenuEnabled(), on);
      QCOMPARE(frame_->DirTree->EncMenuEnabled(), on);
      QCOMPARE(frame_->settings().dirPanelSwitchOn(), on);
      tolvan::ProfileFile ini(path("Tolvan.ini").toStdString());
      const std::string name(tolvan::kDirPanelSwitchName);
      QCOMPARE(ini.ReadString("Tolvan", name, "<none>"),
               on ? std::string(tolvan::kDirPanelSwitchValue) : std::string());
    }
    TToolForm* u = openPreferences();
    u->PanelCommands->setChecked(true);
    u->CancelBtnClick();
    QVERIFY(!frame_->EncMenuEnabled());
    QVERIFY(!frame_->settings().dirPanelSwitchOn());
  }

  // The encoding of new documents: chosen in the dialog, written on Okay,
  // and what File > New makes from then on.
  void newDocumentEncodingChosen() {
    tolvan::ProfileFile ini(path("Tolvan.ini").toStdString());
    const struct {
      QString before, choice;
      tolvan::TextEncoding encoding;
    } rows[] = {{"TSCII", "Unicode", tolvan::TextEncoding::Unicode},
                {"Unicode", "TSCII", tolvan::TextEncoding::Tscii}};
    for (const auto& r : rows) {
      TToolForm* t = openPreferences();
      QCOMPARE(t->NewEncoding->currentText(), r.before);
      t->NewEncoding->setCurrentText(r.choice);
      t->OkBtnClick();
      QCOMPARE(ini.ReadString("Tolvan", "NewDocumentEncoding", "<none>"), r.choice.toStdString());
      frame_->New1Click();
      QCOMPARE(frame_->ActiveEditForm()->encoding(), r.encoding);
      QCOMPARE(frame_->PanelText(7), r.choice);
    }
    TToolForm* u = openPreferences();
    u->NewEncoding->setCurrentText(QStringLiteral("Unicode"));
    u->CancelBtnClick();
    QCOMPARE(ini.ReadString("Tolvan", "NewDocumentEncoding", "<none>"), std::string("TSCII"));
  }

  void shortcutsCreatedAndCleared() {
    const QString exe = QCoreApplication::applicationFilePath();
    const QString desk = path("home/Schreibtisch/tolvan.desktop");
    const QString menu = path("home/.local/share/applications/tolvan.desktop");
    const QString sendTo = path("home/.local/share/nautilus/scripts/Tolvan");
    const QStringList fileManagers = {sendTo, path("home/.config/caja/scripts/Tolvan"),
                                      path("home/.local/share/nemo/actions/tolvan.nemo_action"),
                                      path("home/.local/share/kio/servicemenus/tolvan.desktop")};
    QCOMPARE(tolvan::shortcutPath(tolvan::ShortcutPlace::Desktop), desk);
    QCOMPARE(tolvan::shortcutPaths(tolvan::ShortcutPlace::SendTo), fileManagers);
    TToolForm* t = openPreferences();
    t->IconBtnClick();
    t->IconBtnClick();  // twice: still one launcher
    t->SMBtn1Click();
    t->SendToBtnClick();
    QVERIFY(prompts_.shown.isEmpty());
    QCOMPARE(QDir(path("home/Schreibtisch")).entryList(QDir::Files), QStringList{"tolvan.desktop"});
    for (const QString& launcher : {desk, menu}) {
      const QByteArray text = readAll(launcher);
      QVERIFY2(text.contains("Exec=" + tolvan::quoteExecArgument(exe).toUtf8() + " %F"), text);
      QVERIFY(text.contains("Name=Tolvan"));
      if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        QProcess v;
        v.start(QStringLiteral("desktop-file-validate"), {launcher});
        QVERIFY(v.waitForFinished());
        // Warnings too: the launcher validates without a word.
        const QByteArray said = v.readAllStandardOutput() + v.readAllStandardError();
        QVERIFY2(v.exitCode() == 0 && said.trimmed().isEmpty(), said);
      }
    }
    QVERIFY(QFileInfo(desk).isExecutable());
    for (const QString& p : fileManagers) {
      const QByteArray text = readAll(p);
      QVERIFY2(text.contains(QByteArray(tolvan::kShortcutMark)), qPrintable(p));
      if (p.endsWith("Tolvan")) {
        QVERIFY2(text.startsWith("#!/bin/sh\n"), qPrintable(p));
        QVERIFY2(QFileInfo(p).isExecutable(), qPrintable(p));
      } else {
        QVERIFY2(text.contains("\nExec=" + tolvan::quoteExecArgument(exe).toUtf8() + " %F\n"), text);
      }
    }
    QVERIFY(QFileInfo(fileManagers[3]).isExecutable());  // Dolphin asks for it
    QVERIFY(desktop_.commands.contains(
        QStringList{"gio", "set", desk, "metadata::trusted", "true"}));
    t->UnInstallBtnClick();
    for (const QString& p : QStringList{desk, menu} + fileManagers)
      QVERIFY2(!QFile::exists(p), qPrintable(p));
    t->UnInstallBtnClick();  // none there: nothing happens, nothing shown
    QVERIFY(prompts_.shown.isEmpty());
    t->CancelBtnClick();
  }

  void clearLeavesFilesItDidNotWrite() {
    // In each place: a launcher of the user's own (or a package's), a file
    // naming the mark inside another line, and a link to one of ours.
    const QString exe = QCoreApplication::applicationFilePath();
    QStringList all;
    for (auto p : {tolvan::ShortcutPlace::Desktop, tolvan::ShortcutPlace::StartMenu,
                   tolvan::ShortcutPlace::SendTo})
      all += tolvan::shortcutPaths(p);
    const QString ours = path("ours.desktop");
    writeFile(ours, tolvan::launcherText(exe, "tolvan").toUtf8());
    const QList<QByteArray> foreign = {
        "[Desktop Entry]\nType=Application\nName=Tolvan\nExec=/usr/bin/tolvan %F\n",
        "[Desktop Entry]\nName=Tolvan\nComment=not X-Tolvan-Shortcut=true\nExec=tolvan\n",
        "<link>"};
    for (const QByteArray& content : foreign) {
      for (const QString& p : all) {
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile::remove(p);
        if (content == "<link>")
          QVERIFY(QFile::link(ours, p));
        else
          writeFile(p, content);
      }
      TToolForm* t = openPreferences();
      t->UnInstallBtnClick();
      t->CancelBtnClick();
      for (const QString& p : all) {
        QVERIFY2(QFileInfo(p).isSymLink() || QFileInfo::exists(p), qPrintable(p));
        if (content != "<link>") QCOMPARE(readAll(p), content);
      }
      QVERIFY(QFileInfo::exists(ours));
    }
    for (const QString& p : all) QFile::remove(p);
    QFile::remove(ours);
  }

  // Thunar's actions file is the user's: Send To puts one action in it and
  // Clear takes that one out, the rest byte for byte.
  void thunarActionAddedAndTakenOut_data() {
    QTest::addColumn<QByteArray>("user");    // the user's file before, "" for none
    QTest::addColumn<QByteArray>("system");  // the system's, "" for none
    QTest::addColumn<QString>("exe");
    QTest::addColumn<bool>("held");
    const QByteArray own =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n\t<name>Mine</name>\n"
        "\t<unique-id>1-1</unique-id>\n\t<command>mine %f</command>\n</action>\n</actions>\n";
    const QByteArray sys =
        "<?xml version=\"1.0\"?>\n<actions>\n  <action><name>Terminal</name>"
        "<unique-id>2-2</unique-id><command>term</command></action>\n</actions>\n";
    QTest::newRow("the user's own") << own << sys << "/usr/bin/tolvan" << true;
    QTest::newRow("the system's only") << QByteArray() << sys << "/usr/bin/tolvan" << true;
    QTest::newRow("none") << QByteArray() << QByteArray() << "/opt/a&b <c>'d\"\r\ne/tolvan" << true;
    QTest::newRow("not a list of actions") << QByteArray("not xml\n") << sys << "/usr/bin/tolvan"
                                           << false;
  }

  void thunarActionAddedAndTakenOut() {
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, system);
    QFETCH(QString, exe);
    QFETCH(bool, held);
    const QString mine = path("home/.config/Thunar/uca.xml");
    QCOMPARE(tolvan::thunarActionsPath(), mine);
    QFile::remove(mine);
    QDir(path("sys")).removeRecursively();
    qputenv("XDG_CONFIG_DIRS", path("sys").toLocal8Bit());
    if (!system.isEmpty()) {
      QDir().mkpath(path("sys/Thunar"));
      writeFile(path("sys/Thunar/uca.xml"), system);
    }
    if (!user.isEmpty()) {
      QDir().mkpath(path("home/.config/Thunar"));
      writeFile(mine, user);
    }
    const QByteArray before = user.isEmpty() ? system : user;
    QCOMPARE(tolvan::createShortcut(tolvan::ShortcutPlace::SendTo, exe, "tolvan"), held);
    QCOMPARE(tolvan::createShortcut(tolvan::ShortcutPlace::SendTo, exe, "tolvan"), held);
    if (held) {
      const QByteArray text = readAll(mine);
      QCOMPARE(text.count("<unique-id>X-Tolvan-Shortcut</unique-id>"), 1);
      // Read back as XML: every action of before, then ours with the path.
      QXmlStreamReader xml(text);
      QStringList ids, commands;
      while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"unique-id") ids << xml.readElementText();
        if (xml.name() == u"command") commands << xml.readElementText();
      }
      QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
      QCOMPARE(ids.last(), QStringLiteral("X-Tolvan-Shortcut"));
      QString quoted = exe;
      quoted.replace("'", "'\\''");
      QCOMPARE(commands.last(), "'" + quoted + "' %F");
      QCOMPARE(ids.size(), before.count("<unique-id>") + 1);
    } else {
      QCOMPARE(readAll(mine), user);
    }
    tolvan::removeShortcuts();
    QCOMPARE(readAll(mine), user.isEmpty() && system.isEmpty() ? QByteArray("<missing>") : before);
    qunsetenv("XDG_CONFIG_DIRS");
    QFile::remove(mine);
  }

  // The Exec value of a launcher read back: the value's escapes undone, then
  // the quoting, then the doubled %.
  static QString execProgram(const QByteArray& text) {
    QString value;
    for (const QString& line : QString::fromUtf8(text).split('\n'))
      if (line.startsWith("Exec=")) value = line.mid(5);
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
      if (value[i] != '\\' || i + 1 == value.size()) {
        unescaped += value[i];
        continue;
      }
      const QChar e = value[++i];
      unescaped += e == 'n' ? QChar('\n') : e == 'r' ? QChar('\r') : e == 't' ? QChar('\t')
                 : e == 's' ? QChar(' ') : e;
    }
    if (!unescaped.startsWith('"') || !unescaped.endsWith("\" %F")) return "<not quoted>";
    const QString quoted = unescaped.mid(1, unescaped.size() - 5);
    QString arg;
    for (qsizetype i = 0; i < quoted.size(); ++i) {
      if (quoted[i] == '\\' && i + 1 < quoted.size()) arg += quoted[++i];
      else if (quoted[i] == '%' && i + 1 < quoted.size() && quoted[i + 1] == '%') arg += quoted[++i];
      else arg += quoted[i];
    }
    return arg;
  }

  void launcherHoldsEveryProgramPathOrRefusesIt_data() {
    QTest::addColumn<QString>("exe");
    QTest::addColumn<bool>("held");
    QTest::newRow("newline") << "/opt/a\nName=Evil\nExec=rm -rf ~" << true;
    QTest::newRow("carriage return") << "/opt/b\rName=Evil" << true;
    QTest::newRow("tab") << "/opt/c\td" << true;
    QTest::newRow("backslash n") << "/opt/e\\n\\\\x 100%" << true;
    QTest::newRow("quote, dollar") << "/opt/\"$HOME\"`x`/tolvan" << true;
    QTest::newRow("NUL") << QString("/opt/f") + QChar(0) + "g" << false;
    QTest::newRow("escape") << "/opt/\x1b[31m" << false;
    QTest::newRow("delete") << "/opt/h\x7f" << false;
    QTest::newRow("lone surrogate") << QString("/opt/") + QChar(0xd800) << false;
  }

  void launcherHoldsEveryProgramPathOrRefusesIt() {
    QFETCH(QString, exe);
    QFETCH(bool, held);
    QStringList all;
    for (auto p : {tolvan::ShortcutPlace::Desktop, tolvan::ShortcutPlace::StartMenu,
                   tolvan::ShortcutPlace::SendTo})
      all += tolvan::shortcutPaths(p);
    for (const QString& p : all) QFile::remove(p);
    QCOMPARE(tolvan::createShortcut(tolvan::ShortcutPlace::StartMenu, exe, exe), held);
    QCOMPARE(tolvan::createShortcut(tolvan::ShortcutPlace::SendTo, exe, "tolvan"), held);
    QCOMPARE(tolvan::createShortcut(tolvan::ShortcutPlace::Desktop, "/usr/bin/tolvan", exe), held);
    if (!held) {
      for (const QString& p : all) QVERIFY2(!QFile::exists(p), qPrintable(p));
      return;
    }
    const QString menu = tolvan::shortcutPath(tolvan::ShortcutPlace::StartMenu);
    const QString desk = tolvan::shortcutPath(tolvan::ShortcutPlace::Desktop);
    const QByteArray text = readAll(menu);
    // One line per key, nothing more: the path's line breaks are escapes.
    QCOMPARE(text.count('\n'), tolvan::launcherText("/x", "y").toUtf8().count('\n'));
    QVERIFY(!text.contains('\r') && !text.contains('\t'));
    QCOMPARE(text.count("\nName="), 1);
    QCOMPARE(text.count("\nExec="), 1);
    QCOMPARE(execProgram(text), exe);
    QCOMPARE(execProgram(readAll(all[2 + 2])), exe);  // Nemo's action
    QVERIFY(!readAll(desk).contains('\r'));
    QCOMPARE(readAll(desk).count('\n'), text.count('\n'));
    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
      for (const QString& launcher : {menu, desk}) {
        QProcess v;
        v.start(QStringLiteral("desktop-file-validate"), {launcher});
        QVERIFY(v.waitForFinished());
        const QByteArray said = v.readAllStandardOutput() + v.readAllStandardError();
        QVERIFY2(v.exitCode() == 0, said);
      }
    }
    tolvan::removeShortcuts();
    for (const QString& p : all) QVERIFY2(!QFile::exists(p), qPrintable(p));
  }

  void noDesktopFolderNoLauncherAndNoMessage() {
    const QString moved = path("home/elsewhere");
    QVERIFY(QDir().rename(path("home/Schreibtisch"), moved));
    TToolForm* t = openPreferences();
    t->IconBtnClick();
    QVERIFY(!QFile::exists(path("home/Schreibtisch/tolvan.desktop")));
    QVERIFY(prompts_.shown.isEmpty());
    t->CancelBtnClick();
    QVERIFY(QDir().rename(moved, path("home/Schreibtisch")));
  }

  void sendToScriptOpensTheSelectedFilesByFullPath() {
    // A stand-in program that prints its arguments; a path with a quote.
    QDir().mkpath(path("it's here"));
    const QString fake = path("it's here/fake-tolvan");
    {
      QFile f(fake);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("#!/bin/sh\nfor a do echo \"$a\"; done\n");
    }
    QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(tolvan::createShortcut(tolvan::ShortcutPlace::SendTo, fake, QString()));
    QProcess sh;
    sh.setWorkingDirectory(path("home"));
    sh.start(tolvan::shortcutPath(tolvan::ShortcutPlace::SendTo),
             {QStringLiteral("a b.txt"), QStringLiteral("/abs/c.txt")});
    QVERIFY(sh.waitForFinished());
    const QString home = QFileInfo(path("home")).canonicalFilePath();
    const QStringList lines = QString::fromLocal8Bit(sh.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].endsWith(QStringLiteral("/a b.txt")) && lines[0].startsWith('/'), qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("/abs/c.txt"));
    Q_UNUSED(home);
    tolvan::removeShortcuts();
  }
};

QTEST_MAIN(ToolsTest)
#include "tools_test.moc"
