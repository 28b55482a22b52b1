// Typing in a Unicode document window: the same keys typed into a TSCII
// document leave the bridge's conversion of its text, key by key, undo step
// by undo step, with the caret at the end or inside the text.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "../window_test_util.h"
#include "core/convert/unicode_bridge.h"
#include "core/input/keyboard.h"
#include "platform/prompts.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/document/tamil_line_edit.h"
#include "windows/frame/main_form.h"

using window_test::textOf;

namespace {

void typeKey(TEditForm* f, char c) {
  if (c == '\b')
    QTest::keyClick(f->Editor, Qt::Key_Backspace);
  else if (c == '\r')
    QTest::keyClick(f->Editor, Qt::Key_Return);
  else
    QTest::keyClick(f->Editor, c);
}

// The Unicode document's text as UTF-8, paragraphs joined by CR as textOf
// joins a TSCII document's.
QByteArray unicodeOf(TEditForm* f) {
  QString t = f->Editor->document()->toRawText();
  t.replace(QChar::ParagraphSeparator, QLatin1Char('\r'));
  return t.toUtf8();
}

QByteArray bridged(const QByteArray& tscii) {
  const std::string u = tolvan::TsciiToUnicode(std::string_view(tscii.constData(), size_t(tscii.size())));
  return QByteArray(u.data(), qsizetype(u.size()));
}

}  // namespace

class UnicodeTypingTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  TEditForm* newDocument(tolvan::TextEncoding encoding) {
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    f->setEncoding(encoding);
    return f;
  }
  static void setLayout(TEditForm* f, tolvan::Layout layout, bool tamil) {
    switch (layout) {
      case tolvan::Layout::Anjal: f->mmAnjalKBClick(); break;
      case tolvan::Layout::Mylai: f->mmMylaiKBClick(); break;
      case tolvan::Layout::Typewriter: f->mmTypeKBClick(); break;
      case tolvan::Layout::Roman: f->mmRomanKBClick(); break;
    }
    if (f->isTamilMode() != tamil) f->mmTamilKBClick();
  }
  // A TSCII and a Unicode document in the same layout; the typing state is
  // shared by all windows, so each key goes to one and then, from the same
  // state, to the other.
  struct Pair {
    TEditForm* tscii;
    TEditForm* unicode;
  };
  Pair newPair(tolvan::Layout layout) {
    Pair p{newDocument(tolvan::TextEncoding::Tscii), newDocument(tolvan::TextEncoding::Unicode)};
    setLayout(p.tscii, layout, true);
    setLayout(p.unicode, layout, true);
    return p;
  }
  static void typeBoth(const Pair& p, char c) {
    tolvan::TamilState& state = tolvan::programTamilState();
    const tolvan::TamilState start = state;
    typeKey(p.tscii, c);
    state = start;
    typeKey(p.unicode, c);
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", dir_.filePath("Tolvan.ini").toLocal8Bit());
    tolvan::Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
  }
  void cleanupTestCase() {
    cleanup();
    delete frame_;
    tolvan::Prompts::setInstance(nullptr);
  }
  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
  }

  void everyKeyLeavesTheBridgeOfTheTsciiText_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("keys");
    const int anjal = int(tolvan::Layout::Anjal), mylai = int(tolvan::Layout::Mylai),
              type = int(tolvan::Layout::Typewriter), roman = int(tolvan::Layout::Roman);
    QTest::newRow("anjal words") << anjal << QByteArray("vaNakkam thamiz koo kau kai");
    QTest::newRow("anjal backspaces") << anjal << QByteArray("koo\b\b\b kau\b\b kai\b\b ke\b");
    QTest::newRow("anjal k.ssa sri") << anjal << QByteArray("xa xi C Ci\b\b\b\b\b");
    QTest::newRow("anjal enter") << anjal << QByteArray("nga\rnaan\r\b\b\bpoo");
    QTest::newRow("roman") << roman << QByteArray("vaNakkam kO\b\b\bsri kssa\b\b");
    QTest::newRow("mylai") << mylai << QByteArray("tmizf 'k\b\bkoko\b\b!x\b");
    QTest::newRow("typewriter signs apart") << type << QByteArray("jkpH; f%f^\b\b%^h@\b");
    QTest::newRow("typewriter sign first") << type << QByteArray("Bf h\bh nfh\b\b\b\b\b");
  }
  void everyKeyLeavesTheBridgeOfTheTsciiText() {
    QFETCH(int, layout);
    QFETCH(QByteArray, keys);
    const Pair p = newPair(tolvan::Layout(layout));
    for (qsizetype i = 0; i < keys.size(); ++i) {
      typeBoth(p, keys[i]);
      QVERIFY2(unicodeOf(p.unicode) == bridged(textOf(p.tscii)),
               qPrintable(QStringLiteral("after \"%1\": %2 against %3")
                              .arg(QString::fromLatin1(keys.left(i + 1)),
                                   QString::fromUtf8(unicodeOf(p.unicode)),
                                   QString::fromUtf8(bridged(textOf(p.tscii))))));
    }
  }

  // Each typed key is one undo step, as in TSCII: undoing key by key goes
  // back through the same texts.
  void oneUndoStepPerTypedKey() {
    const Pair p = newPair(tolvan::Layout::Anjal);
    const QByteArray keys = " kooxai";
    for (char c : keys) typeBoth(p, c);
    for (qsizetype i = 0; i <= keys.size(); ++i) {
      QCOMPARE(unicodeOf(p.unicode), bridged(textOf(p.tscii)));
      QCOMPARE(p.unicode->Editor->document()->isUndoAvailable(), p.tscii->Editor->document()->isUndoAvailable());
      p.tscii->UnDo1Click();
      p.unicode->UnDo1Click();
    }
    QCOMPARE(unicodeOf(p.unicode), QByteArray());
    p.tscii->Redo1Click();
    p.unicode->Redo1Click();
    p.tscii->Redo1Click();
    p.unicode->Redo1Click();
    QCOMPARE(unicodeOf(p.unicode), bridged(textOf(p.tscii)));
  }

  // Keys typed inside existing text (after a space, before a word): the
  // letters around the caret join as in the TSCII document, nothing beyond
  // them changes.
  void typingInsideTheText() {
    const Pair p = newPair(tolvan::Layout::Anjal);
    const QByteArray before = "\xAA\xE8\xE8\xA1 ", after = "\xB8\xBC\xF9 \xAA";
    p.tscii->Editor->setPlainText(QString::fromLatin1(before + after));
    p.unicode->Editor->setPlainText(QString::fromUtf8(bridged(before + after)));
    QTextCursor t = p.tscii->Editor->textCursor();
    t.setPosition(int(before.size()));
    p.tscii->Editor->setTextCursor(t);
    QTextCursor u = p.unicode->Editor->textCursor();
    u.setPosition(int(QString::fromUtf8(bridged(before)).size()));
    p.unicode->Editor->setTextCursor(u);
    for (char c : QByteArray("kai koo\b\b\b\b\b pa")) {
      typeBoth(p, c);
      QCOMPARE(unicodeOf(p.unicode), bridged(textOf(p.tscii)));
    }
    // Enter splits the paragraph at the caret.
    typeBoth(p, '\r');
    QCOMPARE(unicodeOf(p.unicode), bridged(textOf(p.tscii)));
    QCOMPARE(p.unicode->Editor->document()->blockCount(), 2);
  }

  // Overwrite (the Insert key) over letters of one TSCII byte each: the same
  // letters are replaced in both documents, never the paragraph break, and
  // each key is one undo step.
  void overwriteAsInTscii_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("keys");
    const int anjal = int(tolvan::Layout::Anjal), type = int(tolvan::Layout::Typewriter);
    QTest::newRow("latin") << anjal << QByteArray("x ") << QByteArray("abcdefghij") << QByteArray("koo ka");
    QTest::newRow("tamil") << anjal << QByteArray("\xB8") << QByteArray("\xEC\xEC\xEC\xEC\xEC") << QByteArray("kuu\bti");
    QTest::newRow("paragraph end") << anjal << QByteArray("") << QByteArray("ab\ncd") << QByteArray("kaakO");
    QTest::newRow("sign first") << type << QByteArray("") << QByteArray("abcdef") << QByteArray("Bf% h");
  }
  void overwriteAsInTscii() {
    QFETCH(int, layout);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, keys);
    const Pair p = newPair(tolvan::Layout(layout));
    p.tscii->Editor->setPlainText(QString::fromLatin1(before + after));
    p.unicode->Editor->setPlainText(QString::fromUtf8(bridged(before + after)));
    for (TEditForm* f : {p.tscii, p.unicode}) {
      QTextCursor c = f->Editor->textCursor();
      c.setPosition(f == p.tscii ? int(before.size()) : int(QString::fromUtf8(bridged(before)).size()));
      f->Editor->setTextCursor(c);
      f->Editor->setOverwriteMode(true);
    }
    QList<QByteArray> texts{unicodeOf(p.unicode)};
    for (char c : keys) {
      typeBoth(p, c);
      QCOMPARE(unicodeOf(p.unicode), bridged(textOf(p.tscii)));
      texts << unicodeOf(p.unicode);
    }
    for (qsizetype i = texts.size() - 1; i > 0; --i) {
      QCOMPARE(unicodeOf(p.unicode), texts[i]);
      p.unicode->UnDo1Click();
    }
    QCOMPARE(unicodeOf(p.unicode), texts[0]);
  }

  // Overwrite over a letter TSCII writes in several bytes replaces the whole
  // letter in a Unicode document.
  void overwriteReplacesWholeLetters() {
    TEditForm* f = newDocument(tolvan::TextEncoding::Unicode);
    setLayout(f, tolvan::Layout::Anjal, true);
    f->Editor->setPlainText(QString::fromUtf8("\u0B95\u0BCA\u0BAE\u0BBE x"));
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(0);
    f->Editor->setTextCursor(c);
    f->Editor->setOverwriteMode(true);
    typeKey(f, 'm');
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0BAE\u0BCD\u0BAE\u0BBE x"));
    typeKey(f, 'p');
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0BAE\u0BCD\u0BAA\u0BCD x"));
    QCOMPARE(f->Editor->textCursor().position(), 4);
  }

  // Typing over a selection replaces it; a backspace with a selection takes
  // just the selection.
  void selectionIsReplaced() {
    TEditForm* f = newDocument(tolvan::TextEncoding::Unicode);
    setLayout(f, tolvan::Layout::Anjal, true);
    f->Editor->setPlainText(QString::fromUtf8("\u0B85\u0BAE\u0BCD\u0BAE\u0BBE abc"));
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(6);
    c.setPosition(9, QTextCursor::KeepAnchor);
    f->Editor->setTextCursor(c);
    typeKey(f, '\b');
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0B85\u0BAE\u0BCD\u0BAE\u0BBE "));
    c = f->Editor->textCursor();
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    f->Editor->setTextCursor(c);
    for (char k : QByteArray("kO")) typeKey(f, k);
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0B95\u0BCB "));
  }

  // English mode in a Unicode document: plain characters; Backspace takes
  // one character, as in any editor.
  void englishModeTypesPlainCharacters() {
    TEditForm* f = newDocument(tolvan::TextEncoding::Unicode);
    setLayout(f, tolvan::Layout::Anjal, false);
    f->Editor->setPlainText(QString::fromUtf8("\u0B95\u0BCB"));
    f->Editor->moveCursor(QTextCursor::End);
    for (char k : QByteArray("koo\b")) typeKey(f, k);
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0B95\u0BCBko"));
    typeKey(f, '\b');
    typeKey(f, '\b');
    typeKey(f, '\b');
    QCOMPARE(QString::fromUtf8(unicodeOf(f)), QString::fromUtf8("\u0B95"));
  }

  // The find and replace fields type like the document they search: a
  // Unicode document's field holds the bridge of what a TSCII one holds.
  void findFieldTypesUnicode_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QByteArray>("keys");
    QTest::newRow("anjal") << int(tolvan::Layout::Anjal) << QByteArray("koo kai\b\b xi");
    QTest::newRow("typewriter") << int(tolvan::Layout::Typewriter) << QByteArray("f%\bBf\b\bh");
  }
  void findFieldTypesUnicode() {
    QFETCH(int, layout);
    QFETCH(QByteArray, keys);
    TTamilLineEdit tscii, unicode;
    tscii.setModeSource([layout] { return TTamilLineEdit::Mode{true, tolvan::Layout(layout), false}; });
    unicode.setModeSource([layout] { return TTamilLineEdit::Mode{true, tolvan::Layout(layout), true}; });
    for (char c : keys) {
      for (TTamilLineEdit* field : {&tscii, &unicode}) {
        if (c == '\b')
          QTest::keyClick(field, Qt::Key_Backspace);
        else
          QTest::keyClick(field, c);
      }
      QCOMPARE(unicode.text().toUtf8(), bridged(tscii.bytes()));
    }
    QVERIFY(unicode.isUnicode());
    // Told the document is TSCII, the field keeps the word, as TSCII.
    unicode.setUnicode(false);
    QCOMPARE(unicode.bytes(), tscii.bytes());
  }
};

QTEST_MAIN(UnicodeTypingTest)
#include "unicode_typing_test.moc"
