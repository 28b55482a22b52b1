#include "platform/pdf_printer.h"

#include <QBuffer>
#include <QTextItem>
// Qt draws a text item glyph by glyph and keeps which characters made which
// glyphs only in its private text item; its PDF engine writes each page into
// a private byte stream. Both were read against Qt 6.4: a text item's
// logClusters give, for each character, the first glyph of its cluster
// (left to right); the page stream is a QBuffer that each drawing call
// appends to. Check these again before building with another Qt.
#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qpdf_p.h>
#include <QtGui/private/qtextengine_p.h>
// The PDF print engine's header pulls in Qt's printing helpers, which need
// the CUPS headers for types the engine does not use; leaving them out
// spares the build a dependency on CUPS's development files.
#define QPRINT_P_H
#include <QtPrintSupport/private/qprintengine_pdf_p.h>
#undef QPRINT_P_H

#include <vector>

static_assert(QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(6, 9, 0),
              "the PDF printer writes into Qt's private page stream; check it for this Qt");

namespace {

// The page stream's private members, reached through an explicit template
// instantiation (which may name private members; nothing else here does).
template <typename Tag, typename Tag::type Member>
struct Expose {
  friend typename Tag::type member(Tag) { return Member; }
};
struct StreamDevice {
  using type = QIODevice* QPdf::ByteStream::*;
  friend type member(StreamDevice);
};
struct StreamHandedOut {
  using type = bool QPdf::ByteStream::*;
  friend type member(StreamHandedOut);
};
template struct Expose<StreamDevice, &QPdf::ByteStream::dev>;
template struct Expose<StreamHandedOut, &QPdf::ByteStream::handleDirty>;

// What Qt writes round the second pass of a bold it makes by drawing the
// glyphs twice, so that readers take no text from it. Inside a span of ours
// that mark would stand in for our text (readers do not nest ActualText), so
// it becomes a plain mark: our span already gives the text once.
constexpr char kQtBoldMark[] = "/Span << /ActualText <> >> BDC";
constexpr char kPlainMark[] = "/Artifact BMC";

// The marked-content operator that opens a span whose text is `text`
// (UTF-16 big-endian, in hexadecimal).
QByteArray spanStart(const QChar* text, int length) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  QByteArray out("/Span <</ActualText <FEFF");
  out.reserve(out.size() + 4 * length + 10);
  for (int i = 0; i < length; ++i) {
    const char16_t u = text[i].unicode();
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
  }
  out += ">>>\nBDC\n";
  return out;
}

// A stretch of a text item: glyphs [glyphFrom, glyphTo) made from characters
// [charFrom, charTo); `spanned` when its glyphs need their text given.
struct Part {
  int glyphFrom, glyphTo, charFrom, charTo;
  bool spanned;
};

// The item's clusters, neighbours of the same kind joined, left to right.
// Empty when the item does not have the shape this relies on (then it is
// drawn as Qt draws it). A cluster whose only glyph is the one the font
// gives its only character reads back right without help; so does one that
// draws nothing.
std::vector<Part> partsOf(const QTextItemInt& ti) {
  std::vector<Part> parts;
  const int glyphs = ti.glyphs.numGlyphs;
  const int base = ti.logClusters[0];
  int c = 0;
  while (c < ti.num_chars) {
    const int g0 = ti.logClusters[c] - base;
    int end = c + 1;
    while (end < ti.num_chars && ti.logClusters[end] == ti.logClusters[c]) ++end;
    const int g1 = end < ti.num_chars ? ti.logClusters[end] - base : glyphs;
    if (g0 < 0 || g1 <= g0 || g1 > glyphs) return {};
    bool printed = false;
    for (int g = g0; g < g1; ++g) printed |= !ti.glyphs.attributes[g].dontPrint;
    const QChar ch = ti.chars[c];
    const bool plain = !printed || (end - c == 1 && g1 - g0 == 1 && !ch.isSurrogate() &&
                                    ti.fontEngine->glyphIndex(ch.unicode()) == ti.glyphs.glyphs[g0]);
    if (!parts.empty() && parts.back().spanned == !plain) {
      parts.back().glyphTo = g1;
      parts.back().charTo = end;
    } else {
      parts.push_back({g0, g1, c, end, !plain});
    }
    c = end;
  }
  if (parts.empty() || parts.back().glyphTo != glyphs) return {};
  return parts;
}

class PdfTextEngine final : public QPdfPrintEngine {
 public:
  explicit PdfTextEngine(QPrinter::PrinterMode mode) : QPdfPrintEngine(mode) {}

  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const auto& ti = static_cast<const QTextItemInt&>(item);
    QBuffer* page = pageStream();
    std::vector<Part> parts;
    if (page && ti.fontEngine && ti.chars && ti.logClusters && ti.num_chars > 0 && ti.glyphs.numGlyphs > 0 &&
        !(ti.flags & QTextItem::RightToLeft))
      parts = partsOf(ti);
    if (parts.size() == 1 && !parts.front().spanned) parts.clear();  // reads back right as it is
    if (parts.empty()) {
      QPdfPrintEngine::drawTextItem(p, item);
      return;
    }
    // A link or anchor is made once for the whole item, from the item with
    // its glyphs left out (the parts go without the item's format).
    if (ti.charFormat.hasProperty(QTextFormat::AnchorHref) || ti.charFormat.hasProperty(QTextFormat::AnchorName)) {
      QTextItemInt link = ti;
      link.glyphs = ti.glyphs.mid(0, 0);
      QPdfPrintEngine::drawTextItem(p, link);
    }
    const bool twiceDrawn = ti.fontEngine->synthesized() & QFontEngine::SynthesizedBold;
    QFixed x;  // where the part starts, from the item's start
    for (const Part& part : parts) {
      QTextItemInt sub;
      sub.descent = ti.descent;
      sub.ascent = ti.ascent;
      sub.flags = ti.flags;
      sub.justified = ti.justified;
      sub.underlineStyle = ti.underlineStyle;
      sub.chars = ti.chars + part.charFrom;
      sub.num_chars = part.charTo - part.charFrom;
      sub.logClusters = ti.logClusters + part.charFrom;
      sub.f = ti.f;
      sub.fontEngine = ti.fontEngine;
      sub.glyphs = ti.glyphs.mid(part.glyphFrom, part.glyphTo - part.glyphFrom);
      for (int g = part.glyphFrom; g < part.glyphTo; ++g) sub.width += ti.glyphs.effectiveAdvance(g);
      const QPointF at(p.x() + x.toReal(), p.y());
      x += sub.width;
      if (!part.spanned) {
        QPdfPrintEngine::drawTextItem(at, sub);
        continue;
      }
      const qint64 start = page->size();
      QPdfPrintEngine::drawTextItem(at, sub);
      spanText(page->buffer(), start, spanStart(sub.chars, sub.num_chars), twiceDrawn);
      page->seek(page->size());
    }
  }

 private:
  // The current page's content, or null when it cannot be added to here
  // (no page, or Qt has moved it out of memory).
  QBuffer* pageStream() {
    auto* d = static_cast<QPdfEnginePrivate*>(d_ptr.data());
    QPdf::ByteStream* stream = d->currentPage;
    if (!stream || stream->*member(StreamHandedOut{})) return nullptr;
    return qobject_cast<QBuffer*>(stream->*member(StreamDevice{}));
  }

  // Puts the glyphs Qt has just drawn, from `start` on, inside a span that
  // opens with `open`. The span goes inside the text object, after the font
  // and text matrix are set: readers place a span's text with the state
  // that holds where it ends, which outside the object has lost the
  // drawing's transformation. Nothing is done when no text object was
  // written (nothing drawn: clipped away, or no pen).
  static void spanText(QByteArray& bytes, qsizetype start, const QByteArray& open, bool twiceDrawn) {
    const qsizetype text = bytes.indexOf("BT\n", start);
    const qsizetype matrix = text < 0 ? -1 : bytes.indexOf("Tm\n", text);
    const qsizetype end = bytes.lastIndexOf("ET\n");
    if (matrix < 0 || end < matrix) return;
    bytes.insert(end, "EMC\n");
    if (twiceDrawn) {
      const qsizetype mark = bytes.indexOf(kQtBoldMark, matrix);
      if (mark >= 0 && mark < end) bytes.replace(mark, qsizetype(sizeof kQtBoldMark - 1), kPlainMark);
    }
    bytes.insert(matrix + 3, open);
  }
};

}  // namespace

namespace tolvan {

PdfTextEngineOwner::PdfTextEngineOwner(QPrinter::PrinterMode mode) : engine_(std::make_unique<PdfTextEngine>(mode)) {}
PdfTextEngineOwner::~PdfTextEngineOwner() = default;

PdfTextPrinter::PdfTextPrinter(PrinterMode mode) : PdfTextEngineOwner(mode), QPrinter(mode) {
  // The format first: choosing it makes Qt's own engine, which ours replaces.
  setOutputFormat(PdfFormat);
  setEngines(engine_.get(), engine_.get());
}

PdfTextPrinter::~PdfTextPrinter() = default;

}  // namespace tolvan
