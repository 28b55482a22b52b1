// Document window tests: a real frame with real document windows on the
// offscreen platform; every message box is answered from a script.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QDropEvent>
#include <QUrl>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>

#include <sys/stat.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "windows/document/document_layout.h"
#include "windows/document/edit_form.h"
#include "core/document/file_replace.h"
#include "windows/document/editor.h"
#include "core/input/keyboard.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "core/settings/profile_file.h"
#include "../window_test_util.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;

namespace {

void typeKeys(TEditForm* f, const QByteArray& keys) {
  for (char c : keys) QTest::keyClick(f->Editor, c);
}

// Scripted prompts that also note the folder each file dialog starts in.
class FolderRecordingPrompts : public tolvan::ScriptedPrompts {
 public:
  QStringList folders;
  QStringList openFileNames(QWidget* w, const QString& caption, const QString& dir,
                            const QString& filter) override {
    folders << dir;
    return ScriptedPrompts::openFileNames(w, caption, dir, filter);
  }
  QString saveFileName(QWidget* w, const QString& caption, const QString& dir,
                       const QString& filter) override {
    folders << dir;
    return ScriptedPrompts::saveFileName(w, caption, dir, filter);
  }
};

int countShown(const tolvan::ScriptedPrompts& p, const QString& part) {
  int n = 0;
  for (const QString& s : p.shown)
    if (s.contains(part)) ++n;
  return n;
}

}  // namespace

class EditFormTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }
  tolvan::ProfileFile ini() const { return tolvan::ProfileFile(path("Tolvan.ini").toStdString()); }

  TEditForm* newDocument() {
    frame_->New1Click();
    return frame_->ActiveEditForm();
  }
  TEditForm* openDocument(const QString& file) {
    TEditForm* f = frame_->CreateEditForm();
    if (!f->OpenDocumentFile(file)) return nullptr;
    return f;
  }
  void setLayout(TEditForm* f, tolvan::Layout layout, bool tamil) {
    switch (layout) {
      case tolvan::Layout::Anjal: f->mmAnjalKBClick(); break;
      case tolvan::Layout::Mylai: f->mmMylaiKBClick(); break;
      case tolvan::Layout::Typewriter: f->mmTypeKBClick(); break;
      case tolvan::Layout::Roman: f->mmRomanKBClick(); break;
    }
    if (f->isTamilMode() != tamil) f->mmTamilKBClick();
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    Prompts::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
  }

  // ---------------------------------------------------------------- typing

  void typingLeavesTheWorkedBytes_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("bytes");
    const int anjal = int(tolvan::Layout::Anjal), roman = int(tolvan::Layout::Roman);
    QTest::newRow("anjal k") << anjal << QByteArray("k") << QByteArray("\xEC");
    QTest::newRow("anjal kaa") << anjal << QByteArray("kaa") << QByteArray("\xB8\xA1");
    QTest::newRow("anjal ku") << anjal << QByteArray("ku") << QByteArray("\xCC");
    QTest::newRow("anjal kee") << anjal << QByteArray("kee") << QByteArray("\xA7\xB8");
    QTest::newRow("anjal kai") << anjal << QByteArray("kai") << QByteArray("\xA8\xB8");
    QTest::newRow("anjal ko") << anjal << QByteArray("ko") << QByteArray("\xA6\xB8\xA1");
    QTest::newRow("anjal koo") << anjal << QByteArray("koo") << QByteArray("\xA7\xB8\xA1");
    QTest::newRow("anjal kau") << anjal << QByteArray("kau") << QByteArray("\xA6\xB8\xAA");
    QTest::newRow("anjal ang") << anjal << QByteArray("ang") << QByteArray("\xAB\xED");
    QTest::newRow("anjal ai au") << anjal << QByteArray("ai au") << QByteArray("\xB3 \xB6");
    QTest::newRow("roman kO") << roman << QByteArray("kO") << QByteArray("\xA7\xB8\xA1");
    QTest::newRow("roman kau") << roman << QByteArray("kau") << QByteArray("\xA6\xB8\xAA");
    QTest::newRow("roman n2") << roman << QByteArray("n2") << QByteArray("\xFD");
  }
  void typingLeavesTheWorkedBytes() {
    QFETCH(int, layout);
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, bytes);
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout(layout), true);
    // Typed right after a space, as the worked tables are.
    typeKeys(f, " " + keys);
    QCOMPARE(textOf(f), " " + bytes);
  }

  // Insert switches the editor between inserting and overwriting, in English
  // and in Tamil typing alike; pressed again it inserts once more.
  void insertKeySwitchesOverwriting() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "abcdef");
    QTest::keyClick(f->Editor, Qt::Key_Home);
    QTest::keyClick(f->Editor, Qt::Key_Insert);
    QVERIFY(f->Editor->overwriteMode());
    typeKeys(f, "xy");
    QCOMPARE(textOf(f), QByteArray("xycdef"));
    setLayout(f, tolvan::Layout::Anjal, true);
    typeKeys(f, " k");
    QCOMPARE(textOf(f), QByteArray("xy \xEC" "ef"));
    QTest::keyClick(f->Editor, Qt::Key_Insert);
    QVERIFY(!f->Editor->overwriteMode());
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "z");
    QCOMPARE(textOf(f), QByteArray("xy \xECzef"));
  }

  // Every layout in the real editor gives what the engine gives in a text
  // buffer, backspaces and Enter included.
  void windowMatchesTheEngine_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("keys");
    const QByteArray samples[] = {"vanakkam nanbarkaLE", "thamizh koo kaa\rpaaddu",
                                  "kiLi\bi moo\b\bzi", "sri ksha jaa haa 12.5!",
                                  "amma appaa ^q`w[]{}", "ngnjnnyaa kuu kUU"};
    for (int l = 1; l <= 4; ++l)
      for (const QByteArray& s : samples)
        QTest::addRow("%d %s", l, s.constData()) << l << s;
  }
  void windowMatchesTheEngine() {
    QFETCH(int, layout);
    QFETCH(QByteArray, keys);
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout(layout), true);
    tolvan::TamilState ref;
    tolvan::TextBufferSink buffer(tolvan::Layout(layout), ref);
    tolvan::programTamilState() = {};
    for (char c : " " + keys) {
      buffer.typeKey(static_cast<unsigned char>(c));
      if (c == '\b')
        QTest::keyClick(f->Editor, Qt::Key_Backspace);
      else if (c == '\r')
        QTest::keyClick(f->Editor, Qt::Key_Return);
      else
        QTest::keyClick(f->Editor, c);
    }
    QCOMPARE(textOf(f), QByteArray::fromStdString(buffer.text()));
    QCOMPARE(tolvan::programTamilState().LastTamilChar, ref.LastTamilChar);
  }

  void tamilModeOffTypesAsIsAndKeepsState() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    tolvan::programTamilState().LastTamilChar = 0xEC;
    typeKeys(f, "koo");
    QCOMPARE(textOf(f), QByteArray("koo"));
    QCOMPARE(tolvan::programTamilState().LastTamilChar, 0xEC);
  }

  void twoWindowsShareTheLastTamilCharacter() {
    TEditForm* a = newDocument();
    TEditForm* b = newDocument();
    setLayout(a, tolvan::Layout::Anjal, true);
    setLayout(b, tolvan::Layout::Anjal, true);
    typeKeys(b, "12");  // keys no layout maps
    typeKeys(a, " k");  // leaves the dead consonant as the last Tamil character
    QCOMPARE(textOf(a), QByteArray(" \xEC"));
    // The 'a' in the other window turns "the consonant just typed" into its
    // live form: it deletes the character before its own caret.
    typeKeys(b, "a");
    QCOMPARE(textOf(b), QByteArray("1\xB8"));
    QCOMPARE(textOf(a), QByteArray(" \xEC"));
  }

  void oneUndoStepPerTypedKey() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, true);
    typeKeys(f, " koo");
    QCOMPARE(textOf(f), QByteArray(" \xA7\xB8\xA1"));
    f->UnDo1Click();  // the second o: back to ko
    QCOMPARE(textOf(f), QByteArray(" \xA6\xB8\xA1"));
    f->UnDo1Click();  // the first o: back to k
    QCOMPARE(textOf(f), QByteArray(" \xEC"));
    f->Redo1Click();
    QCOMPARE(textOf(f), QByteArray(" \xA6\xB8\xA1"));
  }

  // Redo answers both Ctrl+Shift+Z and Ctrl+Y (what the toolbar hint names).
  void redoShortcuts_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("ctrl+shift+z") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    QTest::newRow("ctrl+y") << QKeySequence(Qt::CTRL | Qt::Key_Y);
  }
  void redoShortcuts() {
    QFETCH(QKeySequence, keys);
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "a");
    f->UnDo1Click();
    QCOMPARE(textOf(f), QByteArray(""));
    QVERIFY(f->Redo1->shortcuts().contains(keys));
    QTest::keySequence(f->Editor, keys);
    QCOMPARE(textOf(f), QByteArray("a"));
  }

  void sendKeyBackspaceDeletesOneCharacterOrTheSelection() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "abc");
    f->SendKeyToEditor(0x08);
    QCOMPARE(textOf(f), QByteArray("ab"));
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(0);
    c.setPosition(2, QTextCursor::KeepAnchor);
    f->Editor->setTextCursor(c);
    f->SendKeyToEditor(0x08);
    QCOMPARE(textOf(f), QByteArray(""));
    f->SendKeyToEditor(0x08);  // at the start: nothing
    QCOMPARE(textOf(f), QByteArray(""));
    // Bytes from 0x80 up go in as themselves, C1 range and U+00AD included.
    for (unsigned char b : {0x82, 0x99, 0xAD, 0xFF}) f->SendKeyToEditor(b);
    QCOMPARE(textOf(f), QByteArray("\x82\x99\xAD\xFF"));
  }

  // ---------------------------------------------------------------- keyboard menu

  void keyboardSettingsAtCreationAndClose() {
    tolvan::ProfileFile file = ini();
    file.WriteString("Tolvan", "KeyBoard", "3");
    file.WriteString("Tolvan", "TamilMode", "0");
    TEditForm* f = newDocument();
    QVERIFY(f->mmTypeKB->isChecked());
    QVERIFY(!f->isTamilMode());
    QCOMPARE(f->mmTamilKB->text(), QStringLiteral("Tamil Mode ON"));

    f->mmTamilKBClick();
    QVERIFY(f->isTamilMode());
    QCOMPARE(f->windowTitle(), QStringLiteral("Tolvan TAMIL Keyboard ON"));
    QCOMPARE(f->mmTamilKB->text(), QStringLiteral("Set Tamil Typewriter Mode OFF"));
    QVERIFY(frame_->BtnTamil->isChecked());
    f->mmRomanKBClick();
    QVERIFY(!f->mmTypeKB->isChecked());

    f->Close1Click();
    QCOMPARE(file.ReadString("Tolvan", "Keyboard", ""), std::string("4"));
    QCOMPARE(file.ReadInteger("Tolvan", "TamilMode", -1), 1);

    // The next window starts from what the last one stored.
    TEditForm* g = newDocument();
    QVERIFY(g->mmRomanKB->isChecked());
    QVERIFY(g->isTamilMode());
    g->mmTamilKBClick();
    QCOMPARE(g->windowTitle(), QStringLiteral("Tolvan"));
    QCOMPARE(g->mmTamilKB->text(), QStringLiteral("Set Tamil Typewriter Mode ON"));
    QVERIFY(!frame_->BtnTamil->isChecked());
    file.WriteString("Tolvan", "Keyboard", "1");
    file.WriteString("Tolvan", "TamilMode", "1");
  }

  // The menu item (and its Ctrl+T) toggles once, in its own window only.
  void menuItemTogglesOnlyItsWindow() {
    TEditForm* a = newDocument();
    TEditForm* b = newDocument();
    setLayout(a, tolvan::Layout::Anjal, true);
    setLayout(b, tolvan::Layout::Anjal, true);
    QCOMPARE(b->mmTamilKB->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    b->mmTamilKB->trigger();
    QVERIFY(!b->isTamilMode());
    QVERIFY(!b->mmTamilKB->isChecked());
    QVERIFY(a->isTamilMode());
    QCOMPARE(b->windowTitle(), QStringLiteral("Tolvan"));
    b->mmTamilKB->trigger();
    QVERIFY(b->isTamilMode());
    // A layout item checks itself and unchecks the others.
    b->mmMylaiKB->trigger();
    QVERIFY(b->mmMylaiKB->isChecked());
    QVERIFY(!b->mmAnjalKB->isChecked());
    QCOMPARE(b->layout(), tolvan::Layout::Mylai);
    QCOMPARE(a->layout(), tolvan::Layout::Anjal);
  }

  void unknownSettingValuesKeepTheDefaults() {
    tolvan::ProfileFile file = ini();
    file.WriteString("Tolvan", "Keyboard", "7");
    file.WriteString("Tolvan", "TamilMode", "2");
    TEditForm* f = newDocument();
    QVERIFY(f->mmAnjalKB->isChecked());
    QVERIFY(!f->isTamilMode());
    file.WriteString("Tolvan", "Keyboard", "1");
    file.WriteString("Tolvan", "TamilMode", "1");
  }

  // ---------------------------------------------------------------- windows and buttons

  void newWindowsAndTheirButtons() {
    const int base = frame_->untitledNumber();
    TEditForm* a = newDocument();
    TEditForm* b = newDocument();
    TEditForm* c = newDocument();
    QCOMPARE(a->windowTitle(), QStringLiteral("Tolvan%1").arg(base + 1));
    QCOMPARE(b->Title(), QStringLiteral("Tolvan%1").arg(base + 2));
    QCOMPARE(c->BtnSpeed->text(), QStringLiteral("Tolvan%1").arg(base + 3));
    QCOMPARE(a->BtnSpeed->geometry(), QRect(0, 2, 80, 20));
    QCOMPARE(b->BtnSpeed->geometry(), QRect(80, 2, 80, 20));
    QCOMPARE(c->BtnSpeed->geometry(), QRect(160, 2, 80, 20));
    b->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(a->BtnSpeed->pos(), QPoint(0, 2));
    QCOMPARE(c->BtnSpeed->pos(), QPoint(80, 2));
    QCOMPARE(frame_->EditForms().size(), 2);
  }

  void typingTurnsTheButtonRedAndEnablesSave() {
    TEditForm* f = newDocument();
    QCOMPARE(f->BtnSpeed->palette().color(QPalette::ButtonText), QColor(Qt::black));
    QVERIFY(!frame_->BtnSave->isEnabled());
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "x");
    QCOMPARE(f->BtnSpeed->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    QVERIFY(frame_->BtnSave->isEnabled());
    QVERIFY(f->UnDo1->isEnabled());
    QVERIFY(!f->mmCut->isEnabled());
    f->Selectall1Click();
    QVERIFY(f->mmCut->isEnabled());
    QVERIFY(frame_->BtnCopy->isEnabled());
  }

  // ---------------------------------------------------------------- files

  void plainTextRoundTripKeepsEveryByte() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
      if (b != '\r' && b != '\n') bytes.append(static_cast<char>(b));
    bytes = bytes + "\r\nsecond line\r\n\xA0\xAD\x82\r\n";
    writeFile(path("all.txt"), bytes);
    TEditForm* f = openDocument(path("all.txt"));
    QVERIFY(f);
    QCOMPARE(f->Title(), path("all.txt"));
    QCOMPARE(f->BtnSpeed->text(), QStringLiteral("all.txt"));
    QVERIFY(!f->isModified());
    QTest::qWait(50);  // painted: still not modified, nothing to undo
    QVERIFY(!f->isModified());
    QVERIFY(!f->UnDo1->isEnabled());
    QCOMPARE(f->Editor->textCursor().position(), 0);
    f->Editor->document()->setModified(true);
    f->Save1Click();
    QCOMPARE(readFile(path("all.txt")), bytes);
    QVERIFY(!f->isModified());
    QCOMPARE(frame_->workDir(), dir_.path() + u'/');
  }

  void relativeNameIsKeptAsAFullPath() {
    writeFile(path("rel.txt"), "r");
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    TEditForm* f = openDocument(QStringLiteral("rel.txt"));
    QDir::setCurrent(old);
    QVERIFY(f);
    QCOMPARE(f->Title(), path("rel.txt"));
    typeKeys(f, "x");
    f->Save1Click();  // no Save As dialog: nothing is queued for one
    QVERIFY(!f->isModified());
    QCOMPARE(readFile(path("rel.txt")).size(), 2);
  }

  void rtfRoundTripKeepsTextAndFormatting() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, true);
    typeKeys(f, " vaNakkam");
    const QByteArray typed = textOf(f);
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(1);
    c.setPosition(3, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    c.mergeCharFormat(bold);
    prompts_.files.push_back({path("tamil.rtf")});
    f->Save1Click();  // never saved: goes through Save As
    QCOMPARE(f->Title(), path("tamil.rtf"));
    QVERIFY(readFile(path("tamil.rtf")).startsWith("{\\rtf"));
    TEditForm* g = openDocument(path("tamil.rtf"));
    QVERIFY(g);
    QCOMPARE(textOf(g), typed);
    QTextCursor gc(g->Editor->document());
    gc.setPosition(2);
    QCOMPARE(gc.charFormat().fontWeight(), int(QFont::Bold));
    // The opened document has nothing to undo; typing into it edits, and
    // undoing that gives the file's text back.
    QVERIFY(!g->Editor->document()->isUndoAvailable());
    QVERIFY(!g->isModified());
    typeKeys(g, "k");
    QVERIFY(g->isModified());
    QVERIFY(textOf(g) != typed);
    QVERIFY(g->Editor->document()->isUndoAvailable());
    g->Editor->document()->undo();
    QCOMPARE(textOf(g), typed);
  }

  void otherExtensionsFollowTheEditorsMode() {
    // A .log opened (plain text, since it is no RTF) saves as RTF; after Save
    // As Text the first Save writes plain text and the next one RTF again.
    writeFile(path("notes.log"), "one\ntwo\n");
    TEditForm* f = openDocument(path("notes.log"));
    QVERIFY(f);
    QCOMPARE(textOf(f), QByteArray("one\rtwo\r"));
    f->Save1Click();
    QVERIFY(readFile(path("notes.log")).startsWith("{\\rtf"));

    prompts_.files.push_back({path("plain.log")});
    f->SaveAsText1Click();
    QCOMPARE(readFile(path("plain.log")), QByteArray("one\ntwo\n"));
    QCOMPARE(f->BtnSpeed->text(), QStringLiteral("plain.log"));
    QVERIFY(f->isPlainTextMode());
    f->Save1Click();
    QCOMPARE(readFile(path("plain.log")), QByteArray("one\ntwo\n"));
    QVERIFY(!f->isPlainTextMode());
    f->Save1Click();
    QVERIFY(readFile(path("plain.log")).startsWith("{\\rtf"));
  }

  void saveAsAsksBeforeReplacing_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("yes") << int(Prompts::Answer::Yes) << true;
    QTest::newRow("no") << int(Prompts::Answer::No) << false;
  }
  void saveAsAsksBeforeReplacing() {
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    writeFile(path("exists.txt"), "old");
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "new");
    prompts_.files.push_back({path("exists.txt")});
    prompts_.answers.push_back(Prompts::Answer(answer));
    f->Saveas1Click();
    QCOMPARE(countShown(prompts_, QStringLiteral("File %1 already exists. Do you want to replace it ?")
                                      .arg(path("exists.txt"))),
             1);
    QCOMPARE(readFile(path("exists.txt")), replaced ? QByteArray("new") : QByteArray("old"));
    QCOMPARE(f->isModified(), !replaced);
  }

  void plainSaveOfWideCharactersAsksInsteadOfDropping() {
    writeFile(path("wide.txt"), "abc");
    TEditForm* f = openDocument(path("wide.txt"));
    QVERIFY(f);
    QTextCursor c = f->Editor->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(QString(QChar(0x263A)));
    // No: nothing written, the document stays modified.
    prompts_.answers.push_back(Prompts::Answer::No);
    f->Save1Click();
    QCOMPARE(readFile(path("wide.txt")), QByteArray("abc"));
    QVERIFY(f->isModified());
    // Yes: Save As with an RTF name proposed.
    prompts_.answers.push_back(Prompts::Answer::Yes);
    prompts_.files.push_back({path("wide.rtf")});
    f->Save1Click();
    QCOMPARE(f->Title(), path("wide.rtf"));
    QVERIFY(!f->isModified());
    TEditForm* g = openDocument(path("wide.rtf"));
    QVERIFY(g);
    QCOMPARE(g->Editor->document()->toRawText(), QStringLiteral("abc") + QChar(0x263A));
  }

  // A save that writes nothing (the user declines the RTF offer for text a
  // plain file cannot hold) leaves the window's name as it was.
  void refusedSaveKeepsTheTitle_data() {
    QTest::addColumn<bool>("asText");
    QTest::newRow("save as") << false;
    QTest::newRow("save as text") << true;
  }
  void refusedSaveKeepsTheTitle() {
    QFETCH(bool, asText);
    TEditForm* f = newDocument();
    const QString before = f->Title();
    f->Editor->insertPlainText(QStringLiteral("abc") + QChar(0x263A));
    prompts_.files.push_back({path("never.txt")});
    prompts_.answers.push_back(Prompts::Answer::No);
    if (asText)
      f->SaveAsText1Click();
    else
      f->Saveas1Click();
    QCOMPARE(countShown(prompts_, QStringLiteral("cannot store")), 1);
    QVERIFY(!QFile::exists(path("never.txt")));
    QCOMPARE(f->Title(), before);
    QCOMPARE(f->windowTitle(), before);
    QCOMPARE(f->BtnSpeed->text(), before);
    QVERIFY(f->isModified());
  }

  // A file with a second name (hard link) keeps both names after a save, and
  // both show the new text; no temporary file is left behind.
  void saveKeepsHardLinks() {
    writeFile(path("hard.txt"), "old");
    QVERIFY(::link(QFile::encodeName(path("hard.txt")).constData(),
                   QFile::encodeName(path("target.txt")).constData()) == 0);
    TEditForm* f = openDocument(path("hard.txt"));
    QVERIFY(f);
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "new ");
    f->Save1Click();
    QVERIFY(!f->isModified());
    QCOMPARE(readFile(path("target.txt")), QByteArray("new old"));
    struct stat a {}, b {};
    QCOMPARE(::stat(QFile::encodeName(path("hard.txt")).constData(), &a), 0);
    QCOMPARE(::stat(QFile::encodeName(path("target.txt")).constData(), &b), 0);
    QCOMPARE(a.st_ino, b.st_ino);
    QCOMPARE(int(a.st_nlink), 2);
    QVERIFY(QDir(dir_.path()).entryList({QStringLiteral("*saving*")}, QDir::Files | QDir::Hidden).isEmpty());
  }

  // A name that cannot take the document is refused with a message naming it
  // and saying why; nothing is written and the text stays unsaved. (A file
  // marked read-only is refused even for the administrator, so this holds
  // whoever runs the test.)
  void unwritableTargetIsNamed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only file") << QStringLiteral("ro.txt") << QStringLiteral("the file is read-only.");
    QTest::newRow("folder") << QStringLiteral("folder.txt") << QStringLiteral("it is a folder.");
  }
  void unwritableTargetIsNamed() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    const QString target = path(name);
    if (name == QLatin1String("ro.txt")) {
      writeFile(target, "orig");
      QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else {
      QVERIFY(QDir(dir_.path()).mkpath(name));
    }
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "text");
    prompts_.files.push_back({target});
    prompts_.answers.push_back(Prompts::Answer::Yes);  // replace it
    f->Saveas1Click();
    QCOMPARE(countShown(prompts_, QStringLiteral("Cannot write file \"%1\": %2").arg(target, reason)), 1);
    QVERIFY(f->isModified());
    if (name == QLatin1String("ro.txt")) {
      QCOMPARE(readFile(target), QByteArray("orig"));
      QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
  }

  void failedSaveKeepsTheDocumentModified() {
    QDir(dir_.path()).mkdir("gone");
    writeFile(path("gone/doc.txt"), "text");
    TEditForm* f = openDocument(path("gone/doc.txt"));
    QVERIFY(f);
    typeKeys(f, "x");
    QVERIFY(QDir(path("gone")).removeRecursively());
    QVERIFY(!f->SaveDocument());
    QVERIFY(f->isModified());
    QCOMPARE(countShown(prompts_, QStringLiteral("Cannot create file")), 1);
    QVERIFY(!QApplication::overrideCursor());
  }

  // A save keeps the file's owner, group and permissions: saved by the
  // administrator, another user's private file stays that user's.
  void saveKeepsOwnerGroupAndMode() {
    if (::geteuid() != 0) QSKIP("giving a file to another user needs the administrator");
    const QByteArray name = QFile::encodeName(path("theirs.txt"));
    writeFile(path("theirs.txt"), "old");
    QCOMPARE(::chown(name.constData(), 1234, 2345), 0);
    QCOMPARE(::chmod(name.constData(), 0600), 0);
    TEditForm* f = openDocument(path("theirs.txt"));
    QVERIFY(f);
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "new ");
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(path("theirs.txt")), QByteArray("new old"));
    struct stat st {};
    QCOMPARE(::stat(name.constData(), &st), 0);
    QCOMPARE(int(st.st_uid), 1234);
    QCOMPARE(int(st.st_gid), 2345);
    QCOMPARE(int(st.st_mode & 07777), 0600);
  }

  // A save that the system refuses part-way (a full disk while writing or
  // syncing) names the system's reason, and the file keeps its old content.
  void failedSaveGivesTheSystemsReason_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("err");
    QTest::newRow("disk full while writing") << int(tolvan::ReplaceStep::Write) << ENOSPC;
    QTest::newRow("disk full while syncing") << int(tolvan::ReplaceStep::Sync) << ENOSPC;
    QTest::newRow("input/output error") << int(tolvan::ReplaceStep::Sync) << EIO;
  }
  void failedSaveGivesTheSystemsReason() {
    QFETCH(int, step);
    QFETCH(int, err);
    writeFile(path("full.txt"), "the original");
    TEditForm* f = openDocument(path("full.txt"));
    QVERIFY(f);
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "new ");
    prompts_.shown.clear();
    tolvan::SetReplaceFaultHook([&](tolvan::ReplaceStep s) { return int(s) == step ? err : 0; });
    const bool saved = f->SaveDocument();
    tolvan::SetReplaceFaultHook(nullptr);
    QVERIFY(!saved);
    QVERIFY(f->isModified());
    QCOMPARE(prompts_.shown, QStringList{QStringLiteral("Cannot write file \"%1\". %2")
                                             .arg(path("full.txt"), QString::fromLocal8Bit(std::strerror(err)))});
    QCOMPARE(readFile(path("full.txt")), QByteArray("the original"));
    QCOMPARE(QDir(dir_.path()).entryList({QStringLiteral("full.txt*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("full.txt")});
  }

  // What is not a document is refused before anything is read: reading a
  // device never ends, a pipe blocks, a huge file would fill memory.
  void openRefusesWhatIsNotADocument_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("It is a folder");
    QTest::newRow("device") << QStringLiteral("/dev/zero") << QStringLiteral("not a regular file");
    QTest::newRow("pipe") << QStringLiteral("pipe") << QStringLiteral("not a regular file");
    QTest::newRow("too large") << QStringLiteral("huge.txt") << QStringLiteral("too large");
  }
  void openRefusesWhatIsNotADocument() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QDir(dir_.path()).mkdir(QStringLiteral("folder"));
    QFile::remove(path("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    {
      QFile huge(path("huge.txt"));  // sparse: no disk space used
      QVERIFY(huge.open(QIODevice::WriteOnly));
      QVERIFY(huge.resize(qint64(300) << 20));
    }
    const QString name = file.startsWith(QLatin1Char('/')) ? file : path(file);
    const int before = frame_->EditForms().size();
    prompts_.shown.clear();
    TEditForm* f = frame_->CreateEditForm();
    QVERIFY(!f->OpenDocumentFile(name));
    QCOMPARE(prompts_.shown.size(), 1);
    QVERIFY2(prompts_.shown.first().startsWith(QStringLiteral("Cannot open file")), qPrintable(prompts_.shown.first()));
    QVERIFY2(prompts_.shown.first().contains(reason), qPrintable(prompts_.shown.first()));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(frame_->EditForms().size(), before);
    QFile::remove(path("huge.txt"));
  }

  void failedOpenRestoresCursorAndKeepsText() {
    const int before = frame_->EditForms().size();
    TEditForm* f = frame_->CreateEditForm();
    QVERIFY(!f->isModified());
    QVERIFY(!f->OpenDocumentFile(path("no such file.txt")));

    QCOMPARE(countShown(prompts_, QStringLiteral("Cannot open file")), 1);
    QVERIFY(!QApplication::overrideCursor());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(frame_->EditForms().size(), before);  // the empty window went away
    // A window holding a document keeps it when a reload fails.
    writeFile(path("keep.txt"), "kept");
    TEditForm* g = openDocument(path("keep.txt"));
    QVERIFY(g);
    QFile::remove(path("keep.txt"));
    QVERIFY(!g->OpenDocumentFile(path("keep.txt")));
    QCOMPARE(textOf(g), QByteArray("kept"));
    QCOMPARE(g->Title(), path("keep.txt"));
  }

  // A damaged (truncated) RTF file opens with what could be read and a
  // warning naming it; the window counts as modified, so the damaged file is
  // not replaced without the user knowing.
  void damagedRtfOpensWhatWasReadWithAWarning() {
    writeFile(path("cut.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 first\\par {\\b second} thi");
    TEditForm* f = openDocument(path("cut.rtf"));
    QVERIFY(f);
    QCOMPARE(textOf(f), QByteArray("first\rsecond thi"));
    QCOMPARE(f->Title(), path("cut.rtf"));
    QVERIFY(f->isModified());
    QVERIFY(frame_->BtnSave->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(prompts_.shown.size(), 1);
    const QString shown = prompts_.shown.first();
    QVERIFY2(shown.startsWith(QLatin1String("The RTF file \"") + QDir::toNativeSeparators(path("cut.rtf"))),
             qPrintable(shown));
    QVERIFY(shown.contains(QLatin1String("is damaged: it ends inside 1 unclosed group (truncated")));
    QVERIFY(shown.contains(QLatin1String("may be incomplete")));
    prompts_.answers.push_back(Prompts::Answer::Cancel);
    f->Close1Click();
    QCOMPARE(countShown(prompts_, QStringLiteral("Save changes to")), 1);
    QCOMPARE(readFile(path("cut.rtf")).right(4), QByteArray(" thi"));  // untouched
  }

  // Byte 0xAD (the letter i) is held as U+0B87 so it is drawn; files, the
  // selection and RTF still carry the byte.
  void letterIKeepsItsByteEverywhere() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, true);
    typeKeys(f, " inimai");
    QVERIFY(f->Editor->document()->toRawText().contains(QChar(0x0B87)));
    QVERIFY(!f->Editor->document()->toRawText().contains(QChar(0xAD)));
    const QByteArray typed = textOf(f);
    QVERIFY(typed.startsWith(" \xAD"));
    f->Selectall1Click();
    QByteArray sel;
    QVERIFY(tolvan::selectionToBytes(f->Editor->textCursor(), &sel));
    QCOMPARE(sel, typed);
    for (const char* name : {"i.txt", "i.rtf"}) {
      prompts_.files.push_back({path(name)});
      f->Saveas1Click();
      const QByteArray file = readFile(path(name));
      QVERIFY(file.contains('\xAD') || file.contains("\\'ad"));
      QVERIFY(!file.contains("2951"));
      TEditForm* g = openDocument(path(name));
      QVERIFY(g);
      QCOMPARE(textOf(g), typed);
      QVERIFY(g->Editor->document()->toRawText().contains(QChar(0x0B87)));
    }
  }

  void fileStamp() {
    QCOMPARE(TEditForm::GetFileStamp(path("missing")), -1);
    writeFile(path("stamp.txt"), "x");
    QFile f(path("stamp.txt"));
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2020, 5, 17), QTime(13, 45, 21)),
                          QFileDevice::FileModificationTime));
    f.close();
    // 2020-05-17 13:45:21 -> date 0x50B1, time 0x6DAA (seconds halved).
    QCOMPARE(TEditForm::GetFileStamp(path("stamp.txt")), int(0x50B16DAA));
  }

  // ---------------------------------------------------------------- closing

  void closeQuery_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("yes") << int(Prompts::Answer::Yes) << true << QByteArray("edited");
    QTest::newRow("no") << int(Prompts::Answer::No) << true << QByteArray("orig");
    QTest::newRow("cancel") << int(Prompts::Answer::Cancel) << false << QByteArray("orig");
  }
  void closeQuery() {
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(QByteArray, file);
    writeFile(path("close.txt"), "orig");
    TEditForm* f = openDocument(path("close.txt"));
    QVERIFY(f);
    QPointer<TEditForm> guard(f);
    QPointer<QToolButton> button(f->BtnSpeed);
    f->Selectall1Click();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "edited");
    prompts_.answers.push_back(Prompts::Answer(answer));
    f->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(countShown(prompts_, QStringLiteral("Save changes to %1?").arg(path("close.txt"))), 1);
    QCOMPARE(guard.isNull(), closes);
    QCOMPARE(button.isNull(), closes);
    QCOMPARE(readFile(path("close.txt")), file);
    if (!closes) {
      QCOMPARE(textOf(f), QByteArray("edited"));
      QVERIFY(f->isModified());
    }
  }

  void cancelledSaveAsKeepsTheWindow() {
    TEditForm* f = newDocument();
    QPointer<TEditForm> guard(f);
    typeKeys(f, "unsaved");
    prompts_.answers.push_back(Prompts::Answer::Yes);  // save changes: yes
    // ... but the Save As dialog is cancelled (no file queued).
    f->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard.isNull());
    QVERIFY(f->BtnSpeed);
    QVERIFY(f->isModified());
  }

  void saveAllAndCloseAll() {
    writeFile(path("s1.txt"), "1");
    writeFile(path("s2.txt"), "2");
    TEditForm* a = openDocument(path("s1.txt"));
    TEditForm* b = openDocument(path("s2.txt"));
    QVERIFY(a && b);
    setLayout(a, tolvan::Layout::Anjal, false);
    setLayout(b, tolvan::Layout::Anjal, false);
    typeKeys(a, "a");
    typeKeys(b, "b");
    a->SaveAll1Click();
    QCOMPARE(readFile(path("s1.txt")), QByteArray("a1"));
    QCOMPARE(readFile(path("s2.txt")), QByteArray("b2"));
    a->CloseAll1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(frame_->EditForms().isEmpty());
    QCOMPARE(countShown(prompts_, QStringLiteral("Save changes")), 0);
  }

  // ---------------------------------------------------------------- outside changes

  void outsideRewriteAsksOncePerBurst() {
    writeFile(path("watched.txt"), "v1");
    TEditForm* f = openDocument(path("watched.txt"));
    QVERIFY(f);
    const QString question = path("watched.txt") + QStringLiteral(" Changed, Reload the file ?");
    // Our own save: no question.
    typeKeys(f, "x");
    f->Save1Click();
    QTest::qWait(900);
    QCOMPARE(countShown(prompts_, question), 0);

    // Three quick writes by another program, with a new time stamp: one
    // question; Cancel keeps the text.
    auto rewrite = [&](const QByteArray& text, int secondsAhead) {
      writeFile(path("watched.txt"), text);
      QFile file(path("watched.txt"));
      QVERIFY(file.open(QIODevice::ReadWrite));
      file.setFileTime(QDateTime::currentDateTime().addSecs(secondsAhead),
                       QFileDevice::FileModificationTime);
    };
    prompts_.answers.push_back(Prompts::Answer::No);
    rewrite("v2", 10);
    rewrite("v3", 10);
    rewrite("v4", 10);
    QTRY_COMPARE_WITH_TIMEOUT(countShown(prompts_, question), 1, 3000);
    QTest::qWait(900);
    QCOMPARE(countShown(prompts_, question), 1);
    QCOMPARE(textOf(f), QByteArray("xv1"));

    // The next change asks again; Yes reloads.
    prompts_.answers.push_back(Prompts::Answer::Yes);
    rewrite("v5", 20);
    QTRY_COMPARE_WITH_TIMEOUT(countShown(prompts_, question), 2, 3000);
    QCOMPARE(textOf(f), QByteArray("v5"));
    QVERIFY(!f->isModified());
  }

  // A file deleted by another program: whether the reload is tried (and
  // fails) or declined, the window's text exists nowhere else now, so the
  // window counts as modified and closing it asks.
  void deletedFileLeavesTheWindowModified_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("reload") << int(Prompts::Answer::Yes);
    QTest::newRow("keep") << int(Prompts::Answer::No);
  }
  void deletedFileLeavesTheWindowModified() {
    QFETCH(int, answer);
    writeFile(path("deleted.txt"), "text");
    TEditForm* f = openDocument(path("deleted.txt"));
    QVERIFY(f);
    QVERIFY(!frame_->BtnSave->isEnabled());
    prompts_.answers.push_back(Prompts::Answer(answer));
    QVERIFY(QFile::remove(path("deleted.txt")));
    const QString question = path("deleted.txt") + QStringLiteral(" Changed, Reload the file ?");
    QTRY_COMPARE_WITH_TIMEOUT(countShown(prompts_, question), 1, 3000);
    QCOMPARE(textOf(f), QByteArray("text"));
    QVERIFY(f->isModified());
    QVERIFY(frame_->BtnSave->isEnabled());
    QCOMPARE(f->BtnSpeed->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    prompts_.answers.push_back(Prompts::Answer::Cancel);
    f->Close1Click();
    QCOMPARE(countShown(prompts_, QStringLiteral("Save changes to %1?").arg(path("deleted.txt"))), 1);
  }

  // ---------------------------------------------------------------- large documents

  // A key typed while a long document is still being measured: the
  // measuring goes on to the end, and every paragraph ends up laid out at
  // its real height, each below the one before.
  void editWhileTheLayoutRunsKeepsTheWholeDocument() {
    QByteArray bytes;
    for (int i = 0; bytes.size() < (1 << 20); ++i)
      bytes += "\xA7\xB8\xA1 \xC0\xA1\xCE paragraph " + QByteArray::number(i) + "\n";
    writeFile(path("long.txt"), bytes);
    TEditForm* f = openDocument(path("long.txt"));
    QVERIFY(f);
    QTextDocument* doc = f->Editor->document();
    QVERIFY(!f->Editor->layoutComplete());
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "x");
    QTRY_VERIFY_WITH_TIMEOUT(f->Editor->layoutComplete(), 60000);
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    qreal y = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      const QTextLayout* tl = b.layout();
      QVERIFY(tl->lineCount() > 0);
      const QRectF r = layout->blockBoundingRect(b);
      QCOMPARE(r.top(), y);
      QCOMPARE(r.height(), qreal(TDocumentLayout::linesHeight(b)));
      y = r.bottom();
    }
    QCOMPARE(layout->documentSize().height(), y);
  }

  // A key typed while the document is being measured is painted before the
  // measuring takes its next slice (a slice runs for milliseconds, the key
  // would wait for it), and the measuring goes on after the paint.
  void keyIsPaintedBeforeTheMeasuringGoesOn() {
    QByteArray bytes;
    for (int i = 0; bytes.size() < (1 << 20); ++i)
      bytes += "\xA7\xB8\xA1 \xC0\xA1\xCE paragraph " + QByteArray::number(i) + "\n";
    writeFile(path("paint-first.txt"), bytes);
    frame_->show();
    TEditForm* f = openDocument(path("paint-first.txt"));
    QVERIFY(f);
    setLayout(f, tolvan::Layout::Anjal, false);
    TEditor* e = f->Editor;
    QTest::qWait(20);
    QVERIFY(!e->layoutComplete());
    // How far the measuring has got: the first position not known measured.
    auto measuredTo = [e] {
      int lo = 0, hi = e->document()->characterCount();
      while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (e->textLayout()->measuredBefore(mid)) lo = mid; else hi = mid - 1;
      }
      return lo;
    };
    struct Watch : QObject {
      std::function<int()> progress;
      QObject* viewport = nullptr;
      int atKey = -1, atPaint = -1;
      bool eventFilter(QObject* o, QEvent* ev) override {
        if (ev->type() == QEvent::KeyRelease && atPaint < 0) atKey = progress();
        if (ev->type() == QEvent::Paint && o == viewport && atKey >= 0 && atPaint < 0) atPaint = progress();
        return false;
      }
    } watch;
    watch.progress = measuredTo;
    watch.viewport = e->viewport();
    e->installEventFilter(&watch);
    e->viewport()->installEventFilter(&watch);
    for (int k = 0; k < 5; ++k) {
      watch.atKey = watch.atPaint = -1;
      QCoreApplication::postEvent(e, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
      QCoreApplication::postEvent(e, new QKeyEvent(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
      QTRY_VERIFY(watch.atPaint >= 0);
      QCOMPARE(watch.atPaint, watch.atKey);
      QTest::qWait(10);
    }
    e->removeEventFilter(&watch);
    e->viewport()->removeEventFilter(&watch);
    QTRY_VERIFY_WITH_TIMEOUT(e->layoutComplete(), 60000);
    QCOMPARE(e->document()->firstBlock().text().left(5), QStringLiteral("xxxxx"));
    e->document()->setModified(false);
    f->Close1Click();
  }

  // A large document is measured only where it is shown or asked about.
  // These open a small one the same way: paragraphs of wide letters and of
  // narrow ones, in stretches, so that every estimate is well off the real
  // height (too short for the wide ones, too tall for the narrow ones).
  TEditForm* openMeasuredOnDemand(const QString& name, bool wideAtEnd) {
    QByteArray bytes;
    for (int i = 0; i < 1200; ++i) {
      const bool wide = (i / 40) % 2 == (wideAtEnd ? 1 : 0);
      const QByteArray word = wide ? "WWWWW " : "iiiii ";
      bytes += word.repeated(20 + i % 37) + "\n";
    }
    writeFile(path(name), bytes);
    frame_->show();
    TEditForm* f = frame_->CreateEditForm();
    f->Editor->textLayout()->setMeasureAllLimit(0);
    if (!f->OpenDocumentFile(path(name))) return nullptr;
    QTest::qWait(50);
    return f;
  }

  // Scrolling through text not measured before: what was on screen moves by
  // exactly what the scroll asked for, whichever way and however far, though
  // each step lays out text whose real height differs from its estimate.
  void scrollingMovesTheTextByTheScrollOnly_data() {
    QTest::addColumn<int>("action");
    QTest::newRow("line up") << int(QAbstractSlider::SliderSingleStepSub);
    QTest::newRow("line down") << int(QAbstractSlider::SliderSingleStepAdd);
    QTest::newRow("page up") << int(QAbstractSlider::SliderPageStepSub);
    QTest::newRow("page down") << int(QAbstractSlider::SliderPageStepAdd);
  }
  void scrollingMovesTheTextByTheScrollOnly() {
    QFETCH(int, action);
    TEditForm* f = openMeasuredOnDemand(QStringLiteral("scroll.txt"), true);
    QVERIFY(f);
    TEditor* e = f->Editor;
    TDocumentLayout* layout = e->textLayout();
    QScrollBar* bar = e->verticalScrollBar();
    // Somewhere in the middle, as a drag of the slider goes there.
    bar->setSliderDown(true);
    bar->setValue(bar->maximum() / 2);
    bar->setSliderDown(false);
    QTest::qWait(20);
    for (int step = 0; step < 12; ++step) {
      const QTextBlock mid = layout->blockAt(bar->value() + e->viewport()->height() / 2);
      const int onScreen = layout->blockTop(mid) - bar->value();
      const bool page = action == QAbstractSlider::SliderPageStepSub || action == QAbstractSlider::SliderPageStepAdd;
      const bool up = action == QAbstractSlider::SliderSingleStepSub || action == QAbstractSlider::SliderPageStepSub;
      const int asked = (page ? bar->pageStep() : bar->singleStep()) * (up ? -1 : 1);
      bar->triggerAction(QAbstractSlider::SliderAction(action));
      e->viewport()->repaint();
      QTest::qWait(20);
      QCOMPARE(layout->blockTop(mid) - bar->value(), onScreen - asked);
    }
    QVERIFY(!layout->complete());
    f->Close1Click();
  }

  // Going to the end through text not measured: Ctrl+End, or the slider
  // dragged to the bottom, shows the last line at the bottom of the view,
  // and it stays there while the text is painted and measured (Ctrl+End
  // asks for the caret's line count, which measures all of the text).
  void theEndIsTheRealEnd_data() {
    QTest::addColumn<bool>("ctrlEnd");
    QTest::addColumn<bool>("wideAtEnd");
    QTest::newRow("Ctrl+End, wide paragraphs at the end") << true << true;
    QTest::newRow("Ctrl+End, narrow paragraphs at the end") << true << false;
    QTest::newRow("slider to the end, wide") << false << true;
    QTest::newRow("slider to the end, narrow") << false << false;
  }
  void theEndIsTheRealEnd() {
    QFETCH(bool, ctrlEnd);
    QFETCH(bool, wideAtEnd);
    TEditForm* f = openMeasuredOnDemand(QStringLiteral("end.txt"), wideAtEnd);
    QVERIFY(f);
    TEditor* e = f->Editor;
    TDocumentLayout* layout = e->textLayout();
    QTextDocument* doc = e->document();
    QScrollBar* bar = e->verticalScrollBar();
    if (ctrlEnd) {
      QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    } else {
      bar->setSliderDown(true);
      bar->setValue(bar->maximum());
      bar->setSliderDown(false);
    }
    e->viewport()->repaint();
    QTest::qWait(20);
    const int h = e->viewport()->height();
    // The last line's bottom on screen.
    auto endOnScreen = [&] {
      const QTextBlock last = doc->lastBlock();
      return layout->blockTop(last) + last.lineCount() - bar->value();
    };
    QVERIFY(qAbs(endOnScreen() - h) <= 2);
    QCOMPARE(bar->value(), bar->maximum());
    const int end = endOnScreen();
    if (ctrlEnd) {
      QTRY_VERIFY_WITH_TIMEOUT(layout->complete(), 30000);
    } else {
      QTest::qWait(200);
      QVERIFY(!layout->complete());
    }
    e->viewport()->repaint();
    QCOMPARE(endOnScreen(), end);
    QCOMPARE(bar->value(), bar->maximum());
    if (ctrlEnd) {
      // The line count the status bar shows is the real one.
      int lines = 0;
      for (QTextBlock b = doc->begin(); b != doc->lastBlock(); b = b.next()) lines += b.layout()->lineCount();
      lines += doc->lastBlock().layout()->lineCount();
      const QTextLayout* tl = doc->lastBlock().layout();
      QCOMPARE(frame_->PanelText(1),
               TMainForm::FormatLineCol(lines, e->textCursor().position() -
                                                    (doc->lastBlock().position() +
                                                     tl->lineAt(tl->lineCount() - 1).textStart()) + 1));
    }
    f->Close1Click();
  }

  // Once a document is laid out and painted, the window is idle: nothing
  // keeps repainting or measuring (paragraphs with lists, indents and
  // alignment included), and a window resize is measured to the end again.
  void aLaidOutDocumentIsIdle() {
    QApplication::setCursorFlashTime(0);
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\qc Centred\\par"
        "\\pard\\li720\\fi360 Indented words words words words words words words words\\par"
        "\\pard{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\li720\\fi-360 Bullet\\par"
        "\\pard\\qj Justified words words words words words words words words words\\par}";
    writeFile(path("idle.rtf"), rtf);
    frame_->show();
    TEditForm* f = openDocument(path("idle.rtf"));
    QVERIFY(f);
    QTRY_VERIFY(f->Editor->layoutComplete());
    QTest::qWait(500);
    struct Paints : QObject {
      int n = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++n;
        return false;
      }
    } paints;
    f->Editor->viewport()->installEventFilter(&paints);
    QTest::qWait(1000);
    QCOMPARE(paints.n, 0);
    f->Editor->viewport()->removeEventFilter(&paints);
    frame_->resize(frame_->width() - 150, frame_->height());
    QTRY_VERIFY(f->Editor->layoutComplete());
    QApplication::setCursorFlashTime(1000);
  }

  // A large RTF file's start is painted while it opens, before the rest of
  // the file is read: that paint sees the document's first paragraphs in
  // their formats, nothing to undo and no modification; once open, the
  // document holds the whole file.
  void aLargeRtfFileIsPaintedFromItsStartWhileItOpens() {
    const QByteArray words = QByteArray("plain words ").repeated(35);
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 ";
    for (int i = 0; i < 6000; ++i) rtf += "{\\b bold} " + words + "{\\i italic}\\par ";
    rtf += "{\\b last}}";
    QVERIFY(rtf.size() > (3 << 20) / 2);
    writeFile(path("large.rtf"), rtf);
    frame_->show();
    TEditForm* f = frame_->CreateEditForm();
    QTextDocument* doc = f->Editor->document();
    auto boldAt = [doc](int position) {
      QTextCursor c(doc);
      c.setPosition(position + 1);  // the format of the character before
      return c.charFormat().fontWeight() == QFont::Bold;
    };
    struct FirstPaint : QObject {
      std::function<void()> look;
      bool seen = false;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && !seen) look();
        return false;
      }
    } first;
    QString text;
    bool startBold = false, modified = true, undo = true;
    first.look = [&] {
      if (doc->isEmpty()) return;
      first.seen = true;
      text = doc->toRawText();
      startBold = boldAt(0) && !boldAt(5) && !boldAt(text.indexOf(QLatin1String("italic")) + 1);
      modified = doc->isModified();
      undo = doc->isUndoAvailable();
    };
    f->Editor->viewport()->installEventFilter(&first);
    QVERIFY(f->OpenDocumentFile(path("large.rtf")));
    f->Editor->viewport()->removeEventFilter(&first);
    QVERIFY(first.seen);
    QVERIFY(text.size() < doc->characterCount() / 2);  // painted before the rest was read
    QVERIFY(doc->toRawText().startsWith(text));
    QVERIFY(startBold);
    QVERIFY(!modified);
    QVERIFY(!undo);
    QCOMPARE(doc->blockCount(), 6001);
    const int last = doc->lastBlock().position();
    QVERIFY(boldAt(last));
    QVERIFY(!boldAt(last - 4));  // in "italic"
    QVERIFY(!doc->isModified());
    QVERIFY(!doc->isUndoAvailable());
    QCOMPARE(f->Editor->textCursor().position(), 0);
    f->Close1Click();
  }

  // What the window shows of a file just opened, before anything is typed:
  // the first paragraph's letters are drawn (ink in its lines), as are the
  // second's, with the page left white beside and below them.
  void anOpenedFileIsDrawnFromItsFirstParagraph_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain, LF") << QByteArray("WWWW first paragraph\nMMMM second\n") << "first.txt";
    QTest::newRow("plain, CR LF, Tamil") << QByteArray("\xA7\xB8\xA1 \xC0\xA1\xCE\r\nMMMM second\r\n") << "tamil.txt";
    QTest::newRow("one line") << QByteArray("WWWW only") << "one.txt";
    QTest::newRow("rtf") << QByteArray("{\\rtf1\\ansi WWWW first\\par MMMM second\\par}") << "first.rtf";
  }
  void anOpenedFileIsDrawnFromItsFirstParagraph() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    writeFile(path(name), bytes);
    frame_->show();
    TEditForm* f = openDocument(path(name));
    QVERIFY(f);
    QTRY_VERIFY(f->Editor->layoutComplete());
    QCoreApplication::processEvents();
    const QImage shot = f->Editor->viewport()->grab().toImage();
    TDocumentLayout* layout = f->Editor->textLayout();
    QTextDocument* doc = f->Editor->document();
    // Dark pixels within a band of the view.
    auto ink = [&](int top, int bottom) {
      int n = 0;
      for (int y = qMax(0, top); y < qMin(bottom, shot.height()); ++y)
        for (int x = 0; x < shot.width(); ++x)
          if (qGray(shot.pixel(x, y)) < 128) ++n;
      return n;
    };
    const QTextBlock first = doc->firstBlock();
    const int firstTop = layout->blockTop(first);
    const int firstBottom = firstTop + first.lineCount();
    QVERIFY2(ink(firstTop, firstBottom) > 20, "the first paragraph is not drawn");
    if (first.next().isValid() && first.next().length() > 1)
      QVERIFY2(ink(firstBottom, firstBottom + first.next().lineCount()) > 20, "the second paragraph is not drawn");
    const int end = layout->blockTop(doc->lastBlock()) + doc->lastBlock().lineCount();
    QCOMPARE(ink(end + 2, shot.height()), 0);
  }

  // A file of one long line (a paragraph the layout draws in pieces): the
  // window shows its start at once, and the caret keys and typing work where
  // the caret is, with the view following the caret.
  void aLongParagraphEditsWhereTheCaretIs() {
    QByteArray line;
    for (int i = 0; line.size() < 300000; ++i) line += "w" + QByteArray::number(i) + (i % 7 ? " " : " \xA7\xB8\xA1 ");
    writeFile(path("line.txt"), line);
    frame_->show();
    TEditForm* f = openDocument(path("line.txt"));
    QVERIFY(f);
    TEditor* e = f->Editor;
    setLayout(f, tolvan::Layout::Anjal, false);
    TDocumentLayout* layout = e->textLayout();
    QTextDocument* doc = e->document();
    QCOMPARE(doc->blockCount(), 1);
    QVERIFY(layout->pieceCount(doc->firstBlock()) > 10);
    QCoreApplication::processEvents();
    auto caretInView = [&] {
      const QRectF r = layout->caretRect(e->textCursor().position()).translated(0, -e->verticalScrollBar()->value());
      return r.top() >= 0 && r.bottom() <= e->viewport()->height();
    };
    auto lineTop = [&] { return layout->caretRect(e->textCursor().position()).top(); };
    QVERIFY(caretInView());

    // Down three lines and to the end of that line: the caret stays in its
    // column's line, End stops before the space that broke the line.
    const qreal lineHeight = layout->caretRect(0).height();
    for (int i = 0; i < 3; ++i) QTest::keyClick(e, Qt::Key_Down);
    QCOMPARE(lineTop(), 3 * lineHeight);
    QTest::keyClick(e, Qt::Key_End);
    QCOMPARE(lineTop(), 3 * lineHeight);
    const int end = e->textCursor().position();
    QCOMPARE(doc->characterAt(end), QChar(u' '));
    QTest::keyClick(e, Qt::Key_Home);
    QCOMPARE(lineTop(), 3 * lineHeight);
    QVERIFY(e->textCursor().position() < end - 20);
    QCOMPARE(doc->characterAt(e->textCursor().position() - 1), QChar(u' '));
    QTest::keyClick(e, Qt::Key_Up);
    QCOMPARE(lineTop(), 2 * lineHeight);
    QTest::keyClick(e, Qt::Key_Right);
    QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(e->textCursor().selectedText().size(), 1);

    // To the end of the text, far below: the view follows, a key lands there.
    QTest::keyClick(e, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QVERIFY(caretInView());
    QTest::keyClicks(e, "zq");
    QVERIFY(textOf(f).endsWith("zq"));
    QVERIFY(caretInView());
    // Page Up moves the caret and the view by a page; Delete takes one
    // character after the caret.
    const int before = e->textCursor().position();
    QTest::keyClick(e, Qt::Key_PageUp);
    QVERIFY(e->textCursor().position() < before - 100);
    QVERIFY(caretInView());
    const int at = e->textCursor().position();
    const QChar next = doc->characterAt(at + 1);
    QTest::keyClick(e, Qt::Key_Delete);
    QCOMPARE(doc->characterAt(at), next);
    QCOMPARE(textOf(f).size(), line.size() + 2 - 1);
    // A click finds the character drawn under the pointer.
    const QRectF r = layout->caretRect(at).translated(0, -e->verticalScrollBar()->value());
    QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, QPoint(int(r.left()) + 1, int(r.center().y())));
    QCOMPARE(e->textCursor().position(), at);
  }

  // ---------------------------------------------------------------- Unicode input

  void unicodeTamilPasteBecomesTscii() {
    TEditForm* f = newDocument();
    QGuiApplication::clipboard()->setText(QStringLiteral("கோ a"));
    f->mmPasteClick();
    QCOMPARE(textOf(f), QByteArray("\xA7\xB8\xA1 a"));
    // A vowel sign arriving on its own joins the consonant before it.
    f->Editor->insertPlainBytesText(QStringLiteral("க"));
    f->Editor->insertPlainBytesText(QString(QChar(0x0BCA)));
    QCOMPARE(textOf(f), QByteArray("\xA7\xB8\xA1 a\xA6\xB8\xA1"));
  }

  // Text from other programs, plain or HTML, follows one rule: Tamil goes
  // through the bridge to TSCII; a character TSCII has no code for is not
  // inserted as the TSCII letter that shares its byte but replaced by "?"
  // (kept as it is above U+00FF), and all of them are named in one box.
  void pasteFromOtherPrograms_data() {
    QTest::addColumn<bool>("html");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("plain Tamil") << false << QStringLiteral("கோ a") << QByteArray("\xA7\xB8\xA1 a")
                                 << QStringList();
    QTest::newRow("plain Latin-1") << false << QStringLiteral("café கோ é")
                                   << QByteArray("caf? \xA7\xB8\xA1 ?")
                                   << QStringList{QStringLiteral("U+00E9 é (2 times)")};
    QTest::newRow("plain beyond U+00FF")
        << false << QStringLiteral("€ü") << QByteArray("<wide>")
        << QStringList{QStringLiteral("U+20AC €"), QStringLiteral("U+00FC ü")};
    QTest::newRow("html Tamil")
        << true
        << QStringLiteral("<p><b style=\"font-family:'Noto Sans Tamil'\">கோ</b>&nbsp;a</p>")
        << QByteArray("\xA7\xB8\xA1 a") << QStringList();
    QTest::newRow("html Latin-1")
        << true << QStringLiteral("<p>caf&eacute; <i>கோ</i></p><p>two</p>")
        << QByteArray("caf? \xA7\xB8\xA1\rtwo") << QStringList{QStringLiteral("U+00E9 é")};
  }
  void pasteFromOtherPrograms() {
    QFETCH(bool, html);
    QFETCH(QString, payload);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, listed);
    TEditForm* f = newDocument();
    auto* md = new QMimeData;
    if (html) {
      md->setHtml(payload);
      md->setText(QStringLiteral("unused plain form"));
    } else {
      md->setText(payload);
    }
    QGuiApplication::clipboard()->setMimeData(md);
    prompts_.shown.clear();
    f->mmPasteClick();
    QCOMPARE(textOf(f), bytes);
    if (listed.isEmpty()) {
      QCOMPARE(prompts_.shown, QStringList());
    } else {
      QCOMPARE(prompts_.shown.size(), 1);
      for (const QString& line : listed)
        QVERIFY2(prompts_.shown[0].split(u'\n').contains(line), qPrintable(prompts_.shown[0]));
    }
    if (html) {
      // The Tamil is shown in the document's TSCII font, not in the
      // Unicode font the web page named.
      QTextCursor c(f->Editor->document());
      c.setPosition(1);
      QVERIFY(!c.charFormat().fontFamilies().toStringList().contains(QStringLiteral("Noto Sans Tamil")));
    }
  }

  // With no folder stored yet, Open and a new document's Save As start in
  // the user's home folder, not in the program's.
  void firstRunDialogsStartAtHome() {
    QTemporaryDir other;
    const QByteArray oldIni = qgetenv("TOLVAN_INI");
    qputenv("TOLVAN_INI", other.filePath(QStringLiteral("Tolvan.ini")).toLocal8Bit());
    FolderRecordingPrompts recording;
    Prompts::setInstance(&recording);
    {
      TMainForm frame(other.path());
      const QString home = QDir::homePath() + u'/';
      QCOMPARE(frame.workDir(), home);
      frame.Open1Click();  // cancelled: no file queued
      frame.New1Click();
      TEditForm* f = frame.ActiveEditForm();
      QVERIFY(f);
      f->Saveas1Click();  // cancelled too
      QCOMPARE(recording.folders, QStringList({home, home + f->Title()}));
    }
    Prompts::setInstance(&prompts_);
    qputenv("TOLVAN_INI", oldIni);
  }

  // Files from a file manager dropped on the text open as documents; text
  // dragged from another program still drops into the text.
  void dropsOnTheText_data() {
    QTest::addColumn<bool>("files");
    QTest::newRow("files") << true;
    QTest::newRow("text") << false;
  }
  void dropsOnTheText() {
    QFETCH(bool, files);
    writeFile(path("drop1.txt"), "one");
    writeFile(path("drop2.txt"), "two");
    TEditForm* f = newDocument();
    const int before = frame_->EditForms().size();
    QMimeData md;
    if (files)
      md.setUrls({QUrl::fromLocalFile(path("drop1.txt")), QUrl::fromLocalFile(path("drop2.txt"))});
    else
      md.setText(QStringLiteral("dragged"));
    QWidget* vp = f->Editor->viewport();
    const QPoint at(20, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &md, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction, &md, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &move);
    QDropEvent drop(at, Qt::CopyAction, &md, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &drop);
    QVERIFY(drop.isAccepted());
    QCoreApplication::processEvents();
    if (files) {
      QCOMPARE(frame_->EditForms().size(), before + 2);
      QStringList titles;
      for (TEditForm* g : frame_->EditForms()) titles << g->Title();
      QVERIFY(titles.contains(path("drop1.txt")));
      QVERIFY(titles.contains(path("drop2.txt")));
      QCOMPARE(textOf(f), QByteArray(""));
    } else {
      QCOMPARE(frame_->EditForms().size(), before);
      QCOMPARE(textOf(f), QByteArray("dragged"));
    }
  }

  void editCommands() {
    TEditForm* f = newDocument();
    setLayout(f, tolvan::Layout::Anjal, false);
    typeKeys(f, "abc");
    f->Selectall1Click();
    f->mmCutClick();
    QCOMPARE(textOf(f), QByteArray(""));
    f->mmPasteClick();
    f->mmPasteClick();
    QCOMPARE(textOf(f), QByteArray("abcabc"));
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(1);
    c.setPosition(4, QTextCursor::KeepAnchor);
    f->Editor->setTextCursor(c);
    f->mmDeleteClick();
    QCOMPARE(textOf(f), QByteArray("abc"));
    QVERIFY(f->WordWrap1->isChecked());
    f->Wordwrap1Click();
    QVERIFY(!f->WordWrap1->isChecked());
    QCOMPARE(f->Editor->lineWrapMode(), QTextEdit::NoWrap);
    f->Wordwrap1Click();
    QCOMPARE(f->Editor->lineWrapMode(), QTextEdit::WidgetWidth);
  }
};

QTEST_MAIN(EditFormTest)
#include "edit_form_test.moc"
