// The PDF printer: the text of its files reads back as written, Tamil words
// whole and in order, while its pages look as Qt's own PDF printer draws
// them, and the files stay sound.
#include "platform/pdf_printer.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QtTest>

#include "platform/byte_text.h"
#include "platform/pdf_text_spans.h"
#include "pdf_tools.h"

namespace {

// Tamil words of every shape, and what each one tries.
const char16_t* const kTamilWords[] = {
    u"கெடு",      // a vowel sign drawn before its consonant (e), and டு
    u"தேன்",      // the long e, a consonant with its pulli
    u"மலை",       // ai, drawn before its consonant
    u"கொல்",      // o: a sign on each side
    u"தோல்",      // long o
    u"கௌரவம்",    // au
    u"குருடு",    // ku, ru, du: each a glyph of its own
    u"கூடு",      // long u
    u"பூமி",      // long u of pa, the i sign
    u"படி",       // ti, one glyph
    u"டீ",        // tii, one glyph
    u"ஸ்ரீ",       // shri, one glyph of four letters
    u"லக்ஷ்மி",    // ksha
    u"மஞ்சள்",    // nja-cha
    u"தமிழ்",     // plain letters and a pulli
    u"அம்மா",     // a vowel, the aa sign
    u"௧௨௩",       // Tamil digits
};

QString tamilText() {
  QStringList words;
  for (const char16_t* w : kTamilWords) words << QString::fromUtf16(w);
  return words.join(QLatin1Char(' '));
}

enum class Fixture { Tamil, Bold, Mixed, Pages };

using tolvan::pdfspans::Part;

// What Qt writes for a text item: a text object whose font line ends in
// "Tm", then a line for each glyph that prints.
constexpr char kFontLine[] = "BT\n/F7 19 Tf 1 0 0 -1 0 0 Tm\n";
QByteArray glyphLine(int n) { return QByteArray::number(n) + " 0 Td <000" + QByteArray::number(n) + "> Tj\n"; }
QByteArray glyphLines(int from, int to) {
  QByteArray out;
  for (int n = from; n <= to; ++n) out += glyphLine(n);
  return out;
}
QByteArray span(const char* hex) { return QByteArray("/Span <</ActualText <FEFF") + hex + ">>>\nBDC\n"; }

// A document for each fixture: Tamil words in the Unicode Tamil font; the
// same bold and italic (faces the font does not have); Latin and digits
// with Tamil among them, underlined, coloured, a link and a picture; and
// enough Tamil for several pages.
std::unique_ptr<QTextDocument> document(Fixture kind) {
  auto doc = std::make_unique<QTextDocument>();
  QFont font(QStringLiteral("Lohit Tamil"));
  font.setPointSize(14);
  doc->setDefaultFont(font);
  QTextCursor c(doc.get());
  switch (kind) {
    case Fixture::Tamil:
      c.insertText(tamilText());
      break;
    case Fixture::Bold: {
      QTextCharFormat bold;
      bold.setFontWeight(QFont::Bold);
      c.insertText(tamilText(), bold);
      c.insertBlock();
      QTextCharFormat italic;
      italic.setFontItalic(true);
      c.insertText(QString::fromUtf16(u"கொல் பூமி abc"), italic);
      break;
    }
    case Fixture::Mixed: {
      c.insertText(QStringLiteral("Tolvan 2024, "));
      QTextCharFormat underline;
      underline.setFontUnderline(true);
      c.insertText(QString::fromUtf16(u"கொடு"), underline);
      QTextCharFormat colour;
      colour.setForeground(Qt::darkRed);
      c.insertText(QString::fromUtf16(u" caf\u00e9 e\u0301 "), colour);
      QTextCharFormat link;
      link.setAnchor(true);
      link.setAnchorHref(QStringLiteral("https://example.org/"));
      c.insertText(QString::fromUtf16(u"தொடர்பு"), link);
      c.insertText(QStringLiteral(" "), QTextCharFormat());
      QImage picture(40, 20, QImage::Format_RGB32);
      picture.fill(Qt::blue);
      doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("picture")), picture);
      QTextImageFormat image;
      image.setName(QStringLiteral("picture"));
      c.insertImage(image);
      c.insertText(QString::fromUtf16(u" கை 42"));
      break;
    }
    case Fixture::Pages:
      for (int n = 0; n < 60; ++n) {
        c.insertText(tamilText() + QLatin1Char(' ') + QString::number(n));
        c.insertBlock();
      }
      break;
  }
  return doc;
}

// The words the document's text should read as: its own, without the
// picture's placeholder character.
QStringList documentWords(const QTextDocument& doc) {
  QString text = doc.toPlainText();
  text.remove(QChar::ObjectReplacementCharacter);
  return pdftools::words(text);
}

int countOf(const QString& file, const QByteArray& what) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  return int(f.readAll().count(what));
}

}  // namespace

class PdfPrinterTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString print(QPrinter& printer, const QTextDocument& doc, const QString& name) {
    const QString file = dir_.filePath(name);
    printer.setOutputFileName(file);
    printer.setFontEmbeddingEnabled(true);
    tolvan::printDocument(&doc, &printer);
    return file;
  }

 private slots:
  void initTestCase() {
    if (!pdftools::available()) QSKIP("pdftotext and pdftoppm (poppler-utils) are not installed");
  }

  void fixtures_data() {
    QTest::addColumn<Fixture>("kind");
    QTest::newRow("Tamil") << Fixture::Tamil;
    QTest::newRow("bold and italic") << Fixture::Bold;
    QTest::newRow("Latin, link, picture") << Fixture::Mixed;
    QTest::newRow("pages") << Fixture::Pages;
  }
  void fixtures() {
    QFETCH(Fixture, kind);
    const std::unique_ptr<QTextDocument> doc = document(kind);
    const QString tag = QString::number(int(kind));
    QPrinter plain(QPrinter::HighResolution);
    plain.setOutputFormat(QPrinter::PdfFormat);
    const QString qtFile = print(plain, *doc, QStringLiteral("qt%1.pdf").arg(tag));
    tolvan::PdfTextPrinter printer;
    const QString file = print(printer, *doc, QStringLiteral("ours%1.pdf").arg(tag));

    // The text: the document's words, each page's number after its text
    // (pdftotext ends each page with a form feed).
    QStringList got;
    int pages = 0;
    for (const QString& page : pdftools::text(file).split(QChar(u'\f'), Qt::SkipEmptyParts)) {
      QStringList words = pdftools::words(page);
      if (words.isEmpty()) continue;
      ++pages;
      QCOMPARE(words.takeLast(), QString::number(pages));
      got << words;
    }
    QVERIFY(kind == Fixture::Pages ? pages > 2 : pages == 1);
    const QStringList expected = documentWords(*doc);
    QCOMPARE(got, expected);

    // The pages: drawn as Qt draws them, pixel for pixel.
    for (int n = 1; n <= pages; ++n) {
      const QImage ours = pdftools::page(file, n, 150);
      const QImage qt = pdftools::page(qtFile, n, 150);
      QVERIFY(!ours.isNull() && !qt.isNull());
      QCOMPARE(ours.size(), qt.size());
      int inked = 0, differing = 0;
      for (int y = 0; y < ours.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(ours.constScanLine(y));
        const QRgb* b = reinterpret_cast<const QRgb*>(qt.constScanLine(y));
        for (int x = 0; x < ours.width(); ++x) {
          inked += qGray(b[x]) < 128;
          differing += a[x] != b[x];
        }
      }
      QVERIFY(inked > 0);  // a page number at least
      QVERIFY2(differing == 0, qPrintable(QStringLiteral("page %1: %2 pixels differ").arg(n).arg(differing)));
    }

    // A link is one link, however its text is drawn.
    QCOMPARE(countOf(file, "/Subtype /Link"), countOf(qtFile, "/Subtype /Link"));

    // The file is sound, its content streams included, where qpdf can say.
    if (!QStandardPaths::findExecutable(QStringLiteral("qpdf")).isEmpty()) {
      QProcess check;
      check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), file});
      QVERIFY(check.waitForFinished(-1));
      QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
               check.readAllStandardOutput() + check.readAllStandardError());
    }
  }

  // The spans written into what Qt drew for one text item: round each
  // spanned part's glyph lines, inside the text object, nothing else
  // touched; what came before the item is left alone; bytes of another
  // shape than Qt's are left as they are.
  void spansGoRoundTheirGlyphs_data() {
    QTest::addColumn<QString>("chars");
    QTest::addColumn<QList<bool>>("prints");  // for each glyph
    QTest::addColumn<QList<int>>("parts");    // glyphFrom, glyphTo, charFrom, charTo, spanned; ...
    QTest::addColumn<QByteArray>("drawn");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = QByteArray("q\n") + kFontLine;
    const QByteArray tail = "ET\nQ\n";
    // கொல்: e-sign, ka, aa-sign, l-with-pulli.
    const QString kol = QString::fromUtf16(u"கொல்");
    QTest::newRow("each cluster its span")
        << kol << QList<bool>{true, true, true, true} << QList<int>{0, 3, 0, 2, 1, 3, 4, 2, 4, 1}
        << head + glyphLines(1, 4) + tail
        << head + span("0B950BCA") + glyphLines(1, 3) + "EMC\n" + span("0BB20BCD") + glyphLine(4) + "EMC\n" + tail;
    // a கை: a, space, ai-sign, ka.
    QTest::newRow("plain glyphs between")
        << QString::fromUtf16(u"a கை") << QList<bool>{true, true, true, true}
        << QList<int>{0, 2, 0, 2, 0, 2, 4, 2, 4, 1} << head + glyphLines(1, 4) + tail
        << head + glyphLines(1, 2) + span("0B950BC8") + glyphLines(3, 4) + "EMC\n" + tail;
    // Bold drawn twice: the second pass keeps Qt's own span, outside ours.
    const QByteArray again = "1 0 0 -1 0 0 Tm\n/Span << /ActualText <> >> BDC\n" + glyphLines(1, 4) + "EMC\n";
    QTest::newRow("drawn twice")
        << kol << QList<bool>{true, true, true, true} << QList<int>{0, 3, 0, 2, 1, 3, 4, 2, 4, 1}
        << head + glyphLines(1, 4) + again + tail
        << head + span("0B950BCA") + glyphLines(1, 3) + "EMC\n" + span("0BB20BCD") + glyphLine(4) + "EMC\n" + again +
               tail;
    // க, a joiner that draws nothing, ஷ: the joiner has no line.
    QTest::newRow("a glyph that does not print")
        << QString::fromUtf16(u"க\u200Cஷ") << QList<bool>{true, false, true}
        << QList<int>{0, 1, 0, 1, 1, 1, 2, 1, 2, 0, 2, 3, 2, 3, 1} << head + glyphLines(1, 2) + tail
        << head + span("0B95") + glyphLine(1) + "EMC\n" + span("0BB7") + glyphLine(2) + "EMC\n" + tail;
    QTest::newRow("more glyph lines than glyphs")
        << kol << QList<bool>{true, true, true, true} << QList<int>{0, 3, 0, 2, 1, 3, 4, 2, 4, 1}
        << head + glyphLines(1, 5) + tail << head + glyphLines(1, 5) + tail;
    QTest::newRow("nothing drawn") << kol << QList<bool>{true, true, true, true}
                                   << QList<int>{0, 3, 0, 2, 1, 3, 4, 2, 4, 1} << QByteArray("q\nQ\n")
                                   << QByteArray("q\nQ\n");
  }
  void spansGoRoundTheirGlyphs() {
    QFETCH(QString, chars);
    QFETCH(QList<bool>, prints);
    QFETCH(QList<int>, parts);
    QFETCH(QByteArray, drawn);
    QFETCH(QByteArray, expected);
    QGlyphLayoutArray<8> glyphs;
    for (int g = 0; g < prints.size(); ++g) glyphs.attributes[g].dontPrint = !prints[g];
    std::vector<Part> partList;
    for (qsizetype i = 0; i + 4 < parts.size(); i += 5)
      partList.push_back({parts[i], parts[i + 1], parts[i + 2], parts[i + 3], parts[i + 4] != 0});
    // An earlier item's text object, which stays as it is.
    const QByteArray before = QByteArray(kFontLine) + glyphLine(9) + "ET\n";
    QByteArray bytes = before + drawn;
    tolvan::pdfspans::markSpans(bytes, before.size(), chars.constData(), glyphs.mid(0, int(prints.size())), partList);
    QCOMPARE(bytes, before + expected);
  }
};

QTEST_MAIN(PdfPrinterTest)
#include "pdf_printer_test.moc"
