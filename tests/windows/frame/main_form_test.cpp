// The main frame: start-up and shutdown settings, the View toggles, the
// document windows it manages, the merged menu bar, the recently-used list,
// the format bar, the status bar, the colour menus and Help.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QMdiSubWindow>
#include <QImage>
#include <QLabel>
#include <QMap>
#include <QPaintEvent>
#include <QRegion>
#include <QSet>
#include <QStatusBar>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextList>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "windows/document/document_layout.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/prompts.h"
#include "core/settings/color_table.h"
#include "windows/frame/frame_mdi_area.h"
#include "windows/frame/led.h"
#include "windows/frame/main_form.h"
#include "core/settings/product_info.h"
#include "core/settings/recent_files.h"
#include "core/settings/settings_keys.h"

namespace {

const QString kThanks = QStringLiteral("Thank you for using Tolvan \" %1 \" times !");
const QString kFontPrompt = QStringLiteral(
    "Please select your favorite font as default using the menu option View - > Preferences");

QStringList menuTitles(QMainWindow* w) {
  QStringList t;
  for (QAction* a : w->menuBar()->actions()) t << a->text();
  return t;
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  tolvan::ScriptedPrompts prompts_;
  std::unique_ptr<TMainForm> frame_;
  QString oldCwd_;

  QString ini() const { return dir_->filePath(QStringLiteral("Tolvan.ini")); }

  void writeIni(const QByteArray& body) {
    QFile f(ini());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(body);
  }
  QByteArray readIni() const {
    QFile f(ini());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  // A frame on the test's settings file; a usual later start unless told.
  TMainForm* makeFrame(const QByteArray& iniBody = "[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\n") {
    if (!iniBody.isNull()) writeIni(iniBody);
    frame_ = std::make_unique<TMainForm>(dir_->path());
    return frame_.get();
  }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_->filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("TOLVAN_INI", QFile::encodeName(ini()));
    prompts_ = tolvan::ScriptedPrompts();
    tolvan::Prompts::setInstance(&prompts_);
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_->path());
  }

  void cleanup() {
    if (frame_) {
      for (TEditForm* f : frame_->EditForms()) f->Editor->document()->setModified(false);
      frame_.reset();
    }
    tolvan::Prompts::setInstance(nullptr);
    QDir::setCurrent(oldCwd_);
    dir_.reset();
  }

  // ---- start-up

  void startMessagesAndCount_data() {
    QTest::addColumn<QByteArray>("iniBody");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("timesAfter");
    QTest::newRow("first start, no file")
        << QByteArray() << QStringList{kThanks.arg(0), kFontPrompt} << 1;
    QTest::newRow("second start, font chosen")
        << QByteArray("[Tolvan]\r\nTimes=1\r\nFontDef=Arial\r\n") << QStringList{} << 2;
    QTest::newRow("99th start")
        << QByteArray("[Tolvan]\r\nTimes=98\r\nFontDef=Arial\r\n") << QStringList{} << 99;
    QTest::newRow("101st start")
        << QByteArray("[Tolvan]\r\nTimes=100\r\nFontDef=Arial\r\n") << QStringList{kThanks.arg(100)}
        << 101;
    QTest::newRow("no font yet")
        << QByteArray("[tolvan]\r\ntimes=200\r\n") << QStringList{kThanks.arg(200), kFontPrompt}
        << 201;
  }
  void startMessagesAndCount() {
    QFETCH(QByteArray, iniBody);
    QFETCH(QStringList, messages);
    QFETCH(int, timesAfter);
    if (iniBody.isNull()) QVERIFY(!QFile::exists(ini()));
    TMainForm* f = makeFrame(iniBody);
    QCOMPARE(prompts_.shown, messages);
    // The count and date are written once the event loop runs.
    QTRY_COMPARE(f->settings().readInteger(tolvan::Key::Times), timesAfter);
    QVERIFY(!f->settings().readString(tolvan::Key::StartDate).empty());
  }

  void startDateIsKeptOnceWritten() {
    makeFrame("[Tolvan]\r\nTimes=3\r\nFontDef=Arial\r\nStartDate=1/2/2003\r\n");
    frame_->FinishStartup();
    QCOMPARE(frame_->settings().readInteger(tolvan::Key::Times), 4);
    QCOMPARE(frame_->settings().readString(tolvan::Key::StartDate), std::string("1/2/2003"));
  }

  void defaultsWithoutSettings() {
    TMainForm* f = makeFrame(QByteArray("[Tolvan]\r\nTimes=1\r\n"));
    QCOMPARE(f->defaultForeColor(), QStringLiteral("clBlack"));
    QCOMPARE(f->defaultBackColor(), QStringLiteral("clWhite"));
    QCOMPARE(f->fontDef(), QString());
    QCOMPARE(f->viewer(), QStringLiteral("11110"));
    QCOMPARE(f->workDir(), QDir::homePath() + QLatin1Char('/'));
    QCOMPARE(f->untitledNumber(), 0);
    QCOMPARE(f->FontSizeValue(), 10);
    // Panel 6 shows the default font until the first hint; the light is off.
    QVERIFY(!f->Light->isLit());
    QCOMPARE(f->PanelText(3), QStringLiteral("Overwrite"));
  }

  void bannerFollowsTheDefaultFont_data() {
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("kind");
    QTest::newRow("TSCII font") << "MylaiTSC" << "tscii";
    QTest::newRow("TAB font") << "TAB-Anna" << "tab";
    QTest::newRow("both names") << "TSC_TAB" << "tscii";
    QTest::newRow("other font") << "Arial" << "plain";
    QTest::newRow("no font") << "" << "plain";
    QTest::newRow("lower case tsc is not TSCII") << "tscfont" << "plain";
  }
  void bannerFollowsTheDefaultFont() {
    QFETCH(QString, font);
    QFETCH(QString, kind);
    const QString b = TMainForm::ChooseBannerText(font);
    const QString site = QString::fromLatin1(tolvan::kWebSite);
    if (kind == QLatin1String("plain")) {
      QCOMPARE(b, QStringLiteral("\rTolvan by Veyran\r") + site);
      return;
    }
    // CR, a Tamil phrase, CR, the web site.
    const QStringList parts = b.split(QLatin1Char('\r'));
    QCOMPARE(parts.size(), 3);
    QVERIFY(parts[0].isEmpty());
    QCOMPARE(parts[2], site);
    if (kind == QLatin1String("tscii"))
      QCOMPARE(parts[1], QString::fromLatin1(tolvan::kTamilBannerTscii));
    else
      QVERIFY(parts[1] != QString::fromLatin1(tolvan::kTamilBannerTscii));
    for (QChar c : parts[1]) QVERIFY(c.unicode() < 0x100);  // bytes of an 8-bit font
  }

  void bannerPaintsInAPenColour() {
    TMainForm* f = makeFrame();
    f->resize(640, 480);
    auto* mdi = qobject_cast<TFrameMdiArea*>(f->MdiArea());
    QVERIFY(mdi);
    QSet<QRgb> seen;
    for (int i = 0; i < 12; ++i) {
      mdi->viewport()->grab();
      const QColor c = mdi->lastBannerColor();
      bool inTable = false;
      for (int k = 0; k < 16; ++k)
        inTable = inTable || TMainForm::ValueToColor(tolvan::kPenColors[k].value) == c;
      QVERIFY2(inTable, qPrintable(c.name()));
      seen.insert(c.rgb());
    }
    QVERIFY(seen.size() > 1);  // picked afresh at every repaint
  }

  // ---- View toggles

  void viewerFlagsShowAndCheck_data() {
    QTest::addColumn<QString>("viewer");
    QTest::newRow("default") << "11110";
    QTest::newRow("all hidden") << "00000";
    QTest::newRow("alternate") << "10101";
    QTest::newRow("all shown") << "11111";
  }
  void viewerFlagsShowAndCheck() {
    QFETCH(QString, viewer);
    TMainForm* f = makeFrame("[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\nViewer=" + viewer.toLatin1() +
                             "\r\n");
    f->show();
    auto on = [&](int pos) { return viewer.at(pos - 1) == QLatin1Char('1'); };
    QCOMPARE(f->FileTab->isVisible(), on(1));
    QCOMPARE(f->mmSelectorBar->isChecked(), on(1));
    QCOMPARE(f->ToolBar->isVisible(), on(2));
    QCOMPARE(f->mmToolBar->isChecked(), on(2));
    QCOMPARE(f->mmFormatBar->isChecked(), on(3));
    QCOMPARE(f->SB->isVisible(), on(4));
    QCOMPARE(f->mmStatusBar->isChecked(), on(4));
    QCOMPARE(f->DirPanel->isVisible(), on(5));
    QCOMPARE(f->mmDirPanel->isChecked(), on(5));
    QCOMPARE(f->BtnDir->isChecked(), on(5));
    // The format bar is never shown without a document; with one it follows
    // its check mark.
    QVERIFY(!f->FormatPanel->isVisible());
    f->New1Click();
    QCOMPARE(f->FormatPanel->isVisible(), on(3));
  }

  void togglesKeepViewerAndFormatBarWaitsForADocument() {
    TMainForm* f = makeFrame();
    f->show();
    f->mmFormatBar->trigger();  // off: "11110" -> "11010"
    QCOMPARE(f->viewer(), QStringLiteral("11010"));
    QVERIFY(!f->mmFormatBar->isChecked());
    f->mmFormatBar->trigger();
    QCOMPARE(f->viewer(), QStringLiteral("11110"));
    QVERIFY(f->mmFormatBar->isChecked());
    QVERIFY(!f->FormatPanel->isVisible());  // no document yet
    f->New1Click();
    QVERIFY(f->FormatPanel->isVisible());
    f->mmFormatBar->trigger();
    QVERIFY(!f->FormatPanel->isVisible());

    f->mmToolBar->trigger();
    f->mmStatusBar->trigger();
    f->mmSelectorBar->trigger();
    f->BtnDir->trigger();  // the toolbar button and the menu item agree
    QCOMPARE(f->viewer(), QStringLiteral("00001"));
    QVERIFY(!f->ToolBar->isVisible());
    QVERIFY(!f->SB->isVisible());
    QVERIFY(!f->FileTab->isVisible());
    QVERIFY(f->DirPanel->isVisible());
    QVERIFY(f->mmDirPanel->isChecked());
    QVERIFY(f->BtnDir->isChecked());
    f->mmDirPanel->trigger();
    QVERIFY(!f->BtnDir->isChecked());
    QCOMPARE(f->viewer(), QStringLiteral("00000"));
  }

  // ---- document windows, selector bar and menus

  void newWindowsAndTheirButtons() {
    TMainForm* f = makeFrame();
    f->New1Click();
    f->New1Click();
    f->New1Click();
    const auto forms = f->EditForms();
    QCOMPARE(forms.size(), 3);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(forms[i]->Title(), QStringLiteral("Tolvan%1").arg(i + 1));
      QVERIFY(forms[i]->BtnSpeed);
      QCOMPARE(forms[i]->BtnSpeed->parentWidget(), f->FileTab);
      QCOMPARE(forms[i]->BtnSpeed->geometry(), QRect(i * 80, 2, 80, 20));
    }
    QCOMPARE(f->windowTitle(), QStringLiteral("Tolvan - [Tolvan3]"));
    // The active window's button alone is down.
    QCOMPARE(f->ActiveEditForm(), forms[2]);
    QVERIFY(forms[2]->BtnSpeed->isChecked());
    QVERIFY(!forms[0]->BtnSpeed->isChecked());
    forms[1]->Close1Click();
    QTRY_COMPARE(f->EditForms().size(), 2);
    QCOMPARE(forms[0]->BtnSpeed->pos(), QPoint(0, 2));
    QCOMPARE(forms[2]->BtnSpeed->pos(), QPoint(80, 2));
  }

  void menuBarMergesTheActiveDocumentsMenus() {
    TMainForm* f = makeFrame();
    const QStringList frameOnly{QStringLiteral("&File"), QStringLiteral("&View"),
                                QStringLiteral("&Window"), QStringLiteral("&Help")};
    QCOMPARE(menuTitles(f), frameOnly);
    f->New1Click();
    QStringList merged = menuTitles(f);
    for (QString& t : merged) t.remove(QLatin1Char('&'));
    QCOMPARE(merged, (QStringList{"File", "Edit", "Search", "Keyboard", "Convert", "Tools", "View",
                                  "Window", "Help"}));
    // The File menu showing is the document's; ReOpen hangs on it.
    TEditForm* doc = f->ActiveEditForm();
    QCOMPARE(f->menuBar()->actions().first(), doc->File1->menuAction());
    QCOMPARE(doc->ReOpen1->menu(), f->RecentMenu);
    doc->Close1Click();
    QTRY_COMPARE(menuTitles(f), frameOnly);
    QCOMPARE(f->ReOpen1->menu(), f->RecentMenu);
  }

  void windowMenuListsTheDocuments() {
    TMainForm* f = makeFrame();
    f->New1Click();
    f->New1Click();
    emit f->Window1->aboutToShow();
    QStringList items;
    for (QAction* a : f->Window1->actions())
      if (!a->isSeparator()) items << a->text();
    QCOMPARE(items, (QStringList{"&Tile", "&Cascade", "&Arrange Icons", "&1 Tolvan1", "&2 Tolvan2"}));
    // Choosing an entry activates that window.
    f->Window1->actions().at(4)->trigger();
    QCOMPARE(f->ActiveEditForm(), f->EditForms().first());
  }

  void routedCommandsWithoutADocumentDoNothing() {
    TMainForm* f = makeFrame();
    for (QAction* b : {f->BtnSave, f->BtnPrint, f->BtnEmail, f->BtnCut, f->BtnCopy, f->BtnPaste,
                       f->BtnDelete, f->BtnUndo, f->BtnRedo, f->BtnFind, f->BtnReplace, f->BtnTamil,
                       f->BtnKeyboard, f->BtnPen, f->BtnPaper, f->BtnFont, f->BtnEncrypt,
                       f->BtnDecrypt})
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    f->ButtonSaveClick();
    f->ButtonCutClick();
    f->ButtonCopyClick();
    f->ButtonPasteClick();
    f->ButtonDeleteClick();
    f->ButtonUndoClick();
    f->ButtonRedoClick();
    f->BtnTamilClick();
    f->BtnPenClick();
    f->BtnPaperClick();
    f->mmSetFontClick();
    f->BoldFlatButton->click();
    f->LeftAlignFlatClick(2);
    f->BulletsFlatButton->click();
    QVERIFY(f->EditForms().isEmpty());
    QVERIFY(prompts_.shown.isEmpty());
    QVERIFY(!f->BtnTamil->isChecked());
  }

  void toolbarHintsAndSections() {
    TMainForm* f = makeFrame();
    QStringList hints;
    int separators = 0;
    for (QAction* a : f->ToolBar->actions()) {
      if (a->isSeparator()) {
        hints << QStringLiteral("|");
        ++separators;
        continue;
      }
      hints << a->toolTip();
      QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
      QCOMPARE(a->statusTip(), a->toolTip());
    }
    QCOMPARE(hints.join(QLatin1Char(';')),
             QStringLiteral("New File (Ctrl + N);Open File (Ctrl + O);Save File (Ctrl + S);"
                            "Print (Ctrl + P);Email File or Selected contents;|;Cut to Clipboard;"
                            "Copy to Clipboard (Ctrl + C);Paste from Clipboard;Delete;|;"
                            "Undo (Ctrl + Z);Redo (Ctrl + Y);|;Find (Ctrl + F);Replace (Ctrl + R);|;"
                            "Set Tamil Typing Mode On / Off;Show ASCII Map;Show Directory Panel;"
                            "Set Pen Color;Set Paper Color;Set Font;|;Encrypt;Decrypt;Help"));
    QCOMPARE(separators, 5);
  }

  void hintsGoToTheLastPanel() {
    TMainForm* f = makeFrame();
    QCOMPARE(f->PanelText(6), QStringLiteral("Arial"));
    QStatusTipEvent tip(QStringLiteral("Open File (Ctrl + O)"));
    QCoreApplication::sendEvent(f->ToolBar, &tip);
    QCOMPARE(f->PanelText(6), QStringLiteral("Open File (Ctrl + O)"));
  }

  // ---- recently-used list

  void droppedFilesOpenAndLeadTheList() {
    TMainForm* f = makeFrame();
    QVERIFY(!f->ReOpen1->isEnabled());
    const QString a = writeFile("a.txt", "aaa\n"), b = writeFile("b.txt", "bbb\n"),
                  c = writeFile("c.txt", "ccc\n");
    f->DropFiles({a, b, c});
    QVERIFY2(prompts_.shown.isEmpty(), qPrintable(prompts_.shown.join(QLatin1Char('|'))));
    QCOMPARE(f->EditForms().size(), 3);
    QCOMPARE(f->EditForms().at(2)->Title(), c);
    const auto& entries = f->recentFiles().entries();
    QCOMPARE(int(entries.size()), 3);
    QCOMPARE(QString::fromStdString(entries[0].path), c);
    QCOMPARE(QString::fromStdString(entries[2].path), a);
    QCOMPARE(entries[0].data, 1001);
    const auto items = f->RecentMenu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("&1 ") + c);
    QCOMPARE(items[2]->text(), QStringLiteral("&3 ") + a);
    QCOMPARE(items[0]->statusTip(), c);
    // The document's ReOpen item carries the list now.
    QVERIFY(f->ActiveEditForm()->ReOpen1->isEnabled());
    // Choosing an entry opens it again in a new window.
    items[2]->trigger();
    QCOMPARE(f->EditForms().size(), 4);
    QCOMPARE(f->ActiveEditForm()->Title(), a);
  }

  void listKeepsTenWithLetterForTheTenth() {
    TMainForm* f = makeFrame();
    for (int i = 1; i <= 11; ++i) f->AddRecentFile(QStringLiteral("/docs/f%1.txt").arg(i));
    const auto items = f->RecentMenu->actions();
    QCOMPARE(items.size(), 10);
    QCOMPARE(items[0]->text(), QStringLiteral("&1 /docs/f11.txt"));
    QCOMPARE(items[8]->text(), QStringLiteral("&9 /docs/f3.txt"));
    QCOMPARE(items[9]->text(), QStringLiteral("&A /docs/f2.txt"));
    QVERIFY(f->ReOpen1->isEnabled());
  }

  // ---- shutdown

  // The default font's name survives a restart whatever its script, as the
  // preferences write it and as the frame writes it again on the way out; a
  // file of an earlier version, which held the name in Latin-1, still reads.
  void fontDefSurvivesRestart_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("Tamil") << QStringLiteral(u"லதா");
    QTest::newRow("CJK") << QStringLiteral(u"文泉驿正黑");
    QTest::newRow("Latin-1") << QStringLiteral(u"Caf\u00e9 Sans");
  }
  void fontDefSurvivesRestart() {
    QFETCH(QString, name);
    const QByteArray line = "FontDef=" + name.toUtf8() + "\r\n";
    TMainForm* f = makeFrame();
    f->setFontDef(name);
    QVERIFY(readIni().contains(line));
    QVERIFY(f->close());
    frame_.reset();
    QVERIFY(readIni().contains(line));
    QCOMPARE(makeFrame(QByteArray())->fontDef(), name);
  }

  void fontDefReadsUtf8AndOlderLatin1_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("name");
    QTest::newRow("UTF-8, Tamil") << QStringLiteral(u"லதா").toUtf8() << QStringLiteral(u"லதா");
    QTest::newRow("UTF-8, Latin-1 letters") << QByteArray("Caf\xc3\xa9") << QStringLiteral(u"Caf\u00e9");
    QTest::newRow("Latin-1") << QByteArray("Caf\xe9 Sans") << QStringLiteral(u"Caf\u00e9 Sans");
    // Valid UTF-8 at the start does not make the rest of the value UTF-8.
    QTest::newRow("Latin-1, UTF-8-like start")
        << QByteArray("\xc3\xa9t\xe9") << QStringLiteral(u"\u00c3\u00a9t\u00e9");
    QTest::newRow("ASCII") << QByteArray("Arial") << QStringLiteral("Arial");
  }
  void fontDefReadsUtf8AndOlderLatin1() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, name);
    QCOMPARE(makeFrame("[Tolvan]\r\nTimes=5\r\nFontDef=" + stored + "\r\n")->fontDef(), name);
  }

  void shutdownWritesSettingsAndList() {
    TMainForm* f = makeFrame("[Tolvan]\r\nTimes=5\r\nFontDef=TSCu_Paranar\r\nViewer=10110\r\n");
    f->AddRecentFile(QStringLiteral("/docs/old.txt"));
    f->AddRecentFile(QStringLiteral("/docs/new.rtf"));
    f->setForeColor(QStringLiteral("clRed"));
    f->FontSize->setValue(14);
    f->setWorkDir(QStringLiteral("/docs/"));
    QVERIFY(f->close());
    tolvan::ProfileFile file(ini().toStdString());
    tolvan::Settings s(file, dir_->path().toStdString());
    QCOMPARE(s.readString(tolvan::Key::ForeColor), std::string("clRed"));
    QCOMPARE(s.readString(tolvan::Key::BackColor), std::string("clWhite"));
    QCOMPARE(s.readString(tolvan::Key::WorkDir), std::string("/docs/"));
    QCOMPARE(s.readInteger(tolvan::Key::FontSize), 14);
    QCOMPARE(s.readString(tolvan::Key::FontDef), std::string("TSCu_Paranar"));
    QCOMPARE(s.readString(tolvan::Key::Viewer), std::string("10110"));
    QCOMPARE(s.readInteger(tolvan::Key::FormVersion), 0);
    QVERIFY(!s.readString(tolvan::Key::NormPos).empty());
    const std::string section(tolvan::kRecentFilesSection);
    QCOMPARE(file.ReadString(section, "Item_0", ""), std::string("/docs/new.rtf"));
    QCOMPARE(file.ReadString(section, "Item_1", ""), std::string("/docs/old.txt"));
    QCOMPARE(file.ReadInteger(section, "User_0", 0), 1001);
    // The next start reads the list back in the same order.
    frame_.reset();
    TMainForm* again = makeFrame(QByteArray());
    QCOMPARE(again->RecentMenu->actions().at(0)->text(), QStringLiteral("&1 /docs/new.rtf"));
    QCOMPARE(again->workDir(), QStringLiteral("/docs/"));
  }

  void cancelledCloseQueryKeepsTheProgram() {
    TMainForm* f = makeFrame();
    f->New1Click();
    f->New1Click();
    f->ActiveEditForm()->Editor->insertPlainText(QStringLiteral("unsaved"));
    prompts_.answers = {tolvan::Prompts::Answer::Cancel};
    QVERIFY(!f->close());
    QCOMPARE(f->EditForms().size(), 2);
    QVERIFY(prompts_.shown.last().startsWith(QStringLiteral("Save changes to Tolvan2")));
    // Nothing of the shutdown was written.
    QVERIFY(!readIni().contains("Viewer"));
    // No closes the modified one; the other closes silently, then the frame.
    prompts_.answers = {tolvan::Prompts::Answer::No};
    QVERIFY(f->close());
    QVERIFY(f->EditForms().isEmpty());
    QVERIFY(readIni().contains("Viewer=11110"));
  }

  // ---- format bar

  void formatBarFollowsTheSelectionWithoutWritingBack() {
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("bold plain"));
    QTextCursor c = ed->textCursor();
    c.setPosition(0);
    c.setPosition(4, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.mergeCharFormat(bold);
    ed->document()->setModified(false);
    ed->setTextCursor(c);
    QVERIFY(f->BoldFlatButton->isChecked());
    QVERIFY(!f->ItalicFlatButton->isChecked());
    QVERIFY(!ed->document()->isModified());  // the refresh changed nothing
    // Clicking it now takes bold off the selection.
    f->BoldFlatButton->click();
    QCOMPARE(ed->document()->findBlock(0).begin().fragment().charFormat().fontWeight(),
             int(QFont::Normal));
    // A click while the bar refreshes does nothing.
    f->FormatBarUpdating = true;
    f->ItalicFlatButton->click();
    f->FormatBarUpdating = false;
    QVERIFY(!ed->textCursor().charFormat().fontItalic());
  }

  void noSelectionChangesWhatIsTypedNext() {
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("abc"));
    f->UnderlineFlatButton->click();
    ed->insertPlainText(QStringLiteral("d"));
    const QTextBlock b = ed->document()->firstBlock();
    QTextCursor at(ed->document());
    at.setPosition(2);
    QVERIFY(!at.charFormat().fontUnderline());
    at.setPosition(4);
    QVERIFY(at.charFormat().fontUnderline());
    QVERIFY(f->UnderlineFlatButton->isChecked());
    Q_UNUSED(b);
  }

  void alignmentButtonsAndTags_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("button");
    QTest::newRow("left") << 0 << "LeftAlignFlat";
    QTest::newRow("right") << 1 << "RightAlignFlat";
    QTest::newRow("centre") << 2 << "CenterAlignFlat";
    QTest::newRow("justify") << 3 << "FlatSpeedButton1";
  }
  void alignmentButtonsAndTags() {
    QFETCH(int, tag);
    QFETCH(QString, button);
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("one\ntwo"));
    f->LeftAlignFlatClick(tag);
    // Move away and back: the refresh puts the matching button down.
    QTextCursor c = ed->textCursor();
    c.setPosition(0);
    ed->setTextCursor(c);
    c.movePosition(QTextCursor::End);
    ed->setTextCursor(c);
    auto* b = f->FormatPanel->findChild<QToolButton*>(button);
    QVERIFY(b);
    QVERIFY(b->isChecked());
    // Only the caret's paragraph was aligned.
    if (tag != 0)
      QVERIFY(ed->document()->firstBlock().blockFormat().alignment() !=
              ed->document()->lastBlock().blockFormat().alignment());
  }

  void bulletsOnAndOff() {
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("item"));
    f->BulletsFlatButton->click();
    QTextList* list = ed->textCursor().currentList();
    QVERIFY(list);
    QCOMPARE(list->format().style(), QTextListFormat::ListDisc);
    f->SelectionChange();
    QVERIFY(f->BulletsFlatButton->isChecked());
    f->BulletsFlatButton->click();
    QVERIFY(!ed->textCursor().currentList());
    QCOMPARE(ed->textCursor().blockFormat().textIndent(), 0.0);
    QCOMPARE(ed->toPlainText(), QStringLiteral("item"));
  }

  void fontBoxAndSizeBox() {
    TMainForm* f = makeFrame();
    QCOMPARE(f->FontName->currentText(), QStringLiteral("Arial"));
    QCOMPARE(f->FontSize->minimum(), 8);
    QCOMPARE(f->FontSize->maximum(), 100);
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("x"));
    ed->selectAll();
    f->FontSize->setValue(24);
    QCOMPARE(ed->textCursor().charFormat().fontPointSize(), 24.0);
    f->FontName->showPopup();  // fills the list with the installed fonts
    f->FontName->hidePopup();
    QVERIFY(f->FontName->count() > 1);
    QCOMPARE(f->FontName->currentText(), QStringLiteral("Arial"));
  }

  // ---- status bar

  void positionPanels_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("panel1");
    QTest::addColumn<QString>("panel2");
    QTest::newRow("start") << "abc\ndef" << 0 << "Line: 1 Col: 1" << "0";
    QTest::newRow("second line") << "abc\ndef" << 6 << "Line: 2 Col: 3" << "6";
    QTest::newRow("thousands") << QString(2000, QLatin1Char('x')).replace(100, 1, QLatin1Char(' '))
                               << 1234 << "Line: 1 Col: 1,235" << "1,234";
  }
  void positionPanels() {
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, panel1);
    QFETCH(QString, panel2);
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->setLineWrapMode(QTextEdit::NoWrap);  // one line however narrow the window
    ed->setPlainText(text);
    QTextCursor c = ed->textCursor();
    c.setPosition(position == 0 ? 1 : 0);
    ed->setTextCursor(c);
    c.setPosition(position);
    ed->setTextCursor(c);
    QCOMPARE(f->PanelText(1), panel1);
    QCOMPARE(f->PanelText(2), panel2);
  }

  // "Line:" counts wrapped lines from the top of the document: every line
  // of every paragraph above the caret's, then the caret's line in its own.
  // The lines are told apart by where the editor draws the caret; the
  // document is longer than the counter's stride, and it stays right after
  // an edit above the caret and after the text width changes. So it is in a
  // document measured only where asked (as a large one is): the count made
  // from estimates at first becomes the real one once the text before the
  // caret is measured.
  void lineCountsWrappedLines_data() {
    QTest::addColumn<bool>("onDemand");
    QTest::newRow("measured in full") << false;
    QTest::newRow("measured on demand") << true;
  }
  void lineCountsWrappedLines() {
    QFETCH(bool, onDemand);
    TMainForm* f = makeFrame();
    f->resize(700, 500);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    const QString paragraph = QStringLiteral("word ").repeated(40);
    const int count = 700;  // paragraphs, more than two strides
    QStringList all;
    for (int i = 0; i < count; ++i) all << paragraph;
    auto* editor = static_cast<TEditor*>(ed);
    if (onDemand) editor->textLayout()->setMeasureAllLimit(0);
    ed->setPlainText(all.join(u'\n'));
    // The wrapped lines of one paragraph, from the caret's place at each of
    // its positions.
    auto linesOf = [&](const QTextBlock& b) {
      QSet<int> tops;
      for (int p = b.position(); p < b.position() + b.length(); ++p) {
        QTextCursor c(ed->document());
        c.setPosition(p);
        tops.insert(ed->cursorRect(c).top());
      }
      return int(tops.size());
    };
    auto panelAt = [&](int position) {
      QTextCursor c(ed->document());
      c.setPosition(position);
      ed->setTextCursor(c);
      return f->PanelText(1);
    };
    auto lineText = [](int line, int col) { return TMainForm::FormatLineCol(line, col); };
    for (int round = 0; round < 3; ++round) {
      if (!onDemand) QTRY_VERIFY(editor->layoutComplete());
      QTextDocument* doc = ed->document();
      if (onDemand && round == 0) {
        QTest::qWait(50);
        QVERIFY(!editor->layoutComplete());
      }
      const int k = linesOf(doc->findBlockByNumber(1));
      QVERIFY2(k >= 2, "the paragraphs wrap");
      // The first paragraph may have been edited (below): its own count.
      const int first = linesOf(doc->firstBlock());
      // Line 2 of paragraph 1 and line 1 of paragraph 2 differ.
      QTextLayout* tl = doc->firstBlock().layout();
      QTRY_COMPARE(panelAt(tl->lineAt(1).textStart()), lineText(2, 1));
      QTRY_COMPARE(panelAt(doc->findBlockByNumber(1).position()), lineText(first + 1, 1));
      // The last paragraph's second line, far past the first marks.
      const QTextBlock last = doc->lastBlock();
      linesOf(last);  // laid out
      const int start = last.position() + last.layout()->lineAt(1).textStart();
      QTRY_COMPARE(panelAt(start + 2), lineText(first + (count - 2) * k + 2, 3));
      if (round == 0) {
        // An edit above the caret: the first paragraph gets twice as long.
        QTextCursor c(doc);
        c.movePosition(QTextCursor::EndOfBlock);
        c.insertText(paragraph);
      } else if (round == 1) {
        f->resize(500, 500);  // narrower: more lines per paragraph
      }
    }
  }

  // In a document measured on demand, the caret's line count asks for the
  // text before it to be measured; a caret moved back up before that is done
  // (Ctrl+End, then Ctrl+Home) withdraws the request, and moved down again
  // gets an exact count.
  void caretMovedBackUpWithdrawsTheMeasuring() {
    TMainForm* f = makeFrame();
    f->resize(700, 500);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->New1Click();
    auto* editor = static_cast<TEditor*>(f->ActiveEditForm()->Editor);
    editor->textLayout()->setMeasureAllLimit(0);
    const QString paragraph = QStringLiteral("word ").repeated(40);
    QStringList all;
    for (int i = 0; i < 3000; ++i) all << paragraph;
    editor->setPlainText(all.join(u'\n'));
    QTextDocument* doc = editor->document();
    auto caretAt = [&](int position) {
      QTextCursor c(doc);
      c.setPosition(position);
      editor->setTextCursor(c);
    };
    const int end = doc->characterCount() - 1;
    caretAt(end);
    caretAt(0);
    QTest::qWait(1500);
    QVERIFY(!editor->textLayout()->measuredBefore(end));
    caretAt(end);
    QTRY_VERIFY_WITH_TIMEOUT(editor->textLayout()->measuredBefore(end), 60000);
    // Each paragraph wraps alike: the last line's number from the first's.
    const QTextBlock first = doc->firstBlock();
    editor->textLayout()->measureSpan(0, 1);
    const int k = first.layout()->lineCount();
    QVERIFY(k >= 2);
    const QTextBlock last = doc->lastBlock();
    editor->textLayout()->blockBoundingRect(last);
    const int lastLineStart = last.position() + last.layout()->lineAt(k - 1).textStart();
    QTRY_COMPARE(f->PanelText(1), TMainForm::FormatLineCol(3000 * k, end - lastLineStart + 1));
  }

  // A status message longer than the hint panel is shortened with an
  // ellipsis where it is cut (the whole text in its tooltip), and never
  // makes the frame wider: the frame can still be made as narrow as before.
  void longStatusTextsFitTheFrame() {
    TMainForm* f = makeFrame();
    f->resize(800, 500);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    const QString text = QStringLiteral("The file /home/someone/Documents/a rather long folder name/"
                                        "and a long file name.txt was not changed");
    f->SetPanelText(6, text);
    QCoreApplication::processEvents();
    QCOMPARE(f->width(), 800);
    QVERIFY(f->minimumSizeHint().width() <= 800);
    // Nor with a file command's progress bar and its Cancel button beside it.
    auto* progress = new QWidget;
    progress->setFixedSize(210, 10);
    f->statusBar()->addPermanentWidget(progress);
    QCoreApplication::processEvents();
    QVERIFY2(f->minimumSizeHint().width() <= 800, qPrintable(QString::number(f->minimumSizeHint().width())));
    QCOMPARE(f->PanelText(6), text);
    auto* panel = f->statusBar()->findChild<QLabel*>(QStringLiteral("Panel6"));
    QVERIFY(panel->width() < panel->fontMetrics().horizontalAdvance(text));
    QCOMPARE(panel->toolTip(), text);
    // What the panel shows: the text up to an ellipsis, drawn within it.
    QImage shown(panel->size(), QImage::Format_RGB32);
    panel->render(&shown);
    int right = -1;
    for (int x = 0; x < shown.width(); ++x)
      for (int y = 0; y < shown.height(); ++y)
        if (qGray(shown.pixel(x, y)) < 100) right = x;
    QVERIFY2(right < panel->contentsRect().right(), qPrintable(QString::number(right)));
  }

  // Moving the caret repaints the panels whose text changed, not the whole
  // status bar (the other panels, the light, the size grip). The bar itself
  // paints only behind those two.
  void caretMovesRepaintOnlyThePositionPanels() {
    TMainForm* f = makeFrame();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->setPlainText(QStringLiteral("abcdef\nghijkl"));
    QTest::qWait(50);
    struct Painted : QObject {
      QMap<QObject*, QRegion> seen;
      bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) seen[o] += static_cast<QPaintEvent*>(e)->region();
        return false;
      }
    } painted;
    qApp->installEventFilter(&painted);
    QTest::keyClick(ed, Qt::Key_Right);
    QTest::qWait(50);
    qApp->removeEventFilter(&painted);
    QStatusBar* bar = f->statusBar();
    QStringList repainted;
    QRegion behind;
    for (auto it = painted.seen.cbegin(); it != painted.seen.cend(); ++it) {
      if (it.key() == bar) behind = it.value();
      else if (bar->isAncestorOf(qobject_cast<QWidget*>(it.key()))) repainted << it.key()->objectName();
    }
    repainted.sort();
    QCOMPARE(repainted, QStringList({QStringLiteral("Panel1"), QStringLiteral("Panel2")}));
    QRegion panels;
    for (const char* name : {"Panel1", "Panel2"}) panels += bar->findChild<QWidget*>(name)->geometry();
    QVERIFY((behind - panels).isEmpty());
  }

  void closingTheLastDocumentClearsTheBars() {
    TMainForm* f = makeFrame();
    f->New1Click();
    f->ActiveEditForm()->Editor->insertPlainText(QStringLiteral("x"));
    QVERIFY(!f->PanelText(1).isEmpty());
    QVERIFY(f->BtnTamil->isEnabled());
    f->ActiveEditForm()->Editor->document()->setModified(false);
    f->ActiveEditForm()->Close1Click();
    QTRY_VERIFY(f->EditForms().isEmpty());
    QCOMPARE(f->PanelText(1), QString());
    QCOMPARE(f->PanelText(2), QString());
    QVERIFY(!f->FormatPanel->isVisible());
    QVERIFY(!f->BtnCut->isEnabled());
    QVERIFY(!f->BtnTamil->isEnabled());
  }

  void insertKeyTogglesItsPanel() {
    TMainForm* f = makeFrame();
    QCOMPARE(f->PanelText(3), QStringLiteral("Overwrite"));
    QKeyEvent ins(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    f->UpdateKeyStatePanels(&ins);
    QCOMPARE(f->PanelText(3), QStringLiteral("Insert"));
    // The same key-down reported twice (document preview, then the frame)
    // counts once.
    f->UpdateKeyStatePanels(&ins);
    QCOMPARE(f->PanelText(3), QStringLiteral("Insert"));
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    again.setTimestamp(ins.timestamp() + 10);
    f->UpdateKeyStatePanels(&again);
    QCOMPARE(f->PanelText(3), QStringLiteral("Overwrite"));
  }

  void busyLight() {
    TMainForm* f = makeFrame();
    f->SetBusy(true);
    QVERIFY(f->Light->isLit());
    QCOMPARE(f->Light->currentColor(), QColor(255, 0, 0));
    f->SetBusy(false);
    QCOMPARE(f->Light->currentColor(), QColor(0, 200, 0));
    f->Light->setLit(true);
    f->Light->setBlinking(true);
    QVERIFY(!f->Light->isLit());  // switching blinking leaves it unlit
    QTRY_VERIFY(f->Light->isLit());
    f->Light->setBlinking(false);
    QVERIFY(!f->Light->isLit());
  }

  // ---- colour menus

  void colourMenusHaveSeventeenRows() {
    TMainForm* f = makeFrame();
    QCOMPARE(f->PenMenu->actions().size(), 17);
    QCOMPARE(f->PaperMenu->actions().size(), 17);
    QCOMPARE(f->PenMenu->actions().at(0)->text(), QStringLiteral("Black"));
    QCOMPARE(f->PenMenu->actions().at(9)->text(), QStringLiteral("Red"));
    QCOMPARE(f->PenMenu->actions().at(9)->data().toUInt(), 0x0000FFu);
    QCOMPARE(f->PenMenu->actions().at(16)->text(), QStringLiteral("Default"));
    QCOMPARE(f->PaperMenu->actions().at(16)->data().toUInt(), tolvan::clWindow);
    QCOMPARE(f->PenMenu->actions().at(16)->data().toUInt(), tolvan::clWindowText);
  }

  void penMenuTicksTheSelectionsColour() {
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("red plain"));
    QTextCursor c = ed->textCursor();
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    ed->setTextCursor(c);
    f->PenItemClick(f->PenMenu->actions().at(9));  // Red on the selection
    auto checked = [](QMenu* m) {
      for (QAction* a : m->actions())
        if (a->isChecked()) return a->text();
      return QString();
    };
    emit f->PenMenu->aboutToShow();
    QCOMPARE(checked(f->PenMenu), QStringLiteral("Red"));
    c.setPosition(6);
    c.setPosition(8, QTextCursor::KeepAnchor);
    ed->setTextCursor(c);
    emit f->PenMenu->aboutToShow();
    QCOMPARE(checked(f->PenMenu), QStringLiteral("Default"));
    // Default takes the colour off again.
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    ed->setTextCursor(c);
    f->PenItemClick(f->PenMenu->actions().at(16));
    emit f->PenMenu->aboutToShow();
    QCOMPARE(checked(f->PenMenu), QStringLiteral("Default"));
  }

  void paperColourIsTheWholeEditor() {
    TMainForm* f = makeFrame();
    f->New1Click();
    QTextEdit* ed = f->ActiveEditForm()->Editor;
    ed->insertPlainText(QStringLiteral("text"));
    ed->selectAll();
    f->PaperItemClick(f->PaperMenu->actions().at(11));  // Yellow
    QCOMPARE(ed->palette().color(QPalette::Base), QColor(255, 255, 0));
    // The text itself got no background of its own.
    QVERIFY(!ed->textCursor().charFormat().hasProperty(QTextFormat::BackgroundBrush));
  }

  void colourTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::newRow("identifier") << "clBlack" << QColor(0, 0, 0);
    QTest::newRow("any case") << "CLred" << QColor(255, 0, 0);
    QTest::newRow("decimal BGR") << "16711680" << QColor(0, 0, 255);
    QTest::newRow("hex") << "$0000FF00" << QColor(0, 255, 0);
    QTest::newRow("0x hex") << "0x808080" << QColor(128, 128, 128);
    QTest::newRow("spaces") << " clWhite " << QColor(255, 255, 255);
    QTest::newRow("garbage") << "clPink" << QColor();
    QTest::newRow("empty") << "" << QColor();
    QTest::newRow("too big") << "99999999999" << QColor();
  }
  void colourTexts() {
    QFETCH(QString, text);
    QFETCH(QColor, color);
    QCOMPARE(TMainForm::StringToColor(text), color);
  }

  void colourCaptionsAndIdentifiers() {
    QCOMPARE(tolvan::ColorCaption(0x00FFFF), std::string("Yellow"));
    QCOMPARE(tolvan::ColorCaption(tolvan::clWindowText), std::string("Default"));
    QCOMPARE(tolvan::ColorCaption(tolvan::clWindow), std::string("Default"));
    QCOMPARE(tolvan::ColorCaption(tolvan::clDefault), std::string("Default"));
    QCOMPARE(tolvan::ColorValueToString(0xC0C0C0), std::string("clSilver"));
    QCOMPARE(tolvan::ColorValueToString(0x123456), std::string("$00123456"));
    // System colours as signed numbers, as some settings files hold them.
    QCOMPARE(*tolvan::StringToColorValue("-16777201"), tolvan::clBtnFace);
    QCOMPARE(*tolvan::StringToColorValue("clBtnFace"), tolvan::clBtnFace);
  }

  // ---- Help

  void helpWithoutTheFileExplainsWhere() {
    TMainForm* f = makeFrame();
    f->New1Click();  // Tolvan1
    f->Contents1Click();
    QCOMPARE(f->EditForms().size(), 2);
    TEditForm* help = f->ActiveEditForm();
    // The untitled number is not counted again.
    QCOMPARE(help->Title(), QStringLiteral("Tolvan1"));
    QCOMPARE(f->untitledNumber(), 1);
    const QString text = help->Editor->toPlainText();
    QCOMPARE(text, QStringLiteral("Full Help is available in the \"tolvan.txt\" file, which seems to "
                                  "be missing.\nIt is included in the tolvan.zip file which you "
                                  "can download from ") +
                       QString::fromLatin1(tolvan::kWebSite));
  }

  void helpOpensTolvanTxt() {
    const QString help = writeFile("Tolvan.txt", "How to type Tamil\n");
    TMainForm* f = makeFrame();
    QCOMPARE(f->FindHelpFile(), help);
    f->BtnHelp->trigger();
    QCOMPARE(f->EditForms().size(), 1);
    QCOMPARE(f->ActiveEditForm()->Title(), help);
  }

  void openDialogOpensTheFirstChosenFile() {
    const QString a = writeFile("one.txt", "1\n"), b = writeFile("two.txt", "2\n");
    TMainForm* f = makeFrame();
    prompts_.files = {QStringList{a, b}};
    f->BtnOpen->trigger();
    QCOMPARE(f->EditForms().size(), 1);
    QCOMPARE(f->ActiveEditForm()->Title(), a);
    QCOMPARE(f->workDir(), QDir(dir_->path()).absolutePath() + QLatin1Char('/'));
    // Cancelling the dialog opens nothing.
    f->Open1Click();
    QCOMPARE(f->EditForms().size(), 1);
  }

  void tamilButtonFollowsTheActiveWindow() {
    TMainForm* f = makeFrame();
    f->New1Click();
    TEditForm* doc = f->ActiveEditForm();
    const bool before = doc->isTamilMode();
    f->BtnTamil->trigger();
    QCOMPARE(doc->isTamilMode(), !before);
    QCOMPARE(f->BtnTamil->isChecked(), !before);
    f->BtnTamil->trigger();
    QCOMPARE(doc->isTamilMode(), before);
  }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
