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

// The item's clusters, left to right, each cluster that needs its text
// given a part of its own (so that a reader can place the text of each
// letter where its glyphs are) and neighbouring clusters that do not joined.
// A cluster whose only glyph is the one the font gives its only character
// reads back right without help; so does one that draws nothing. Empty when
// the item does not have the shape this relies on (then it is left as Qt
// draws it).
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
    if (plain && !parts.empty() && !parts.back().spanned) {
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

// Marks the glyphs of the text item `ti` that Qt has just drawn into
// `bytes` (from `start` on): each spanned part's glyphs go inside a span
// whose ActualText is the part's characters. Qt writes a text item as a text
// object: "BT", a line that sets the font and ends in "Tm", then one line
// for each glyph that prints, "x y Td <glyph> Tj", in the item's order
// (glyphs that do not print have none); a bold Qt makes by drawing twice
// follows with its second pass in a span of its own. Only marked-content
// operators are added, inside the text object, so the page draws exactly as
// before and readers place each span's text where its glyphs are. Bytes of
// another shape are left as they are.
void markSpans(QByteArray& bytes, qsizetype start, const QTextItemInt& ti, const std::vector<Part>& parts) {
  const int glyphs = ti.glyphs.numGlyphs;
  std::vector<int> printedBefore(size_t(glyphs) + 1, 0);
  for (int g = 0; g < glyphs; ++g) printedBefore[g + 1] = printedBefore[g] + !ti.glyphs.attributes[g].dontPrint;
  const int printed = printedBefore[glyphs];
  const qsizetype text = bytes.indexOf("BT\n", start);
  const qsizetype font = text < 0 ? -1 : bytes.indexOf("Tm\n", text);
  if (font < 0 || printed == 0) return;
  // Where each glyph's line starts, and where the last one ends.
  std::vector<qsizetype> lines;
  lines.reserve(size_t(printed) + 1);
  qsizetype line = font + 3;
  for (int k = 0; k < printed; ++k) {
    const qsizetype end = bytes.indexOf("Tj\n", line);
    if (end < 0 || bytes.indexOf('\n', line) != end + 2) return;
    lines.push_back(line);
    line = end + 3;
  }
  lines.push_back(line);
  const qsizetype next = bytes.indexOf('\n', line);
  if (next < 0 || bytes.mid(next - 2, 2) == "Tj") return;  // more glyphs than the item has

  QByteArray out;
  out.reserve(bytes.size() - start + qsizetype(parts.size()) * 32);
  out.append(bytes.constData() + start, lines.front() - start);
  for (const Part& part : parts) {
    const qsizetype from = lines[printedBefore[part.glyphFrom]], to = lines[printedBefore[part.glyphTo]];
    const bool span = part.spanned && to > from;
    if (span) out += spanStart(ti.chars + part.charFrom, part.charTo - part.charFrom);
    out.append(bytes.constData() + from, to - from);
    if (span) out += "EMC\n";
  }
  out.append(bytes.constData() + lines.back(), bytes.size() - lines.back());
  bytes.truncate(start);
  bytes += out;
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
    const qint64 start = page ? page->size() : 0;
    QPdfPrintEngine::drawTextItem(p, item);
    if (parts.empty() || (parts.size() == 1 && !parts.front().spanned)) return;  // reads back right as it is
    markSpans(page->buffer(), start, ti, parts);
    page->seek(page->size());
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
