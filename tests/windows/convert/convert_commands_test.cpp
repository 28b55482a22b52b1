// The conversion commands in a document window: the built-in converters and
// font maps applied to the selection, the Anjal converter's boxes, the popup
// menu and its "Convert Fonts Using" submenu.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextCharFormat>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "windows/frame/led.h"
#include "core/settings/profile_file.h"
#include "../window_test_util.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;

namespace {

void setBytes(TEditForm* f, const QByteArray& bytes) {
  tolvan::setDocumentBytes(f->Editor->document(), bytes);
  f->Editor->document()->clearUndoRedoStacks();
  f->Editor->document()->setModified(false);
}

void select(TEditForm* f, int from, int to) {
  QTextCursor c = f->Editor->textCursor();
  c.setPosition(from);
  c.setPosition(to, QTextCursor::KeepAnchor);
  f->Editor->setTextCursor(c);
}

QByteArray bytes(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

// TSCII text with Tamil letters, prefix signs, a pulli, 0xAD, digits and
// curly quotes, in lines ended by CR LF.
const QByteArray kTamilText(
    "\xA7\xB8\xA1 \xC5\xBD\xEC\xB8\xF5 \xAD\xC6\xA2\r\n"
    "\x91\xBE\xC1\xC6\xF5\x92 123 \xA6\xB8\xAA \x82\r\n"
    "\xAB\xC1\xC1\xA1 \xC0\xA1\xCE\r\n");

QByteArray runCli(const QStringList& args, const QByteArray& input = {}) {
  QProcess p;
  p.start(QStringLiteral(TOLVAN_CLI_PATH), args);
  p.write(input);
  p.closeWriteChannel();
  p.waitForFinished(30000);
  return p.readAllStandardOutput();
}

enum class Cmd { Mylai, Anjal, Roman, Tab };

QAction* menuItem(TEditForm* f, Cmd c) {
  TConvertCommands* k = f->ConvertCommands;
  switch (c) {
    case Cmd::Mylai: return k->MylaitoTSCII1;
    case Cmd::Anjal: return k->AnjaltoTSCII2;
    case Cmd::Roman: return k->RomantoTSCII2;
    case Cmd::Tab: return k->TSCIItoTAB2;
  }
  return nullptr;
}

// Scripted answers that also note whether the busy light was on when a box
// came up.
class RecordingPrompts : public tolvan::ScriptedPrompts {
 public:
  TMainForm* frame = nullptr;
  QList<bool> litAtBox;
  bool informationOrStop(QWidget* w, const QString& text, const QString& stop) override {
    litAtBox << (frame && frame->Light->isLit());
    return ScriptedPrompts::informationOrStop(w, text, stop);
  }
};

}  // namespace

Q_DECLARE_METATYPE(Cmd)

class ConvertCommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  RecordingPrompts prompts_;
  TEditForm* openDocument(const QString& file) {
    TEditForm* f = frame_->CreateEditForm();
    if (!f->OpenDocumentFile(file)) return nullptr;
    return f;
  }
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }
  tolvan::ProfileFile ini() const { return tolvan::ProfileFile(path("Tolvan.ini").toStdString()); }

  TEditForm* newDocument() {
    frame_->New1Click();
    return frame_->ActiveEditForm();
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    prompts_.frame = frame_;
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    // The start-up greetings are not this test's business.
    frame_->FinishStartup();
    prompts_.shown.clear();
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    Prompts::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
    prompts_.litAtBox.clear();
  }

  // ---------------------------------------------------------------- built-in converters

  // Only the selection changes; the result is what the converter gives for
  // the selection's bytes (paragraph breaks as 0x0D, byte 0xAD as itself);
  // one undo brings the text back.
  void convertsTheSelectionOnly_data() {
    QTest::addColumn<Cmd>("cmd");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("selected");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("converted");
    QTest::newRow("tab, pulli and prefix sign")
        << Cmd::Tab << QByteArray("ab ") << QByteArray("\xEC\xA6\xB8") << QByteArray(" \xEC")
        << QByteArray("\xE8\xA2\xAA\xE8");
    QTest::newRow("tab, letter i and a paragraph break")
        << Cmd::Tab << QByteArray("x") << QByteArray("\xAD\r\xAB") << QByteArray("y")
        << QByteArray("\xDE\r\xDC");
    QTest::newRow("tab, dropped bytes only")
        << Cmd::Tab << QByteArray("q") << QByteArray("\x91\x92\x93\x94") << QByteArray("r")
        << QByteArray("");
    QTest::newRow("roman") << Cmd::Roman << QByteArray("vaNakkam ") << QByteArray("vaNakkam")
                           << QByteArray(" end") << QByteArray("\xC5\xBD\xEC\xB8\xF5");
    QTest::newRow("mylai over two paragraphs")
        << Cmd::Mylai << QByteArray("keep ") << QByteArray("thamizf\rkaa") << QByteArray(" keep")
        << bytes(tolvan::MylaiToTscii("thamizf\rkaa"));
    QTest::newRow("anjal") << Cmd::Anjal << QByteArray("k ") << QByteArray("\x8E\xFF abc")
                           << QByteArray(" k") << QByteArray("\xB8\xA2\xBF\xA3 abc");
  }
  void convertsTheSelectionOnly() {
    QFETCH(Cmd, cmd);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, selected);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, converted);
    TEditForm* f = newDocument();
    const QByteArray original = before + selected + after;
    setBytes(f, original);
    select(f, int(before.size()), int(before.size() + selected.size()));
    menuItem(f, cmd)->trigger();
    QCOMPARE(textOf(f), before + converted + after);
    QCOMPARE(prompts_.shown.join(u'|'), QString());
    QVERIFY(!frame_->Light->isLit());
    QVERIFY(!QApplication::overrideCursor());
    f->UnDo1Click();
    QCOMPARE(textOf(f), original);
    QVERIFY(!f->Editor->document()->isUndoAvailable());
  }

  void emptySelectionChangesNothing_data() {
    QTest::addColumn<Cmd>("cmd");
    QTest::newRow("mylai") << Cmd::Mylai;
    QTest::newRow("anjal") << Cmd::Anjal;
    QTest::newRow("roman") << Cmd::Roman;
    QTest::newRow("tab") << Cmd::Tab;
  }
  void emptySelectionChangesNothing() {
    QFETCH(Cmd, cmd);
    TEditForm* f = newDocument();
    setBytes(f, "abc\xEC");
    select(f, 2, 2);
    menuItem(f, cmd)->trigger();
    QCOMPARE(textOf(f), QByteArray("abc\xEC"));
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QVERIFY(!f->isModified());
    // An empty document too.
    TEditForm* g = newDocument();
    menuItem(g, cmd)->trigger();
    QCOMPARE(textOf(g), QByteArray());
  }

  // A character one byte cannot hold stays, and the bytes around it convert.
  void wideCharactersStayInPlace() {
    TEditForm* f = newDocument();
    f->Editor->setPlainText(QStringLiteral("\u00EC\u4E2D\u00EC"));
    f->Selectall1Click();
    f->ConvertCommands->TSCIItoTAB2->trigger();
    QCOMPARE(f->Editor->toPlainText(), QStringLiteral("\u00E8\u00A2\u4E2D\u00E8\u00A2"));
  }

  // ---------------------------------------------------------------- Anjal boxes

  void anjalShowsOneBoxPerUnmappedByte() {
    TEditForm* f = newDocument();
    setBytes(f, "(a\xA0 b\x7F c\xA0)");
    select(f, 1, 10);
    f->ConvertCommands->AnjaltoTSCII2->trigger();
    const QStringList expected = {QStringLiteral("\u00A0 160"), QStringLiteral("\u007F 127"),
                                  QStringLiteral("\u00A0 160")};
    QCOMPARE(prompts_.shown, expected);
    QCOMPARE(textOf(f), QByteArray("(aX bX cX)"));
    // The boxes come from inside the command, while the light is on.
    QCOMPARE(prompts_.litAtBox, QList<bool>({true, true, true}));
    QVERIFY(!frame_->Light->isLit());
  }

  void stopButtonEndsTheBoxesNotTheConversion() {
    TEditForm* f = newDocument();
    setBytes(f, "a\xA0 b\x7F c\xA0 d\xA0");
    f->Selectall1Click();
    prompts_.stops = {false, true};
    f->ConvertCommands->AnjaltoTSCII1->trigger();  // the popup menu's item
    QCOMPARE(prompts_.shown.size(), 2);
    QCOMPARE(textOf(f), QByteArray("aX bX cX dX"));
    // The next command shows its boxes again.
    prompts_.shown.clear();
    setBytes(f, "\xA0");
    f->Selectall1Click();
    f->ConvertCommands->AnjaltoTSCII1->trigger();
    QCOMPARE(prompts_.shown.size(), 1);
  }

  // ---------------------------------------------------------------- menus

  void popupMenuItemsInOrder() {
    TEditForm* f = newDocument();
    QStringList captions;
    for (QAction* a : f->EditMenu->actions())
      captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    const QStringList expected = {"Save",           "Select All",     "-",
                                  "Mylai to TSCII", "Anjal to TSCII", "Roman to TSCII",
                                  "TSCII to TAB",   "-",              "Set as WallPaper",
                                  "-",              "Convert Fonts Using"};
    QCOMPARE(captions, expected);
    QVERIFY(f->EditMenu->actions().last()->menu() == f->ConvertCommands->Convert);
    // The four converters, then the whole-document conversions (the one a
    // TSCII document can use enabled).
    QStringList convert;
    for (QAction* a : f->Convert1->actions()) {
      convert << (a->isSeparator() ? QStringLiteral("-") : a->text());
      QCOMPARE(a->isEnabled(), a != f->ConvertCommands->ConvertToTscii1);
      QVERIFY(a->shortcut().isEmpty());
    }
    QCOMPARE(convert, QStringList({"Mylai to TSCII", "Anjal to TSCII", "Roman to TSCII", "TSCII to TAB", "-",
                                   "Convert Document to Unicode", "Convert Document to TSCII"}));
  }

  void fontMapSubmenuFromTheSettings() {
    // No key: an empty submenu.
    {
      tolvan::ProfileFile p = ini();
      p.WriteString("Tolvan", "FontConversionMenus", "");
    }
    TEditForm* f = newDocument();
    QVERIFY(f->ConvertCommands->Convert->actions().isEmpty());
    // Count 3 with the second entry empty, and a path with '&'.
    {
      tolvan::ProfileFile p = ini();
      p.WriteInteger("Tolvan", "FontConversionMenus", 3);
      p.WriteString("Tolvan", "FontConversionMenu_1", "/x/A&B2C.tol");
      p.WriteString("Tolvan", "FontConversionMenu_2", "");
      p.WriteString("Tolvan", "FontConversionMenu_3", "M2T.tol");
    }
    TEditForm* g = newDocument();
    const auto items = g->ConvertCommands->Convert->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text(), QStringLiteral("/x/A&&B2C.tol"));
    QCOMPARE(items[0]->data().toString(), QStringLiteral("/x/A&B2C.tol"));
    QCOMPARE(items[1]->text(), QStringLiteral("M2T.tol"));
    QVERIFY(items[1]->isEnabled() && !items[1]->isCheckable());
    // The window made earlier keeps its menu.
    QVERIFY(f->ConvertCommands->Convert->actions().isEmpty());
    tolvan::ProfileFile p = ini();
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
  }

  void fontMapItemAppliesTheFileAsTheCliDoes() {
    tolvan::FontMap map;
    map.sourceFont = "A";
    map.targetFont = "B";
    map.cell('a') = "b";
    map.cell('b') = "c";
    map.cell(' ') = "\xC0\xA1";
    const QString file = path("ab.tol");
    // A line with nothing after '=' deletes its byte.
    tolvan::WriteFileBytes(file.toStdString(), tolvan::WriteFontMap(map) + "x=\r\n");
    {
      tolvan::ProfileFile p = ini();
      p.WriteInteger("Tolvan", "FontConversionMenus", 1);
      p.WriteString("Tolvan", "FontConversionMenu_1", file.toStdString());
    }
    TEditForm* f = newDocument();
    const QByteArray sel("ab xTFS\rb\xAD");
    setBytes(f, "[" + sel + "]");
    select(f, 1, 1 + int(sel.size()));
    f->ConvertCommands->Convert->actions().first()->trigger();
    const QByteArray cli = runCli({"fontmap", "apply", file}, sel);
    QCOMPARE(cli, QByteArray("bc\xC0\xA1TFS\rc\xAD"));
    QCOMPARE(textOf(f), "[" + cli + "]");
    QVERIFY(prompts_.shown.isEmpty());
    // The file is read at each use: a change takes effect without a restart;
    // a file that is gone is reported and the text stays.
    f->Selectall1Click();
    QFile::remove(file);
    const QByteArray before = textOf(f);
    f->ConvertCommands->Convert->actions().first()->trigger();
    QCOMPARE(textOf(f), before);
    QCOMPARE(prompts_.shown.size(), 1);
    QVERIFY(prompts_.shown.first().contains(file));
    tolvan::ProfileFile p = ini();
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
  }

  // The built-in converters show the hourglass and the light while the text
  // changes and beep when done; a font map shows none of them.
  void feedbackWhileConverting_data() {
    QTest::addColumn<bool>("fontMap");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("beeps");
    QTest::newRow("TSCII to TAB") << false << true << 1;
    QTest::newRow("font map") << true << false << 0;
  }
  void feedbackWhileConverting() {
    QFETCH(bool, fontMap);
    QFETCH(bool, busy);
    QFETCH(int, beeps);
    const QString file = path("quiet.tol");
    tolvan::WriteFileBytes(file.toStdString(), "Source=A\r\nTarget=B\r\n\xEC=q\r\n");
    {
      tolvan::ProfileFile p = ini();
      p.WriteInteger("Tolvan", "FontConversionMenus", 1);
      p.WriteString("Tolvan", "FontConversionMenu_1", file.toStdString());
    }
    TEditForm* f = newDocument();
    setBytes(f, "a\xEC b");
    f->Selectall1Click();
    QList<bool> lit, hourglass;
    connect(f->Editor->document(), &QTextDocument::contentsChange, this, [&] {
      lit << frame_->Light->isLit();
      hourglass << (QApplication::overrideCursor() != nullptr);
    });
    if (fontMap)
      f->ConvertCommands->Convert->actions().first()->trigger();
    else
      f->ConvertCommands->TSCIItoTAB2->trigger();
    QCOMPARE(textOf(f), fontMap ? QByteArray("aq b") : QByteArray("a\xE8\xA2 b"));
    QVERIFY(!lit.isEmpty());
    QCOMPARE(lit, QList<bool>(lit.size(), busy));
    QCOMPARE(hourglass, QList<bool>(lit.size(), busy));
    QCOMPARE(prompts_.beeps, beeps);
    QVERIFY(!frame_->Light->isLit());
    QVERIFY(!QApplication::overrideCursor());
    f->Editor->document()->disconnect(this);
    tolvan::ProfileFile p = ini();
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
  }

  // A map may turn one byte into megabytes and still be a small enough file:
  // a result past the document limit is refused with a message before it is
  // made, and the document, its undo and its modified flag stay as they were.
  void fontMapResultPastTheLimitIsRefused() {
    const std::string huge(15 << 20, 'z');
    const QString file = path("huge.tol");
    tolvan::WriteFileBytes(file.toStdString(), "Source=A\r\nTarget=B\r\na=" + huge + "\r\n");
    {
      tolvan::ProfileFile p = ini();
      p.WriteInteger("Tolvan", "FontConversionMenus", 1);
      p.WriteString("Tolvan", "FontConversionMenu_1", file.toStdString());
    }
    TEditForm* f = newDocument();
    const QByteArray text = QByteArray(20000, 'a') + "\rtail";
    setBytes(f, text);
    select(f, 0, 20000);
    f->ConvertCommands->Convert->actions().first()->trigger();
    QCOMPARE(textOf(f), text);
    QVERIFY(!f->Editor->document()->isModified());
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QCOMPARE(prompts_.shown.size(), 1);
    QVERIFY2(prompts_.shown.first().contains(QStringLiteral("too large")), qPrintable(prompts_.shown.first()));
    // A selection whose result fits goes through (one paragraph of 30 MiB).
    prompts_.shown.clear();
    select(f, 0, 2);
    f->ConvertCommands->Convert->actions().first()->trigger();
    QVERIFY(prompts_.shown.isEmpty());
    QCOMPARE(f->Editor->document()->characterCount(), int(text.size()) + 1 - 2 + 2 * int(huge.size()));
    tolvan::ProfileFile p = ini();
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
  }

  // ---------------------------------------------------------------- Unicode

  void exportGivesWhatTheCliGives() {
    const QString src = path("tamil.txt");
    writeFile(src, kTamilText);
    TEditForm* f = openDocument(src);
    QVERIFY(f);
    const QString out = path("tamil-unicode.txt");
    prompts_.files.push_back({out});
    f->ConvertCommands->ExportUnicode1->trigger();
    QCOMPARE(prompts_.shown, QStringList({"Export as Unicode Text"}));
    const QByteArray cli = runCli({"convert", "--from", "tscii", "--to", "unicode", src});
    QVERIFY(!cli.isEmpty());
    QCOMPARE(readFile(out), cli);
    QVERIFY(QString::fromUtf8(cli).contains(QStringLiteral("கோ வணக்க")));
    // The document and its file are as they were.
    QVERIFY(!f->isModified());
    QCOMPARE(readFile(src), kTamilText);
    QVERIFY(!frame_->Light->isLit());

    // An existing file is replaced only after a Yes.
    prompts_.shown.clear();
    prompts_.files.push_back({out});
    prompts_.answers.push_back(Prompts::Answer::No);
    writeFile(out, "old");
    f->ConvertCommands->ExportUnicode1->trigger();
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY(prompts_.shown[1].contains("already exists"));
    QCOMPARE(readFile(out), QByteArray("old"));
  }

  void exportListsWhatHasNoUnicodeForm() {
    TEditForm* f = newDocument();
    setBytes(f, "a\xA0 b\xA0 \xFF");
    const QString out = path("odd.txt");
    prompts_.files.push_back({out});
    f->ConvertCommands->ExportUnicode1Click();
    QCOMPARE(prompts_.shown.size(), 2);
    const QString msg = prompts_.shown[1];
    QVERIFY2(msg.contains("0xA0") && msg.contains("(2 times)") && msg.contains("0xFF"), qPrintable(msg));
    QCOMPARE(readFile(out), QByteArray("a\xEF\x82\xA0 b\xEF\x82\xA0 \xEF\x83\xBF"));
  }

  // Characters that are no byte go out as themselves, between converted text.
  void exportKeepsOtherUnicode() {
    TEditForm* f = newDocument();
    f->Editor->setPlainText(QStringLiteral("\u00B8\u4E2D\U0001F600\n\u00A1"));
    const QString out = path("mixed.txt");
    prompts_.files.push_back({out});
    f->ConvertCommands->ExportUnicode1Click();
    QCOMPARE(QString::fromUtf8(readFile(out)), QStringLiteral("\u0B95\u4E2D\U0001F600\n\u25CC\u0BBE"));
  }

  void importGivesTheBytesBack() {
    const QString uni = path("back.txt");
    const QByteArray utf8 = runCli({"convert", "--from", "tscii", "--to", "unicode"}, kTamilText);
    writeFile(uni, utf8);
    TEditForm* from = newDocument();
    const int before = int(frame_->EditForms().size());
    prompts_.files.push_back({uni});
    from->ConvertCommands->ImportUnicode1->trigger();
    QCOMPARE(int(frame_->EditForms().size()), before + 1);
    TEditForm* g = frame_->ActiveEditForm();
    QVERIFY(g != from);
    QByteArray expected = kTamilText;
    expected.replace("\r\n", "\r");
    QCOMPARE(textOf(g), expected);
    QVERIFY(g->isModified());
    QVERIFY(!QFileInfo(g->Title()).isAbsolute());
    QCOMPARE(readFile(uni), utf8);
    QCOMPARE(prompts_.shown, QStringList({"Import Unicode Text"}));
  }

  void importKeepsOrListsWhatTsciiCannotHold() {
    const QString uni = path("foreign.txt");
    writeFile(uni, QStringLiteral("கா é 中 é\n").toUtf8());
    TEditForm* from = newDocument();
    prompts_.files.push_back({uni});
    from->ConvertCommands->ImportUnicode1Click();
    TEditForm* g = frame_->ActiveEditForm();
    QCOMPARE(g->Editor->toPlainText(), QStringLiteral("\u00B8\u00A1 ? \u4E2D ?\n"));
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY2(prompts_.shown[1].contains(QStringLiteral("U+00E9 é (2 times)")) &&
                 prompts_.shown[1].contains(QStringLiteral("U+4E2D 中")),
             qPrintable(prompts_.shown[1]));
    // Not UTF-8: nothing is imported.
    const QString bad = path("bad.txt");
    writeFile(bad, "\xB8\xA1\xFF");
    const int windows = int(frame_->EditForms().size());
    prompts_.shown.clear();
    prompts_.files.push_back({bad});
    from->ConvertCommands->ImportUnicode1Click();
    QCOMPARE(int(frame_->EditForms().size()), windows);
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY(prompts_.shown[1].contains("not UTF-8"));
  }

  // File > Open asks nothing: UTF-8 with Tamil letters opens as a Unicode
  // document of the file itself (Import stays for a TSCII copy); anything
  // else opens its bytes.
  void openTakesUnicodeTamilWithoutAQuestion_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("unicode");
    const QByteArray tamil = QStringLiteral("கோ a").toUtf8();
    QTest::newRow("utf-8 tamil opens as unicode") << tamil << true;
    QTest::newRow("tscii") << QByteArray("\xA7\xB8\xA1 a") << false;
    QTest::newRow("ascii") << QByteArray("plain") << false;
    QTest::newRow("utf-8 without tamil") << QStringLiteral("é").toUtf8() << false;
  }
  void openTakesUnicodeTamilWithoutAQuestion() {
    QFETCH(QByteArray, content);
    QFETCH(bool, unicode);
    const QString file = path("open-me.txt");
    writeFile(file, content);
    prompts_.files.push_back({file});
    frame_->Open1Click();
    QCOMPARE(prompts_.shown.size(), 1);
    TEditForm* f = frame_->ActiveEditForm();
    QVERIFY(f);
    QCOMPARE(f->Title(), file);
    QCOMPARE(f->encoding(), unicode ? tolvan::TextEncoding::Unicode : tolvan::TextEncoding::Tscii);
    if (unicode) {
      QCOMPARE(f->Editor->toPlainText(), QString::fromUtf8(content));
    } else {
      QCOMPARE(textOf(f), content);
    }
    QCOMPARE(readFile(file), content);
  }

  void unicodeItemsInTheEditMenu() {
    TEditForm* f = newDocument();
    const auto items = f->Edit1->actions();
    QCOMPARE(items.at(items.size() - 2), f->ConvertCommands->ExportUnicode1);
    QCOMPARE(items.last(), f->ConvertCommands->ImportUnicode1);
    QVERIFY(items.at(items.size() - 3)->isSeparator());
    QVERIFY(f->ConvertCommands->ImportUnicode1->isEnabled());
  }

  // ---------------------------------------------------------------- clipboard

  // Every byte but the line breaks, in two paragraphs, part of it bold: a
  // copy pasted into another window is the same bytes with the same
  // formatting, and other programs get Unicode Tamil.
  void copyAndPasteAreByteExact() {
    QByteArray all;
    for (int b = 1; b < 256; ++b)
      if (b != '\r' && b != '\n') all.append(char(b));
    const QByteArray text = kTamilText.left(13) + "\r" + all;
    TEditForm* f = newDocument();
    setBytes(f, text);
    select(f, 3, 9);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    f->Editor->textCursor().mergeCharFormat(bold);
    f->Selectall1Click();
    f->mmCopyClick();
    const QMimeData* md = QGuiApplication::clipboard()->mimeData();
    QVERIFY(md);
    QCOMPARE(md->data(TConvertCommands::kTsciiMimeType), text);
    QByteArray plain = text;
    plain.replace('\r', '\n');
    const QByteArray unicode = runCli({"convert", "--from", "tscii", "--to", "unicode"}, plain);
    QCOMPARE(md->text(), QString::fromUtf8(unicode));
    QVERIFY(!md->hasHtml());

    TEditForm* g = newDocument();
    setBytes(g, "<>");
    select(g, 1, 1);
    g->mmPasteClick();
    QCOMPARE(textOf(g), "<" + text + ">");
    QTextCursor c(g->Editor->document());
    c.setPosition(1 + 5);
    QCOMPARE(c.charFormat().fontWeight(), int(QFont::Bold));
    c.setPosition(1 + 12);
    QCOMPARE(c.charFormat().fontWeight(), int(QFont::Normal));
    // One undo takes the paste away.
    g->UnDo1Click();
    QCOMPARE(textOf(g), QByteArray("<>"));
  }

  // Formatting that would not bring the same bytes back is let go; the
  // bytes win.
  void pasteKeepsTheBytesWhenTheFormattedCopyDiffers() {
    auto* md = new QMimeData;
    md->setData(TConvertCommands::kTsciiMimeType, "\xB8\xA1\rx");
    md->setData(TConvertCommands::kRichTextMimeType, "<p>other</p>");
    md->setText(QStringLiteral("ignored"));
    QGuiApplication::clipboard()->setMimeData(md);
    TEditForm* f = newDocument();
    f->mmPasteClick();
    QCOMPARE(textOf(f), QByteArray("\xB8\xA1\rx"));
  }
};

QTEST_MAIN(ConvertCommandsTest)
#include "convert_commands_test.moc"
