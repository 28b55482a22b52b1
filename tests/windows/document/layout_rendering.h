// Pictures of a document drawn by the window's layout and by Qt's own
// QTextDocumentLayout, compared pixel by pixel. Used by the rendering test and
// by the layout fuzz target.
//
// What is tolerated, and why. Qt's layout places each paragraph at the
// height the paragraphs above it add up to, which is fractional where they
// have fractional margins or lines (pictures, margins given in points);
// ours gives every paragraph a whole number of pixels
// (TDocumentLayout::linesHeight rounds its height up), so a paragraph starts
// lower than Qt's by less than one pixel for each paragraph above it. Within a paragraph both draw the same lines at the same offsets
// from its top, and the same x. Text and rectangles (selections, the caret,
// backgrounds) drawn at a fractional height land on whole pixel rows by
// rounding, so where Qt's paragraph is shifted by d (not a whole number) a
// pixel row of ours appears floor(d) or ceil(d) rows lower in Qt's picture,
// either one for each thing drawn. Hence:
//  - each paragraph's shift d against Qt's (the difference of the heights of
//    their first lines) must be at least 0 and less than one pixel more than
//    the shift of the paragraph before it;
//  - every pixel row of ours must equal, pixel for pixel, the row of Qt's
//    picture floor(d) or ceil(d) rows higher, d being the shift of the
//    paragraph the row lies in; the first and last row of a paragraph may
//    also take its neighbour's shift (what a paragraph draws may reach a row
//    into the next one, whose shift is up to a pixel more).
// Anything else is a difference. Paragraphs laid out in pieces (longer than
// TDocumentLayout::kLongBlock) end lines at piece ends by design and are not
// compared.
#pragma once
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>

#include <cstring>
#include <vector>

#include "windows/document/document_layout.h"

namespace layoutrender {

// What is on screen: the visible rectangle in document coordinates (the
// scroll position and the viewport's size), and what the window paints over
// the text.
struct View {
  View(int x_, int y_, int width_, int height_) : x(x_), y(y_), width(width_), height(height_) {}
  int x, y, width, height;
  QList<QAbstractTextDocumentLayout::Selection> selections;
  int cursor = -1;
};

struct Result {
  QString problem;  // empty when the pictures agree
  QImage ours, qt, diff;
};

// The document drawn as the editor's viewport draws it: the painter moved by
// the scroll position and clipped to the visible rectangle, the same
// rectangle given to the layout. For Qt's picture, whose paragraphs sit
// higher, the image starts extraAbove rows above the view and the visible
// rectangle is moved up by top rows at its top and bottom rows at its
// bottom (the shifts of the paragraphs there), so that both layouts leave
// out the same lines: a line outside the rectangle is not drawn, even where
// its glyphs would reach into it.
inline QImage draw(QTextDocument* doc, const View& view, const QPalette& palette, int extraAbove = 0, int top = 0,
                   int bottom = 0) {
  QImage image(view.width, view.height + extraAbove, QImage::Format_RGB32);
  image.fill(palette.color(QPalette::Base));
  QPainter p(&image);
  p.translate(-view.x, -(view.y - extraAbove));
  const QRectF clip(view.x, view.y - top, view.width, view.height + top - bottom);
  p.setClipRect(clip);
  QAbstractTextDocumentLayout::PaintContext context;
  context.clip = clip;
  context.palette = palette;
  context.selections = view.selections;
  context.cursorPosition = view.cursor;
  doc->documentLayout()->draw(&p, context);
  return image;
}

// A selection as the editor shows it: the palette's highlight colours.
inline QAbstractTextDocumentLayout::Selection selection(QTextDocument* doc, int from, int to,
                                                       const QPalette& palette) {
  QAbstractTextDocumentLayout::Selection s;
  s.cursor = QTextCursor(doc);
  s.cursor.setPosition(from);
  s.cursor.setPosition(to, QTextCursor::KeepAnchor);
  s.format.setBackground(palette.brush(QPalette::Highlight));
  s.format.setForeground(palette.brush(QPalette::HighlightedText));
  return s;
}

// Where a paragraph's first line is, in document coordinates (NaN when it
// has no lines).
inline qreal firstLineY(QTextDocument* doc, const QTextBlock& block) {
  doc->documentLayout()->blockBoundingRect(block);
  const QTextLayout* tl = block.layout();
  if (!tl || tl->lineCount() == 0) return qQNaN();
  return tl->position().y() + tl->lineAt(0).y();
}

// Compares what the two documents (the same text and formats; ours with a
// TDocumentLayout, qt with Qt's layout) draw in view. The selections and
// the caret of view are positions, used for both.
inline Result compare(QTextDocument* ours, QTextDocument* qt, const View& view, const QPalette& palette) {
  Result r;
  if (ours->blockCount() != qt->blockCount()) {
    r.problem = QStringLiteral("%1 paragraphs, Qt's document %2").arg(ours->blockCount()).arg(qt->blockCount());
    return r;
  }
  auto* layout = static_cast<TDocumentLayout*>(ours->documentLayout());
  // Our picture first: drawing lays out what it shows.
  View qtView = view;
  qtView.selections.clear();
  for (const auto& s : view.selections) {
    auto copy = s;
    copy.cursor = QTextCursor(qt);
    copy.cursor.setPosition(s.cursor.anchor());
    copy.cursor.setPosition(s.cursor.position(), QTextCursor::KeepAnchor);
    qtView.selections.append(copy);
  }
  r.ours = draw(ours, view, palette);

  // The paragraphs on screen, with their tops in our layout and their shift
  // against Qt's.
  struct Band {
    int top = 0;       // in our picture's rows
    qreal shift = 0;   // how much lower than Qt's it is drawn
    bool skip = false;
  };
  std::vector<Band> bands;
  qreal previous = 0;
  bool first = true;
  QTextBlock o = layout->blockAt(view.y);
  if (o.previous().isValid()) o = o.previous();
  for (; o.isValid(); o = o.next()) {
    const int top = layout->blockTop(o) - view.y;
    if (top > view.height) break;
    const QTextBlock q = qt->findBlockByNumber(o.blockNumber());
    Band band{top, previous, TDocumentLayout::isLong(o)};
    const qreal oy = firstLineY(ours, o), qy = firstLineY(qt, q);
    if (!band.skip && !qIsNaN(oy) && !qIsNaN(qy)) {
      band.shift = oy - qy;
      const qreal step = band.shift - previous;
      const bool fits = band.shift > -1e-6 && band.shift <= o.blockNumber() + 1e-6 &&
                        (first ? true : step > -1e-6 && step < 1);
      if (!fits && r.problem.isEmpty())
        r.problem = QStringLiteral("paragraph %1 starts %2 px below Qt's (the one before it %3 px)")
                        .arg(o.blockNumber())
                        .arg(band.shift)
                        .arg(previous);
    }
    previous = band.shift;
    first = false;
    bands.push_back(band);
  }
  int most = 1;
  for (const Band& b : bands) most = qMax(most, qCeil(b.shift) + 1);
  qreal topShift = 0, bottomShift = 0;
  for (const Band& b : bands) {
    if (b.top <= 0) topShift = b.shift;
    bottomShift = b.shift;
  }
  r.qt = draw(qt, qtView, palette, most, qCeil(topShift), qFloor(bottomShift));
  if (!r.problem.isEmpty()) return r;

  r.diff = QImage(r.ours.size(), QImage::Format_RGB32);
  const int w = r.ours.width();
  int bad = 0, firstBad = -1;
  size_t k = 0;
  for (int row = 0; row < r.ours.height(); ++row) {
    while (k + 1 < bands.size() && bands[k + 1].top <= row) ++k;
    const auto* mine = reinterpret_cast<const QRgb*>(r.ours.constScanLine(row));
    auto* out = reinterpret_cast<QRgb*>(r.diff.scanLine(row));
    for (int x = 0; x < w; ++x) {
      const QRgb c = mine[x];
      out[x] = qRgb(255 - (255 - qRed(c)) / 4, 255 - (255 - qGreen(c)) / 4, 255 - (255 - qBlue(c)) / 4);
    }
    if (bands.empty() || bands[k].skip) continue;
    std::vector<int> shifts;
    auto add = [&](const Band& b) {
      shifts.push_back(qFloor(b.shift));
      shifts.push_back(qCeil(b.shift));
    };
    add(bands[k]);
    if (k > 0 && row == bands[k].top) add(bands[k - 1]);
    if (k + 1 < bands.size() && row + 1 == bands[k + 1].top) add(bands[k + 1]);
    bool same = false;
    for (int s : shifts) {
      const int qrow = row - s + most;
      if (qrow < 0 || qrow >= r.qt.height()) continue;
      if (std::memcmp(mine, r.qt.constScanLine(qrow), size_t(w) * sizeof(QRgb)) == 0) {
        same = true;
        break;
      }
    }
    if (same) continue;
    ++bad;
    if (firstBad < 0) firstBad = row;
    const int qrow = row - shifts.front() + most;
    const auto* theirs = qrow >= 0 && qrow < r.qt.height() ? reinterpret_cast<const QRgb*>(r.qt.constScanLine(qrow))
                                                           : nullptr;
    for (int x = 0; x < w; ++x)
      if (!theirs || theirs[x] != mine[x]) out[x] = qRgb(255, 0, 0);
  }
  if (bad)
    r.problem = QStringLiteral("%1 pixel rows differ, the first at y %2 (paragraph %3)")
                    .arg(bad)
                    .arg(view.y + firstBad)
                    .arg(layout->blockAt(view.y + firstBad).blockNumber());
  return r;
}

// Saves the two pictures and their difference (differences in red, the
// rest ours, faded) as ours.png, qt.png and diff.png in dir.
inline bool save(const Result& r, const QString& dir) {
  if (!QDir().mkpath(dir)) return false;
  bool ok = true;
  if (!r.ours.isNull()) ok &= r.ours.save(dir + QStringLiteral("/ours.png"));
  if (!r.qt.isNull()) ok &= r.qt.save(dir + QStringLiteral("/qt.png"));
  if (!r.diff.isNull()) ok &= r.diff.save(dir + QStringLiteral("/diff.png"));
  return ok;
}

}  // namespace layoutrender
