// Unicode documents from and to files: recognition on every way a file is
// opened, exact decoding, saves that give the file back byte for byte in its
// form with its mark and line endings, bad input opened as TSCII with the
// reason in the status bar, Reopen as TSCII / as Unicode, the encoding panel
// and the encoding of new documents.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QStatusBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include "core/settings/settings_keys.h"
#include "platform/prompts.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/frame/main_form.h"
#include "windows/panels/dir_panel.h"
#include "../window_test_util.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;
using tolvan::TextEncoding;
using tolvan::UnicodeForm;

Q_DECLARE_METATYPE(tolvan::UnicodeForm)

namespace {

// Tamil with a two-part vowel, the letter i (U+0B87, which a TSCII document
// shows for byte 0xAD), a no-break space, a soft hyphen, a character outside
// the BMP and a second mark-like character inside the text.
const QString kText = QStringLiteral("தமிழ் கொடி இலை a\u00A0b\u00AD c \U0001F600 \uFEFFend");

QByteArray encode(const QString& text, UnicodeForm form) {
  QByteArray out;
  switch (form) {
    case UnicodeForm::Utf8: return text.toUtf8();
    case UnicodeForm::Utf8Mark: return "\xEF\xBB\xBF" + text.toUtf8();
    case UnicodeForm::Utf16LeMark:
    case UnicodeForm::Utf16BeMark: {
      const bool big = form == UnicodeForm::Utf16BeMark;
      out = big ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
      for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += big ? hi : lo;
        out += big ? lo : hi;
      }
      return out;
    }
    case UnicodeForm::Utf32LeMark:
    case UnicodeForm::Utf32BeMark: {
      const bool big = form == UnicodeForm::Utf32BeMark;
      out = big ? QByteArray("\0\0\xFE\xFF", 4) : QByteArray("\xFF\xFE\0\0", 4);
      for (char32_t c : text.toUcs4())
        for (int k = 0; k < 4; ++k) out += char(c >> (big ? 24 - 8 * k : 8 * k));
      return out;
    }
  }
  return out;
}

// The editor's whole text, paragraphs joined by '\n'.
QString unicodeText(TEditForm* f) {
  QString t = f->Editor->document()->toRawText();
  t.replace(QChar(QChar::ParagraphSeparator), u'\n');
  return t;
}

}  // namespace

class UnicodeFilesTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }

  QString encodingPanelTip() const {
    for (const QLabel* l : frame_->statusBar()->findChildren<QLabel*>())
      if (l->text() == frame_->PanelText(7)) return l->toolTip();
    return QString();
  }

  TEditForm* openDocument(const QString& file) {
    TEditForm* f = frame_->CreateEditForm();
    if (!f->OpenDocumentFile(file)) return nullptr;
    return f;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    prompts_.reset();  // the first start's messages
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    Prompts::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
    frame_->settings().writeString(tolvan::Key::NewDocumentEncoding, "TSCII");
  }

  // Every form with every line ending: the editor holds the text itself,
  // and a save of the unchanged document writes the file it came from.
  void unicodeFilesComeBackByteForByte_data() {
    QTest::addColumn<UnicodeForm>("form");
    QTest::addColumn<QString>("eol");
    const std::pair<const char*, UnicodeForm> forms[] = {{"utf-8", UnicodeForm::Utf8},
                                                         {"utf-8 mark", UnicodeForm::Utf8Mark},
                                                         {"utf-16le", UnicodeForm::Utf16LeMark},
                                                         {"utf-16be", UnicodeForm::Utf16BeMark},
                                                         {"utf-32le", UnicodeForm::Utf32LeMark},
                                                         {"utf-32be", UnicodeForm::Utf32BeMark}};
    const std::pair<const char*, const char*> endings[] = {{"crlf", "\r\n"}, {"lf", "\n"}, {"cr", "\r"}};
    for (const auto& [fname, form] : forms)
      for (const auto& [ename, eol] : endings)
        QTest::addRow("%s %s", fname, ename) << form << QString::fromLatin1(eol);
  }
  void unicodeFilesComeBackByteForByte() {
    QFETCH(UnicodeForm, form);
    QFETCH(QString, eol);
    const QString text = kText + eol + QStringLiteral("இரண்டு") + eol + eol + QStringLiteral("x") + eol;
    const QByteArray bytes = encode(text, form);
    const QString file = path("round.txt");
    writeFile(file, bytes);
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(f->unicodeForm(), form);
    QCOMPARE(f->lineEnding(), eol.toLatin1());
    QString inEditor = text;
    inEditor.replace(eol, QStringLiteral("\n"));
    QCOMPARE(unicodeText(f), inEditor);
    QVERIFY(!f->isModified());
    // The encoding panel's tooltip names the form the file is written in.
    static const QHash<UnicodeForm, QString> kTipEnds = {
        {UnicodeForm::Utf8, "saved as UTF-8"},
        {UnicodeForm::Utf8Mark, "saved as UTF-8 with a byte-order mark"},
        {UnicodeForm::Utf16LeMark, "saved as UTF-16 (little-endian) with a byte-order mark"},
        {UnicodeForm::Utf16BeMark, "saved as UTF-16 (big-endian) with a byte-order mark"},
        {UnicodeForm::Utf32LeMark, "saved as UTF-32 (little-endian) with a byte-order mark"},
        {UnicodeForm::Utf32BeMark, "saved as UTF-32 (big-endian) with a byte-order mark"}};
    QVERIFY2(encodingPanelTip().endsWith(kTipEnds.value(form)), qPrintable(encodingPanelTip()));
    QFile::remove(file);
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(file), bytes);
    QVERIFY(prompts_.shown.isEmpty());  // no question about characters a file cannot hold
  }

  // An edit keeps the form and the mark; what the user typed is written in it.
  void editedUnicodeDocumentKeepsItsForm() {
    const QString file = path("edit.txt");
    writeFile(file, encode(QStringLiteral("அ\r\nஆ"), UnicodeForm::Utf16BeMark));
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QTextCursor c(f->Editor->document());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("இ€"));
    c.insertBlock();
    c.insertText(QStringLiteral("ஈ"));
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(file), encode(QStringLiteral("அ\r\nஆஇ€\r\nஈ"), UnicodeForm::Utf16BeMark));
  }

  // What recognition makes of each kind of file, opened from the file
  // dialog: Unicode without a question, TSCII byte for byte, and a file that
  // only looked like Unicode as TSCII with the reason in the hint panel.
  void openRecognisesTheEncoding_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("hint");
    const QByteArray tamil = QStringLiteral("கோ a").toUtf8();
    QByteArray late = tamil;
    while (late.size() < 70001) late += "plain text on a line\n";
    late.truncate(70001);
    late += "\xB8\xA1";
    QTest::newRow("utf-8 tamil") << tamil << true << "Unicode" << "";
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBFhello") << true << "Unicode" << "";
    QTest::newRow("utf-16le") << encode(QStringLiteral("கோ"), UnicodeForm::Utf16LeMark) << true
                              << "Unicode" << "";
    QTest::newRow("utf-32be") << encode(QStringLiteral("கோ"), UnicodeForm::Utf32BeMark) << true
                              << "Unicode" << "";
    QTest::newRow("tscii") << QByteArray("\xA7\xB8\xA1 a\r\n") << false << "TSCII" << "";
    QTest::newRow("ascii") << QByteArray("plain") << false << "TSCII" << "";
    QTest::newRow("utf-8 without tamil") << QStringLiteral("é").toUtf8() << false << "TSCII" << "";
    QTest::newRow("utf-8 turning invalid after 64 KiB")
        << late << false << "TSCII" << "Opened as TSCII: not valid UTF-8 after byte 70,001";
    QTest::newRow("utf-16 with a lone surrogate")
        << QByteArray("\xFF\xFE" "a\0\0\xD8" "b\0", 8) << false << "TSCII"
        << "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte 4)";
    QTest::newRow("utf-32 with a surrogate")
        << QByteArray("\xFF\xFE\0\0" "a\0\0\0" "\0\xD8\0\0", 12) << false << "TSCII"
        << "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 8)";
    QTest::newRow("utf-32 cut short")
        << QByteArray("\0\0\xFE\xFF" "\0\0\0a" "\0\0", 10) << false << "TSCII"
        << "Opened as TSCII: not valid UTF-32 (a length that is not a multiple of 4)";
  }
  void openRecognisesTheEncoding() {
    QFETCH(QByteArray, content);
    QFETCH(bool, unicode);
    QFETCH(QString, panel);
    QFETCH(QString, hint);
    const QString file = path("open-me.txt");
    writeFile(file, content);
    frame_->SetPanelText(6, QString());
    prompts_.files.push_back({file});
    frame_->Open1Click();
    QCOMPARE(prompts_.shown, QStringList({"Open"}));  // the dialog only, no question
    TEditForm* f = frame_->ActiveEditForm();
    QVERIFY(f);
    QCOMPARE(f->Title(), file);
    QCOMPARE(f->encoding(), unicode ? TextEncoding::Unicode : TextEncoding::Tscii);
    if (!unicode) QCOMPARE(textOf(f), QByteArray(content).replace("\r\n", "\r").replace('\n', '\r'));
    QCOMPARE(frame_->PanelText(7), panel);
    QCOMPARE(frame_->PanelText(6), hint);
    QCOMPARE(f->encodingNote(), hint);
    // The note belongs to its document: another document shows none, and
    // coming back shows it again.
    const QString other = path("other.txt");
    writeFile(other, "plain");
    prompts_.files.push_back({other});
    frame_->Open1Click();
    QVERIFY(frame_->ActiveEditForm() != f);
    QCOMPARE(frame_->PanelText(6), QString());
    f->BtnSpeedClick();
    QCOMPARE(frame_->ActiveEditForm(), f);
    QCOMPARE(frame_->PanelText(6), hint);
    // Opened and saved unchanged, the file is what it was.
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(file), content);
  }

  // The other ways in reach the same recognition: the command line (and a
  // second start's hand-over, and drops, which go the same way), the
  // recent-files list and the directory panel.
  void everyWayOfOpeningRecognises_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("command line") << 0;
    QTest::newRow("recent files") << 1;
    QTest::newRow("directory panel") << 2;
  }
  void everyWayOfOpeningRecognises() {
    QFETCH(int, way);
    const QString file = path(QStringLiteral("way%1.txt").arg(way));
    const QByteArray content = QStringLiteral("வணக்கம்\n").toUtf8();
    writeFile(file, content);
    if (way == 0) frame_->OpenFiles({file});
    if (way == 1) frame_->RecentFilesClick(file);
    if (way == 2) emit frame_->DirTree->openFileRequested(file);
    TEditForm* f = frame_->ActiveEditForm();
    QVERIFY(f);
    QCOMPARE(f->Title(), file);
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(unicodeText(f), QStringLiteral("வணக்கம்\n"));
    QCOMPARE(frame_->PanelText(7), QStringLiteral("Unicode"));
    QVERIFY(prompts_.shown.isEmpty());
  }

  // An RTF file is RTF, whatever bytes its text holds.
  void rtfIsNotTakenForUtf8() {
    const QString file = path("tamil.rtf");
    const QByteArray content = "{\\rtf1\\ansi " + QStringLiteral("கோ").toUtf8() + "}";
    writeFile(file, content);
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QCOMPARE(f->encoding(), TextEncoding::Tscii);
    QVERIFY(!f->ReopenAsUnicode1->isEnabled());
    QVERIFY(!f->ReopenAsTscii1->isEnabled());
  }

  // Reopen corrects a wrong guess both ways; the item for the encoding the
  // document has is off.
  void reopenInTheOtherEncoding() {
    const QString file = path("guess.txt");
    const QByteArray content = QStringLiteral("கோ\r\nb").toUtf8();
    writeFile(file, content);
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QVERIFY(f->ReopenAsTscii1->isEnabled());
    QVERIFY(!f->ReopenAsUnicode1->isEnabled());
    QSignalSpy spy(f, &TEditForm::encodingChanged);
    f->ReopenAsTscii1->trigger();
    QCOMPARE(f->encoding(), TextEncoding::Tscii);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(textOf(f), QByteArray(content).replace("\r\n", "\r"));
    QCOMPARE(frame_->PanelText(7), QStringLiteral("TSCII"));
    QVERIFY(f->ReopenAsUnicode1->isEnabled());
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(file), content);
    f->ReopenAsUnicode1->trigger();
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(unicodeText(f), QStringLiteral("கோ\nb"));
    QCOMPARE(frame_->PanelText(7), QStringLiteral("Unicode"));
    QVERIFY(prompts_.shown.isEmpty());
  }

  // A UTF-32 file read again as TSCII is its bytes, and saved unchanged it
  // stays them; read as Unicode once more it is UTF-32 in its byte order.
  void reopenKeepsTheUtf32Form() {
    const QString file = path("wide.txt");
    const QByteArray content = encode(QStringLiteral("கோ\nb"), UnicodeForm::Utf32BeMark);
    writeFile(file, content);
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QCOMPARE(f->unicodeForm(), UnicodeForm::Utf32BeMark);
    f->ReopenAsTscii1->trigger();
    QCOMPARE(f->encoding(), TextEncoding::Tscii);
    QCOMPARE(textOf(f), QByteArray(content).replace('\n', '\r'));
    QVERIFY(f->SaveDocument());
    QCOMPARE(readFile(file), content);
    f->ReopenAsUnicode1->trigger();
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(f->unicodeForm(), UnicodeForm::Utf32BeMark);
    QCOMPARE(unicodeText(f), QStringLiteral("கோ\nb"));
    QVERIFY(prompts_.shown.isEmpty());
  }

  // UTF-8 without Tamil letters opens as TSCII; Reopen as Unicode takes it
  // as UTF-8 all the same.
  void reopenAsUnicodeTakesAnyValidUtf8() {
    const QString file = path("latin.txt");
    writeFile(file, QStringLiteral("café").toUtf8());
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    QCOMPARE(f->encoding(), TextEncoding::Tscii);
    f->ReopenAsUnicode1Click();
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(unicodeText(f), QStringLiteral("café"));
  }

  // A modified document asks as a close would; Cancel keeps everything,
  // No reads the file again. A file that is not Unicode is refused with a
  // message and the document stays as it was.
  void reopenAsksAndRefuses() {
    const QString file = path("asks.txt");
    writeFile(file, QStringLiteral("கோ").toUtf8());
    TEditForm* f = openDocument(file);
    QVERIFY(f);
    f->Editor->insertPlainText(QStringLiteral("new "));
    prompts_.answers.push_back(Prompts::Answer::Cancel);
    f->ReopenAsTscii1Click();
    QCOMPARE(prompts_.shown.size(), 1);
    QVERIFY(prompts_.shown[0].startsWith("Save changes to"));
    QCOMPARE(f->encoding(), TextEncoding::Unicode);
    QCOMPARE(unicodeText(f), QStringLiteral("new கோ"));
    QVERIFY(f->isModified());
    prompts_.answers.push_back(Prompts::Answer::No);
    f->ReopenAsTscii1Click();
    QCOMPARE(f->encoding(), TextEncoding::Tscii);
    QCOMPARE(textOf(f), QStringLiteral("கோ").toUtf8());
    QVERIFY(!f->isModified());

    // TSCII that is not UTF-8: refused, nothing changes.
    writeFile(file, "\xA7\xB8\xA1");
    TEditForm* g = openDocument(file);
    QVERIFY(g);
    g->Editor->insertPlainText(QStringLiteral("x"));
    prompts_.reset();
    prompts_.answers.push_back(Prompts::Answer::No);
    g->ReopenAsUnicode1Click();
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY(prompts_.shown[1].contains("is not valid UTF-8, UTF-16 or UTF-32 text"));
    QCOMPARE(g->encoding(), TextEncoding::Tscii);
    QCOMPARE(textOf(g), QByteArray("x\xA7\xB8\xA1"));
    QVERIFY(g->isModified());
    QCOMPARE(g->Title(), file);
  }

  // New documents follow the setting; the panel follows the active window.
  void newDocumentsTakeTheChosenEncoding() {
    frame_->New1Click();
    TEditForm* tscii = frame_->ActiveEditForm();
    QCOMPARE(tscii->encoding(), TextEncoding::Tscii);
    QCOMPARE(frame_->PanelText(7), QStringLiteral("TSCII"));
    QVERIFY(!tscii->ReopenAsTscii1->isEnabled());
    QVERIFY(!tscii->ReopenAsUnicode1->isEnabled());
    frame_->settings().writeString(tolvan::Key::NewDocumentEncoding, "Unicode");
    frame_->New1Click();
    TEditForm* unicode = frame_->ActiveEditForm();
    QCOMPARE(unicode->encoding(), TextEncoding::Unicode);
    QCOMPARE(frame_->PanelText(7), QStringLiteral("Unicode"));
    // Saved as plain text: UTF-8 without a mark.
    unicode->Editor->setPlainText(QStringLiteral("தமிழ்\nx"));
    const QString file = path("new.txt");
    prompts_.files.push_back({file});
    unicode->SaveAsText1Click();
    QCOMPARE(readFile(file), QStringLiteral("தமிழ்\nx").toUtf8());
    QVERIFY(unicode->ReopenAsTscii1->isEnabled());  // there is a file to read again now
    tscii->BtnSpeedClick();
    QCOMPARE(frame_->PanelText(7), QStringLiteral("TSCII"));
    window_test::discardDocuments(frame_);
    QCOMPARE(frame_->PanelText(7), QString());
  }
};

QTEST_MAIN(UnicodeFilesTest)
#include "unicode_files_test.moc"
