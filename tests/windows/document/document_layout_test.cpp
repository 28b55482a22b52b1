// The document window's text layout: lines broken as Qt's own layout breaks
// them, edits laid out where they happen, estimates replaced by real heights,
// and positions, hits and sizes that agree with each other.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextList>
#include <QPainter>
#include <QImage>
#include <memory>

#include "windows/document/document_layout.h"

namespace {

// A paragraph of words, about n characters long.
QString words(int n, int seed = 0) {
  static const char* w[] = {"tamil", "a", "keyboard", "typewriter", "the", "phonetic", "x", "romanised"};
  QString s;
  for (int k = seed; s.size() < n; ++k) s += QString::fromLatin1(w[k % 8]) + QLatin1Char(' ');
  return s.trimmed();
}

// What the program's documents hold: plain, aligned, indented and hanging
// paragraphs, list items, a larger font in mid-line, tabs, empty paragraphs.
void fillSample(QTextDocument* doc) {
  QTextCursor c(doc);
  c.insertText(words(300));
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  c.insertBlock(centred);
  c.insertText(words(120, 1));
  QTextBlockFormat indented;
  indented.setLeftMargin(30);
  indented.setTextIndent(25);
  c.insertBlock(indented);
  c.insertText(words(200, 2));
  QTextBlockFormat hanging;
  hanging.setLeftMargin(40);
  hanging.setTextIndent(-20);
  hanging.setAlignment(Qt::AlignJustify);
  c.insertBlock(hanging);
  c.insertText(words(250, 3));
  c.insertBlock(QTextBlockFormat());
  QTextCharFormat big;
  big.setFontPointSize(24);
  c.insertText(words(40, 4));
  c.insertText(words(30, 5), big);
  c.insertText(words(60, 6), QTextCharFormat());
  c.insertBlock(QTextBlockFormat());
  c.insertBlock(QTextBlockFormat());
  c.insertText(QStringLiteral("col1\tcol2\t\tcol3 ") + words(80, 7));
  QTextListFormat list;
  list.setStyle(QTextListFormat::ListDisc);
  list.setIndent(1);
  c.insertBlock(QTextBlockFormat());
  c.createList(list);
  c.insertText(words(150, 8));
  c.insertBlock();
  c.insertText(words(20, 9));
  QTextBlockFormat right;
  right.setAlignment(Qt::AlignRight);
  right.setRightMargin(15);
  c.insertBlock(right);
  c.insertText(words(90, 10));
}

// A document with our layout, laid out for a page width.
std::unique_ptr<QTextDocument> ourDocument(qreal width) {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDocumentLayout(new TDocumentLayout(doc.get()));
  doc->setDocumentMargin(0);  // as in the document window
  doc->setPageSize(QSizeF(width, -1));
  return doc;
}

TDocumentLayout* layoutOf(QTextDocument* doc) { return static_cast<TDocumentLayout*>(doc->documentLayout()); }

void measureAll(QTextDocument* doc) {
  for (int i = 0; i < 100000 && !layoutOf(doc)->measureSome(50); ++i) {
  }
}

}  // namespace

class DocumentLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  // The same document laid out by Qt's layout and by ours: the same lines,
  // starting at the same characters, at the same places in the paragraph.
  void linesBreakWhereQtBreaksThem_data() {
    QTest::addColumn<qreal>("width");
    QTest::addColumn<qreal>("margin");
    QTest::newRow("narrower than a word") << 45.0 << 0.0;
    QTest::newRow("narrow") << 180.0 << 0.0;
    QTest::newRow("wide, with a margin") << 640.0 << 4.0;
  }
  void linesBreakWhereQtBreaksThem() {
    QFETCH(qreal, width);
    QFETCH(qreal, margin);
    QTextDocument qt;
    qt.setDocumentMargin(margin);
    fillSample(&qt);
    qt.setPageSize(QSizeF(width, -1));
    auto ours = ourDocument(width);
    ours->setDocumentMargin(margin);
    fillSample(ours.get());
    QCOMPARE(ours->blockCount(), qt.blockCount());
    QAbstractTextDocumentLayout* ql = qt.documentLayout();
    TDocumentLayout* ol = layoutOf(ours.get());
    qreal qtTop = -1, ourTop = -1;
    for (QTextBlock q = qt.begin(), o = ours->begin(); q.isValid(); q = q.next(), o = o.next()) {
      const QRectF qr = ql->blockBoundingRect(q);
      const QRectF orr = ol->blockBoundingRect(o);
      QCOMPARE(orr.left(), qr.left());
      // Each paragraph's height is whole pixels here: at most a pixel each.
      if (qtTop >= 0) QVERIFY2(qAbs((orr.top() - ourTop) - (qr.top() - qtTop)) < 1.0 + 1e-6, qPrintable(q.text()));
      qtTop = qr.top();
      ourTop = orr.top();
      const QTextLayout* a = q.layout();
      const QTextLayout* b = o.layout();
      QCOMPARE(b->lineCount(), a->lineCount());
      for (int i = 0; i < a->lineCount(); ++i) {
        QCOMPARE(b->lineAt(i).textStart(), a->lineAt(i).textStart());
        QCOMPARE(b->lineAt(i).x(), a->lineAt(i).x());
        QCOMPARE(b->lineAt(i).y() - b->lineAt(0).y(), a->lineAt(i).y() - a->lineAt(0).y());
        QCOMPARE(b->lineAt(i).cursorToX(b->lineAt(i).textStart() + 1),
                 a->lineAt(i).cursorToX(a->lineAt(i).textStart() + 1));
      }
    }
    QVERIFY(qAbs(ol->documentSize().height() - qt.documentLayout()->documentSize().height()) <=
            ours->blockCount() + 1);
  }

  // An edit lays out its own paragraph only: the paragraphs after it keep
  // their lines and move by exactly the change in its height.
  void anEditLaysOutOnlyItsParagraph() {
    auto doc = ourDocument(400);
    QTextCursor c(doc.get());
    for (int i = 0; i < 2000; ++i) {
      if (i) c.insertBlock();
      c.insertText(words(60 + i % 90, i));
    }
    measureAll(doc.get());
    TDocumentLayout* l = layoutOf(doc.get());
    QVERIFY(l->complete());
    const QTextBlock last = doc->lastBlock();
    const int lastLines = last.layout()->lineCount();
    const int lastLength = last.layout()->lineAt(0).textLength();
    const int lastTop = l->blockTop(last);
    const QTextBlock tenth = doc->findBlockByNumber(10);

    QTextCursor at(tenth);
    at.insertText(QStringLiteral("x"));
    QVERIFY(l->complete());
    QCOMPARE(last.layout()->lineCount(), lastLines);
    QCOMPARE(last.layout()->lineAt(0).textLength(), lastLength);
    QCOMPARE(l->blockTop(last), lastTop);

    const int before = tenth.lineCount();
    at.insertText(words(300));
    const int grown = tenth.lineCount() - before;
    QVERIFY(grown > 0);
    QCOMPARE(tenth.lineCount(), TDocumentLayout::linesHeight(tenth));
    QCOMPARE(l->blockTop(last), lastTop + grown);
    QCOMPARE(l->documentSize().height(), qreal(l->blockTop(last) + TDocumentLayout::linesHeight(last)));

    // Taking out a paragraph's first characters (Delete at its start) lays
    // it out again too.
    QTextCursor head(doc->findBlockByNumber(20));
    const int headLength = head.block().length() - 1;
    head.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, 3);
    head.removeSelectedText();
    QCOMPARE(head.block().layout()->lineAt(0).textStart(), 0);
    int laidOut = 0;
    for (int i = 0; i < head.block().layout()->lineCount(); ++i) laidOut += head.block().layout()->lineAt(i).textLength();
    QCOMPARE(laidOut, headLength - 3);

    // Joining two paragraphs and splitting one keep the heights summed.
    at.movePosition(QTextCursor::StartOfBlock);
    at.deletePreviousChar();
    at.insertBlock();
    QTextCursor(doc->findBlockByNumber(500)).insertText(QStringLiteral("\n"));
    QTextCursor end(doc->findBlockByNumber(700));
    end.movePosition(QTextCursor::EndOfBlock);
    end.insertText(QStringLiteral("\n"));
    QVERIFY(l->complete());
    int y = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      QCOMPARE(l->blockTop(b), y);
      QCOMPARE(b.lineCount(), TDocumentLayout::linesHeight(b));
      y += b.lineCount();
    }
    QCOMPARE(l->documentSize().height(), qreal(y));
  }

  // A large insert gets estimates beyond the first few thousand characters;
  // measuring replaces every one with the real height, and a new width
  // outdates the lines until they are measured again.
  void estimatesGiveWayToRealHeights() {
    auto doc = ourDocument(300);
    QString text;
    for (int i = 0; text.size() < 10 * TDocumentLayout::kImmediateChars; ++i) text += words(30 + i % 400, i) + u'\n';
    QTextCursor(doc.get()).insertText(text);
    TDocumentLayout* l = layoutOf(doc.get());
    QVERIFY(!l->complete());
    QCOMPARE(doc->findBlockByNumber(doc->blockCount() - 2).layout()->lineCount(), 0);
    measureAll(doc.get());
    QVERIFY(l->complete());
    auto check = [&](qreal lineWidth) {
      int y = 0;
      for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b.layout()->lineAt(0).width() != lineWidth || b.lineCount() != TDocumentLayout::linesHeight(b)) return false;
        y += b.lineCount();
      }
      return l->documentSize().height() == y;
    };
    QVERIFY(check(300));
    const qreal tall = l->documentSize().height();

    doc->setPageSize(QSizeF(600, -1));
    QVERIFY(!l->complete());
    measureAll(doc.get());
    QVERIFY(check(600));
    QVERIFY(l->documentSize().height() < tall * 0.7);
  }

  // Edits before the point the background pass has reached, taking text
  // out or putting it in, leave no paragraph behind with an estimate.
  void editsBehindTheMeasuringSkipNothing() {
    auto doc = ourDocument(300);
    QString text;
    for (int i = 0; text.size() < 6 * TDocumentLayout::kImmediateChars; ++i) text += words(40 + i % 60, i) + u'\n';
    QTextCursor(doc.get()).insertText(text);
    TDocumentLayout* l = layoutOf(doc.get());
    for (int i = 0; i < 300; ++i) l->measureSome(0);  // a paragraph at a time
    QVERIFY(!l->complete());
    QTextCursor c(doc.get());
    c.setPosition(10);
    c.setPosition(10 + TDocumentLayout::kImmediateChars, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    for (int i = 0; i < 100; ++i) l->measureSome(0);
    c.setPosition(20);
    c.insertText(QStringLiteral("short\nlines\n"));
    measureAll(doc.get());
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) QCOMPARE(b.lineCount(), TDocumentLayout::linesHeight(b));
  }

  // Where the layout says a character is, a hit there finds it; a miss
  // beside a short line is no exact hit; below the end is the last place.
  void hitsFindWhatTheRectanglesShow() {
    auto doc = ourDocument(250);
    doc->setDocumentMargin(4);
    fillSample(doc.get());
    TDocumentLayout* l = layoutOf(doc.get());
    int tried = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      const QRectF r = l->blockBoundingRect(b);
      const QTextLayout* tl = b.layout();
      for (int i = 0; i < tl->lineCount(); ++i) {
        const QTextLine line = tl->lineAt(i);
        if (line.textLength() < 3) continue;
        const int pos = line.textStart() + 1;
        const qreal x = (line.cursorToX(pos) + line.cursorToX(pos + 1)) / 2;
        const QPointF p = r.topLeft() + QPointF(x, line.y() + line.height() / 2);
        QCOMPARE(l->hitTest(p, Qt::ExactHit), b.position() + pos);
        ++tried;
      }
    }
    QVERIFY(tried > 20);
    const QTextBlock shortOne = doc->findBlockByNumber(8);  // a short list item
    const QRectF r = l->blockBoundingRect(shortOne);
    QCOMPARE(l->hitTest(QPointF(240, r.top() + 2), Qt::ExactHit), -1);
    QCOMPARE(l->hitTest(QPointF(240, r.top() + 2), Qt::FuzzyHit), shortOne.position() + shortOne.length() - 1);
    QCOMPARE(l->hitTest(QPointF(5, l->documentSize().height() + 50), Qt::FuzzyHit), doc->characterCount() - 1);
  }

  // A picture in the text (pasted from a web page) takes its size in the
  // line and is drawn there.
  void picturesTakeTheirPlace() {
    auto doc = ourDocument(400);
    QImage red(30, 50, QImage::Format_RGB32);
    red.fill(Qt::red);
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("red.png")), red);
    QTextCursor c(doc.get());
    c.insertText(QStringLiteral("a "));
    QTextImageFormat image;
    image.setName(QStringLiteral("red.png"));
    c.insertImage(image);
    TDocumentLayout* l = layoutOf(doc.get());
    const QTextBlock b = doc->begin();
    l->blockBoundingRect(b);
    QVERIFY(b.layout()->lineAt(0).height() >= 50);
    QVERIFY(b.layout()->lineAt(0).naturalTextWidth() >= 30);
    QImage page(200, 100, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = QRectF(0, 0, 200, 100);
    l->draw(&p, ctx);
    p.end();
    const int x = qRound(b.layout()->lineAt(0).cursorToX(2)) + 15;
    QCOMPARE(page.pixelColor(x, 25), QColor(Qt::red));
  }

  // A table pasted from a web page: its cells come out as paragraphs one
  // below the other, each measured, hit and drawn like any other.
  void tableCellsAreParagraphs() {
    auto doc = ourDocument(300);
    QTextCursor c(doc.get());
    c.insertText(QStringLiteral("before"));
    c.insertTable(2, 2);
    for (int i = 0; i < 4; ++i) {
      c.insertText(words(20 + 30 * i, i));
      c.movePosition(QTextCursor::NextCell);
    }
    measureAll(doc.get());
    TDocumentLayout* l = layoutOf(doc.get());
    int y = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      QCOMPARE(l->blockTop(b), y);
      QCOMPARE(b.lineCount(), TDocumentLayout::linesHeight(b));
      const QRectF r = l->blockBoundingRect(b);
      QCOMPARE(l->hitTest(r.topLeft() + QPointF(1, 1), Qt::FuzzyHit), b.position());
      y += b.lineCount();
    }
    QImage page(300, y, QImage::Format_RGB32);
    QPainter p(&page);
    l->draw(&p, QAbstractTextDocumentLayout::PaintContext());
  }

  // A paragraph long enough to be laid out in pieces: every character is
  // hit where the layout puts the caret for it, heights add up, and edits
  // inside it, across its pieces and joining it to the next paragraph keep
  // both true; what is painted in its middle is ink.
  void longParagraphsKeepTheirPlaces() {
    auto doc = ourDocument(500);
    QTextCursor c(doc.get());
    c.insertText(words(200) + u'\n' + words(100'000, 3) + u'\n' + words(300, 5));
    TDocumentLayout* l = layoutOf(doc.get());
    const QTextBlock longOne = doc->findBlockByNumber(1);
    QVERIFY(TDocumentLayout::isLong(longOne));
    auto check = [&](const char* when) {
      measureAll(doc.get());
      QVERIFY2(l->complete(), when);
      int y = 0;
      for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        QCOMPARE(l->blockTop(b), y);
        y += b.lineCount();
      }
      QCOMPARE(l->documentSize().height(), qreal(y));
      const QTextBlock b = doc->findBlockByNumber(1);
      QVERIFY2(l->pieceCount(b) > 10, when);
      for (int rel = 0; rel < b.length() - 1; rel += 997) {
        const int pos = b.position() + rel;
        const QRectF r = l->caretRect(pos);
        QVERIFY2(r.top() >= l->blockTop(b) && r.bottom() <= l->blockTop(b) + b.lineCount(), when);
        const int hit = l->hitTest(r.center() + QPointF(0.5, 0), Qt::FuzzyHit);
        // Where a line ends and the next begins the two places are one.
        QVERIFY2(hit == pos || (hit == pos + 1 && doc->characterAt(pos).isSpace()),
                 qPrintable(QStringLiteral("%1: %2 hit as %3").arg(when).arg(pos).arg(hit)));
      }
      QImage page(500, 300, QImage::Format_RGB32);
      page.fill(Qt::white);
      QPainter p(&page);
      QAbstractTextDocumentLayout::PaintContext ctx;
      const int mid = l->blockTop(b) + b.lineCount() / 2;
      p.translate(0, -mid);
      ctx.clip = QRectF(0, mid, 500, 300);
      l->draw(&p, ctx);
      p.end();
      int ink = 0;
      for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 500; ++x) ink += qGray(page.pixel(x, y)) < 128;
      QVERIFY2(ink > 1000, when);
    };
    check("fresh");
    QTextCursor at(doc.get());
    at.setPosition(longOne.position() + 50'000);
    at.insertText(QStringLiteral("inserted words here "));
    check("typed");
    at.setPosition(longOne.position() + 20'000);
    at.setPosition(longOne.position() + 31'000, QTextCursor::KeepAnchor);
    at.removeSelectedText();
    check("across pieces");
    at.setPosition(longOne.position() + longOne.length() - 1);
    at.deleteChar();  // joins the next paragraph
    check("joined");
    doc->undo();
    doc->undo();
    check("undone");
    QCOMPARE(doc->blockCount(), 3);
  }

  // Text that is not wrapped makes the document as wide as its widest line.
  void unwrappedTextWidensTheDocument() {
    auto doc = ourDocument(200);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    doc->setDefaultTextOption(option);
    QTextCursor(doc.get()).insertText(words(400) + u'\n' + words(10));
    TDocumentLayout* l = layoutOf(doc.get());
    const QTextBlock first = doc->begin();
    l->blockBoundingRect(first);
    QCOMPARE(first.layout()->lineCount(), 1);
    QVERIFY(l->documentSize().width() >= first.layout()->lineAt(0).naturalTextWidth());
    QVERIFY(l->documentSize().width() > 1000);
  }
};

QTEST_MAIN(DocumentLayoutTest)
#include "document_layout_test.moc"
