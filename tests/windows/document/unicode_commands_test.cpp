// The document commands on Unicode documents, in real windows on the
// offscreen platform: copy and paste between Unicode and TSCII documents,
// text from other programs and input methods, RTF, find and replace, the
// character map, text encryption and e-mail. TSCII documents are covered by
// the other window tests; rows here that use one check the other direction.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "core/convert/unicode_bridge.h"
#include "core/crypto/blowfish.h"
#include "core/crypto/text_crypt.h"
#include "core/document/shell_requests.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/document/tamil_line_edit.h"
#include "platform/byte_text.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "../window_test_util.h"

using tolvan::Prompts;
using tolvan::TextEncoding;
using window_test::readFile;
using window_test::textOf;

Q_DECLARE_METATYPE(tolvan::TextEncoding)

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// The bridge's Unicode for TSCII bytes.
QString bridged(const QByteArray& tscii) {
  return fromUtf8(tolvan::TsciiToUnicode(std::string_view(tscii.constData(), size_t(tscii.size()))));
}

// The whole text as the editor holds it, paragraph breaks as U+2029.
QString unicodeText(TEditForm* f) {
  QTextCursor all(f->Editor->document());
  all.select(QTextCursor::Document);
  return all.selectedText();
}

void select(TEditForm* f, int start, int end) {
  QTextCursor c(f->Editor->document());
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  f->Editor->setTextCursor(c);
}

bool boldAt(TEditForm* f, int position) {
  QTextCursor c(f->Editor->document());
  c.setPosition(position + 1);  // the format of the character before
  return c.charFormat().fontWeight() > QFont::Medium;
}

// Text with a little of everything a Unicode document holds.
const QString kMixed = QString::fromUtf8(
    "\xE0\xAE\xA4\xE0\xAE\xAE\xE0\xAE\xBF\xE0\xAE\xB4\xE0\xAF\x8D "  // தமிழ்
    "\xE0\xAE\x95\xE0\xAF\x8D\xE0\xAE\xB7 "                          // க்ஷ
    "caf\xC3\xA9 e\xCC\x81 \xF0\x9F\x98\x80 \xC2\xA0\xC2\xAD\xE0\xAE\x87 \xD0\x96");

}  // namespace

class UnicodeCommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  tolvan::RecordingDesktop desktop_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }

  TEditForm* newDocument(TextEncoding encoding) {
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    f->setEncoding(encoding);
    return f;
  }
  TEditForm* unicodeDocument(const QString& text) {
    TEditForm* f = newDocument(TextEncoding::Unicode);
    f->Editor->setPlainText(text);
    f->Editor->moveCursor(QTextCursor::Start);
    return f;
  }
  TEditForm* tsciiDocument(const QByteArray& bytes) {
    TEditForm* f = newDocument(TextEncoding::Tscii);
    tolvan::setDocumentBytes(f->Editor->document(), bytes);
    f->Editor->moveCursor(QTextCursor::Start);
    return f;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
    Prompts::setInstance(&prompts_);
    tolvan::Desktop::setInstance(&desktop_);
    frame_ = new TMainForm(dir_.path());
    frame_->resize(900, 700);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    prompts_.reset();  // the first start's greetings
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
  }

  // ---------------------------------------------------------------- clipboard

  // Copy in one document, paste into another: the text the target gets, in
  // its own encoding, and whether the bold of the copied word came along.
  void copyAndPasteBetweenDocuments_data() {
    QTest::addColumn<bool>("fromUnicode");
    QTest::addColumn<QString>("fromText");  // Unicode text, or TSCII bytes as Latin-1
    QTest::addColumn<bool>("toUnicode");
    QTest::addColumn<QString>("wanted");    // Unicode text, or TSCII bytes as Latin-1
    QTest::addColumn<bool>("boldKept");
    const QString tamil = QString::fromUtf8("\xE0\xAE\x95\xE0\xAF\x8A \xE0\xAE\xA4\xE0\xAE\xAE\xE0\xAE\xBF\xE0\xAE\xB4\xE0\xAF\x8D");
    const QByteArray tamilTscii = QByteArray::fromStdString(tolvan::UnicodeToTscii(tamil.toStdString()));
    const QString twoParagraphs = kMixed + QChar(0x2029) + QStringLiteral("line") + QChar(0x2028) + QStringLiteral("two");
    QTest::newRow("Unicode to Unicode: exact")
        << true << twoParagraphs << true << twoParagraphs << true;
    QTest::newRow("TSCII to Unicode: the bridge's Unicode")
        << false << QString::fromLatin1("ab" + tamilTscii + "\rcd\xAD") << true
        << QStringLiteral("ab") + bridged(tamilTscii) + QChar(0x2029) + QStringLiteral("cd") + bridged("\xAD")
        << true;
    QTest::newRow("Unicode to TSCII: Tamil as TSCII")
        << true << tamil + QStringLiteral(" ab") << false << QString::fromLatin1(tamilTscii + " ab") << true;
  }
  void copyAndPasteBetweenDocuments() {
    QFETCH(bool, fromUnicode);
    QFETCH(QString, fromText);
    QFETCH(bool, toUnicode);
    QFETCH(QString, wanted);
    QFETCH(bool, boldKept);
    TEditForm* from = fromUnicode ? unicodeDocument(QString()) : tsciiDocument({});
    if (fromUnicode)
      QTextCursor(from->Editor->document()).insertText(fromText);
    else
      tolvan::setDocumentBytes(from->Editor->document(), fromText.toLatin1());
    // The first two characters bold.
    QTextCursor bold(from->Editor->document());
    bold.setPosition(2, QTextCursor::KeepAnchor);
    QTextCharFormat b;
    b.setFontWeight(QFont::Bold);
    bold.mergeCharFormat(b);
    from->Editor->selectAll();
    from->mmCopyClick();

    TEditForm* to = toUnicode ? unicodeDocument(QStringLiteral("[]")) : tsciiDocument("[]");
    select(to, 1, 1);
    to->mmPasteClick();
    const QString got = toUnicode ? unicodeText(to) : QString::fromLatin1(textOf(to));
    QString expected = wanted;
    if (!toUnicode) expected.replace(QChar(0x2029), u'\r');
    QCOMPARE(got, u'[' + expected + u']');
    QCOMPARE(boldAt(to, 1), boldKept);
    QVERIFY(!boldAt(to, 1 + int(expected.size()) - 1));
    QVERIFY2(prompts_.shown.isEmpty(), qPrintable(prompts_.shown.join(u'|')));
    // One undo step takes the paste away.
    to->Editor->undo();
    QCOMPARE(toUnicode ? unicodeText(to) : QString::fromLatin1(textOf(to)), QStringLiteral("[]"));
  }

  // A vowel sign before its consonant in another format: run by run the
  // bridge would see the sign alone, so the text comes without the format,
  // and right.
  void tsciiCopySplittingASyllableStillGivesItsUnicode() {
    TEditForm* from = tsciiDocument("\xA6\xB8 x");  // kotta: the sign is written first
    QTextCursor c(from->Editor->document());
    c.setPosition(1, QTextCursor::KeepAnchor);
    QTextCharFormat b;
    b.setFontWeight(QFont::Bold);
    c.mergeCharFormat(b);
    from->Editor->selectAll();
    from->mmCopyClick();
    TEditForm* to = unicodeDocument(QString());
    to->mmPasteClick();
    QCOMPARE(unicodeText(to), bridged("\xA6\xB8 x"));
  }

  // Tamil from a TSCII document leaves its TSCII font behind (which has no
  // Unicode Tamil): it takes the font at the caret, or the document's.
  void tsciiTamilLeavesItsTsciiFontBehind() {
    const std::string word = tolvan::UnicodeToTscii("தமிழ்");
    TEditForm* from = tsciiDocument(QByteArray("ab ") + QByteArray::fromStdString(word));
    QTextCharFormat tscii;
    tscii.setFontFamilies({QStringLiteral("TSCu_Paranar")});
    from->Editor->selectAll();
    from->Editor->textCursor().mergeCharFormat(tscii);
    from->mmCopyClick();
    for (const QString& caret : {QString(), QStringLiteral("Noto Sans Tamil")}) {
      TEditForm* to = unicodeDocument(QString());
      QTextCharFormat at;
      if (!caret.isEmpty()) at.setFontFamilies({caret});
      to->Editor->setCurrentCharFormat(at);
      to->mmPasteClick();
      QCOMPARE(unicodeText(to), QStringLiteral("ab தமிழ்"));
      QTextCursor c(to->Editor->document());
      c.setPosition(4);
      QCOMPARE(c.charFormat().fontFamilies().toStringList(), caret.isEmpty() ? QStringList() : QStringList{caret});
    }
  }

  // What other programs get from a Unicode document: its text as it is.
  void copyGivesOtherProgramsTheText() {
    TEditForm* f = unicodeDocument(kMixed + u'\n' + QStringLiteral("end"));
    f->Editor->selectAll();
    f->mmCopyClick();
    const QMimeData* md = QGuiApplication::clipboard()->mimeData();
    QVERIFY(md);
    QCOMPARE(md->text(), kMixed + u'\n' + QStringLiteral("end"));
    QVERIFY(md->hasHtml());
    QVERIFY(md->html().contains(QStringLiteral("தமிழ்")));
    // No TSCII form: a TSCII document converts it as any Unicode paste.
    QVERIFY(!md->hasFormat(TConvertCommands::kTsciiMimeType));
  }

  // Text from other programs and from input methods goes into a Unicode
  // document as it is (a TSCII document would take its Tamil as TSCII).
  void otherProgramsTextGoesInAsItIs_data() {
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("wanted");
    QTest::newRow("plain text, CR LF") << kMixed + QStringLiteral("\r\nb\rc") << QString()
                                       << kMixed + QChar(0x2029) + u'b' + QChar(0x2029) + u'c';
    QTest::newRow("HTML") << QString() << QStringLiteral("<p><b>தமிழ்</b> &eacute;</p>")
                          << QStringLiteral("தமிழ் é");
  }
  void otherProgramsTextGoesInAsItIs() {
    QFETCH(QString, plain);
    QFETCH(QString, html);
    QFETCH(QString, wanted);
    TEditForm* f = unicodeDocument(QString());
    auto* md = new QMimeData;
    if (!plain.isEmpty()) md->setText(plain);
    if (!html.isEmpty()) md->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(md);
    f->mmPasteClick();
    QCOMPARE(unicodeText(f), wanted);
    if (!html.isEmpty()) QVERIFY(boldAt(f, 0));
    QVERIFY(prompts_.shown.isEmpty());
  }

  void inputMethodAndUnicodeKeysGoInAsTheyAre() {
    TEditForm* f = unicodeDocument(QString());
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("கொ"));
    QApplication::sendEvent(f->Editor, &commit);
    // An input method sending a consonant and then its sign.
    f->Editor->insertPlainBytesText(QStringLiteral("க"));
    f->Editor->insertPlainBytesText(QString(QChar(0x0BCA)));
    QCOMPARE(unicodeText(f), QStringLiteral("கொகொ"));
    // The same into a TSCII document: TSCII, as always.
    TEditForm* t = tsciiDocument({});
    QApplication::sendEvent(t->Editor, &commit);
    QCOMPARE(textOf(t), QByteArray::fromStdString(tolvan::UnicodeToTscii("கொ")));
  }

  // ---------------------------------------------------------------- RTF

  void rtfSaveAndOpenKeepUnicode() {
    TEditForm* f = unicodeDocument(kMixed + u'\n' + QStringLiteral("{x}\\"));
    QTextCursor c(f->Editor->document());
    c.setPosition(5, QTextCursor::KeepAnchor);
    QTextCharFormat b;
    b.setFontWeight(QFont::Bold);
    c.mergeCharFormat(b);
    const QString text = unicodeText(f);
    prompts_.files.push_back({path("unicode.rtf")});
    f->Save1Click();
    QCOMPARE(f->Title(), path("unicode.rtf"));
    const QByteArray rtf = readFile(path("unicode.rtf"));
    QVERIFY(rtf.startsWith("{\\rtf"));
    QVERIFY(rtf.contains("\\u2980?"));  // த
    // Its \u escapes for Tamil letters make it a Unicode document again.
    TEditForm* g = frame_->CreateEditForm();
    QVERIFY(g->OpenDocumentFile(path("unicode.rtf")));
    QVERIFY(g->Editor->isUnicode());
    QCOMPARE(unicodeText(g), text);
    QVERIFY(boldAt(g, 0));
    QVERIFY(!boldAt(g, 5));
    // The TSCII reading of the same file takes its Tamil as TSCII bytes.
    TEditForm* t = frame_->CreateEditForm();
    QVERIFY(t->OpenDocumentFile(path("unicode.rtf"), TEditForm::OpenAs::Tscii));
    QVERIFY(!t->Editor->isUnicode());
    // (The emoji and the Cyrillic letter have no TSCII form and stay.)
    const std::string word = tolvan::UnicodeToTscii("தமிழ்");
    QVERIFY(unicodeText(t).startsWith(QString::fromLatin1(word.data(), qsizetype(word.size()))));
  }

  // ---------------------------------------------------------------- search

  void findAndReplaceSearchUnicodeText() {
    TEditForm* f = unicodeDocument(QStringLiteral("தமிழ் நாடு, கா க\nதமிழ்! café"));
    select(f, 0, 5);
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    QCOMPARE(d->FindField->text(), QStringLiteral("தமிழ்"));
    QVERIFY(d->FindNext());
    QCOMPARE(f->Editor->textCursor().selectionStart(), 17);
    QVERIFY(!d->FindNext());
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Text \"தமிழ்\" not found."));
    // Whole words: the consonant alone, not the one with its vowel sign.
    d->FindField->setText(QStringLiteral("க"));
    d->WholeWord->setChecked(true);
    select(f, 0, 0);
    QVERIFY(d->FindNext());
    QCOMPARE(f->Editor->textCursor().selectionStart(), 15);
    d->WholeWord->setChecked(false);
    // Latin letters fold as ever.
    d->FindField->setText(QStringLiteral("CAFé"));
    QVERIFY(d->FindNext());
    QCOMPARE(f->Editor->textCursor().selectedText(), QStringLiteral("café"));

    f->Replace1Click();
    TFindDialog* r = f->findDialog(true);
    r->FindField->setText(QStringLiteral("தமிழ்"));
    r->ReplaceField->setText(QStringLiteral("Tamil 😀"));
    QCOMPARE(r->ReplaceAll(), 2);
    QCOMPARE(unicodeText(f), QStringLiteral("Tamil 😀 நாடு, கா க") + QChar(0x2029) + QStringLiteral("Tamil 😀! café"));
    f->Editor->undo();
    QCOMPARE(unicodeText(f), QStringLiteral("தமிழ் நாடு, கா க") + QChar(0x2029) + QStringLiteral("தமிழ்! café"));
  }

  // One dialog serves every window: text put in for a TSCII document finds
  // the same word in a Unicode one, and back.
  void theFieldFollowsTheDocumentSearched() {
    const QByteArray word = QByteArray::fromStdString(tolvan::UnicodeToTscii("தமிழ்"));
    TEditForm* t = tsciiDocument("x " + word);
    select(t, 2, 2 + int(word.size()));
    t->Find1Click();
    TFindDialog* d = t->findDialog(false);
    QCOMPARE(d->FindField->bytes(), word);
    TEditForm* u = unicodeDocument(QStringLiteral("y தமிழ்"));
    u->BtnSpeedClick();
    QCOMPARE(frame_->ActiveEditForm(), u);
    QVERIFY(d->FindNext());
    QCOMPARE(u->Editor->textCursor().selectedText(), QStringLiteral("தமிழ்"));
    QVERIFY(d->fieldsUnicode());
    t->BtnSpeedClick();
    select(t, 0, 0);
    QVERIFY(d->FindNext());
    QCOMPARE(t->Editor->textCursor().selectionStart(), 2);
    QCOMPARE(d->FindField->bytes(), word);
  }

  // ---------------------------------------------------------------- character map

  void characterMapInsertsTheUnicodeLetter_data() {
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QString>("wanted");
    QTest::newRow("a consonant") << QByteArray("\xB8") << QStringLiteral("க");
    QTest::newRow("consonant and sign") << QByteArray("\xB8\xA1") << QStringLiteral("கா");
    QTest::newRow("a ligature of several code points") << QByteArray("\x87") << bridged("\x87");
    // Clicked in TSCII's visual order, a sign and its consonant make one
    // letter, as the bytes do in a TSCII document.
    QTest::newRow("sign before its consonant") << QByteArray("\xA6\xB8") << QStringLiteral("கெ");
    QTest::newRow("two-part vowel sign") << QByteArray("\xA6\xB8\xA1") << QStringLiteral("கொ");
    QTest::newRow("two letters") << QByteArray("\xA6\xB8\xA1\xA7\xB8") << QStringLiteral("கொகே");
    // In Unicode's order the sign joins the letter before it, with no dotted
    // circle left in the text.
    QTest::newRow("sign after its consonant") << QByteArray("\xB8\xA6") << QStringLiteral("கெ");
    QTest::newRow("a lone sign") << QByteArray("\xA1") << QStringLiteral("ா");
    QTest::newRow("ASCII as a keystroke") << QByteArray("a1") << QStringLiteral("a1");
  }
  void characterMapInsertsTheUnicodeLetter() {
    QFETCH(QByteArray, codes);
    QFETCH(QString, wanted);
    // Tamil mode off: ASCII codes are keystrokes, which a layout would
    // change.
    TEditForm* f = unicodeDocument(QString());
    if (f->isTamilMode()) f->mmTamilKBClick();
    for (char code : codes) frame_->BtnFClick(static_cast<unsigned char>(code));
    QCOMPARE(unicodeText(f), wanted);
    // Each click is one undo step.
    if (codes.size() > 1) {
      f->Editor->undo();
      QVERIFY(unicodeText(f) != wanted);
    }
    // A TSCII document gets the bytes, as always.
    TEditForm* t = tsciiDocument({});
    if (t->isTamilMode()) t->mmTamilKBClick();
    for (char code : codes) frame_->BtnFClick(static_cast<unsigned char>(code));
    QCOMPARE(textOf(t), codes);
  }

  // ---------------------------------------------------------------- encryption

  void encryptionTakesTheUtf8Bytes() {
    const QString text = kMixed + u'\n' + QStringLiteral("இரண்டு");
    TEditForm* f = unicodeDocument(text);
    prompts_.inputs = {QStringLiteral("key")};
    f->mmEncryptClick();
    tolvan::TDCP_blowfish cipher;
    const QByteArray utf8 = (kMixed + QStringLiteral("\r\nஇரண்டு")).toUtf8();
    const std::string base64 = tolvan::EncryptText(cipher, utf8.toStdString(), "key");
    QCOMPARE(unicodeText(f), QString::fromStdString(base64));
    prompts_.inputs = {QStringLiteral("key")};
    f->mmDecryptClick();
    QCOMPARE(unicodeText(f), QString(text).replace(u'\n', QChar(0x2029)));
    QCOMPARE(prompts_.shown.size(), 2);  // the two passphrase questions, nothing else
  }

  // Noise from a wrong passphrase is no UTF-8: refused, nothing changed.
  void decryptionThatIsNoUnicodeIsRefused() {
    tolvan::TDCP_blowfish cipher;
    std::string noise;
    for (int i = 0; i < 256; ++i) noise += char(i);
    const QString base64 = QString::fromStdString(tolvan::EncryptText(cipher, noise, "key"));
    TEditForm* f = unicodeDocument(base64);
    f->Editor->document()->setModified(false);
    prompts_.inputs = {QStringLiteral("key")};
    f->mmDecryptClick();
    QCOMPARE(unicodeText(f), base64);
    QVERIFY(!f->Editor->document()->isModified());
    QVERIFY(prompts_.shown.last().startsWith(QStringLiteral("The decrypted text is not Unicode (UTF-8) text")));
  }

  // ---------------------------------------------------------------- e-mail

  void emailSendsTheTextAsItIs() {
    TEditForm* f = unicodeDocument(kMixed + u'\n' + QStringLiteral("x"));
    const QByteArray utf8 = (kMixed + QStringLiteral("\r\nx")).toUtf8();
    QCOMPARE(f->mailtoUrl(), QString::fromStdString(tolvan::mailtoUrl(utf8.toStdString())));
    f->Email1Click();
    QCOMPARE(desktop_.urls.size(), 1);
    QCOMPARE(desktop_.urls.first().toEncoded(), QByteArray::fromStdString(tolvan::mailtoUrl(utf8.toStdString())));
  }
};

QTEST_MAIN(UnicodeCommandsTest)
#include "unicode_commands_test.moc"
