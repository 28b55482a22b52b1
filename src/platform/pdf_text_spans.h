// Which glyphs of a text item need their text given in a PDF, and the
// marked-content spans that give it, written into the text Qt's PDF engine
// has drawn for the item. Used by the PDF printer; apart so that the byte
// shapes can be tested on their own.
#pragma once
#include <QByteArray>
#include <QChar>
// Qt's private text item and glyph layout: see pdf_printer.cpp.
#include <QtGui/private/qtextengine_p.h>

#include <vector>

namespace tolvan::pdfspans {

// A stretch of a text item: glyphs [glyphFrom, glyphTo) made from characters
// [charFrom, charTo); `spanned` when its glyphs need their text given.
struct Part {
  int glyphFrom, glyphTo, charFrom, charTo;
  bool spanned;
  bool operator==(const Part&) const = default;
};

// The item's clusters, left to right, each cluster that needs its text
// given a part of its own (so that a reader can place the text of each
// letter where its glyphs are) and neighbouring clusters that do not joined.
// A cluster whose only glyph is the one the font gives its only character
// reads back right without help; so does one that draws nothing. Empty when
// the item does not have the shape this relies on (then it is left as Qt
// draws it).
std::vector<Part> partsOf(const QTextItemInt& ti);

// Marks the glyphs of a text item (characters `chars`, glyphs `layout`)
// that Qt has just drawn into `bytes` (from `start` on): each spanned part's
// glyphs go inside a span whose ActualText is the part's characters. Qt
// writes a text item as a text object: "BT", a line that sets the font and
// ends in "Tm", then one line for each glyph that prints, "x y Td <glyph>
// Tj", in the item's order (glyphs that do not print have none); a bold Qt
// makes by drawing twice follows with its second pass in a span of its own.
// Only marked-content operators are added, inside the text object, so the
// page draws exactly as before and readers place each span's text where its
// glyphs are. Bytes of another shape are left as they are.
void markSpans(QByteArray& bytes, qsizetype start, const QChar* chars, const QGlyphLayout& layout,
               const std::vector<Part>& parts);

}  // namespace tolvan::pdfspans
