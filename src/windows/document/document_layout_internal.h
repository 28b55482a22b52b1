// What the two halves of the document layout share (document_layout.cpp
// for paragraphs laid out whole, document_layout_pieces.cpp for long ones):
// Qt's width units and what a paragraph keeps of its layout.
#pragma once
#include <QTextBlock>
#include <QTextLayout>
#include <memory>
#include <vector>

namespace tolvan::layout {

// Widths and margins in Qt's text layout units (1/64 pixel, cut off toward
// zero as Qt cuts them), so lines break exactly where Qt's own layout breaks
// them.
inline int fixed(qreal r) { return static_cast<int>(r * 64); }
inline qreal real(int f) { return f / 64.0; }

// What a paragraph's lines were laid out for: the text width (a new width
// outdates them without anything else happening to the paragraph).
struct LaidOutFor : QTextBlockUserData {
  explicit LaidOutFor(int w) : width(w) {}
  int width;
};

// One piece of a long paragraph.
struct Piece {
  int length = 0;       // characters
  int height = 0;       // whole pixels; an estimate while laidFor is not the width
  int laidFor = -1;     // the text width (1/64 pixels) the height was measured for
  std::unique_ptr<QTextLayout> layout;  // kept while the piece is on screen
};

// A long paragraph's pieces, kept with the paragraph (its user data).
struct Pieces : LaidOutFor {
  Pieces() : LaidOutFor(-1) {}
  std::vector<Piece> list;
  int length() const {
    int n = 0;
    for (const Piece& p : list) n += p.length;
    return n;
  }
};

}  // namespace tolvan::layout
