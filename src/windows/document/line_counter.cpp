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

bool TLineCounter::measuredBefore(const QTextBlock& block) const {
  const auto* layout = qobject_cast<const TDocumentLayout*>(doc_->documentLayout());
  return !layout || layout->measuredBefore(block.position());
}

void TLineCounter::dropAfter(int position) {
  // Marks up to the changed paragraph count only paragraphs before it.
  const QTextBlock b = doc_->findBlock(position);
  const size_t keep = b.isValid() ? size_t(b.blockNumber() / kStride) + 1 : 1;
  if (marks_.size() > keep) marks_.resize(keep);
  exactMarks_ = qMin(exactMarks_, marks_.size());
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
  if (width != width_ || doc_->defaultFont() != font_) {
    marks_.assign(1, 0);
    exactMarks_ = 1;
    width_ = width;
    font_ = doc_->defaultFont();
  }
  // Marks counted from estimates serve while the paragraphs before the block
  // still have them; once those are measured, the count is made again from
  // the last exact mark.
  if (measuredBefore(block) && marks_.size() > exactMarks_) marks_.resize(exactMarks_);
  const int number = block.blockNumber();
  const size_t wanted = size_t(number / kStride);
  // Extend the marks up to the block's stride, then count the rest.
  int lines = marks_.back();
  int at = int(marks_.size() - 1) * kStride;
  QTextBlock b = doc_->findBlockByNumber(at);
  while (marks_.size() <= wanted && b.isValid()) {
    lines += linesOf(b);
    b = b.next();
    if (++at % kStride == 0) {
      marks_.push_back(lines);
      if (exactMarks_ + 1 == marks_.size() && (!b.isValid() || measuredBefore(b))) exactMarks_ = marks_.size();
    }
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
  auto* layout = qobject_cast<TDocumentLayout*>(doc_->documentLayout());
  // Heights before the position still estimated: the count is made from
  // them for now, and the layout is asked to measure them (it says when).
  // Asked for the caret alone: a caret moved back up (Ctrl+End, then
  // Ctrl+Home) withdraws the measuring of the text it no longer counts.
  if (layout) layout->measureForCaret(position);
  int line = linesBefore(block);
  int start = block.position();
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
