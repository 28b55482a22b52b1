// Recognising a file's encoding: the marks, UTF-8 with Tamil letters in the
// first 64 KiB, TSCII for everything else, and the reason given when a file
// that started like Unicode is not valid further on.
#include "core/document/encoding_sniff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using tolvan::EncodingGuess;
using tolvan::SniffEncoding;
using tolvan::TextEncoding;
using tolvan::UnicodeForm;

namespace {

const std::string kTamilUtf8 = "\xE0\xAE\xA4\xE0\xAE\xAE\xE0\xAE\xBF\xE0\xAE\xB4\xE0\xAF\x8D";  // தமிழ்
const std::string kTscii = "\xA7\xB8\xA1 \xC5\xBD\xEC\xB8\xF5 \xAD\xC6\xA2\r\n";

std::string le16(const std::u16string& s) {
  std::string out = "\xFF\xFE";
  for (char16_t c : s) {
    out += char(c & 0xFF);
    out += char(c >> 8);
  }
  return out;
}

std::string be16(const std::u16string& s) {
  std::string out = "\xFE\xFF";
  for (char16_t c : s) {
    out += char(c >> 8);
    out += char(c & 0xFF);
  }
  return out;
}

std::string utf32(const std::u32string& s, bool big) {
  std::string out = big ? std::string("\0\0\xFE\xFF", 4) : std::string("\xFF\xFE\0\0", 4);
  for (char32_t c : s)
    for (int k = 0; k < 4; ++k) out += char(c >> (big ? 24 - 8 * k : 8 * k));
  return out;
}
std::string le32(const std::u32string& s) { return utf32(s, false); }
std::string be32(const std::u32string& s) { return utf32(s, true); }

// ASCII filler of n bytes in lines.
std::string filler(size_t n) {
  std::string s;
  while (s.size() < n) s += "plain words on a line\n";
  s.resize(n);
  return s;
}

struct Case {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  UnicodeForm form;
  std::string reason;  // "" for none
};

class SniffTest : public ::testing::TestWithParam<Case> {};

TEST_P(SniffTest, Decides) {
  const Case& c = GetParam();
  const EncodingGuess g = SniffEncoding(c.bytes);
  EXPECT_EQ(g.encoding, c.encoding);
  if (c.encoding == TextEncoding::Unicode) {
    EXPECT_EQ(g.form, c.form);
  }
  EXPECT_EQ(g.reason, c.reason);
}

constexpr auto U = TextEncoding::Unicode;
constexpr auto T = TextEncoding::Tscii;

INSTANTIATE_TEST_SUITE_P(
    Files, SniffTest,
    ::testing::Values(
        Case{"Empty", "", T, UnicodeForm::Utf8, ""},
        Case{"Ascii", "hello\r\nworld\n", T, UnicodeForm::Utf8, ""},
        Case{"Tscii", kTscii, T, UnicodeForm::Utf8, ""},
        Case{"Utf8Tamil", kTamilUtf8 + " word\n", U, UnicodeForm::Utf8, ""},
        Case{"Utf8WithoutTamil", "caf\xC3\xA9 na\xC3\xAFve\n", T, UnicodeForm::Utf8, ""},
        Case{"Utf8MarkAscii", "\xEF\xBB\xBFplain", U, UnicodeForm::Utf8Mark, ""},
        Case{"Utf8MarkAlone", "\xEF\xBB\xBF", U, UnicodeForm::Utf8Mark, ""},
        Case{"Utf8MarkThenInvalid", "\xEF\xBB\xBF" "ab\xFFz", T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-8 after byte 5"},
        Case{"Utf16Le", le16(u"\u0BA4\u0BAE\u0BBF\r\nx"), U, UnicodeForm::Utf16LeMark, ""},
        Case{"Utf16Be", be16(u"\u0BA4\u0BAE\u0BBF\nx"), U, UnicodeForm::Utf16BeMark, ""},
        Case{"Utf16Pair", le16(u"a\U0001F600b"), U, UnicodeForm::Utf16LeMark, ""},
        Case{"Utf16MarkAlone", "\xFE\xFF", U, UnicodeForm::Utf16BeMark, ""},
        Case{"Utf16LoneHighOddLength", le16(u"ab") + std::string("\x00\xD8", 2) + "c", T,
             UnicodeForm::Utf8, "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte 6)"},
        Case{"Utf16LoneHighEven", le16(std::u16string(u"ab") + char16_t(0xD800) + u"c"), T,
             UnicodeForm::Utf8, "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte 6)"},
        Case{"Utf16LoneLow", be16(std::u16string(u"a") + char16_t(0xDC00)), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte 4)"},
        Case{"Utf16HighAtEnd", be16(std::u16string(u"a") + char16_t(0xDBFF)), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte 4)"},
        Case{"Utf16OddLength", le16(u"\u0BA4") + "x", T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-16 (an odd number of bytes)"},
        // UTF-32, whose little-endian mark begins like UTF-16's.
        Case{"Utf32Le", le32(U"\u0BA4\u0BAE\u0BBF\r\nx\U0001F600"), U, UnicodeForm::Utf32LeMark, ""},
        Case{"Utf32Be", be32(U"\u0BA4\u0BAE\u0BBF\nx\U0010FFFF"), U, UnicodeForm::Utf32BeMark, ""},
        Case{"Utf32LeMarkAlone", le32(U""), U, UnicodeForm::Utf32LeMark, ""},
        Case{"Utf32BeMarkAlone", be32(U""), U, UnicodeForm::Utf32BeMark, ""},
        Case{"Utf32Surrogate", le32(std::u32string(U"ab") + char32_t(0xD800) + U"c"), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 12)"},
        Case{"Utf32LastSurrogate", be32(std::u32string(U"a") + char32_t(0xDFFF)), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 8)"},
        Case{"Utf32AboveTheLast", be32(std::u32string(U"a") + char32_t(0x110000)), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 8)"},
        Case{"Utf32AllBitsSet", le32(std::u32string(U"a") + char32_t(0xFFFFFFFF)), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 8)"},
        Case{"Utf32CutShort", le32(U"\u0BA4") + "xy", T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (a length that is not a multiple of 4)"},
        Case{"Utf32BadBeforeTheCut", le32(std::u32string(U"a") + char32_t(0xD800)) + "x", T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (no Unicode character at byte 8)"},
        // What would be UTF-16 text starting with U+0000 is UTF-32 or nothing.
        Case{"Utf16LeStartingWithNul", std::string("\xFF\xFE\0\0A\0", 6), T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-32 (a length that is not a multiple of 4)"},
        // Tamil beyond the first 64 KiB does not count.
        Case{"TamilOnlyLate", filler(70000) + kTamilUtf8, T, UnicodeForm::Utf8, ""},
        Case{"TamilEarlyValidToTheEnd", kTamilUtf8 + filler(100000) + kTamilUtf8, U, UnicodeForm::Utf8, ""},
        Case{"TurnsInvalidAfter64KiB", kTamilUtf8 + filler(69986) + "\xB8\xA1", T, UnicodeForm::Utf8,
             "Opened as TSCII: not valid UTF-8 after byte 70,001"},
        // A Tamil letter cut by the 64 KiB boundary is still valid.
        Case{"LetterAcrossTheBoundary", kTamilUtf8 + filler(65536 - 15 - 1) + kTamilUtf8, U,
             UnicodeForm::Utf8, ""},
        Case{"InvalidInTheFirstPiece", kTamilUtf8 + "\xA7\xB8", T, UnicodeForm::Utf8, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The validator on its own: where each kind of fault is found.
TEST(Utf8InvalidAt, FindsTheFirstBadByte) {
  struct Row {
    std::string bytes;
    size_t at;
  };
  const std::vector<Row> rows = {
      {"", 0},
      {"abc", 3},
      {filler(40) + "\x80", 40},                    // a lone continuation after a fast ASCII run
      {"\xC0\xAF", 0},                              // overlong '/'
      {"\xE0\x80\xAF", 0},                          // overlong three-byte form
      {"\xED\xA0\x80", 0},                          // a surrogate
      {"\xF4\x90\x80\x80", 0},                      // above U+10FFFF
      {"\xF0\x9F\x98\x80" "x", 5},                  // U+1F600
      {"a\xE0\xAE", 1},                             // cut short at the end
      {kTamilUtf8 + "\xE0\xAE" "a", 15},            // Tamil lead without its last byte
      {"\xC3\xA9\xE2\x82\xAC\xFF", 5},
  };
  for (const Row& r : rows) EXPECT_EQ(tolvan::Utf8InvalidAt(r.bytes), r.at) << r.bytes;
  EXPECT_EQ(tolvan::Utf8InvalidAt("a\xE0\xAE", true), 3u);
  bool tamil = false;
  tolvan::Utf8InvalidAt("caf\xC3\xA9", false, &tamil);
  EXPECT_FALSE(tamil);
  tolvan::Utf8InvalidAt("x\xE0\xAF\xA6", false, &tamil);  // the Tamil digit zero
  EXPECT_TRUE(tamil);
}

// Long input goes through the vector check; whatever the fault and wherever
// it falls against the 32-byte blocks, it is found at the same byte as the
// byte-by-byte loop finds it (the loop alone runs when Tamil is looked for).
TEST(Utf8InvalidAt, VectorCheckAgreesWithTheByteLoop) {
  std::string base;
  while (base.size() < 200) base += "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" + kTamilUtf8 + " ";
  const std::vector<std::string> faults = {
      "\x80", "\xBF\xBF", "\xC0\xAF", "\xC2", "\xE0\x80\xAF", "\xE0\xAE", "\xED\xA0\x80",
      "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8", "\xFF"};
  bool tamil = false;
  ASSERT_EQ(tolvan::Utf8InvalidAt(base), base.size());
  for (size_t pos = 0; pos <= base.size(); ++pos) {
    if (pos < base.size() && (static_cast<unsigned char>(base[pos]) & 0xC0) == 0x80) continue;
    for (const std::string& f : faults) {
      const std::string bytes = base.substr(0, pos) + f + base.substr(pos);
      ASSERT_EQ(tolvan::Utf8InvalidAt(bytes), pos) << "fault " << f.size() << " bytes at " << pos;
      ASSERT_EQ(tolvan::Utf8InvalidAt(bytes, false, &tamil), pos);
    }
  }
}

TEST(GroupedNumber, GroupsThousands) {
  EXPECT_EQ(tolvan::GroupedNumber(0), "0");
  EXPECT_EQ(tolvan::GroupedNumber(999), "999");
  EXPECT_EQ(tolvan::GroupedNumber(1000), "1,000");
  EXPECT_EQ(tolvan::GroupedNumber(70001), "70,001");
  EXPECT_EQ(tolvan::GroupedNumber(1234567), "1,234,567");
}

}  // namespace

TEST(RtfHoldsUnicodeTamil, TamilEscapesOnly) {
  struct Case {
    const char* rtf;
    bool unicode;
  } const cases[] = {
      {R"({\rtf1\ansi\uc1\u2980?\u2990?})", true},           // த ம
      {R"({\rtf1\ansi {\f1 \'a6\'b8}})", false},              // TSCII bytes
      {R"({\rtf1\ansi\uc1\u1046?\u-10179?})", false},         // Cyrillic, a surrogate half
      {R"({\rtf1\ansi \\u2980 as text})", false},             // an escaped backslash
      {R"({\rtf1\ansi\ul underlined\ulnone})", false},        // \ul is not \u
      {R"({\rtf1\ansi\u3071?})", true},
      {R"({\rtf1\ansi\u3072?})", false},
  };
  for (const Case& c : cases) EXPECT_EQ(tolvan::RtfHoldsUnicodeTamil(c.rtf), c.unicode) << c.rtf;
}

// The same words deep in a long file, at every offset from a 16-byte block's
// start, among LibreOffice's \uN escapes for bytes (none Tamil).
TEST(RtfHoldsUnicodeTamil, AtEveryOffsetOfALongFile) {
  struct Case {
    const char* word;
    bool unicode;
  } const cases[] = {
      {"\\u2980?", true},   {"\\u02944?", true}, {"\\u3072?", false}, {"\\\\u2980 ", false},
      {"\\\\\\u2980?", true}, {"\\u0002980?", false},  // seven digits: the first six are 298
      {"\\u2944?", true},  {"\\u2943?", false}, {"\\u2999 ", true},  {"\\u3000?", true},
      {"\\u003071?", true}, {"\\u29?", false},   {"\\u30?", false},   {"\\u-2980?", false},
  };
  const std::string filler = "{\\rtf1\\ansi \\u180\\'b4\\u233\\'e9 morning \\ul x\\ulnone\\u2944";
  for (const Case& c : cases) {
    for (size_t pad = 0; pad < 40; ++pad) {
      const std::string rtf = filler + "0 " + std::string(pad, 'a') + c.word + std::string(pad % 3, 'b') + "}";
      EXPECT_EQ(tolvan::RtfHoldsUnicodeTamil(rtf), c.unicode) << rtf;
    }
  }
}
