#include "platform/pdf_text_spans.h"

#include <QtGui/private/qfontengine_p.h>

namespace tolvan::pdfspans {

namespace {

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

}  // namespace

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

void markSpans(QByteArray& bytes, qsizetype start, const QChar* chars, const QGlyphLayout& layout,
               const std::vector<Part>& parts) {
  const int glyphs = layout.numGlyphs;
  std::vector<int> printedBefore(size_t(glyphs) + 1, 0);
  for (int g = 0; g < glyphs; ++g) printedBefore[g + 1] = printedBefore[g] + !layout.attributes[g].dontPrint;
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
    if (span) out += spanStart(chars + part.charFrom, part.charTo - part.charFrom);
    out.append(bytes.constData() + from, to - from);
    if (span) out += "EMC\n";
  }
  out.append(bytes.constData() + lines.back(), bytes.size() - lines.back());
  bytes.truncate(start);
  bytes += out;
}


}  // namespace tolvan::pdfspans
