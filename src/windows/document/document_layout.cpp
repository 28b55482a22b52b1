// The document window's text layout: paragraph heights kept in the block
// tree, edits laid out where they happen, estimates measured in the
// background.
#include "windows/document/document_layout.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextCursor>
#include <QTextList>
#include <QTimer>
#include <QtMath>
#include <QImage>
#include <QPixmap>
#include <QTextImageFormat>
#include <algorithm>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "windows/document/document_layout_internal.h"

using tolvan::layout::fixed;
using tolvan::layout::LaidOutFor;
using tolvan::layout::real;

namespace {

// The line width for text that is not wrapped.
constexpr qreal kUnwrappedWidth = 1e7;

// Two text widths the same to the layout (which works in 1/64 pixels).
bool sameWidth(qreal a, qreal b) { return qAbs(a - b) < 1.0 / 32; }


// Pictures in the text (pasted from a web page, say): drawn from the
// document's resources at the size the format gives, or their own.
class TPictureObject : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)

 public:
  using QObject::QObject;
  QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override {
    const QTextImageFormat f = format.toImageFormat();
    const QImage image = picture(doc, f);
    QSizeF size = image.isNull() ? QSizeF(16, 16) : QSizeF(image.size());
    if (f.hasProperty(QTextFormat::ImageWidth) && f.hasProperty(QTextFormat::ImageHeight))
      return QSizeF(f.width(), f.height());
    if (f.hasProperty(QTextFormat::ImageWidth) && size.width() > 0)
      return QSizeF(f.width(), size.height() * f.width() / size.width());
    if (f.hasProperty(QTextFormat::ImageHeight) && size.height() > 0)
      return QSizeF(size.width() * f.height() / size.height(), f.height());
    return size;
  }
  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int,
                  const QTextFormat& format) override {
    const QImage image = picture(doc, format.toImageFormat());
    if (image.isNull())
      painter->drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    else
      painter->drawImage(rect, image);
  }

 private:
  static QImage picture(QTextDocument* doc, const QTextImageFormat& f) {
    const QVariant v = doc->resource(QTextDocument::ImageResource, QUrl(f.name()));
    if (v.userType() == QMetaType::QImage) return v.value<QImage>();
    if (v.userType() == QMetaType::QPixmap) return v.value<QPixmap>().toImage();
    if (v.userType() == QMetaType::QByteArray) return QImage::fromData(v.toByteArray());
    return QImage();
  }
};

}  // namespace


TDocumentLayout::TDocumentLayout(QTextDocument* doc) : QAbstractTextDocumentLayout(doc), doc_(doc) {
  settings_ = currentSettings();
  registerHandler(QTextFormat::ImageObject, new TPictureObject(this));
  // The document announces every change of its text just before it tells the
  // layout; the layout is also told of new page sizes and fonts with no text
  // changed. The revision alone does not tell the two apart: it stays the
  // same for edits made with undo off (a file loaded with setPlainText).
  connect(doc, &QTextDocument::contentsChange, this, [this] { textChanged_ = true; });
}

TDocumentLayout::Settings TDocumentLayout::currentSettings() const {
  const QTextOption option = doc_->defaultTextOption();
  Settings s;
  s.font = doc_->defaultFont();
  s.wrapMode = option.wrapMode();
  s.flags = static_cast<int>(option.flags());
  s.tabStop = option.tabStopDistance();
  s.indentWidth = doc_->indentWidth();
  s.margin = doc_->documentMargin();
  return s;
}

bool TDocumentLayout::noWrap() const {
  return doc_->pageSize().width() <= 0 || doc_->defaultTextOption().wrapMode() == QTextOption::NoWrap;
}

qreal TDocumentLayout::textWidth() const {
  const qreal page = doc_->pageSize().width();
  if (page <= 0) return kUnwrappedWidth;
  return qMax<qreal>(0, page - 2 * doc_->documentMargin());
}

qreal TDocumentLayout::indentOf(const QTextBlock& block, const QTextBlockFormat& format) const {
  qreal indent = format.indent();
  if (QTextList* list = block.textList()) indent += list->format().indent();
  return indent * doc_->indentWidth();
}

qreal TDocumentLayout::leftEdge(const QTextBlock& block, const QTextBlockFormat& format) const {
  return format.leftMargin() + indentOf(block, format);
}

int TDocumentLayout::textWidthFixed() const {
  const qreal page = doc_->pageSize().width();
  if (page <= 0) return fixed(kUnwrappedWidth);
  return qMax(0, fixed(page) - 2 * fixed(doc_->documentMargin()));
}

qreal TDocumentLayout::firstLineWidth(const QTextBlock& block, const QTextBlockFormat& format) const {
  return qMax<qreal>(0, textWidth() - leftEdge(block, format) - format.rightMargin() - format.textIndent());
}

bool TDocumentLayout::isCurrent(const QTextBlock& block) const {
  const QTextLayout* tl = block.layout();
  if (!tl || tl->lineCount() == 0) return false;
  const auto* made = static_cast<const LaidOutFor*>(block.userData());
  return made && made->width == textWidthFixed();
}

void TDocumentLayout::setHeight(const QTextBlock& block, int height) const {
  QTextBlock b = block;
  b.setLineCount(height);
}

QTextOption TDocumentLayout::optionFor(const QTextBlock& block, const QTextBlockFormat& format) const {
  QTextOption option = doc_->defaultTextOption();
  const Qt::LayoutDirection dir = block.textDirection();
  option.setTextDirection(dir);
  option.setTabs(format.tabPositions());
  Qt::Alignment align = option.alignment();
  if (format.hasProperty(QTextFormat::BlockAlignment)) align = format.alignment();
  option.setAlignment(QStyle::visualAlignment(dir, align));
  if (format.nonBreakableLines()) option.setWrapMode(QTextOption::ManualWrap);
  return option;
}

qreal TDocumentLayout::breakLines(QTextLayout* tl, const QTextBlock& block, const QTextBlockFormat& format,
                                  qreal y, bool firstLine, TShapedWords* words) const {
  QTextOption option = optionFor(block, format);
  tl->setTextOption(option);
  const Qt::LayoutDirection dir = option.textDirection();
  // Qt's layout: lines from the left margin (and indent) to the right
  // margin, the first one moved by the first-line indent; a line that
  // cannot hold its first word (or glyph) is broken anywhere, and if even
  // that does not fit, made as wide as what it holds.
  const int left = fixed(format.leftMargin()) + fixed(indentOf(block, format));
  // Text that is not wrapped is laid out, as Qt lays it out, for a page
  // width of nothing: each line as wide as its text.
  const int pageWidth = doc_->pageSize().width() <= 0 ? -2 * fixed(doc_->documentMargin()) : textWidthFixed();
  const int right = pageWidth - fixed(format.rightMargin());
  const int indent = fixed(format.textIndent());
  const bool wordOrAnywhere = option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere;
  bool first = firstLine;
  const qreal top = y;
  const qreal usedBefore = usedWidth_;
  tl->beginLayout();
  if (words) words->reuse(tl);
  for (;;) {
    QTextLine line = tl->createLine();
    if (!line.isValid()) break;
    line.setLeadingIncluded(true);
    int l = left, r = right;
    if (first) {
      if (dir == Qt::LeftToRight)
        l += indent;
      else
        r -= indent;
    }
    first = false;
    line.setLineWidth(real(r - l));
    if (fixed(line.naturalTextWidth()) > r - l) {
      line.setLineWidth(real(r - l));
      if (fixed(line.naturalTextWidth()) > r - l) {
        if (wordOrAnywhere) {
          option.setWrapMode(QTextOption::WrapAnywhere);
          tl->setTextOption(option);
        }
        line.setLineWidth(qMax<qreal>(line.naturalTextWidth(), real(r - l)));
        if (wordOrAnywhere) {
          option.setWrapMode(QTextOption::WordWrap);
          tl->setTextOption(option);
        }
      }
    }
    line.setPosition(QPointF(real(l), y));
    // The next line starts below this one's ascent, descent and leading (a
    // negative leading included, as in Qt's layout; height() leaves it out).
    y += qMin(line.height(), qreal(qCeil(line.ascent() + line.descent() + line.leading())));
    usedWidth_ = qMax(usedWidth_, real(l) + line.naturalTextWidth() + format.rightMargin());
  }
  if (words && !words->keep(tl)) {
    tl->endLayout();
    usedWidth_ = usedBefore;
    return breakLines(tl, block, format, top, firstLine, words);
  }
  tl->endLayout();
  return y;
}

int TDocumentLayout::layoutBlock(const QTextBlock& block) const {
  if (isLong(block)) {
    QTextBlock b = block;
    b.clearLayout();
    return ensurePieces(block);
  }
  const QTextBlockFormat format = block.blockFormat();
  const bool typedInto = block.blockNumber() == shapedBlock_ && TShapedWords::suits(block.layout());
  breakLines(block.layout(), block, format, format.topMargin(), true, typedInto ? &words_ : nullptr);
  auto* made = static_cast<LaidOutFor*>(block.userData());
  if (made && !dynamic_cast<Pieces*>(made)) {
    made->width = textWidthFixed();
  } else {
    QTextBlock b = block;
    b.setUserData(new LaidOutFor(textWidthFixed()));
  }
  const int height = qMax(1, linesHeight(block));
  const int old = block.lineCount();
  if (height != old) setHeight(block, height);
  return height - old;
}

int TDocumentLayout::linesHeight(const QTextBlock& block) {
  const QTextLayout* tl = block.layout();
  if (!tl || tl->lineCount() == 0) return -1;
  const QTextLine last = tl->lineAt(tl->lineCount() - 1);
  // A hair less than the sum, so that rounding noise never adds a pixel.
  return qCeil(last.y() + last.height() + block.blockFormat().bottomMargin() - 1.0 / 128);
}

int TDocumentLayout::ensureLaidOut(const QTextBlock& block) const {
  if (isLong(block)) return ensurePieces(block);
  return isCurrent(block) ? 0 : layoutBlock(block);
}

const TDocumentLayout::Metrics& TDocumentLayout::metricsOf(const QTextBlock& block) const {
  const int index = block.charFormatIndex();
  auto it = metrics_.find(index);
  if (it == metrics_.end()) {
    QFont font = block.charFormat().font().resolve(doc_->defaultFont());
    const QFontMetricsF fm(font);
    it = metrics_.insert(index, Metrics{fm.lineSpacing(), fm.averageCharWidth()});
  }
  return *it;
}

int TDocumentLayout::estimateHeight(const QTextBlock& block) const {
  if (isLong(block)) {
    ensurePieces(block);
    return longHeight(block);
  }
  const Metrics* it = &metricsOf(block);
  const QTextBlockFormat format = block.blockFormat();
  qreal lines = 1;
  if (!noWrap()) {
    const qreal w = firstLineWidth(block, format);
    if (w > 0) lines = qMax<qreal>(1, std::ceil((block.length() - 1) * it->charWidth / w));
  }
  return qMax(1, qCeil(lines * it->lineHeight + format.topMargin() + format.bottomMargin()));
}

int TDocumentLayout::blockTop(const QTextBlock& block) const {
  return qRound(doc_->documentMargin()) + block.firstLineNumber();
}

QTextBlock TDocumentLayout::blockAt(qreal y) const {
  const qreal inText = y - doc_->documentMargin();
  if (inText < 0) return doc_->firstBlock();
  if (inText >= doc_->lineCount()) return doc_->lastBlock();
  const QTextBlock b = doc_->findBlockByLineNumber(static_cast<int>(inText));
  return b.isValid() ? b : doc_->lastBlock();
}

QSizeF TDocumentLayout::documentSize() const {
  const qreal margin = doc_->documentMargin();
  const qreal page = doc_->pageSize().width();
  const qreal width = qMax(page > 0 ? page : 0, usedWidth_ + 2 * margin);
  return QSizeF(width, doc_->lineCount() + 2 * margin);
}

QRectF TDocumentLayout::frameBoundingRect(QTextFrame* frame) const {
  if (frame != doc_->rootFrame()) return QRectF();
  return QRectF(QPointF(0, 0), documentSize());
}

QRectF TDocumentLayout::blockBoundingRect(const QTextBlock& block) const {
  if (!block.isValid()) return QRectF();
  if (ensureLaidOut(block)) sizeMayHaveChanged();
  const QPointF origin(doc_->documentMargin(), blockTop(block));
  if (isLong(block)) return QRectF(origin, QSizeF(qMax(textWidth(), usedWidth_), block.lineCount()));
  QTextLayout* tl = block.layout();
  tl->setPosition(origin);
  return QRectF(origin, QSizeF(tl->boundingRect().width(), block.lineCount()));
}

namespace {

// The position in a laid-out paragraph (or piece) nearest a point given
// relative to the layout; exact tells whether the point is on the text.
int hitInLayout(const QTextLayout* tl, const QPointF& pos, Qt::HitTestAccuracy accuracy, bool* exact) {
  *exact = false;
  int off = 0;
  for (int i = 0; i < tl->lineCount(); ++i) {
    const QTextLine line = tl->lineAt(i);
    const QRectF r = line.naturalTextRect();
    if (r.top() > pos.y()) {
      off = qMin(off, line.textStart());
    } else if (r.bottom() <= pos.y()) {
      off = qMax(off, line.textStart() + line.textLength());
    } else {
      *exact = r.left() <= pos.x() && r.right() >= pos.x();
      off = line.xToCursor(pos.x(), accuracy == Qt::ExactHit ? QTextLine::CursorOnCharacter
                                                             : QTextLine::CursorBetweenCharacters);
      break;
    }
  }
  return off;
}

}  // namespace

int TDocumentLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const {
  const QTextBlock block = blockAt(point.y());
  if (!block.isValid()) return -1;
  if (ensureLaidOut(block)) sizeMayHaveChanged();
  QPointF pos = point - QPointF(doc_->documentMargin(), blockTop(block));
  bool exact = false;
  int off = 0;
  const QTextLayout* tl = block.layout();
  if (isLong(block)) {
    pos.ry() -= block.blockFormat().topMargin();
    const PieceAt at = pieceAtY(block, pos.y());
    tl = pieceLayout(block, at);
    off = at.start + hitInLayout(tl, pos - QPointF(0, at.top), accuracy, &exact);
  } else {
    off = hitInLayout(tl, pos, accuracy, &exact);
  }
  if (accuracy == Qt::ExactHit && !exact) return -1;
  int lastPos = doc_->characterCount() - 1;
  if (!tl->preeditAreaText().isEmpty()) lastPos += tl->preeditAreaText().size();
  return std::clamp(block.position() + off, 0, lastPos);
}

QRectF TDocumentLayout::caretRect(int position) const {
  const QTextBlock block = doc_->findBlock(position);
  if (!block.isValid()) return QRectF();
  if (ensureLaidOut(block)) sizeMayHaveChanged();
  QPointF origin(doc_->documentMargin(), blockTop(block));
  int rel = position - block.position();
  const QTextLayout* tl = block.layout();
  if (isLong(block)) {
    const PieceAt at = pieceAt(block, rel);
    tl = pieceLayout(block, at);
    origin.ry() += block.blockFormat().topMargin() + at.top;
    rel -= at.start;
  }
  const QTextLine line = tl->lineForTextPosition(rel);
  if (!line.isValid()) return QRectF(origin, QSizeF(1, 10));
  return QRectF(origin + QPointF(line.cursorToX(rel), line.y()), QSizeF(1, line.height()));
}

std::pair<int, int> TDocumentLayout::lineAt(int position) const {
  const QTextBlock block = doc_->findBlock(position);
  if (!block.isValid()) return {position, position};
  if (ensureLaidOut(block)) sizeMayHaveChanged();
  int rel = position - block.position();
  int base = block.position();
  const QTextLayout* tl = block.layout();
  bool lastPiece = true;
  if (isLong(block)) {
    const PieceAt at = pieceAt(block, rel);
    tl = pieceLayout(block, at);
    const Pieces* p = piecesOf(block);
    lastPiece = size_t(at.index) + 1 == p->list.size();
    rel -= at.start;
    base += at.start;
  }
  const QTextLine line = tl->lineForTextPosition(rel);
  if (!line.isValid()) return {position, position};
  const int start = base + line.textStart();
  int end = start + line.textLength();
  // A line that a space broke ends before the space, as Qt's End key has it.
  const bool lastLine = line.lineNumber() == tl->lineCount() - 1 && lastPiece;
  if (!lastLine && line.textLength() > 0 && doc_->characterAt(end - 1).isSpace()) --end;
  if (lastLine) end = qMin(end, block.position() + block.length() - 1);
  return {start, end};
}

void TDocumentLayout::draw(QPainter* painter, const PaintContext& context) {
  const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, 1e9, 1e9);
  const qreal margin = doc_->documentMargin();
  int changed = 0;
  for (QTextBlock b = blockAt(clip.top()); b.isValid(); b = b.next()) {
    changed |= ensureLaidOut(b);
    const qreal top = blockTop(b);
    if (top > clip.bottom()) break;
    if (isLong(b)) {
      const int before = b.lineCount();
      drawLongBlock(painter, context, b, QPointF(margin, top));
      changed |= b.lineCount() - before;
    } else {
      drawBlock(painter, context, b, QPointF(margin, top));
    }
  }
  if (changed) sizeMayHaveChanged();
}

void TDocumentLayout::drawBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                                const QPointF& origin) const {
  QTextLayout* tl = block.layout();
  tl->setPosition(origin);
  const QRectF rect(origin, QSizeF(tl->boundingRect().right(), block.lineCount()));
  if (context.clip.isValid() && (rect.bottom() < context.clip.top() || rect.top() > context.clip.bottom()))
    return;
  const QTextBlockFormat format = block.blockFormat();
  const QBrush bg = format.background();
  if (bg != Qt::NoBrush) {
    QRectF r = rect;
    r.setRight(qMax(r.right(), documentSize().width() - doc_->documentMargin()));
    painter->fillRect(r, bg);
  }

  QList<QTextLayout::FormatRange> selections;
  const int blockPos = block.position();
  const int blockLen = block.length();
  const QTextCharFormat* markerSelection = nullptr;
  for (const Selection& range : context.selections) {
    const int selStart = range.cursor.selectionStart() - blockPos;
    const int selEnd = range.cursor.selectionEnd() - blockPos;
    if (selStart < blockLen && selEnd > 0 && selEnd > selStart) {
      selections.append({selStart, selEnd - selStart, range.format});
    } else if (!range.cursor.hasSelection() && range.format.hasProperty(QTextFormat::FullWidthSelection) &&
               block.contains(range.cursor.position())) {
      // A full-width selection only names the line it marks.
      const QTextLine line = tl->lineForTextPosition(range.cursor.position() - blockPos);
      QTextLayout::FormatRange o{line.textStart(), line.textLength(), range.format};
      if (o.start + o.length == blockLen - 1) ++o.length;
      selections.append(o);
    }
    if (selStart < 0 && selEnd >= 1) markerSelection = &range.format;
  }

  if (QTextList* list = block.textList();
      list && list->format().style() != QTextListFormat::ListStyleUndefined)
    drawListMarker(painter, context, block, markerSelection);

  const QPen oldPen = painter->pen();
  painter->setPen(context.palette.color(QPalette::Text));
  // Selections are cut at the text area, inside the document margin, as Qt's
  // layout cuts them: the mark for a selected paragraph end stops there.
  const qreal margin = doc_->documentMargin();
  const QSizeF size = documentSize();
  const QRectF area(margin, margin, size.width() - 2 * margin, size.height() - 2 * margin);
  tl->draw(painter, QPointF(), selections, context.clip.isValid() ? (context.clip & area) : area);
  const int cursor = context.cursorPosition;
  if ((cursor >= blockPos && cursor < blockPos + blockLen) ||
      (cursor < -1 && !tl->preeditAreaText().isEmpty())) {
    const int at = cursor < -1 ? tl->preeditAreaPosition() - (cursor + 2) : cursor - blockPos;
    bool ok = false;
    int cursorWidth = property("cursorWidth").toInt(&ok);
    if (!ok) cursorWidth = 1;
    tl->drawCursor(painter, QPointF(), at, cursorWidth);
  }
  painter->setPen(oldPen);
}

// A list paragraph's bullet (or number) in the space before its first line,
// where Qt's own layout puts it to the pixel: in the paragraph's character
// format, the first line's corner and the layout's place rounded each on its
// own, centred on half the font's whole-pixel height, a number drawn as a
// line of text from the first line's top.
void TDocumentLayout::drawListMarker(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                                     const QTextCharFormat* selection) const {
  QTextLayout* tl = block.layout();
  if (tl->lineCount() == 0) return;
  QTextList* list = block.textList();
  const QTextCharFormat charFormat = block.charFormat();
  const QFont font = charFormat.font().resolve(doc_->defaultFont());
  const QFontMetrics fm(font);
  int style = list->format().style();
  const QTextBlockFormat format = block.blockFormat();
  if (format.hasProperty(QTextFormat::ListStyle)) style = format.intProperty(QTextFormat::ListStyle);

  const Qt::LayoutDirection dir = block.textDirection();
  const QRectF first = tl->lineAt(0).naturalTextRect();
  QPointF pos = tl->position().toPoint() + first.topLeft().toPoint();
  if (dir == Qt::RightToLeft) pos.rx() += first.width();
  QString itemText;
  QSizeF size;
  switch (style) {
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare:
      size = QSizeF(fm.lineSpacing() / 3, fm.lineSpacing() / 3);
      break;
    case QTextListFormat::ListDecimal:
    case QTextListFormat::ListLowerAlpha:
    case QTextListFormat::ListUpperAlpha:
    case QTextListFormat::ListLowerRoman:
    case QTextListFormat::ListUpperRoman:
      itemText = list->itemText(block);
      size = QSizeF(fm.horizontalAdvance(itemText), fm.height());
      break;
    default:
      return;
  }
  QRectF r(pos, size);
  qreal xoff = fm.horizontalAdvance(u' ');
  if (dir == Qt::LeftToRight) xoff = -xoff - size.width();
  r.translate(xoff, fm.height() / 2 - size.height() / 2);

  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  if (selection) {
    painter->setPen(QPen(selection->foreground(), 0));
    painter->fillRect(r, selection->background());
  } else {
    QBrush fg = charFormat.foreground();
    if (fg == Qt::NoBrush) fg = context.palette.text();
    painter->setPen(QPen(fg, 0));
  }
  const QBrush brush = context.palette.brush(QPalette::Text);
  switch (style) {
    case QTextListFormat::ListDisc:
      painter->setBrush(brush);
      painter->setPen(Qt::NoPen);
      painter->drawEllipse(r);
      break;
    case QTextListFormat::ListCircle:
      painter->setPen(QPen(brush, 0));
      painter->drawEllipse(r.translated(0.5, 0.5));
      break;
    case QTextListFormat::ListSquare:
      painter->fillRect(r, brush);
      break;
    default: {
      QTextLayout number(itemText, font);
      number.setCacheEnabled(true);
      QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
      option.setTextDirection(dir);
      number.setTextOption(option);
      number.beginLayout();
      QTextLine line = number.createLine();
      if (line.isValid()) line.setLeadingIncluded(true);
      number.endLayout();
      number.draw(painter, QPointF(r.left(), pos.y()));
      break;
    }
  }
  painter->restore();
}

void TDocumentLayout::keepShaped(const QTextBlock& block) {
  const int number = block.blockNumber();
  if (number != shapedBlock_) {
    // Paragraphs added or taken out since may have moved the number on to
    // another paragraph: letting go of glyphs it has none of does no harm.
    const QTextBlock old = doc_->findBlockByNumber(shapedBlock_);
    if (old.isValid() && old.layout()) old.layout()->setCacheEnabled(false);
    shapedBlock_ = number;
    words_.clear();
  }
  // A justified line spreads its spaces when first drawn or asked; with the
  // glyphs kept that would happen to lines already spread.
  block.layout()->setCacheEnabled(!(optionFor(block, block.blockFormat()).alignment() & Qt::AlignJustify));
}

void TDocumentLayout::sizeMayHaveChanged() const {
  if (sizeReportPending_) return;
  sizeReportPending_ = true;
  QTimer::singleShot(0, const_cast<TDocumentLayout*>(this), &TDocumentLayout::reportSize);
}

void TDocumentLayout::reportSize() {
  sizeReportPending_ = false;
  const QSizeF size = documentSize();
  if (size != reportedSize_) {
    reportedSize_ = size;
    emit documentSizeChanged(size);
  }
  // Paragraphs laid out while painting may have moved what follows them.
  emit update(QRectF(0, 0, 1e9, 1e9));
}

void TDocumentLayout::outdateFrom(int position) {
  if (measuredTo_ < 0 || position < measuredTo_) measuredTo_ = position;
  emit measuringNeeded();
}

void TDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
  const int length = doc_->characterCount();
  const Settings settings = currentSettings();
  const bool edited = textChanged_ || doc_->revision() != revision_;
  textChanged_ = false;
  revision_ = doc_->revision();
  const qreal width = textWidth();
  const bool wholeDocument = from == 0 && charsAdded >= length - 1;
  // What was asked to be measured moves with the text; a new text asks nothing.
  if (wholeDocument && edited)
    caretAsked_ = -1;
  else if (from < caretAsked_)
    caretAsked_ = qMax(from, caretAsked_ + charsAdded - charsRemoved);
  // What the document sends when its page width, default font or options
  // change: the whole text as if newly added, with no edit behind it.
  const bool relayout = !edited && from == 0 && charsRemoved == 0 && charsAdded == length;

  if (relayout && settings == settings_) {
    // Nothing but the width changed (or nothing at all): every paragraph
    // finds out that its lines are outdated when it is next painted or
    // measured; the heights it has serve as estimates meanwhile.
    if (!sameWidth(width, width_)) {
      width_ = width;
      usedWidth_ = 0;
      outdateFrom(0);
    }
    emit update(QRectF(0, 0, 1e9, 1e9));
    return;
  }
  const bool everything = settings != settings_ || !sameWidth(width, width_);
  if (everything) {
    // A new default font, tab stops or wrap mode: every paragraph is laid
    // out again (the edited ones below, the others by the background pass).
    settings_ = settings;
    width_ = width;
    usedWidth_ = 0;
    metrics_.clear();
    words_.clear();
    if (!wholeDocument) {
      for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
        b.clearLayout();
        if (Pieces* p = piecesOf(b))
          for (Piece& piece : p->list) piece.laidFor = -1, piece.layout.reset();
      }
      outdateFrom(0);
    }
  }
  // The background pass goes on from the same text, wherever the edit moved it.
  if (measuredTo_ >= 0 && from < measuredTo_)
    measuredTo_ = from + charsRemoved >= measuredTo_ ? from : measuredTo_ + charsAdded - charsRemoved;
  if (charsRemoved == 0 && charsAdded == 0) return;

  // The paragraphs from the one holding the change's start to the one
  // holding its end, inclusive (a removal at a paragraph's start changes
  // that paragraph though nothing was added to it).
  QTextBlock b = doc_->findBlock(from);
  QTextBlock end = doc_->findBlock(from + charsAdded);
  if (end.isValid()) end = end.next();
  const int top = b.isValid() ? blockTop(b) : 0;
  const int totalBefore = doc_->lineCount();
  int laidOut = 0;
  int heightChange = 0;
  bool estimated = false;
  // An edit inside one long paragraph lays out the piece it touched only.
  if (b.isValid() && b.next() == end && isLong(b) &&
      applyEditToPieces(b, from - b.position(), charsRemoved, charsAdded)) {
    const int change = ensurePieces(b);
    const int bottom = blockTop(b) + b.lineCount();
    emit update(QRectF(0, top, 1e9, change ? 1e9 : bottom - top));
    const QSizeF size = documentSize();
    if (size != reportedSize_) {
      reportedSize_ = size;
      emit documentSizeChanged(size);
    }
    return;
  }
  for (; b.isValid() && b != end; b = b.next()) {
    b.clearLayout();
    if (isLong(b)) {
      // Pieces made afresh, with estimates, measured in the background and
      // laid out where painted.
      b.setUserData(nullptr);
      heightChange |= ensurePieces(b);
      continue;
    }
    if (laidOut < kImmediateChars) {
      if (b.next() == end && b == doc_->findBlock(from)) keepShaped(b);
      heightChange |= layoutBlock(b);
      laidOut += b.length();
    } else {
      if (!estimated) outdateFrom(b.position());
      estimated = true;
      const int h = estimateHeight(b);
      if (h != b.lineCount()) setHeight(b, h);
    }
  }
  // Paragraphs merged away took their heights with them.
  const bool moved = heightChange != 0 || doc_->lineCount() != totalBefore || charsRemoved != charsAdded;
  const int bottom = end.isValid() ? blockTop(end) : blockTop(doc_->lastBlock()) + doc_->lastBlock().lineCount();
  emit update(QRectF(0, top, 1e9, moved ? 1e9 : bottom - top));
  const QSizeF size = documentSize();
  if (size != reportedSize_) {
    reportedSize_ = size;
    emit documentSizeChanged(size);
  }
}

int TDocumentLayout::wantedTo() const {
  return doc_->characterCount() <= measureAllChars_ ? std::numeric_limits<int>::max() : caretAsked_;
}

void TDocumentLayout::measureForCaret(int position) {
  if (measuredBefore(position)) position = -1;  // nothing more to measure for it
  if (position == caretAsked_) return;
  const bool more = position > caretAsked_;
  caretAsked_ = position;
  if (more) emit measuringNeeded();
}

void TDocumentLayout::setMeasureAllLimit(int chars) {
  measureAllChars_ = chars;
  emit measuringNeeded();
}

void TDocumentLayout::heightsChanged(int top) {
  const QSizeF size = documentSize();
  if (size != reportedSize_) {
    reportedSize_ = size;
    emit documentSizeChanged(size);
  }
  emit update(QRectF(0, top, 1e9, 1e9));
}

bool TDocumentLayout::measureSpan(qreal top, qreal bottom) {
  const int width = textWidthFixed();
  int changedTop = -1;
  for (QTextBlock b = blockAt(top); b.isValid(); b = b.next()) {
    const int bt = blockTop(b);
    if (bt > bottom) break;
    if (!isLong(b)) {
      if (ensureLaidOut(b) && changedTop < 0) changedTop = bt;
      continue;
    }
    if (ensurePieces(b) && changedTop < 0) changedTop = bt;
    // The pieces in the span keep their lines (they are about to be shown).
    Pieces* p = piecesOf(b);
    qreal y = bt + b.blockFormat().topMargin();
    int start = 0;
    bool grew = false;
    for (size_t i = 0; i < p->list.size() && y <= bottom; ++i) {
      Piece& piece = p->list[i];
      if (y + piece.height >= top && piece.laidFor != width) {
        const int old = piece.height;
        layoutPiece(b, int(i), start);
        grew |= piece.height != old;
      }
      y += piece.height;
      start += piece.length;
    }
    if (grew && ensurePieces(b) && changedTop < 0) changedTop = bt;
  }
  if (changedTop >= 0) heightsChanged(changedTop);
  return changedTop >= 0;
}

bool TDocumentLayout::measureSome(int budgetMs) {
  const int wanted = wantedTo();
  if (measuredTo_ < 0 || measuredTo_ > wanted) return true;
  QElapsedTimer clock;
  clock.start();
  int changedTop = -1;
  int resume = -1;  // a position inside a long paragraph to go on from
  QTextBlock b = doc_->findBlock(measuredTo_);
  for (; b.isValid() && b.position() <= wanted; b = b.next()) {
    if (ensureLaidOut(b) && changedTop < 0) changedTop = blockTop(b);
    if (Pieces* p = isLong(b) ? piecesOf(b) : nullptr) {
      // A long paragraph is measured a piece at a time; the pieces measured
      // here do not keep their lines (painting lays out what it shows).
      const int width = textWidthFixed();
      int start = 0;
      bool grew = false;
      for (size_t i = 0; i < p->list.size(); ++i) {
        if (b.position() + start > wanted) {
          resume = b.position() + start;
          break;
        }
        Piece& piece = p->list[i];
        if (piece.laidFor != width) {
          const bool kept = piece.layout != nullptr;
          const int old = piece.height;
          layoutPiece(b, int(i), start);
          if (!kept) piece.layout.reset();
          grew |= piece.height != old;
        }
        start += piece.length;
        if (clock.elapsed() >= budgetMs && i + 1 < p->list.size()) {
          resume = b.position() + start;
          break;
        }
      }
      if (grew && ensurePieces(b) && changedTop < 0) changedTop = blockTop(b);
      if (resume >= 0) break;
    }
    if (clock.elapsed() >= budgetMs) {
      b = b.next();
      break;
    }
  }
  measuredTo_ = resume >= 0 ? resume : b.isValid() ? b.position() : -1;
  if (changedTop >= 0) heightsChanged(changedTop);
  const bool done = measuredTo_ < 0 || measuredTo_ > wanted;
  if (done) emit measured();
  return done;
}

#include "document_layout.moc"
