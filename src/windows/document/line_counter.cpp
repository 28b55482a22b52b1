// The caret's line counted over wrapped lines (see the header).
#include "windows/document/line_counter.h"

#include <QFontMetricsF>
#include <QTextDocument>
#include <QTextLayout>

#include "windows/document/document_layout.h"

#include <QtMath>

TLineCounter* TLineCounter::of(QTextDocument* doc) {
  if (auto* c = doc->findChild<TLineCounter*>(QString(), Qt::FindDirectChildrenOnly)) return c;
  return new TLineCounter(doc);
}

TLineCounter::TLineCounter(QTextDocument* doc) : QObject(doc), doc_(doc) {
  connect(doc, &QTextDocument::contentsChange, this,
          [this](int from, int, int) { dropAfter(from); });
}

bool TLineCounter::layoutComplete() const {
  const auto* layout = qobject_cast<const TDocumentLayout*>(doc_->documentLayout());
  return !layout || layout->complete();
}

void TLineCounter::dropAfter(int position) {
  // Marks up to the changed paragraph count only paragraphs before it.
  const QTextBlock b = doc_->findBlock(position);
  const size_t keep = b.isValid() ? size_t(b.blockNumber() / kStride) + 1 : 1;
  if (marks_.size() > keep) marks_.resize(keep);
}

int TLineCounter::linesOf(const QTextBlock& block) const {
  if (const QTextLayout* tl = block.layout(); tl && tl->lineCount() > 0) return tl->lineCount();
  // Not laid out yet. The window's layout records an estimated height in
  // pixels; any other layout records lines.
  if (!qobject_cast<const TDocumentLayout*>(doc_->documentLayout())) return qMax(1, block.lineCount());
  const qreal line = QFontMetricsF(doc_->defaultFont()).lineSpacing();
  return qMax(1, qRound(block.lineCount() / qMax<qreal>(1, line)));
}

int TLineCounter::linesBefore(const QTextBlock& block) {
  const qreal width = doc_->pageSize().width();
  const bool complete = layoutComplete();
  if (width != width_ || doc_->defaultFont() != font_ || (complete && estimated_)) {
    marks_.assign(1, 0);
    width_ = width;
    font_ = doc_->defaultFont();
    estimated_ = false;
  }
  if (!complete) estimated_ = true;
  const int number = block.blockNumber();
  const size_t wanted = size_t(number / kStride);
  // Extend the marks up to the block's stride, then count the rest.
  int lines = marks_.back();
  int at = int(marks_.size() - 1) * kStride;
  QTextBlock b = doc_->findBlockByNumber(at);
  while (marks_.size() <= wanted && b.isValid()) {
    lines += linesOf(b);
    b = b.next();
    if (++at % kStride == 0) marks_.push_back(lines);
  }
  if (marks_.size() > wanted) {
    lines = marks_[wanted];
    at = int(wanted) * kStride;
    b = doc_->findBlockByNumber(at);
  }
  for (; b.isValid() && at < number; b = b.next(), ++at) lines += linesOf(b);
  return lines;
}

int TLineCounter::lineAt(int position, int* lineStart) {
  const QTextBlock block = doc_->findBlock(position);
  if (!block.isValid()) {
    if (lineStart) *lineStart = position;
    return 0;
  }
  int line = linesBefore(block);
  int start = block.position();
  const auto* layout = qobject_cast<const TDocumentLayout*>(doc_->documentLayout());
  if (layout && TDocumentLayout::isLong(block)) {
    // A paragraph laid out in pieces: the line from the caret's height in it.
    const qreal spacing = qMax<qreal>(1, QFontMetricsF(doc_->defaultFont()).lineSpacing());
    line += qMax(0, qFloor((layout->caretRect(position).top() - layout->blockTop(block)) / spacing));
    start = layout->lineAt(position).first;
  } else if (const QTextLayout* tl = block.layout(); tl && tl->lineCount() > 0) {
    const QTextLine l = tl->lineForTextPosition(position - block.position());
    if (l.isValid()) {
      line += l.lineNumber();
      start = block.position() + l.textStart();
    }
  }
  if (lineStart) *lineStart = start;
  return line;
}
