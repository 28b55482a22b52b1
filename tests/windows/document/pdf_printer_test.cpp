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

// A document for each fixture: Tamil words in the Unicode Tamil font; the
// same bold and italic (faces the font does not have); Latin and digits
// with Tamil among them, underlined, coloured, a link and a picture; and
// enough Tamil for several pages.
std::unique_ptr<QTextDocument> document(Fixture kind) {
  auto doc = std::make_unique<QTextDocument>();
  // Sized in pixels: a size in points would give the page number a size in
  // the printer's points, scaled up again with the page.
  QFont font(QStringLiteral("Lohit Tamil"));
  font.setPixelSize(19);
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
};

QTEST_MAIN(PdfPrinterTest)
#include "pdf_printer_test.moc"
