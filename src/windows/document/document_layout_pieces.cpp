// The document layout's long paragraphs: laid out in pieces of about
// kPiece characters, each on its own, only where painted, hit or measured.
#include "windows/document/document_layout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextDocument>
#include <QtMath>
#include <iterator>

#include "windows/document/document_layout_internal.h"

using tolvan::layout::fixed;

namespace {

// True where a piece may end before text[k]: not inside a surrogate pair,
// not before a combining mark (a vowel sign, a pulli) or a joiner, and not
// after a virama or a joiner, where the letters on both sides make one
// cluster when shaped (Tamil k.ssa, a Devanagari conjunct).
bool mayCutBefore(const QString& text, int k) {
  const QChar c = text[k], before = text[k - 1];
  if (c.isLowSurrogate() || c.isMark() || c.unicode() == 0x200C || c.unicode() == 0x200D) return false;
  return before.combiningClass() != 9 && before.unicode() != 0x200D && before.unicode() != 0x200C;
}

// Where to end a piece that starts at from in text, near target: after a
// space a little before it if there is one, else at target or the nearest
// place before it that does not cut a cluster.
int pieceEnd(const QString& text, int from, int target) {
  for (int k = target; k > target - TDocumentLayout::kPiece / 4 && k > from + 1; --k) {
    const char16_t u = text[k - 1].unicode();
    if (u == u' ' || u == u'\t') return k;
  }
  int k = target;
  while (k > from + 1 && !mayCutBefore(text, k)) --k;
  return k;
}

// Calls fn(fragment, from, to) for each fragment of the paragraph that
// overlaps [start, start + length), with the overlap in paragraph positions.
template <typename Fn>
void forFragmentsIn(const QTextBlock& block, int start, int length, Fn fn) {
  const int base = block.position();
  const int end = start + length;
  for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    const int fs = f.position() - base, fe = fs + f.length();
    if (fe <= start) continue;
    if (fs >= end) break;
    fn(f, qMax(fs, start), qMin(fe, end));
  }
}

}  // namespace

TDocumentLayout::Pieces* TDocumentLayout::piecesOf(const QTextBlock& block) const {
  return dynamic_cast<Pieces*>(block.userData());
}

int TDocumentLayout::pieceCount(const QTextBlock& block) const {
  const Pieces* p = isLong(block) ? piecesOf(block) : nullptr;
  return p ? int(p->list.size()) : 0;
}

QString TDocumentLayout::textIn(const QTextBlock& block, int start, int length) const {
  // Not through a cursor: placing a cursor in a long paragraph makes Qt
  // analyse all of the paragraph's text. Short fragments are copied whole,
  // long ones a character at a time over the range.
  QString out;
  out.reserve(length);
  const int base = block.position();
  forFragmentsIn(block, start, length, [&](const QTextFragment& f, int a, int b) {
    if (f.length() <= 4 * kPiece) {
      out += f.text().mid(a - (f.position() - base), b - a);
    } else {
      for (int k = a; k < b; ++k) out += doc_->characterAt(base + k);
    }
  });
  return out;
}

int TDocumentLayout::estimatePiece(const QTextBlock& block, int length) const {
  const Metrics* it = &metricsOf(block);
  qreal lines = 1;
  if (!noWrap()) {
    const qreal w = firstLineWidth(block, block.blockFormat());
    if (w > 0) lines = qMax<qreal>(1, std::ceil(length * it->charWidth / w));
  }
  return qMax(1, qCeil(lines * it->lineHeight));
}

int TDocumentLayout::longHeight(const QTextBlock& block) const {
  const Pieces* p = piecesOf(block);
  const QTextBlockFormat format = block.blockFormat();
  int h = qCeil(format.topMargin() + format.bottomMargin() - 1.0 / 128);
  if (p)
    for (const Piece& piece : p->list) h += piece.height;
  return qMax(1, h);
}

std::vector<TDocumentLayout::Piece> TDocumentLayout::cutIntoPieces(const QTextBlock& block, const QString& text) const {
  std::vector<Piece> cut;
  const int n = int(text.size());
  int pos = 0;
  while (n - pos > kPiece + kPiece / 2) {
    const int end = pieceEnd(text, pos, pos + kPiece);
    cut.push_back(Piece{end - pos, 0, -1, nullptr});
    pos = end;
  }
  cut.push_back(Piece{n - pos, 0, -1, nullptr});
  for (Piece& piece : cut) piece.height = estimatePiece(block, piece.length);
  return cut;
}

void TDocumentLayout::buildPieces(const QTextBlock& block) const {
  auto* p = new Pieces;
  p->list = cutIntoPieces(block, block.text());
  p->width = textWidthFixed();
  QTextBlock b = block;
  b.setUserData(p);
}

// Makes sure a long paragraph has pieces covering its text; returns the
// change in its height.
int TDocumentLayout::ensurePieces(const QTextBlock& block) const {
  Pieces* p = piecesOf(block);
  if (!p || p->length() != block.length() - 1) {
    buildPieces(block);
    // The pieces carry estimates: the background pass measures them.
    const_cast<TDocumentLayout*>(this)->outdateFrom(block.position());
  }
  const int height = longHeight(block);
  const int old = block.lineCount();
  if (height != old) setHeight(block, height);
  return height - old;
}

bool TDocumentLayout::pieceCurrent(const QTextBlock& block, int index) const {
  const Pieces* p = piecesOf(block);
  return p && p->list[size_t(index)].laidFor == textWidthFixed() && p->list[size_t(index)].layout;
}

void TDocumentLayout::layoutPiece(const QTextBlock& block, int index, int start) const {
  Pieces* p = piecesOf(block);
  Piece& piece = p->list[size_t(index)];
  auto tl = std::make_unique<QTextLayout>(textIn(block, start, piece.length), doc_->defaultFont());
  // The paragraph's character formats over the piece.
  QList<QTextLayout::FormatRange> formats;
  forFragmentsIn(block, start, piece.length, [&](const QTextFragment& f, int a, int b) {
    formats.append({a - start, b - a, f.charFormat()});
  });
  tl->setFormats(formats);
  tl->setCacheEnabled(true);
  const qreal bottom = breakLines(tl.get(), block, block.blockFormat(), 0, index == 0);
  piece.height = qMax(1, qCeil(bottom - 1.0 / 128));
  piece.laidFor = textWidthFixed();
  piece.layout = std::move(tl);
}

// An edit inside one long paragraph (at its position at, removed characters
// taken out and added put in): the pieces it touched become one piece,
// cut again if it grew long, and laid out; the others keep their lines.
bool TDocumentLayout::applyEditToPieces(const QTextBlock& block, int at, int removed, int added) const {
  Pieces* p = piecesOf(block);
  if (!p || p->length() + added - removed != block.length() - 1) return false;
  std::vector<Piece>& list = p->list;
  // First and last piece the old range [at, at + removed) touches.
  size_t i = 0;
  int start = 0;
  while (i + 1 < list.size() && start + list[i].length <= at && (removed > 0 || start + list[i].length < at)) {
    start += list[i].length;
    ++i;
  }
  size_t j = i;
  int endJ = start + list[i].length;
  while (j + 1 < list.size() && endJ < at + removed) {
    ++j;
    endJ += list[j].length;
  }
  int length = endJ - start - removed + added;
  if (j > i) {
    list.erase(list.begin() + long(i) + 1, list.begin() + long(j) + 1);
  }
  list[i].length = length;
  list[i].layout.reset();
  list[i].laidFor = -1;
  if (length == 0 && list.size() > 1) {
    list.erase(list.begin() + long(i));
    return true;
  }
  if (length > 2 * kPiece) {
    // Cut the grown piece again.
    std::vector<Piece> cut = cutIntoPieces(block, textIn(block, start, length));
    list.erase(list.begin() + long(i));
    list.insert(list.begin() + long(i), std::make_move_iterator(cut.begin()), std::make_move_iterator(cut.end()));
    // Up to the immediate budget laid out now, the rest by the background pass.
    int laidOut = 0;
    for (size_t k = i; k < list.size() && list[k].laidFor < 0; ++k) {
      if (laidOut >= kImmediateChars) {
        const_cast<TDocumentLayout*>(this)->outdateFrom(block.position() + start);
        break;
      }
      layoutPiece(block, int(k), start);
      laidOut += list[k].length;
      start += list[k].length;
    }
    return true;
  }
  layoutPiece(block, int(i), start);
  return true;
}

// The piece holding a paragraph position (by: its start) or a height below
// the paragraph's top margin (by: its top); the last piece for anything past.
template <typename Past>
TDocumentLayout::PieceAt TDocumentLayout::findPiece(const QTextBlock& block, Past past) const {
  const Pieces* p = piecesOf(block);
  PieceAt at;
  if (!p) return at;
  for (size_t i = 0; i + 1 < p->list.size() && past(at, p->list[i]); ++i) {
    at.start += p->list[i].length;
    at.top += p->list[i].height;
    ++at.index;
  }
  return at;
}

TDocumentLayout::PieceAt TDocumentLayout::pieceAt(const QTextBlock& block, int rel) const {
  return findPiece(block, [rel](const PieceAt& at, const Piece& p) { return at.start + p.length <= rel; });
}

TDocumentLayout::PieceAt TDocumentLayout::pieceAtY(const QTextBlock& block, qreal y) const {
  return findPiece(block, [y](const PieceAt& at, const Piece& p) { return at.top + p.height <= y; });
}

const QTextLayout* TDocumentLayout::pieceLayout(const QTextBlock& block, const PieceAt& at) const {
  if (!pieceCurrent(block, at.index)) {
    layoutPiece(block, at.index, at.start);
    if (ensurePieces(block)) sizeMayHaveChanged();
  }
  return piecesOf(block)->list[size_t(at.index)].layout.get();
}

// A long paragraph: only the pieces in the clip are laid out and drawn; the
// layouts of pieces far from them are let go.
void TDocumentLayout::drawLongBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                                    const QPointF& origin) const {
  Pieces* p = piecesOf(block);
  if (!p) return;
  const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, 1e9, 1e9);
  const QTextBlockFormat format = block.blockFormat();
  const QBrush bg = format.background();
  if (bg != Qt::NoBrush)
    painter->fillRect(QRectF(origin, QSizeF(documentSize().width() - doc_->documentMargin(), block.lineCount())), bg);
  const QPen oldPen = painter->pen();
  painter->setPen(context.palette.color(QPalette::Text));
  const int blockPos = block.position();
  const int cursor = context.cursorPosition;
  bool cursorWidthOk = false;
  int cursorWidth = property("cursorWidth").toInt(&cursorWidthOk);
  if (!cursorWidthOk) cursorWidth = 1;
  qreal y = origin.y() + format.topMargin();
  int start = 0;
  int firstDrawn = -1, lastDrawn = -1;
  bool grew = false;
  const int count = int(p->list.size());
  for (int i = 0; i < count; ++i) {
    Piece& piece = p->list[size_t(i)];
    if (y > clip.bottom()) break;
    if (y + piece.height >= clip.top()) {
      if (!pieceCurrent(block, i)) {
        const int old = piece.height;
        layoutPiece(block, i, start);
        grew |= piece.height != old;
      }
      if (firstDrawn < 0) firstDrawn = i;
      lastDrawn = i;
      QList<QTextLayout::FormatRange> selections;
      for (const Selection& range : context.selections) {
        const int a = qMax(range.cursor.selectionStart() - blockPos - start, 0);
        const int b = qMin(range.cursor.selectionEnd() - blockPos - start, piece.length + (i + 1 == count ? 1 : 0));
        if (b > a) selections.append({a, b - a, range.format});
      }
      const QPointF at(origin.x(), y);
      piece.layout->draw(painter, at, selections, clip);
      const int rel = cursor - blockPos - start;
      if (rel >= 0 && (rel < piece.length || (i + 1 == count && rel == piece.length)))
        piece.layout->drawCursor(painter, at, rel, cursorWidth);
    }
    y += piece.height;
    start += piece.length;
  }
  painter->setPen(oldPen);
  if (grew) ensurePieces(block);
  // Keep the layouts of what is on screen and a few pieces either side.
  if (firstDrawn >= 0)
    for (int i = 0; i < count; ++i)
      if ((i < firstDrawn - 4 || i > lastDrawn + 4) && p->list[size_t(i)].layout) p->list[size_t(i)].layout.reset();
}
