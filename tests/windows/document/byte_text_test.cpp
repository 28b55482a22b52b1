// Plain text between bytes and the editor's document: every byte value
// survives, line endings are kept, characters beyond one byte are reported.
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "platform/byte_text.h"

class ByteTextTest : public QObject {
  Q_OBJECT

 private slots:
  void everyByteRoundTrips_data() {
    QTest::addColumn<QByteArray>("eol");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CRLF") << QByteArray("\r\n");
    QTest::newRow("CR") << QByteArray("\r");
  }
  void everyByteRoundTrips() {
    QFETCH(QByteArray, eol);
    // All 256 values except the two line-ending bytes, on lines of 16,
    // joined by the file's own line ending.
    QByteArray file;
    for (int b = 0; b < 256; ++b) {
      if (b == '\r' || b == '\n') continue;
      file.append(static_cast<char>(b));
      if (b % 16 == 15) file.append(eol);
    }
    file.append("last line without an ending");
    QCOMPARE(tolvan::detectLineEnding(file), eol);
    QTextDocument doc;
    tolvan::setDocumentBytes(&doc, file);
    QByteArray back;
    QVERIFY(tolvan::documentToBytes(&doc, tolvan::detectLineEnding(file), &back));
    QCOMPARE(back, file);
    // U+00A0 (a Tamil letter in TSCII) stays itself, never a space.
    QVERIFY(doc.toRawText().contains(QChar(0xA0)));
  }

  void lineEndingDetection_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("eol");
    QTest::newRow("none") << QByteArray("abc") << QByteArray("\n");
    QTest::newRow("empty") << QByteArray() << QByteArray("\n");
    QTest::newRow("LF first") << QByteArray("a\nb\r\n") << QByteArray("\n");
    QTest::newRow("CRLF first") << QByteArray("a\r\nb\n") << QByteArray("\r\n");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QByteArray("\r");
    QTest::newRow("CR at end") << QByteArray("ab\r") << QByteArray("\r");
  }
  void lineEndingDetection() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, eol);
    QCOMPARE(tolvan::detectLineEnding(bytes), eol);
  }

  void mixedEndingsAreOneBreakEach() {
    QTextDocument doc;
    tolvan::setDocumentBytes(&doc, QByteArray("a\r\nb\rc\nd"));
    QCOMPARE(doc.blockCount(), 4);
    QByteArray back;
    QVERIFY(tolvan::documentToBytes(&doc, "\r\n", &back));
    QCOMPARE(back, QByteArray("a\r\nb\r\nc\r\nd"));
  }

  // Bytes inserted exactly keep their lone CR and LF whatever ending the
  // document is written with (their CR LF is the document's ending, as in a
  // file), inside a paragraph that has a lone ending of its own too; the text
  // around them keeps the document's ending.
  void exactInsertKeepsLoneEndings_data() {
    QTest::addColumn<QByteArray>("inserted");
    QTest::newRow("lone CR and LF") << QByteArray("1\r2\n3");
    QTest::newRow("CR LF, LF CR") << QByteArray("1\r\n2\n\r3");
    QTest::newRow("breaks only") << QByteArray("\r\r\n\n");
    QTest::newRow("no break") << QByteArray("123");
  }
  void exactInsertKeepsLoneEndings() {
    QFETCH(QByteArray, inserted);
    for (const QByteArray& eol : {QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
      QTextDocument doc;
      tolvan::setDocumentBytes(&doc, "ab\ncd\nef");
      QTextCursor c(&doc);
      c.setPosition(4);  // between c and d
      tolvan::insertBytesExactly(c, "x\ry");
      c.setPosition(7);  // after "cx\ry": inside the paragraph that ends in a lone CR
      tolvan::insertBytesExactly(c, inserted);
      QByteArray back;
      QVERIFY(tolvan::documentToBytes(&doc, eol, &back));
      QCOMPARE(back, "ab" + eol + "cx\ry" + QByteArray(inserted).replace("\r\n", eol) + "d" + eol + "ef");
    }
    // A file loaded and saved keeps one ending throughout.
    QTextDocument doc;
    tolvan::setDocumentBytes(&doc, "a\rb\nc\r\nd");
    QByteArray back;
    QVERIFY(tolvan::documentToBytes(&doc, "\n", &back));
    QCOMPARE(back, QByteArray("a\nb\nc\nd"));
  }

  void wideCharacterIsReportedNotDropped() {
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("ab\ncd") + QChar(0x20AC) + QStringLiteral("e"));
    QByteArray back;
    int bad = -2;
    QVERIFY(!tolvan::documentToBytes(&doc, "\n", &back, &bad));
    QCOMPARE(bad, 5);
    QVERIFY(!tolvan::documentFitsBytes(&doc));
  }

  void letterIIsShownAsItsUnicodeForm() {
    QTextDocument doc;
    tolvan::setDocumentBytes(&doc, QByteArray("\xAD\xB8\xAD"));
    QCOMPARE(doc.toRawText(), QString() + QChar(0x0B87) + QChar(0xB8) + QChar(0x0B87));
    QByteArray back;
    QVERIFY(tolvan::documentToBytes(&doc, "\n", &back));
    QCOMPARE(back, QByteArray("\xAD\xB8\xAD"));
    // The whole-document exchange used around RTF keeps formats and undoes.
    tolvan::documentEditorCharsToBytes(&doc);
    QCOMPARE(doc.toRawText(), QString() + QChar(0xAD) + QChar(0xB8) + QChar(0xAD));
    tolvan::documentBytesToEditorChars(&doc);
    QCOMPARE(doc.toRawText(), QString() + QChar(0x0B87) + QChar(0xB8) + QChar(0x0B87));
    QCOMPARE(tolvan::charToByte(QChar(0x0B88)), -1);
  }

  void selectionBytesUseCarriageReturns() {
    QTextDocument doc;
    tolvan::setDocumentBytes(&doc, QByteArray("\xB8\xA1\n\xA0x"));
    QTextCursor c(&doc);
    c.select(QTextCursor::Document);
    QByteArray sel;
    QVERIFY(tolvan::selectionToBytes(c, &sel));
    QCOMPARE(sel, QByteArray("\xB8\xA1\r\xA0x"));
  }
};

QTEST_MAIN(ByteTextTest)
#include "byte_text_test.moc"
