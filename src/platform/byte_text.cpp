// Plain text between files and the editor, one character per byte.
#include "platform/byte_text.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

namespace tolvan {

QByteArray detectLineEnding(const QByteArray& bytes) {
  const qsizetype i = bytes.indexOf('\n');
  const qsizetype r = bytes.indexOf('\r');
  if (r < 0 && i < 0) return QByteArrayLiteral("\n");
  if (r < 0) return QByteArrayLiteral("\n");
  if (i < 0 || r < i) {
    // A CR before any LF: CR LF when the LF follows at once, else a lone CR.
    return (r + 1 < bytes.size() && bytes[r + 1] == '\n') ? QByteArrayLiteral("\r\n")
                                                          : QByteArrayLiteral("\r");
  }
  return QByteArrayLiteral("\n");
}

QString bytesToText(const QByteArray& bytes) {
  // fromLatin1 is exactly one byte to one QChar of the same value.
  QString text = QString::fromLatin1(bytes);
  bytesToEditorChars(text);
  if (bytes.indexOf('\r') < 0) return text;
  // A QTextCursor takes both CR and LF as paragraph breaks, so CR LF must
  // become one LF before the text reaches the document.
  QString out;
  out.reserve(text.size());
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  for (qsizetype k = 0; k < n; ++k) {
    if (p[k] == u'\r') {
      out.append(u'\n');
      if (k + 1 < n && p[k + 1] == u'\n') ++k;
    } else {
      out.append(p[k]);
    }
  }
  return out;
}

void setDocumentBytes(QTextDocument* doc, const QByteArray& bytes) {
  doc->setPlainText(bytesToText(bytes));
}

void insertBytesExactly(QTextCursor& cursor, const QByteArray& bytes) {
  QTextDocument* doc = cursor.document();
  const int first = cursor.blockNumber();
  cursor.insertText(bytesToText(bytes));
  // The k-th break of bytes ends paragraph first + k, which has the format
  // of the paragraph the text went into (and so its mark, if any): each one
  // is marked for its own break, lone or not. The last paragraph ends with
  // the break the paragraph had before, and keeps its mark.
  auto mark = [&](int number, int ending) {
    const QTextBlock block = doc->findBlockByNumber(number);
    QTextBlockFormat format = block.blockFormat();
    if (ending ? format.intProperty(kLineEndingProperty) == ending
               : !format.hasProperty(kLineEndingProperty))
      return;
    if (ending)
      format.setProperty(kLineEndingProperty, ending);
    else
      format.clearProperty(kLineEndingProperty);
    QTextCursor(block).setBlockFormat(format);
  };
  int k = 0;
  const char* p = bytes.constData();
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n; ++i) {
    if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n') {
      mark(first + k++, 0);
      ++i;
    } else if (p[i] == '\r' || p[i] == '\n') {
      mark(first + k++, p[i]);
    }
  }
}

namespace {

// Walks the raw characters of every block (never toPlainText, which turns
// U+00A0 into a space). U+2028 (a line break inside a paragraph) counts as a
// line ending. Returns the index of the first character that one byte cannot
// hold, or -1.
template <class Sink>
int walkDocument(const QTextDocument* doc, Sink&& sink, bool* more) {
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    const QString t = b.text();
    const QChar* p = t.constData();
    for (qsizetype k = 0; k < t.size(); ++k) {
      const char16_t u = p[k].unicode();
      if (u <= 0xFF) {
        sink.byte(static_cast<char>(u));
      } else if (u == kDisplayedSoftHyphen) {
        sink.byte('\xAD');
      } else if (u == 0x2028) {
        sink.lineEnd();
      } else {
        return b.position() + static_cast<int>(k);
      }
    }
    *more = b.next().isValid();
    if (*more) {
      const QVariant own = b.blockFormat().property(kLineEndingProperty);
      if (own.isValid())
        sink.byte(static_cast<char>(own.toInt()));
      else
        sink.lineEnd();
    }
  }
  return -1;
}

struct ByteSink {
  QByteArray* out;
  const QByteArray& eol;
  void byte(char c) { out->append(c); }
  void lineEnd() { out->append(eol); }
};

struct NullSink {
  void byte(char) {}
  void lineEnd() {}
};

}  // namespace

bool documentToBytes(const QTextDocument* doc, const QByteArray& lineEnding, QByteArray* out,
                     int* badIndex) {
  out->clear();
  out->reserve(doc->characterCount() + doc->blockCount() * (lineEnding.size() - 1));
  bool more = false;
  ByteSink sink{out, lineEnding};
  const int bad = walkDocument(doc, sink, &more);
  if (badIndex) *badIndex = bad;
  return bad < 0;
}

bool documentFitsBytes(const QTextDocument* doc, int* badIndex) {
  bool more = false;
  const int bad = walkDocument(doc, NullSink{}, &more);
  if (badIndex) *badIndex = bad;
  return bad < 0;
}

bool selectionToBytes(const QTextCursor& cursor, QByteArray* out) {
  // selectedText() keeps the raw characters; paragraph breaks come as U+2029
  // and line breaks as U+2028.
  const QString t = cursor.selectedText();
  out->clear();
  out->reserve(t.size());
  for (QChar c : t) {
    const char16_t u = c.unicode();
    if (u == 0x2029 || u == 0x2028) {
      out->append('\r');
    } else {
      const int b = charToByte(c);
      if (b < 0) return false;
      out->append(static_cast<char>(b));
    }
  }
  return true;
}

namespace {

// Replaces every `from` character of doc by `to`, keeping each one's format.
void replaceChar(QTextDocument* doc, QChar from, QChar to) {
  const QString needle(from);
  QTextCursor edit(doc);
  edit.beginEditBlock();
  QTextCursor hit = doc->find(needle, 0, QTextDocument::FindCaseSensitively);
  while (!hit.isNull()) {
    const QTextCharFormat fmt = hit.charFormat();
    hit.insertText(QString(to), fmt);
    hit = doc->find(needle, hit, QTextDocument::FindCaseSensitively);
  }
  edit.endEditBlock();
}

}  // namespace

void documentBytesToEditorChars(QTextDocument* doc) {
  replaceChar(doc, QChar(0xAD), QChar(kDisplayedSoftHyphen));
}

void documentEditorCharsToBytes(QTextDocument* doc) {
  replaceChar(doc, QChar(kDisplayedSoftHyphen), QChar(0xAD));
}

std::unique_ptr<QTextDocument> cloneDocument(const QTextDocument* doc) {
  if (!doc->isEmpty()) return std::unique_ptr<QTextDocument>(doc->clone());
  auto copy = std::make_unique<QTextDocument>();
  copy->setDefaultFont(doc->defaultFont());
  copy->setDefaultTextOption(doc->defaultTextOption());
  copy->setIndentWidth(doc->indentWidth());
  copy->setPageSize(doc->pageSize());
  copy->rootFrame()->setFrameFormat(doc->rootFrame()->frameFormat());
  const QTextCursor from(const_cast<QTextDocument*>(doc));
  QTextCursor to(copy.get());
  QTextBlockFormat block = from.blockFormat();
  block.clearProperty(QTextFormat::ObjectIndex);
  to.setBlockFormat(block);
  to.setBlockCharFormat(from.blockCharFormat());
  return copy;
}

void printDocument(const QTextDocument* doc, QPagedPaintDevice* printer) {
  // The window measures indents, margins, pictures and pixel-sized fonts in
  // screen pixels. QTextDocument::print lays the copy out in the printer's
  // own pixels (1,200 to the inch) without converting those, so a half-inch
  // indent shrank to a few hundredths of an inch. Here the copy is laid out
  // in screen pixels, as the window lays it out, on a page the printable
  // area's size, and each page is drawn scaled up to the printer's pixels.
  std::unique_ptr<QTextDocument> copy = cloneDocument(doc);
  QPainter painter(printer);
  if (!painter.isActive()) return;
  const QScreen* screen = QGuiApplication::primaryScreen();
  const qreal screenDpiX = screen ? screen->logicalDotsPerInchX() : 96;
  const qreal screenDpiY = screen ? screen->logicalDotsPerInchY() : 96;
  const qreal scaleX = printer->logicalDpiX() / screenDpiX;
  const qreal scaleY = printer->logicalDpiY() / screenDpiY;
  const QSizeF page(printer->width() / scaleX, printer->height() / scaleY);
  // Two centimetres of white round the text on the printable area, as
  // QTextDocument::print leaves.
  const qreal margin = 2 / 2.54 * screenDpiY;
  QTextFrameFormat frame = copy->rootFrame()->frameFormat();
  frame.setMargin(margin);
  copy->rootFrame()->setFrameFormat(frame);
  copy->setPageSize(page);
  QAbstractTextDocumentLayout* layout = copy->documentLayout();

  int first = 1, last = copy->pageCount();
  if (auto* p = dynamic_cast<QPrinter*>(printer); p && p->fromPage() > 0) {
    first = qMax(first, p->fromPage());
    last = qMin(last, p->toPage() > 0 ? p->toPage() : last);
  }
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, Qt::black);
  for (int number = first; number <= last; ++number) {
    if (number > first) printer->newPage();
    painter.save();
    painter.scale(scaleX, scaleY);
    const QRectF view(QPointF(0, (number - 1) * page.height()), page);
    painter.translate(0, -view.top());
    painter.setClipRect(view);
    context.clip = view;
    layout->draw(&painter, context);
    painter.restore();
    // The page number in the bottom margin, its right edge on the text's
    // right edge, its baseline five points plus its ascent below the text,
    // where QTextDocument::print puts it. It is laid out in screen pixels
    // like the text, in the document's default font: a font set on the
    // painter would take its point size in the printer's pixels and come
    // out scaled up a second time, a dozen times too large.
    QTextLayout numberLayout(QString::number(number), copy->defaultFont());
    numberLayout.beginLayout();
    const QTextLine line = numberLayout.createLine();
    numberLayout.endLayout();
    painter.save();
    painter.scale(scaleX, scaleY);
    painter.setPen(Qt::black);
    numberLayout.draw(&painter, QPointF(page.width() - margin - line.naturalTextWidth(),
                                        page.height() - margin + 5 * screenDpiY / 72));
    painter.restore();
  }
}

}  // namespace tolvan
