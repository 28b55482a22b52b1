// The document window's search and output commands in real windows on the
// offscreen platform: prompts answered from a script, the desktop recorded.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrlQuery>

#include "core/convert/unicode_bridge.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/document/link_highlighter.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/document/tamil_line_edit.h"
#include "core/input/keyboard.h"
#include "platform/byte_text.h"
#include "platform/desktop.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "../window_test_util.h"
#include "pdf_tools.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;

namespace {

QByteArray selectionOf(TEditForm* f) {
  QByteArray out;
  tolvan::selectionToBytes(f->Editor->textCursor(), &out);
  return out;
}

void select(TEditForm* f, int start, int end) {
  QTextCursor c(f->Editor->document());
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  f->Editor->setTextCursor(c);
}

// Pages of a PDF file, counted from its page objects.
int pdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = f.readAll();
  if (!pdf.startsWith("%PDF")) return -1;
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
  return int(QString::fromLatin1(pdf).count(page));
}


// The left edge of the ink of each line of text on a PDF's first page,
// rendered at 96 dots per inch by pdftoppm, top to bottom. Empty when the
// page cannot be rendered.
QList<int> inkLeftEdges(const QString& pdf) {
  const QString prefix = pdf + QStringLiteral("-page");
  QProcess run;
  run.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("96"),
                                         QStringLiteral("-f"), QStringLiteral("1"),
                                         QStringLiteral("-l"), QStringLiteral("1"),
                                         QStringLiteral("-singlefile"), QStringLiteral("-png"),
                                         pdf, prefix});
  if (!run.waitForFinished(-1) || run.exitCode() != 0) return {};
  const QImage page(prefix + QStringLiteral(".png"));
  QList<int> edges;
  int left = -1;  // the current band's leftmost ink, -1 between bands
  for (int y = 0; y < page.height(); ++y) {
    int rowLeft = -1;
    for (int x = 0; x < page.width() && rowLeft < 0; ++x)
      if (qGray(page.pixel(x, y)) < 128) rowLeft = x;
    if (rowLeft >= 0) {
      left = left < 0 ? rowLeft : qMin(left, rowLeft);
    } else if (left >= 0) {
      edges << left;
      left = -1;
    }
  }
  return edges;
}

// The text of a PDF as pdftotext gives it (UTF-8); a null string when it
// cannot be read.
QString pdfText(const QString& pdf) {
  QProcess run;
  run.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
  if (!run.waitForFinished(-1) || run.exitCode() != 0) return QString();
  return QString::fromUtf8(run.readAllStandardOutput());
}

bool hasUnicodeTamil(const QString& s) {
  for (const QChar c : s)
    if (tolvan::isUnicodeTamil(c)) return true;
  return false;
}

}  // namespace

class EditCommandsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  tolvan::RecordingDesktop desktop_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }

  // File > Print with the print dialog's output sent to a PDF file.
  void printToPdfFile(TEditForm* f, const QString& pdf) {
    prompts_.printers.push_back([pdf](QPrinter& p) {
      p.setOutputFormat(QPrinter::PdfFormat);
      p.setOutputFileName(pdf);
      return true;
    });
    f->Print1Click();
  }

  // Puts a page break before every paragraph but the first.
  static void pageEachParagraph(TEditForm* f) {
    for (QTextBlock b = f->Editor->document()->firstBlock().next(); b.isValid(); b = b.next()) {
      QTextBlockFormat bf;
      bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      QTextCursor(b).mergeBlockFormat(bf);
    }
  }

  TEditForm* newDocument(const QByteArray& bytes = {}) {
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    if (f && !bytes.isEmpty()) {
      tolvan::setDocumentBytes(f->Editor->document(), bytes);
      f->Editor->moveCursor(QTextCursor::Start);
    }
    return f;
  }

  void setTamil(TEditForm* f, bool on) {
    f->mmAnjalKBClick();
    if (f->isTamilMode() != on) f->mmTamilKBClick();
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
    desktop_.commands.clear();
  }

  // ---------------------------------------------------------------- search

  void findTakesTheSelectionAndSearchesBothWays() {
    TEditForm* f = newDocument("one two One\rtwo one");
    select(f, 4, 7);
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    QVERIFY(d->isVisible());
    QCOMPARE(d->FindField->bytes(), QByteArray("two"));
    QVERIFY(d->FindNext());
    QCOMPARE(f->Editor->textCursor().selectionStart(), 12);  // next paragraph
    QVERIFY(!d->FindNext());
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Text \"two\" not found."));
    // The selection stays where the failed search found it.
    QCOMPARE(f->Editor->textCursor().selectionStart(), 12);
    d->Up->setChecked(true);
    QVERIFY(d->FindNext());
    QCOMPARE(f->Editor->textCursor().selectionStart(), 4);
  }

  void matchCaseAndWholeWord_data() {
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QList<int>>("starts");
    QTest::newRow("plain") << false << false << QList<int>{0, 4, 9};
    QTest::newRow("match case") << true << false << QList<int>{4, 9};
    QTest::newRow("whole word") << false << true << QList<int>{0, 4};
    QTest::newRow("both") << true << true << QList<int>{4};
  }
  void matchCaseAndWholeWord() {
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QList<int>, starts);
    TEditForm* f = newDocument("Cat cat scat");
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    d->FindField->setBytes("cat");
    d->MatchCase->setChecked(matchCase);
    d->WholeWord->setChecked(wholeWord);
    QList<int> found;
    while (d->FindNext()) found << f->Editor->textCursor().selectionStart();
    QCOMPARE(found, starts);
  }

  void tamilWordTypedInTheFieldIsFound() {
    TEditForm* f = newDocument();
    setTamil(f, true);
    QTest::keyClicks(f->Editor, "naan amma vanthen");
    const QByteArray doc = textOf(f);
    f->Editor->moveCursor(QTextCursor::Start);
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    d->FindField->clear();
    QTest::keyClicks(d->FindField, "amma");
    // The field holds the bytes the layout makes of the keys, not the keys.
    tolvan::TamilState fresh;
    tolvan::TextBufferSink typed(tolvan::Layout::Anjal, fresh);
    for (char k : QByteArray("amma")) typed.typeKey(static_cast<unsigned char>(k));
    QCOMPARE(d->FindField->bytes(), QByteArray::fromStdString(typed.text()));
    QVERIFY(d->FindField->bytes() != "amma");
    QVERIFY(d->FindNext());
    QCOMPARE(selectionOf(f), d->FindField->bytes());
    QVERIFY(doc.contains(selectionOf(f)));
    setTamil(f, false);
  }

  void letterIIsFoundByItsByte() {
    // Byte 0xAD is held as a stand-in character in the editor and the field.
    TEditForm* f = newDocument("a \xAD\xB8 b");
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    d->FindField->setBytes("\xAD\xB8");
    QVERIFY(d->FindNext());
    QCOMPARE(selectionOf(f), QByteArray("\xAD\xB8"));
  }

  void replaceAndReplaceAllAsOneUndoStep() {
    TEditForm* f = newDocument("one two one two one");
    f->Replace1Click();
    TFindDialog* d = f->findDialog(true);
    QVERIFY(d->isVisible());
    d->FindField->setBytes("one");
    d->ReplaceField->setBytes("\xB8\xA1");
    QVERIFY(d->Replace());  // selects the first match
    QVERIFY(d->Replace());  // replaces it, selects the next
    QCOMPARE(textOf(f), QByteArray("\xB8\xA1 two one two one"));
    QCOMPARE(d->ReplaceAll(), 2);
    QCOMPARE(textOf(f), QByteArray("\xB8\xA1 two \xB8\xA1 two \xB8\xA1"));
    f->UnDo1Click();
    QCOMPARE(textOf(f), QByteArray("\xB8\xA1 two one two one"));
    d->FindField->setBytes("zzz");
    QCOMPARE(d->ReplaceAll(), 0);
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Text \"zzz\" not found."));
  }

  void replaceAllKeepsFormattingAndParagraphs() {
    // Uniform text across paragraphs: rewritten in one go.
    TEditForm* f = newDocument("one\r\rtwo one\rthree");
    f->Replace1Click();
    TFindDialog* d = f->findDialog(true);
    d->FindField->setBytes("one");
    d->ReplaceField->setBytes("");
    QCOMPARE(d->ReplaceAll(), 2);
    QCOMPARE(textOf(f), QByteArray("\r\rtwo \rthree"));
    f->UnDo1Click();
    QCOMPARE(textOf(f), QByteArray("one\r\rtwo one\rthree"));
    // A bold match keeps its bold; the others stay plain.
    TEditForm* g = newDocument("one two one");
    select(g, 8, 11);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    g->Editor->textCursor().mergeCharFormat(bold);
    g->Replace1Click();
    TFindDialog* e = g->findDialog(true);
    e->FindField->setBytes("one");
    e->ReplaceField->setBytes("xyz");
    QCOMPARE(e->ReplaceAll(), 2);
    QCOMPARE(textOf(g), QByteArray("xyz two xyz"));
    auto weightAt = [g](int pos) {
      QTextCursor c(g->Editor->document());
      c.setPosition(pos + 1);
      return c.charFormat().fontWeight();
    };
    QCOMPARE(weightAt(0), int(QFont::Normal));
    QCOMPARE(weightAt(8), int(QFont::Bold));
  }

  void replaceAllOverALongStretchIsLaidOutAgain() {
    // Long enough that the layout is redone afresh after the edit.
    QByteArray text;
    for (int i = 0; i < 6000; ++i) text += "one two three four five\r";
    TEditForm* f = newDocument(text);
    f->Replace1Click();
    TFindDialog* d = f->findDialog(true);
    d->FindField->setBytes("two");
    d->ReplaceField->setBytes("\xB8\xA1");
    QCOMPARE(d->ReplaceAll(), 6000);
    QByteArray expected = text;
    expected.replace("two", "\xB8\xA1");
    QCOMPARE(textOf(f), expected);
    // The editor is laid out and shows the text again.
    QTest::qWait(50);
    QVERIFY(f->Editor->document()->pageSize().width() > 0);
    QVERIFY(f->Editor->document()->documentLayout()->blockBoundingRect(
                f->Editor->document()->firstBlock()).height() > 0);
    QVERIFY(f->Editor->document()->size().height() > 0);
    f->UnDo1Click();
    QCOMPARE(textOf(f), text);
  }

  void findNextRepeatsTheLastSearchOnly() {
    TEditForm* f = newDocument("ab ab ab");
    f->FindAgain1Click();  // no search yet: nothing happens
    QVERIFY(prompts_.shown.isEmpty());
    QVERIFY(!f->Editor->textCursor().hasSelection());
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    d->FindField->setBytes("ab");
    QVERIFY(d->FindNext());
    f->FindAgain1Click();
    QCOMPARE(f->Editor->textCursor().selectionStart(), 3);
    // F3 reaches the command through the window's menu shortcut.
    QCOMPARE(f->FindAgain1->shortcut(), QKeySequence(Qt::Key_F3));
    f->FindAgain1->trigger();
    QCOMPARE(f->Editor->textCursor().selectionStart(), 6);
    f->FindAgain1->trigger();
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Text \"ab\" not found."));
  }

  void notFoundNamesTamilInUnicode() {
    TEditForm* f = newDocument("abc");
    f->Find1Click();
    TFindDialog* d = f->findDialog(false);
    d->FindField->setBytes("\xB8");
    QVERIFY(!d->FindNext());
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Text \"\u0B95\" not found."));
  }

  void searchActsOnTheDocumentShown_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("Find") << false;
    QTest::newRow("Replace") << true;
  }
  void searchActsOnTheDocumentShown() {
    // Opened on one window, the dialog searches whichever window is active.
    QFETCH(bool, replace);
    TEditForm* first = newDocument("alpha");
    replace ? first->Replace1Click() : first->Find1Click();
    TFindDialog* d = first->findDialog(replace);
    QVERIFY(d->isVisible());
    TEditForm* second = newDocument("beta word");
    QCOMPARE(frame_->ActiveEditForm(), second);
    d->FindField->setBytes("word");
    QVERIFY(d->FindNext());
    QCOMPARE(selectionOf(second), QByteArray("word"));
    QVERIFY(!first->Editor->textCursor().hasSelection());
    if (replace) {
      d->ReplaceField->setBytes("w");
      QCOMPARE(d->ReplaceAll(), 1);
      QCOMPARE(textOf(second), QByteArray("beta w"));
      QCOMPARE(textOf(first), QByteArray("alpha"));
    }
    // Back on the first window, F3 repeats the search there; Ctrl+F there
    // shows the same dialog with that window's selection.
    first->BtnSpeedClick();
    QCOMPARE(frame_->ActiveEditForm(), first);
    prompts_.shown.clear();
    d->FindField->setBytes("lph");
    first->FindAgain1Click();
    QCOMPARE(selectionOf(first), QByteArray("lph"));
    QVERIFY(prompts_.shown.isEmpty());
    select(first, 0, 2);
    replace ? first->Replace1Click() : first->Find1Click();
    QCOMPARE(first->findDialog(replace), d);
    QCOMPARE(d->FindField->bytes(), QByteArray("al"));
    // The window that opened it may close; the dialog goes on with the rest.
    second->Editor->document()->setModified(false);
    second->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    d->FindField->setBytes("ha");
    QVERIFY(d->FindNext());
    QCOMPARE(selectionOf(first), QByteArray("ha"));
  }

  void enterFindsNextEveryTimeTheDialogShows_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("Find") << false;
    QTest::newRow("Replace") << true;
  }
  void enterFindsNextEveryTimeTheDialogShows() {
    // Cancel clicked once does not stay the button Enter presses.
    QFETCH(bool, replace);
    TEditForm* f = newDocument("one two one");
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_));
    for (int round = 0; round < 2; ++round) {
      select(f, 0, 3);
      replace ? f->Replace1Click() : f->Find1Click();
      TFindDialog* d = f->findDialog(replace);
      QVERIFY(QTest::qWaitForWindowActive(d));
      QVERIFY(d->FindNextBtn->isDefault());
      QTest::keyClick(d->FindField, Qt::Key_Return);
      QVERIFY2(d->isVisible(), "Enter closed the dialog");
      QCOMPARE(f->Editor->textCursor().selectionStart(), 8);
      QTest::mouseClick(d->CancelBtn, Qt::LeftButton);
      QVERIFY(!d->isVisible());
    }
  }

  void findAndReplaceDialogsKeepTheirSize_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("find") << false;
    QTest::newRow("replace") << true;
  }
  void findAndReplaceDialogsKeepTheirSize() {
    QFETCH(bool, replace);
    TEditForm* f = newDocument("text");
    replace ? f->Replace1Click() : f->Find1Click();
    TFindDialog* d = f->findDialog(replace);
    QVERIFY(QTest::qWaitForWindowExposed(d));
    // Exactly as large as the layout asks: not resizable (so no window
    // manager adds a resize strip), and never smaller than its contents.
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(d->width() >= d->minimumSizeHint().width());
    QVERIFY(d->height() >= d->minimumSizeHint().height());
    d->resize(d->width() + 50, d->height() - 20);
    QCOMPARE(d->size(), d->minimumSize());
    d->hide();
  }

  // ---------------------------------------------------------------- tools

  void colourDialogStartsFromItsLastChoice() {
    TEditForm* f = newDocument("x");
    prompts_.colorStarts.clear();
    prompts_.colors = {QColor(Qt::red), QColor(Qt::blue)};
    f->SetPenColor1Click();
    f->SetPaperColor1Click();
    f->SetPenColor1Click();  // cancelled
    QCOMPARE(prompts_.colorStarts,
             (QList<QColor>{QColor(Qt::black), QColor(Qt::red), QColor(Qt::blue)}));
    QCOMPARE(f->Editor->palette().color(QPalette::Text), QColor(Qt::red));
    QCOMPARE(f->Editor->palette().color(QPalette::Base), QColor(Qt::blue));
    // The toolbar's buttons use the same dialog.
    frame_->BtnPenClick();
    QCOMPARE(prompts_.colorStarts.last(), QColor(Qt::blue));
  }

  // The pen colour is the document's: with one word selected, every line
  // (the selection, the text beside it, text typed afterwards) is drawn in
  // it, and nothing in the old black remains.
  void penColourColoursTheWholeDocument_data() {
    QTest::addColumn<bool>("toolbar");
    QTest::newRow("Set Pen Color of the document's menu") << false;
    QTest::newRow("Set Pen Color on the toolbar") << true;
  }
  void penColourColoursTheWholeDocument() {
    QFETCH(bool, toolbar);
    TEditForm* f = newDocument("mmmm wwww\rHHHH");
    f->Editor->resize(500, 300);
    select(f, 0, 4);
    prompts_.colors = {QColor(200, 0, 0)};
    toolbar ? frame_->BtnPenClick() : f->SetPenColor1Click();
    QTextCursor end(f->Editor->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral(" kkkk"));
    f->Editor->moveCursor(QTextCursor::Start);  // no selection drawn
    f->Editor->setCursorWidth(0);
    f->Editor->viewport()->repaint();
    const QImage shot = f->Editor->viewport()->grab().toImage();
    f->Editor->setCursorWidth(1);
    // Rows: the selected word, the word beside it, the next line with the
    // text typed after the colour was set.
    struct Piece {
      int from, to;
    };
    for (const Piece piece : {Piece{0, 4}, Piece{5, 9}, Piece{10, 14}, Piece{15, 19}}) {
      QTextCursor c(f->Editor->document());
      c.setPosition(piece.from);
      const QRect left = f->Editor->cursorRect(c);
      c.setPosition(piece.to);
      const QRect right = f->Editor->cursorRect(c);
      const QRect box(QPoint(left.left() + 1, left.top()), QPoint(right.left() - 1, right.bottom()));
      int red = 0, dark = 0;
      for (int y = qMax(0, box.top()); y <= qMin(shot.height() - 1, box.bottom()); ++y)
        for (int x = qMax(0, box.left()); x <= qMin(shot.width() - 1, box.right()); ++x) {
          const QRgb px = shot.pixel(x, y);
          if (qRed(px) > 150 && qGreen(px) < 90 && qBlue(px) < 90) ++red;
          if (qRed(px) < 100 && qGreen(px) < 100 && qBlue(px) < 100) ++dark;
        }
      QVERIFY2(red > 5 && dark == 0,
               qPrintable(QStringLiteral("characters %1-%2: %3 red, %4 dark pixels")
                              .arg(piece.from).arg(piece.to).arg(red).arg(dark)));
    }
  }

  void setFontStartsFromTheEditorsFont() {
    TEditForm* f = newDocument("abc");
    select(f, 0, 3);
    QTextCharFormat big;
    big.setFontPointSize(30);
    f->Editor->textCursor().mergeCharFormat(big);
    prompts_.fontStarts.clear();
    f->Font1Click();
    QCOMPARE(prompts_.fontStarts.size(), 1);
    QCOMPARE(prompts_.fontStarts[0].pointSize(), f->Editor->document()->defaultFont().pointSize());
    QVERIFY(prompts_.fontStarts[0].pointSize() != 30);
  }

  // ---------------------------------------------------------------- output

  void printWritesAPageForEachPage_data() {
    QTest::addColumn<int>("breaks");
    QTest::newRow("one page") << 0;
    QTest::newRow("four pages") << 3;
  }
  void printWritesAPageForEachPage() {
    QFETCH(int, breaks);
    TEditForm* f = newDocument("\xB8\xA1 first\rsecond\rthird\rfourth");
    // Page breaks before the later paragraphs.
    QTextBlock b = f->Editor->document()->firstBlock().next();
    for (int i = 0; i < breaks && b.isValid(); ++i, b = b.next()) {
      QTextCursor c(b);
      QTextBlockFormat bf;
      bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
      c.mergeBlockFormat(bf);
    }
    const QString pdf = path(QStringLiteral("printed%1.pdf").arg(breaks));
    QString jobName;
    prompts_.printers.push_back([&](QPrinter& p) {
      jobName = p.docName();
      p.setOutputFormat(QPrinter::PdfFormat);
      p.setOutputFileName(pdf);
      return true;
    });
    f->Print1Click();
    QCOMPARE(jobName, f->Title());
    QCOMPARE(pdfPages(pdf), breaks + 1);
    // Export as PDF writes the same pages, with the fonts embedded.
    const QString exported = path(QStringLiteral("exported%1.pdf").arg(breaks));
    prompts_.files.push_back({exported.chopped(4)});  // the extension is added
    f->ExportPdf1Click();
    QCOMPARE(pdfPages(exported), breaks + 1);
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("/FontFile2"));
  }

  // A PDF's Tamil can be searched and copied: a Unicode document's by its
  // nature, a TSCII document's because it is drawn through the bridge in
  // the Unicode Tamil font (its first letter, a vowel sign written before
  // its consonant, in another format than the consonant). The TSCII look
  // draws the TSCII glyphs, whose text is the bytes' Latin-1 characters.
  void exportedPdfTextIsUnicodeTamil_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("TSCII document") << "tscii";
    QTest::newRow("Unicode document") << "unicode";
    QTest::newRow("TSCII look") << "look";
  }
  void exportedPdfTextIsUnicodeTamil() {
    QFETCH(QString, kind);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
      QSKIP("pdftotext (poppler-utils) is not installed");
    const QString unicode = QString::fromUtf8("\xe0\xae\x95\xe0\xaf\x8a\xe0\xae\xb2\xe0\xaf\x8d "
                                              "\xe0\xae\xaa\xe0\xae\xbe\xe0\xae\xb2 abc\n"
                                              "\xe0\xae\x85\xe0\xae\xb5\xe0\xae\xa9 \xe0\xae\xae\xe0\xae\xbe\xe0\xae\xa4\xe0\xae\xbe");
    const QStringList words = unicode.split(QRegularExpression(QStringLiteral("\\s"))).mid(1);  // "paala abc avana maathaa"
    QByteArray tscii = QByteArray::fromStdString(tolvan::UnicodeToTscii(unicode.toStdString()));
    tscii.replace('\n', '\r');
    TEditForm* f = newDocument(tscii);
    if (kind == QLatin1String("unicode")) {
      f->setEncoding(tolvan::TextEncoding::Unicode);
      f->Editor->setPlainText(unicode);
    } else {
      QTextCursor c(f->Editor->document());
      c.setPosition(1, QTextCursor::KeepAnchor);
      QTextCharFormat bold;
      bold.setFontWeight(QFont::Bold);
      c.mergeCharFormat(bold);
    }
    QCOMPARE(f->ExportPdfTscii1->isVisible(), kind != QLatin1String("unicode"));
    const QString pdf = path(QStringLiteral("text-%1.pdf").arg(kind));
    prompts_.files.push_back({pdf});
    if (kind == QLatin1String("look"))
      f->ExportPdfTscii1Click();
    else
      f->ExportPdf1Click();
    const QString text = pdfText(pdf);
    QVERIFY(!text.isNull());
    QVERIFY2(text.contains(QStringLiteral("abc")), qPrintable(text));
    if (kind == QLatin1String("look")) {
      QVERIFY2(!hasUnicodeTamil(text), qPrintable(text));
    } else {
      for (const QString& w : words) QVERIFY2(text.contains(w), qPrintable(w + QStringLiteral(" not in ") + text));
    }
    f->Editor->document()->setModified(false);
  }

  // Every kind of Tamil word reads back from the PDF exactly as the
  // document holds it, in order: vowel signs drawn before their consonant,
  // signs on both sides, glyphs standing for several letters, the pulli;
  // and the Latin and digits round them. A TSCII document's words are its
  // text through the bridge. Printing to a file writes the same text.
  void exportedPdfWordsAreTheDocumentsWords_data() {
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<bool>("printed");
    QTest::newRow("Unicode document") << true << false;
    QTest::newRow("TSCII document") << false << false;
    QTest::newRow("Unicode document printed to a file") << true << true;
  }
  void exportedPdfWordsAreTheDocumentsWords() {
    QFETCH(bool, unicode);
    QFETCH(bool, printed);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
      QSKIP("pdftotext (poppler-utils) is not installed");
    const QString text = QStringLiteral(
        "கெடு தேன் மலை கொல் தோல் கௌரவம் குருடு கூடு பூமி படி டீ ஸ்ரீ லக்ஷ்மி மஞ்சள் தமிழ் "
        "அம்மா கை கொ\nTolvan 2024 abc: பெண்கள் 7 நோய்");
    TEditForm* f = nullptr;
    QString expected = text;
    if (unicode) {
      f = newDocument();
      f->setEncoding(tolvan::TextEncoding::Unicode);
      f->Editor->setPlainText(text);
    } else {
      const std::string tscii = tolvan::UnicodeToTscii(text.toStdString());
      f = newDocument(QByteArray::fromStdString(tscii).replace('\n', '\r'));
      expected = QString::fromStdString(tolvan::TsciiToUnicode(tscii));
    }
    const QString pdf =
        path(QStringLiteral("words-%1%2.pdf")
                 .arg(unicode ? QStringLiteral("unicode") : QStringLiteral("tscii"),
                      printed ? QStringLiteral("-printed") : QString()));
    if (printed) {
      printToPdfFile(f, pdf);
    } else {
      prompts_.files.push_back({pdf});
      f->ExportPdf1Click();
    }
    QStringList got = pdfText(pdf).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    // The page number at the foot (the document's own text ends in a word).
    QVERIFY(!got.isEmpty());
    QCOMPARE(got.takeLast(), QStringLiteral("1"));
    QCOMPARE(got, expected.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts));
    f->Editor->document()->setModified(false);
  }

  // An empty document whose paragraph is a bullet: printing, the PDF and
  // the wallpaper picture copy the document, which Qt cannot do for such a
  // document (the copy crashed the program). A blank page comes out.
  void anEmptyBulletedDocumentPrints() {
    TEditForm* f = newDocument();
    frame_->BulletsFlatButton->click();
    QVERIFY(f->Editor->textCursor().currentList());
    const QString pdf = path(QStringLiteral("bullet.pdf"));
    printToPdfFile(f, pdf);
    QCOMPARE(pdfPages(pdf), 1);
    prompts_.files.push_back({path(QStringLiteral("bulletx"))});
    f->ExportPdf1Click();
    QCOMPARE(pdfPages(path(QStringLiteral("bulletx.pdf"))), 1);
    QCOMPARE(f->RenderPage().size(), f->Editor->size());
  }

  // Paragraph indents reach the paper as the window shows them, in inches:
  // the first line at the left margin plus the first-line indent, the lines
  // after it at the left margin, measured from an unindented paragraph.
  void printedPagesKeepIndents_data() {
    QTest::addColumn<bool>("exported");
    QTest::newRow("print to file") << false;
    QTest::newRow("export as PDF") << true;
  }
  void printedPagesKeepIndents() {
    QFETCH(bool, exported);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
      QSKIP("pdftoppm (poppler-utils) is not installed");
    const QByteArray words = QByteArray("HHHH ").repeated(15);  // two lines
    TEditForm* f = newDocument("HHHH\r" + words + "\r" + words);
    struct Indent {
      qreal left, first;  // in pixels of the window (96 to the inch)
    };
    const Indent indents[] = {{0, 0}, {48, -24}, {24, 36}};
    QTextBlock b = f->Editor->document()->firstBlock();
    for (const Indent& in : indents) {
      QTextCursor c(b);
      QTextBlockFormat bf;
      bf.setLeftMargin(in.left);
      bf.setTextIndent(in.first);
      c.mergeBlockFormat(bf);
      QTextCharFormat cf;
      cf.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
      c.select(QTextCursor::BlockUnderCursor);
      c.mergeCharFormat(cf);
      b = b.next();
    }
    const QString pdf = path(exported ? QStringLiteral("indents.pdf") : QStringLiteral("indentp.pdf"));
    if (exported) {
      prompts_.files.push_back({pdf});
      f->ExportPdf1Click();
    } else {
      printToPdfFile(f, pdf);
    }
    const QList<int> edges = inkLeftEdges(pdf);
    QVERIFY2(edges.size() >= 5, qPrintable(QStringLiteral("%1 lines").arg(edges.size())));
    // The unindented line, then each indented paragraph's first and second
    // line, 96 pixels to the inch on paper as in the window.
    const int want[] = {0, 24, 48, 60, 24};
    for (int i = 0; i < 5; ++i)
      QVERIFY2(qAbs(edges[i] - edges[0] - want[i]) <= 2,
               qPrintable(QStringLiteral("line %1 starts %2 px in, not %3")
                              .arg(i).arg(edges[i] - edges[0]).arg(want[i])));
  }

  // Every printed and exported page, in either look, carries its number in
  // the bottom margin on the right, in the document's default font at its
  // own size: pdftotext reads it as the page's last line, and the drawn page
  // shows it whole, the size of a digit of that font, well inside the paper.
  void everyPageShowsItsNumberAtTheFoot_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("print to file") << "print";
    QTest::newRow("export as PDF") << "export";
    QTest::newRow("export, TSCII look") << "look";
    QTest::newRow("Unicode document") << "unicode";
  }
  void everyPageShowsItsNumberAtTheFoot() {
    QFETCH(QString, how);
    if (!pdftools::available()) QSKIP("pdftotext and pdftoppm (poppler-utils) are not installed");
    TEditForm* f = newDocument("\xB8\xA1 first\rsecond\rthird");
    if (how == QLatin1String("unicode")) {
      f->setEncoding(tolvan::TextEncoding::Unicode);
      f->Editor->setPlainText(QString::fromUtf16(u"கொல் first\nsecond\nthird"));
    }
    const QFont font = f->Editor->document()->defaultFont();
    QVERIFY(font.pointSizeF() > 0);
    pageEachParagraph(f);
    const QString pdf = path(QStringLiteral("numbers-%1.pdf").arg(how));
    if (how == QLatin1String("print")) {
      printToPdfFile(f, pdf);
    } else {
      prompts_.files.push_back({pdf});
      if (how == QLatin1String("look"))
        f->ExportPdfTscii1Click();
      else
        f->ExportPdf1Click();
    }
    const QStringList pages = pdftools::text(pdf, {QStringLiteral("-layout")}).split(QChar(u'\f'));
    QVERIFY2(pages.size() >= 3, qPrintable(QStringLiteral("%1 pages").arg(pages.size())));
    const int dpi = 100;
    const qreal em = font.pointSizeF() * dpi / 72;  // the font's size on the drawn page
    for (int n = 1; n <= 3; ++n) {
      const QString number = QString::number(n);
      QStringList lines = pages[n - 1].split(QLatin1Char('\n'));
      while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
      QVERIFY(!lines.isEmpty());
      QCOMPARE(lines.last().trimmed(), number);

      const QImage page = pdftools::page(pdf, n, dpi);
      QVERIFY(!page.isNull());
      // The lowest rows with ink, with gaps no taller than a quarter of the
      // font's size (a thin stroke drawn lighter): the page number, below
      // the text by more than that.
      auto inkIn = [&](int y, int* left, int* right) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        bool any = false;
        for (int x = 0; x < page.width(); ++x) {
          if (qGray(row[x]) >= 128) continue;
          *left = any ? qMin(*left, x) : x;
          *right = x;
          any = true;
        }
        return any;
      };
      int bottom = page.height() - 1, left = 0, right = 0;
      while (bottom >= 0 && !inkIn(bottom, &left, &right)) --bottom;
      QVERIFY2(bottom >= 0, qPrintable(QStringLiteral("page %1 is blank").arg(n)));
      int top = bottom, l = left, r = right;
      for (int y = bottom - 1; y >= 0 && top - y <= em / 4; --y) {
        if (!inkIn(y, &l, &r)) continue;
        top = y;
        left = qMin(left, l);
        right = qMax(right, r);
      }
      const int height = bottom - top + 1;
      const QString where = QStringLiteral("page %1: ink %2 px high, x %3 to %4, y %5 to %6 of %7 x %8")
                                .arg(n).arg(height).arg(left).arg(right).arg(top).arg(bottom)
                                .arg(page.width()).arg(page.height());
      QVERIFY2(height < page.height() * 0.03, qPrintable(where));
      QVERIFY2(height > 0.4 * em && height < em, qPrintable(where));
      // On the right, clear of the paper's edges by the margin.
      const int cm = qRound(dpi / 2.54);
      QVERIFY2(left > page.width() / 2 && right < page.width() - cm && bottom < page.height() - cm,
               qPrintable(where));
    }
    f->Editor->document()->setModified(false);
  }

  // Printing to a file writes the pages the dialog chose, numbered as in
  // the whole document.
  void printToFileKeepsThePageRange() {
    if (!pdftools::available()) QSKIP("pdftotext and pdftoppm (poppler-utils) are not installed");
    TEditForm* f = newDocument("one\rtwo\rthree");
    pageEachParagraph(f);
    const QString pdf = path(QStringLiteral("range.pdf"));
    prompts_.printers.push_back([&](QPrinter& p) {
      p.setOutputFormat(QPrinter::PdfFormat);
      p.setOutputFileName(pdf);
      p.setPrintRange(QPrinter::PageRange);
      p.setFromTo(2, 3);
      return true;
    });
    f->Print1Click();
    QCOMPARE(pdfPages(pdf), 2);
    QStringList pages = pdftools::text(pdf).split(QChar(u'\f'), Qt::SkipEmptyParts);
    pages.removeIf([](const QString& page) { return page.trimmed().isEmpty(); });
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pdftools::words(pages[0]), (QStringList{QStringLiteral("two"), QStringLiteral("2")}));
    QCOMPARE(pdftools::words(pages[1]), (QStringList{QStringLiteral("three"), QStringLiteral("3")}));
    f->Editor->document()->setModified(false);
  }

  void cancelledPrintPrintsNothing() {
    TEditForm* f = newDocument("x");
    f->Print1Click();  // no scripted answer: cancelled
    QCOMPARE(prompts_.shown, QStringList{QStringLiteral("Print")});
    f->Printersetup1Click();
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Printer setup"));
  }

  void exportToAnUnwritablePlaceSaysSo() {
    TEditForm* f = newDocument("x");
    const QString bad = path(QStringLiteral("no/such/folder/x.pdf"));
    prompts_.files.push_back({bad});
    f->ExportPdf1Click();
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Cannot write %1").arg(bad));
  }

  void emailSendsTheWholeTextAsUnicode() {
    const QByteArray tamil = "\xA6\xB8\xA1 abc\r\xAD\xB8";  // ko abc / i ka
    TEditForm* f = newDocument(tamil);
    select(f, 4, 7);  // one word selected: the whole text still goes
    f->Email1Click();
    QCOMPARE(desktop_.urls.size(), 1);
    const QUrl url = desktop_.urls.first();
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    const QString body =
        QUrlQuery(url).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    QByteArray crlf = tamil;
    crlf.replace("\r", "\r\n");
    const std::string expected = tolvan::TsciiToUnicode(crlf.toStdString());
    QCOMPARE(body, QString::fromStdString(expected));
    QVERIFY(body.contains(QChar(0x0B95)));
    // No selection: the whole text becomes selected.
    TEditForm* g = newDocument("abc");
    g->Email1Click();
    QCOMPARE(g->Editor->textCursor().selectedText(), QStringLiteral("abc"));
    // An empty document sends an empty body.
    TEditForm* e = newDocument();
    e->Email1Click();
    QCOMPARE(desktop_.urls.last().toString(QUrl::FullyEncoded), QStringLiteral("mailto:?body="));
  }

  // A text whose mail URL is too long for the mail program's command line
  // asks what to do instead of starting nothing and saying nothing.
  void emailOfALongTextAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("the part that fits") << int(Prompts::Answer::Yes);
    QTest::newRow("the clipboard") << int(Prompts::Answer::No);
    QTest::newRow("nothing") << int(Prompts::Answer::Cancel);
  }
  void emailOfALongTextAsks() {
    QFETCH(int, answer);
    QByteArray tamil;  // about 200 KB: ka ko, a line break every 100 letters
    for (int i = 0; i < 70000; ++i) tamil += (i % 100 == 99) ? QByteArray("\r") : QByteArray("\xB8\xA1 ");
    TEditForm* f = newDocument(tamil);
    QByteArray crlf = tamil;
    crlf.replace("\r", "\r\n");
    const QString whole = QString::fromStdString(tolvan::TsciiToUnicode(crlf.toStdString()));
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    prompts_.reset();  // whatever the frame's start said
    prompts_.answers.push_back(Prompts::Answer(answer));
    f->Email1Click();
    QCOMPARE(prompts_.shown.size(), 1);
    const QRegularExpression counts(QStringLiteral("only its first (\\d+) of (\\d+) characters fit"));
    const auto m = counts.match(prompts_.shown.first());
    QVERIFY2(m.hasMatch(), qPrintable(prompts_.shown.first()));
    QCOMPARE(m.captured(2).toInt(), whole.size());
    if (Prompts::Answer(answer) == Prompts::Answer::Cancel) {
      QVERIFY(desktop_.urls.isEmpty());
      QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
      return;
    }
    QCOMPARE(desktop_.urls.size(), 1);
    const QByteArray url = desktop_.urls.first().toEncoded();
    QVERIFY(url.size() < 128 * 1024);
    const QString body =
        QUrlQuery(desktop_.urls.first()).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    if (Prompts::Answer(answer) == Prompts::Answer::Yes) {
      // As much as fits, from the start, the size the question named.
      QVERIFY(url.size() > 128 * 1024 - 20);
      QCOMPARE(body.size(), m.captured(1).toInt());
      QVERIFY(whole.startsWith(body));
      QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    } else {
      QCOMPARE(url, QByteArray("mailto:?body="));
      QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    }
  }

  // A click on a web, ftp or mail link opens it; on anything else (a program
  // or a launcher that the desktop might run) only after a Yes to a question
  // that names it.
  void linkClickAsksBeforeOpeningAnythingButWebAndMail_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QStringList>("answers");  // "yes" or "no", one per question
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("opens");
    QTest::newRow("web") << QStringLiteral("https://example.com/a") << QStringList{} << false << true;
    QTest::newRow("www") << QStringLiteral("www.example.com") << QStringList{} << false << true;
    QTest::newRow("ftp") << QStringLiteral("ftp://ftp.debian.org/") << QStringList{} << false << true;
    QTest::newRow("mail") << QStringLiteral("mailto:a@example.com") << QStringList{} << false << true;
    QTest::newRow("program, no") << QStringLiteral("file:///bin/sh") << QStringList{"no"} << true << false;
    QTest::newRow("program, unanswered") << QStringLiteral("file:///bin/sh") << QStringList{} << true << false;
    QTest::newRow("launcher, yes")
        << QStringLiteral("file:///usr/share/applications/x.desktop") << QStringList{"yes"} << true << true;
  }
  void linkClickAsksBeforeOpeningAnythingButWebAndMail() {
    QFETCH(QString, link);
    QFETCH(QStringList, answers);
    QFETCH(bool, asks);
    QFETCH(bool, opens);
    TEditForm* f = newDocument("see " + link.toLatin1() + " now");
    prompts_.reset();  // whatever the frame's start said
    auto* links = f->Editor->findChild<TLinkHighlighter*>();
    QVERIFY(links);
    links->markVisible();
    QTextCursor c(f->Editor->document());
    c.setPosition(6);
    const QPoint at = f->Editor->cursorRect(c).center() + QPoint(2, 0);
    QVERIFY(!links->linkAt(at).isEmpty());
    for (const QString& a : answers)
      prompts_.answers.push_back(a == QLatin1String("yes") ? Prompts::Answer::Yes : Prompts::Answer::No);
    QTest::mouseClick(f->Editor->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(prompts_.shown.size(), asks ? 1 : 0);
    if (asks) QVERIFY(prompts_.shown.first().contains(link));
    const QString target = link.startsWith(QLatin1String("www.")) ? "http://" + link : link;
    QCOMPARE(desktop_.urls, opens ? QList<QUrl>{QUrl(target)} : QList<QUrl>{});
  }

  void wallpaperSavesTheEditorSizedPictureAndNamesTheCommands() {
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    TEditForm* f = newDocument("\xB8\xA1 wallpaper\r" + QByteArray(2000, 'x'));
    f->SetasWallpaper1Click();
    const QString bmp = TEditForm::wallpaperPath();
    QVERIFY(bmp.startsWith(path("data")));
    QImage image(bmp);
    QCOMPARE(image.size(), f->Editor->size());
    QCOMPARE(desktop_.commands.size(), 2);
    const QString uri = QUrl::fromLocalFile(bmp).toString(QUrl::FullyEncoded);
    QCOMPARE(desktop_.commands[0],
             (QStringList{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri}));
    QCOMPARE(desktop_.commands[1][3], QStringLiteral("picture-uri-dark"));
    // Something was drawn: not every pixel is the paper colour.
    const QRgb paper = image.pixel(image.width() - 1, image.height() - 1);
    bool drawn = false;
    for (int y = 0; y < 30 && !drawn; ++y)
      for (int x = 0; x < image.width() && !drawn; ++x) drawn = image.pixel(x, y) != paper;
    QVERIFY(drawn);
    // Again: the same file, overwritten; another desktop, no command.
    qputenv("XDG_CURRENT_DESKTOP", "XFCE");
    desktop_.commands.clear();
    f->SetasWallpaper1Click();
    QVERIFY(QFile::exists(bmp));
    QVERIFY(desktop_.commands.isEmpty());
    qunsetenv("XDG_CURRENT_DESKTOP");
  }

  void popupMenuItemsInOrder() {
    TEditForm* f = newDocument("x");
    QStringList captions;
    QList<bool> enabled;
    for (QAction* a : f->EditMenu->actions()) {
      captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
      enabled << a->isEnabled();
    }
    QCOMPARE(captions, (QStringList{"Save", "Select All", "-", "Mylai to TSCII", "Anjal to TSCII",
                                    "Roman to TSCII", "TSCII to TAB", "-", "Set as WallPaper", "-",
                                    "Convert Fonts Using"}));
    // Select All works from the menu.
    f->EditMenu->actions()[1]->trigger();
    QCOMPARE(f->Editor->textCursor().selectedText(), QStringLiteral("x"));
  }

  void linksAreMarkedAndOpenOnAClick() {
    TEditForm* f = newDocument("go to www.example.com now");
    f->Editor->document()->setModified(false);
    QTest::qWait(50);  // the marking runs from the event loop
    QCoreApplication::processEvents();
    const QByteArray before = textOf(f);
    // A point in the middle of the address.
    QTextCursor c(f->Editor->document());
    c.setPosition(12);
    const QRect r = f->Editor->cursorRect(c);
    const QPoint at = r.center() + QPoint(2, 0);
    QTest::mouseMove(f->Editor->viewport(), at);
    QCOMPARE(f->Editor->viewport()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(f->Editor->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(desktop_.urls.size(), 1);
    QCOMPARE(desktop_.urls.first(), QUrl(QStringLiteral("http://www.example.com")));
    // Marking is display only: the text and its formats are unchanged.
    QCOMPARE(textOf(f), before);
    QVERIFY(!f->Editor->document()->isModified());
    const QTextCharFormat cf = f->Editor->document()->findBlock(12).begin().fragment().charFormat();
    QVERIFY(!cf.fontUnderline());
    // Off the address: the text pointer, and a click opens nothing.
    c.setPosition(1);
    const QPoint off = f->Editor->cursorRect(c).center() + QPoint(2, 0);
    QTest::mouseMove(f->Editor->viewport(), off);
    QCOMPARE(f->Editor->viewport()->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseClick(f->Editor->viewport(), Qt::LeftButton, {}, off);
    QCOMPARE(desktop_.urls.size(), 1);
  }
};

QTEST_MAIN(EditCommandsTest)
#include "edit_commands_test.moc"
