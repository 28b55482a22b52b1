// Fuzz target for the RTF reader as the editor uses it. Any input must either
// be refused with a message or give a document (a damaged file: what was
// read, with the damage named); the document holds no lone surrogate and
// writes out as sound RTF that reads back to the same text with the same
// formatting: character by character the font, size, style and colours, and
// paragraph by paragraph the alignment and the bullet. Read for a Unicode
// document, the same holds with the Unicode writer. Read in two steps, the
// first paragraphs built and shown before the rest is read (as the window
// reads a large file), the document is the one read in one step.
#include <QGuiApplication>
#include <QTextDocument>

#include <QTextBlock>
#include <QTextList>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/fonts.h"
#include "rtf/rtf.h"
#include "rtf/rtf_reader_internal.h"

namespace {

// What the writer keeps of a character's format, in the writer's terms: the
// document's default font and size stand in where the format names none.
struct CharLook {
  QString family;
  long halfPoints;
  bool bold, italic, underline, strike;
  QRgb fg, bg;  // 0 for none (colours are written without alpha)
  bool operator==(const CharLook&) const = default;
};

QRgb colorOf(const QBrush& b) {
  return b.style() == Qt::NoBrush ? 0 : (b.color().toRgb().rgb() | 0xFF000000u);
}

CharLook lookOf(const QTextDocument& doc, const QTextCharFormat& f) {
  const QStringList fams = f.fontFamilies().toStringList();
  QString family = !fams.isEmpty() && !fams.first().isEmpty() ? fams.first() : doc.defaultFont().family();
  double size = f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0
                    ? f.fontPointSize()
                    : (doc.defaultFont().pointSizeF() > 0 ? doc.defaultFont().pointSizeF() : 12.0);
  return {tolvan::familyWithoutFoundry(family), std::lround(size * 2), f.fontWeight() > QFont::Medium,
          f.fontItalic(), f.fontUnderline(), f.fontStrikeOut(), colorOf(f.foreground()),
          colorOf(f.background())};
}

int alignmentOf(const QTextBlockFormat& bf) {
  const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
  if (a & Qt::AlignHCenter) return 1;
  if (a & Qt::AlignJustify) return 2;
  if (a & Qt::AlignRight) return 3;
  return 0;
}

// One entry per character and one per paragraph (its alignment and bullet).
struct Looks {
  std::vector<CharLook> chars;
  std::vector<char16_t> codes;  // the character each look belongs to
  std::vector<int> paragraphs;
};

Looks looksOf(const QTextDocument& doc) {
  Looks out;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    out.paragraphs.push_back(alignmentOf(b.blockFormat()) * 2 + (b.textList() ? 1 : 0));
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      const CharLook look = lookOf(doc, frag.charFormat());
      out.chars.insert(out.chars.end(), static_cast<size_t>(frag.length()), look);
      for (QChar c : frag.text()) out.codes.push_back(c.unicode());
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_fuzz";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                   static_cast<qsizetype>(size));
  QTextDocument doc;
  QString error, damage;
  if (!tolvan::rtf::readRtf(bytes, &doc, &error, &damage)) {
    if (error.isEmpty()) std::abort();  // a refusal always says why
    return 0;
  }
  {
    QTextDocument stepped;
    QString steppedError, steppedDamage;
    int shows = 0;
    if (!tolvan::rtf::readRtfShowing(bytes, &stepped, &steppedError, &steppedDamage, tolvan::TextEncoding::Tscii,
                                     0x00AD, [&] { ++shows; }, 16, 0) ||
        shows > 1 || steppedDamage != damage || stepped.toRawText() != doc.toRawText())
      std::abort();
    const Looks one = looksOf(doc), two = looksOf(stepped);
    if (one.paragraphs != two.paragraphs || !(one.chars == two.chars)) std::abort();
  }
  const QString text = doc.toRawText();
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      ++i;
    else if (text[i].isSurrogate())
      std::abort();
  }
  const QByteArray out = tolvan::rtf::writeRtf(&doc);
  QTextDocument again;
  if (!tolvan::rtf::readRtf(out, &again, &error, &damage) || !damage.isEmpty()) std::abort();
  if (again.toRawText() != doc.toRawText()) std::abort();
  const Looks before = looksOf(doc), after = looksOf(again);
  if (before.paragraphs != after.paragraphs) std::abort();
  if (before.chars.size() != after.chars.size()) std::abort();
  for (size_t i = 0; i < before.chars.size(); ++i) {
    CharLook a = before.chars[i], b = after.chars[i];
    // A Unicode Tamil character that TSCII cannot hold (a lone sign) stays
    // Unicode in the document; read back it may take the TSCII font that
    // Tamil text read from RTF gets. Everything else must match.
    if (before.codes[i] >= 0x0B80 && before.codes[i] <= 0x0BFF) a.family = b.family;
    if (!(a == b)) std::abort();
  }

  // Read into a Unicode document, the same input writes and reads back to
  // exactly the same text and looks, Tamil included.
  using tolvan::TextEncoding;
  QTextDocument unicode;
  if (!tolvan::rtf::readRtf(bytes, &unicode, &error, &damage, TextEncoding::Unicode)) std::abort();
  const QByteArray unicodeOut = tolvan::rtf::writeRtf(&unicode, TextEncoding::Unicode);
  for (char c : unicodeOut)
    if (static_cast<unsigned char>(c) >= 0x80) std::abort();  // all beyond ASCII is escaped
  QTextDocument unicodeAgain;
  if (!tolvan::rtf::readRtf(unicodeOut, &unicodeAgain, &error, &damage, TextEncoding::Unicode) ||
      !damage.isEmpty())
    std::abort();
  if (unicodeAgain.toRawText() != unicode.toRawText()) std::abort();
  const Looks u1 = looksOf(unicode), u2 = looksOf(unicodeAgain);
  if (u1.paragraphs != u2.paragraphs || !(u1.chars == u2.chars)) std::abort();
  return 0;
}
