// The Convert menu on Unicode documents: the selection converters giving
// Unicode, TSCII to TAB refusing, font maps through the bridge, Export and
// Import, and converting a whole document between TSCII and Unicode with one
// undo step.
#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "../window_test_util.h"
#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "core/convert/unicode_bridge.h"
#include "core/settings/profile_file.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/frame/led.h"
#include "windows/frame/main_form.h"

using tolvan::Prompts;
using tolvan::TextEncoding;
using window_test::readFile;
using window_test::textOf;

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

// What the bridge makes of TSCII, with breaks as the editor's text gives them.
QString bridged(const std::string& tscii) {
  QString s = QString::fromStdString(tolvan::TsciiToUnicode(tscii));
  s.replace(u'\r', u'\n');
  return s;
}

void select(TEditForm* f, int from, int to) {
  QTextCursor c = f->Editor->textCursor();
  c.setPosition(from);
  c.setPosition(to, QTextCursor::KeepAnchor);
  f->Editor->setTextCursor(c);
}

void forgetHistory(TEditForm* f) {
  f->Editor->document()->clearUndoRedoStacks();
  f->Editor->document()->setModified(false);
}

enum class Cmd { Mylai, Anjal, Roman };

QAction* menuItem(TEditForm* f, Cmd c) {
  TConvertCommands* k = f->ConvertCommands;
  switch (c) {
    case Cmd::Mylai: return k->MylaitoTSCII1;
    case Cmd::Anjal: return k->AnjaltoTSCII2;
    case Cmd::Roman: return k->RomantoTSCII2;
  }
  return nullptr;
}

}  // namespace

Q_DECLARE_METATYPE(Cmd)

class ConvertUnicodeDocumentTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }

  TEditForm* newDocument() {
    frame_->New1Click();
    return frame_->ActiveEditForm();
  }
  TEditForm* unicodeDocument(const QString& text) {
    TEditForm* f = newDocument();
    f->setEncoding(TextEncoding::Unicode);
    f->Editor->setPlainText(text);
    forgetHistory(f);
    return f;
  }
  TEditForm* tsciiDocument(const QByteArray& bytes) {
    TEditForm* f = newDocument();
    tolvan::setDocumentBytes(f->Editor->document(), bytes);
    forgetHistory(f);
    return f;
  }
  // Registers one font map and returns a new document's item for it.
  QAction* fontMapItem(TEditForm** made, const std::string& fileBytes, const QString& text) {
    const QString file = path("map.tol");
    tolvan::WriteFileBytes(file.toStdString(), fileBytes);
    {
      tolvan::ProfileFile p(path("Tolvan.ini").toStdString());
      p.WriteInteger("Tolvan", "FontConversionMenus", 1);
      p.WriteString("Tolvan", "FontConversionMenu_1", file.toStdString());
    }
    *made = unicodeDocument(text);
    tolvan::ProfileFile p(path("Tolvan.ini").toStdString());
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
    const auto items = (*made)->ConvertCommands->Convert->actions();
    return items.size() == 1 ? items.first() : nullptr;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    frame_->FinishStartup();
    prompts_.reset();
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

  // ---------------------------------------------------------------- selection converters

  // The converter's TSCII result comes in as Unicode; only the selection
  // changes, what the converter does not read stays as it is, and one undo
  // gives the text back.
  void selectionConvertersGiveUnicode_data() {
    QTest::addColumn<Cmd>("cmd");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("converted");
    QTest::newRow("roman") << Cmd::Roman << u8("vaNakkam") << u8("வணக்கம்");
    QTest::newRow("anjal reads the font's upper half")
        << Cmd::Anjal << u8("\u008E\u00FF abc") << u8("கிநீ abc");
    // இ is the letter, not the TSCII byte the editor shows it for.
    QTest::newRow("roman keeps Unicode Tamil and accented letters")
        << Cmd::Roman << u8("vaNakkam இ café")
        << bridged(tolvan::RomanToTscii("vaNakkam ")) + u8("இ") + bridged(tolvan::RomanToTscii(" caf")) +
               u8("é");
    QTest::newRow("mylai over two paragraphs")
        << Cmd::Mylai << u8("thamizf\u2029kaa") << bridged(tolvan::MylaiToTscii("thamizf\rkaa"));
  }
  void selectionConvertersGiveUnicode() {
    QFETCH(Cmd, cmd);
    QFETCH(QString, selected);
    QFETCH(QString, converted);
    const QString before = u8("முன் ");
    const QString after = u8(" பின்");
    TEditForm* f = unicodeDocument(before + selected + after);
    select(f, int(before.size()), int(before.size() + selected.size()));
    menuItem(f, cmd)->trigger();
    converted.replace(QChar(0x2029), u'\n');
    QCOMPARE(f->Editor->toPlainText(), before + converted + after);
    QVERIFY(f->Editor->isUnicode());
    QVERIFY(prompts_.shown.isEmpty());
    QCOMPARE(prompts_.beeps, 1);
    QVERIFY(!frame_->Light->isLit());
    f->UnDo1Click();
    selected.replace(QChar(0x2029), u'\n');
    QCOMPARE(f->Editor->toPlainText(), before + selected + after);
    QVERIFY(!f->Editor->document()->isUndoAvailable());
  }

  // TAB bytes mean nothing in Unicode text: both items refuse and say why.
  void tsciiToTabRefusesInAUnicodeDocument() {
    TEditForm* f = unicodeDocument(u8("வணக்கம் abc"));
    f->Selectall1Click();
    f->ConvertCommands->TSCIItoTAB2->trigger();
    f->ConvertCommands->TSCIItoTAB1->trigger();  // the popup menu's item
    QCOMPARE(f->Editor->toPlainText(), u8("வணக்கம் abc"));
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY2(prompts_.shown[0].contains(QStringLiteral("this document is Unicode")), qPrintable(prompts_.shown[0]));
    QVERIFY(prompts_.shown[0].contains(QStringLiteral("Convert Document to TSCII")));
    QCOMPARE(prompts_.beeps, 0);
  }

  // ---------------------------------------------------------------- font maps

  // The map sees the selection's TSCII (a prefix vowel sign before its
  // consonant; a character up to U+00FF as a source font's code when the map
  // has an entry for it) and its result is read as TSCII; what TSCII has no
  // code for and letters the map does not name (ü) stay in place.
  void fontMapGoesThroughTheBridge() {
    tolvan::FontMap map;
    map.sourceFont = "A";
    map.targetFont = "B";
    map.cell(0xB8) = "\xC0";  // ka -> pa
    map.cell('a') = "b";
    map.cell(0xE9) = "\xB8";  // a code of another font -> ka
    TEditForm* f = nullptr;
    QAction* item = fontMapItem(&f, tolvan::WriteFontMap(map), u8("[கெ கா a ✓ \u00E9 \u00FC இ]"));
    QVERIFY(item);
    select(f, 1, int(f->Editor->toPlainText().size()) - 1);
    item->trigger();
    QCOMPARE(f->Editor->toPlainText(), u8("[பெ பா b ✓ க \u00FC இ]"));
    QVERIFY(prompts_.shown.isEmpty());
    f->UnDo1Click();
    QCOMPARE(f->Editor->toPlainText(), u8("[கெ கா a ✓ \u00E9 \u00FC இ]"));
  }

  // The size check holds in a Unicode document too: a result past the limit
  // is refused before it is made.
  void fontMapPastTheLimitIsRefused() {
    const std::string huge(15 << 20, 'z');
    TEditForm* f = nullptr;
    QAction* item = fontMapItem(&f, "Source=A\r\nTarget=B\r\n\xB8=" + huge + "\r\n",
                                QString(20000, QChar(0x0B95)) + u8("\ntail"));
    QVERIFY(item);
    select(f, 0, 20000);
    item->trigger();
    QCOMPARE(f->Editor->toPlainText(), QString(20000, QChar(0x0B95)) + u8("\ntail"));
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QCOMPARE(prompts_.shown.size(), 1);
    QVERIFY2(prompts_.shown.first().contains(QStringLiteral("too large")), qPrintable(prompts_.shown.first()));
  }

  // ---------------------------------------------------------------- menu state

  // The items that make sense for the document's encoding, changing with it;
  // the frame shows the active document's menus.
  void convertMenuFollowsTheEncoding() {
    TEditForm* t = newDocument();
    TEditForm* u = unicodeDocument(u8("வணக்கம்"));
    TConvertCommands* k = u->ConvertCommands;
    QVERIFY(!k->ConvertToUnicode1->isEnabled());
    QVERIFY(k->ConvertToTscii1->isEnabled());
    QVERIFY(!k->ImportUnicode1->isEnabled());
    QVERIFY(k->ExportUnicode1->isEnabled());
    QCOMPARE(k->MylaitoTSCII1->text(), QStringLiteral("Mylai to Unicode"));
    QCOMPARE(k->AnjaltoTSCII1->text(), QStringLiteral("Anjal to Unicode"));
    QCOMPARE(k->RomantoTSCII2->text(), QStringLiteral("Roman to Unicode"));
    QCOMPARE(k->TSCIItoTAB2->text(), QStringLiteral("TSCII to TAB"));
    // The TSCII window beside it keeps its own state.
    TConvertCommands* kt = t->ConvertCommands;
    QVERIFY(kt->ConvertToUnicode1->isEnabled());
    QVERIFY(!kt->ConvertToTscii1->isEnabled());
    QVERIFY(kt->ImportUnicode1->isEnabled());
    QCOMPARE(kt->MylaitoTSC1->text(), QStringLiteral("Mylai to TSCII"));
    frame_->MdiArea()->setActiveSubWindow(t->subWindow());
    QVERIFY(frame_->menuBar()->actions().contains(t->Convert1->menuAction()));
    QVERIFY(!frame_->menuBar()->actions().contains(u->Convert1->menuAction()));
    // The encoding switched back: the TSCII state again.
    u->setEncoding(TextEncoding::Tscii);
    QVERIFY(k->ConvertToUnicode1->isEnabled());
    QVERIFY(!k->ConvertToTscii1->isEnabled());
    QVERIFY(k->ImportUnicode1->isEnabled());
    QCOMPARE(k->RomantoTSCII1->text(), QStringLiteral("Roman to TSCII"));
    const auto items = u->Convert1->actions();
    QCOMPARE(items.last(), k->ConvertToTscii1);
    QCOMPARE(items.at(items.size() - 2), k->ConvertToUnicode1);
    QCOMPARE(k->ConvertToUnicode1->text(), QStringLiteral("Convert Document to Unicode"));
    QCOMPARE(k->ConvertToTscii1->text(), QStringLiteral("Convert Document to TSCII"));
    // The editor's encoding set without the window: the menu is right when
    // it opens.
    u->Editor->setEncoding(TextEncoding::Unicode);
    emit u->Convert1->aboutToShow();
    QVERIFY(k->ConvertToTscii1->isEnabled());
    QCOMPARE(k->MylaitoTSCII1->text(), QStringLiteral("Mylai to Unicode"));
  }

  // Export of a Unicode document writes the text it holds as UTF-8, with no
  // remarks; the document keeps its file.
  void exportWritesAUnicodeDocumentAsItIs() {
    TEditForm* f = unicodeDocument(u8("வணக்கம் ✓\ncafé"));
    const QString out = path("u-unicode.txt");
    prompts_.files.push_back({out});
    f->ConvertCommands->ExportUnicode1->trigger();
    QCOMPARE(readFile(out), QByteArray("வணக்கம் ✓\ncafé"));
    QCOMPARE(prompts_.shown, QStringList({"Export as Unicode Text"}));
    QVERIFY(!f->isModified());
  }

  // ---------------------------------------------------------------- whole document

  // To Unicode and back: the text through the bridge, paragraphs, their
  // formats and the runs' formats kept, the encoding switched; undo gives
  // back the text and the encoding together, redo both again.
  void convertDocumentBothWaysWithUndo() {
    // கோ வணக்கம் / அம்மா இ, the second word bold, the second paragraph
    // centred (இ is the byte the editor shows as the Unicode letter).
    const QByteArray tscii("\xA7\xB8\xA1 \xC5\xBD\xEC\xB8\xF5\r\xAB\xF5\xC1\xA1 \xAD");
    TEditForm* f = tsciiDocument(tscii);
    QTextDocument* doc = f->Editor->document();
    {
      QTextCursor c(doc);
      c.setPosition(4);
      c.setPosition(9, QTextCursor::KeepAnchor);
      QTextCharFormat bold;
      bold.setFontWeight(QFont::Bold);
      bold.setFontPointSize(20);
      c.mergeCharFormat(bold);
      QTextCursor second(doc->findBlockByNumber(1));
      QTextBlockFormat centre;
      centre.setAlignment(Qt::AlignHCenter);
      second.mergeBlockFormat(centre);
      forgetHistory(f);
    }
    QList<bool> lit, hourglass;
    connect(doc, &QTextDocument::contentsChange, this, [&] {
      lit << frame_->Light->isLit();
      hourglass << (QApplication::overrideCursor() != nullptr);
    });
    QSignalSpy announced(f, &TEditForm::encodingChanged);
    select(f, 8, 8);  // after வணக்க

    f->ConvertCommands->ConvertToUnicode1->trigger();
    QCOMPARE(f->Editor->textCursor().position(), 8);  // the same place
    QVERIFY(prompts_.shown.isEmpty());
    QVERIFY(f->Editor->isUnicode());
    QCOMPARE(announced.size(), 1);
    QCOMPARE(f->Editor->toPlainText(), u8("கோ வணக்கம்\nஅம்மா இ"));
    QCOMPARE(doc->blockCount(), 2);
    QCOMPARE(doc->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
    {
      QTextCursor c(doc);
      c.setPosition(5);  // inside வணக்கம்
      QCOMPARE(c.charFormat().fontWeight(), int(QFont::Bold));
      QCOMPARE(c.charFormat().fontPointSize(), 20.0);
      c.setPosition(2);  // after கோ
      QVERIFY(c.charFormat().fontWeight() != int(QFont::Bold));
    }
    QVERIFY(!lit.isEmpty());
    QCOMPARE(lit, QList<bool>(lit.size(), true));
    QCOMPARE(hourglass, QList<bool>(lit.size(), true));
    QVERIFY(!frame_->Light->isLit());
    QVERIFY(!QApplication::overrideCursor());
    doc->disconnect(this);

    f->UnDo1Click();
    QCOMPARE(textOf(f), tscii);
    QVERIFY(!f->Editor->isUnicode());
    QCOMPARE(announced.size(), 2);
    QVERIFY(!f->isModified());
    QVERIFY(!doc->isUndoAvailable());
    QVERIFY(f->ConvertCommands->ConvertToUnicode1->isEnabled());
    f->Redo1Click();
    QVERIFY(f->Editor->isUnicode());
    QCOMPARE(f->Editor->toPlainText(), u8("கோ வணக்கம்\nஅம்மா இ"));

    // Back to TSCII: the same bytes (nothing to ask about), one more step.
    f->ConvertCommands->ConvertToTscii1->trigger();
    QVERIFY(prompts_.shown.isEmpty());
    QVERIFY(!f->Editor->isUnicode());
    QCOMPARE(textOf(f), tscii);
    QCOMPARE(doc->findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
    f->UnDo1Click();
    QVERIFY(f->Editor->isUnicode());
    QCOMPARE(f->Editor->toPlainText(), u8("கோ வணக்கம்\nஅம்மா இ"));
    QVERIFY(doc->isUndoAvailable());
  }

  // A letter whose parts have different formats is converted whole, in the
  // first part's format; a line break inside a paragraph stays one, and a
  // character a TSCII document kept as it came (pasted Chinese) stays; an
  // empty document only changes encoding, and undo changes it back.
  void convertDocumentKeepsLettersWhole() {
    TEditForm* f = tsciiDocument("\xA6\xB8 x");
    QTextDocument* doc = f->Editor->document();
    {
      QTextCursor c(doc);
      c.setPosition(1);
      c.setPosition(2, QTextCursor::KeepAnchor);
      QTextCharFormat bold;
      bold.setFontWeight(QFont::Bold);
      c.mergeCharFormat(bold);
      c.movePosition(QTextCursor::End);
      c.insertText(QString(QChar(QChar::LineSeparator)) + QStringLiteral("\xB8\u4E2D"));
      forgetHistory(f);
    }
    f->ConvertCommands->ConvertToUnicode1->trigger();
    QCOMPARE(doc->toRawText(), u8("கெ x\u2028க\u4E2D"));
    QTextCursor letter(doc);
    letter.setPosition(2);  // after கெ, which took the sign's plain format
    QVERIFY(letter.charFormat().fontWeight() != int(QFont::Bold));

    TEditForm* g = newDocument();
    g->ConvertCommands->ConvertToUnicode1->trigger();
    QVERIFY(g->Editor->isUnicode());
    QVERIFY(prompts_.shown.isEmpty());
    g->UnDo1Click();
    QVERIFY(!g->Editor->isUnicode());
  }

  // To TSCII lists what TSCII has no code for (each character once, with its
  // count; the first fifteen, then how many more) and changes nothing unless
  // the user says Yes. Then those above U+00FF stay and the others become '?'.
  void toTsciiListsWhatTsciiCannotHold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("converted");  // a TSCII document's characters
    QTest::newRow("a few") << u8("வணக்கம் ✓ café ✓ é")
                           << QStringList({u8("4 characters of this document (2 different)"),
                                           u8("U+2713 ✓ (2 times)"), u8("U+00E9 é (2 times)")})
                           << QString::fromLatin1("\xC5\xBD\xEC\xB8\xF5 ") + u8("✓ caf? ✓ ?");
    // (QString::fromUtf8 would take a leading U+FEFF for a byte order mark.)
    const QChar zwnbsp(0xFEFF);
    QTest::newRow("zero width no-break space")
        << zwnbsp + u8("க\u2028") + zwnbsp
        << QStringList({u8("2 characters of this document (1 different)"), u8("U+FEFF")})
        << zwnbsp + u8("\u00B8\u2028") + zwnbsp;
    QString many;
    for (char16_t c = 0x4E00; c < 0x4E00 + 20; ++c) many += QChar(c);
    QTest::newRow("more than a box shows")
        << many + u8("க") << QStringList({u8("20 characters of this document (20 different)"),
                                          u8("U+4E0E \u4E0E"), u8("... and 5 more")})
        << many + QString::fromLatin1("\xB8");
  }
  void toTsciiListsWhatTsciiCannotHold() {
    QFETCH(QString, text);
    QFETCH(QStringList, listed);
    QFETCH(QString, converted);
    TEditForm* f = unicodeDocument(text);
    prompts_.answers = {Prompts::Answer::No};
    f->ConvertCommands->ConvertToTscii1->trigger();
    QCOMPARE(prompts_.shown.size(), 1);
    for (const QString& line : listed)
      QVERIFY2(prompts_.shown.first().contains(line), qPrintable(prompts_.shown.first()));
    QVERIFY(!prompts_.shown.first().contains(u8("U+0B")));  // Tamil has its codes
    QCOMPARE(f->Editor->document()->toRawText(), text);
    QVERIFY(f->Editor->isUnicode());
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QVERIFY(!f->isModified());

    prompts_.answers = {Prompts::Answer::Yes};
    f->ConvertCommands->ConvertToTscii1->trigger();
    QCOMPARE(prompts_.shown.size(), 2);
    QCOMPARE(prompts_.shown[1], prompts_.shown[0]);
    QVERIFY(!f->Editor->isUnicode());
    QCOMPARE(f->Editor->document()->toRawText(), converted);
    f->UnDo1Click();
    QVERIFY(f->Editor->isUnicode());
    QCOMPARE(f->Editor->document()->toRawText(), text);
  }
};

QTEST_MAIN(ConvertUnicodeDocumentTest)
#include "convert_unicode_document_test.moc"
