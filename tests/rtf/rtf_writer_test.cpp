// RTF writer: what it writes, and that our reader reads it back to the same
// document.
#include <gtest/gtest.h>

#include <QTextList>

#include "core/convert/unicode_bridge.h"
#include "rtf/rtf.h"
#include "rtf_sample.h"
#include "rtf_test_util.h"

using tolvan::rtf::readRtf;
using tolvan::rtf::writeRtf;

namespace {

// Everything the editor can hold about one character, resolved against the
// document's defaults.
struct CharProps {
  QString family;
  double size;
  bool bold, italic, underline, strike;
  QString fg, bg;
  bool operator==(const CharProps&) const = default;
};

CharProps props(const QTextDocument& doc, const QTextCharFormat& f) {
  CharProps p;
  p.family = rtftest::family(f).isEmpty() ? doc.defaultFont().family() : rtftest::family(f);
  p.size = f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF();
  p.bold = f.fontWeight() > QFont::Medium;
  p.italic = f.fontItalic();
  p.underline = f.fontUnderline();
  p.strike = f.fontStrikeOut();
  p.fg = f.foreground().style() == Qt::NoBrush ? QString() : f.foreground().color().name();
  p.bg = f.background().style() == Qt::NoBrush ? QString() : f.background().color().name();
  return p;
}

std::ostream& operator<<(std::ostream& os, const CharProps& p) {
  return os << p.family.toStdString() << " " << p.size << (p.bold ? " b" : "") << (p.italic ? " i" : "")
            << (p.underline ? " u" : "") << (p.strike ? " s" : "") << " fg=" << p.fg.toStdString()
            << " bg=" << p.bg.toStdString();
}

// Compares two documents block by block and character by character.
void expectSameDocument(const QTextDocument& a, const QTextDocument& b) {
  ASSERT_EQ(rtftest::text(a), rtftest::text(b));
  ASSERT_EQ(a.blockCount(), b.blockCount());
  QTextBlock x = a.begin(), y = b.begin();
  for (int n = 0; x.isValid(); x = x.next(), y = y.next(), ++n) {
    const QTextBlockFormat fx = x.blockFormat(), fy = y.blockFormat();
    EXPECT_EQ(fx.alignment() & Qt::AlignHorizontal_Mask, fy.alignment() & Qt::AlignHorizontal_Mask) << n;
    EXPECT_EQ(x.textList() != nullptr, y.textList() != nullptr) << "bullet of block " << n;
    EXPECT_NEAR(fx.leftMargin(), fy.leftMargin(), 0.1) << n;
    EXPECT_NEAR(fx.rightMargin(), fy.rightMargin(), 0.1) << n;
    if (!x.textList()) {
      EXPECT_NEAR(fx.textIndent(), fy.textIndent(), 0.1) << n;
    }
    for (int i = 0; i < x.length() - 1; ++i) {
      const int pa = x.position() + i, pb = y.position() + i;
      EXPECT_EQ(props(a, rtftest::formatAt(a, pa)), props(b, rtftest::formatAt(b, pb)))
          << "block " << n << " char " << i;
    }
  }
}

QByteArray roundTrip(const QTextDocument& doc, QTextDocument& back) {
  const QByteArray rtf = writeRtf(&doc);
  QString err;
  EXPECT_TRUE(readRtf(rtf, &back, &err)) << err.toStdString();
  return rtf;
}

TEST(Writer, SampleRoundTripsThroughOurReader) {
  rtftest::ensureApp();
  QTextDocument doc, back;
  rtftest::buildSample(doc);
  roundTrip(doc, back);
  expectSameDocument(doc, back);
  // Writing what was read gives the same bytes again.
  QTextDocument again;
  const QByteArray second = roundTrip(back, again);
  EXPECT_EQ(second, writeRtf(&back));
}

TEST(Writer, EveryByteValueRoundTrips) {
  rtftest::ensureApp();
  QTextDocument doc;
  QString all;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n') all.append(QChar(b));
  QTextCursor(&doc).insertText(all);
  QTextDocument back;
  const QByteArray rtf = roundTrip(doc, back);
  EXPECT_EQ(back.toRawText(), all);
  EXPECT_EQ(back.blockCount(), 1);
  // Bytes 0x80-0xFF are \'hh, never \~ or \-.
  EXPECT_FALSE(rtf.contains("\\~"));
  EXPECT_FALSE(rtf.contains("\\-"));
  EXPECT_TRUE(rtf.contains("\\'a0"));
  EXPECT_TRUE(rtf.contains("\\'ad"));
  EXPECT_TRUE(rtf.contains("\\'82"));
}

TEST(Writer, WritesWhatOtherProgramsNeed) {
  rtftest::ensureApp();
  QTextDocument doc;
  rtftest::buildSample(doc);
  const QByteArray rtf = writeRtf(&doc);
  struct Want {
    const char* what;
    const char* bytes;
  };
  const Want wants[] = {
      {"RTF 1, ANSI, code page 1252", "{\\rtf1\\ansi\\ansicpg1252"},
      {"a generator group", "{\\*\\generator Tolvan "},
      {"the TSCII font as charset 0", "\\fcharset0 TSCu_Paranar;"},
      {"a colour table of what is used", "{\\colortbl;\\red255\\green0\\blue0;\\red255\\green255\\blue0;}"},
      {"escaped braces and backslash", "\\{brace\\} back\\\\slash"},
      {"characters beyond U+00FF as \\u with a ? fallback", "\\u1046?\\u945?"},
      {"undefined Windows-1252 bytes as LibreOffice writes them", "\\u-3711\\'81"},
      {"WordPad's bullet form", "{\\pntext\\f"},
      {"the \\pn bullet", "{\\*\\pn\\pnlvlblt"},
      {"the list table bullet", "\\ls1"},
      {"a list table", "{\\*\\listtable"},
      {"runs of spaces kept", "  two  spaces   three"},
      {"alignment", "\\qc"},
      {"justification", "\\qj"},
      {"indents", "\\fi-360\\li720\\ri360"},
      {"line break", "\\line"},
      {"tab", "\\tab"},
  };
  for (const Want& w : wants) EXPECT_TRUE(rtf.contains(w.bytes)) << w.what;
  EXPECT_TRUE(rtf.endsWith("}\r\n"));
}

TEST(Writer, EmptyDocument) {
  rtftest::ensureApp();
  QTextDocument doc, back;
  back.setPlainText("old");
  roundTrip(doc, back);
  EXPECT_EQ(back.toRawText(), QString());
  EXPECT_EQ(back.blockCount(), 1);
}

TEST(Writer, EmptyParagraphsAtTheEndSurvive) {
  rtftest::ensureApp();
  QTextDocument doc, back;
  QTextCursor c(&doc);
  c.insertText("a");
  c.insertBlock();
  c.insertBlock();
  roundTrip(doc, back);
  EXPECT_EQ(back.blockCount(), 3);
  EXPECT_EQ(rtftest::text(back), "a\n\n");
}

TEST(Writer, BulletsMadeInTheEditorGetAHangingIndent) {
  rtftest::ensureApp();
  QTextDocument doc, back;
  QTextCursor c(&doc);
  c.insertText("item");
  c.createList(QTextListFormat::ListDisc);
  const QByteArray rtf = roundTrip(doc, back);
  EXPECT_TRUE(rtf.contains("\\fi-360\\li600")) << rtf.constData();
  ASSERT_NE(back.begin().textList(), nullptr);
  EXPECT_NEAR(back.begin().blockFormat().leftMargin(), doc.begin().blockFormat().leftMargin(), 0.1);
}

}  // namespace

namespace {

// Qt names a family that several foundries make "Family [Foundry]"; files
// carry the family alone, so other programs know the font, and such a name
// from an older file reads as the family alone too.
TEST(Writer, FontTableNamesFamiliesWithoutFoundry) {
  rtftest::ensureApp();
  QTextDocument doc;
  doc.setDefaultFont(QFont(QStringLiteral("Nimbus Sans [UKWN]")));
  QTextCursor c(&doc);
  QTextCharFormat f;
  f.setFontFamilies({QStringLiteral("TSCu_Paranar [MACR]")});
  c.insertText(QStringLiteral("a"), f);
  f.setFontFamilies({QStringLiteral("TSCu_Paranar")});
  c.insertText(QStringLiteral("b"), f);
  const QByteArray rtf = writeRtf(&doc);
  EXPECT_FALSE(rtf.contains("[")) << rtf.constData();
  EXPECT_TRUE(rtf.contains(" TSCu_Paranar;}"));
  EXPECT_TRUE(rtf.contains(" Nimbus Sans;}"));
  EXPECT_EQ(rtf.count("TSCu_Paranar"), 1);  // one entry for both spellings

  QTextDocument back;
  QString err;
  ASSERT_TRUE(readRtf("{\\rtf1{\\fonttbl{\\f0 TSCu_Paranar [MACR];}{\\f1 Odd [name;}}\\f0 a\\f1 b}", &back, &err));
  EXPECT_EQ(rtftest::family(rtftest::formatAt(back, 0)), "TSCu_Paranar");
  EXPECT_EQ(rtftest::family(rtftest::formatAt(back, 1)), "Odd [name");
}

}  // namespace

namespace {

using tolvan::TextEncoding;

// A Unicode document's text goes out as \uN and comes back exactly: Tamil,
// combining marks, characters outside the BMP (surrogate pairs), Latin-1 and
// Windows-1252 look-alikes, and the characters a TSCII document treats as
// bytes (U+00AD, U+0B87, the C1 controls).
TEST(Writer, UnicodeDocumentRoundTripsExactly) {
  rtftest::ensureApp();
  struct Case {
    const char* what;
    QString text;
  };
  const Case cases[] = {
      {"Tamil", QStringLiteral("தமிழ் நாடு க்ஷ ஸ்ரீ கொ கௌ")},
      {"combining marks", QString::fromUtf8("e\xCC\x81 a\xCC\x8A\xCC\x81 \xE0\xAE\x95\xE0\xAF\x8D\xE2\x80\x8D")},
      {"outside the BMP", QString::fromUtf8("\xF0\x9F\x98\x80 \xF0\x9D\x90\x80 x\xF0\x9F\x87\xAE\xF0\x9F\x87\xB3")},
      {"Latin-1 and Windows-1252", QString::fromUtf8("caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC2\xA0\xC3\xBF")},
      {"what TSCII holds as bytes", QString::fromUtf8("\xC2\xAD \xE0\xAE\x87 \xC2\x81\xC2\x9D \xC2\xAA")},
      {"other scripts and structure", QString::fromUtf8("\xD0\x96\xD0\xB8 \xE4\xB8\xAD\t{x}\\y") + QChar(0x2028) + QStringLiteral("z")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTextDocument doc;
    QTextCursor(&doc).insertText(c.text);
    const QByteArray rtf = writeRtf(&doc, TextEncoding::Unicode);
    for (char ch : rtf) ASSERT_LT(static_cast<unsigned char>(ch), 0x80) << "the file is ASCII";
    QTextDocument back;
    QString err;
    ASSERT_TRUE(readRtf(rtf, &back, &err, nullptr, TextEncoding::Unicode)) << err.toStdString();
    EXPECT_EQ(back.toRawText(), c.text) << rtf.constData();
    EXPECT_EQ(writeRtf(&back, TextEncoding::Unicode), rtf);
  }
}

TEST(Writer, UnicodeDocumentWritesUWithFallback) {
  rtftest::ensureApp();
  QTextDocument doc;
  QTextCursor(&doc).insertText(QString::fromUtf8("\xE0\xAE\xA4\xC3\xA9\xF0\x9F\x98\x80"));  // த é 😀
  const QByteArray rtf = writeRtf(&doc, TextEncoding::Unicode);
  EXPECT_TRUE(rtf.contains("\\uc1")) << rtf.constData();
  EXPECT_TRUE(rtf.contains("\\u2980?")) << rtf.constData();
  // A reader without \u still gets the Latin-1 letter.
  EXPECT_TRUE(rtf.contains("\\u233\\'e9")) << rtf.constData();
  // The pair of surrogates, each signed as \uN wants it.
  EXPECT_TRUE(rtf.contains("\\u-10179?\\u-8704?")) << rtf.constData();
}

// Files from other programs read into a Unicode document: \u Tamil stays
// Unicode (a TSCII document takes it as TSCII bytes), and the file's bytes
// are Windows-1252 characters.
TEST(Reader, UnicodeDocumentKeepsUnicodeAndDecodesBytes) {
  rtftest::ensureApp();
  struct Case {
    const char* rtf;
    QString unicode;
  };
  const Case cases[] = {
      {"{\\rtf1\\ansi\\uc1 \\u2980?\\u2990?\\u3007?\\u2996?\\u3021?}", QStringLiteral("தமிழ்")},
      {"{\\rtf1\\ansi\\uc2 \\u2965\\'3f\\'3f a\\uc0\\u3006  b}", QStringLiteral("க aா b")},
      {"{\\rtf1\\ansi caf\\'e9 \\'93q\\'94 \\'80\\~\\-}", QString::fromUtf8("caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC\xC2\xA0\xC2\xAD")},
      {"{\\rtf1\\ansi \\emdash\\lquote  \\u-10179?\\u-8704?}", QString::fromUtf8("\xE2\x80\x94\xE2\x80\x98 \xF0\x9F\x98\x80")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rtf);
    QTextDocument doc;
    QString err;
    ASSERT_TRUE(readRtf(c.rtf, &doc, &err, nullptr, TextEncoding::Unicode)) << err.toStdString();
    EXPECT_EQ(doc.toRawText(), c.unicode);
  }
  // The same Tamil read into a TSCII document is TSCII bytes, as always.
  QTextDocument tscii;
  QString err;
  ASSERT_TRUE(readRtf(cases[0].rtf, &tscii, &err));
  EXPECT_EQ(rtftest::text(tscii), tolvan::UnicodeToTscii("தமிழ்"));
}

}  // namespace
