// TSCII <-> Unicode codec: every consonant with every vowel sign both ways,
// ligatures, second codes, unassigned bytes, lone signs, round trips,
// agreement with glibc's TSCII charset, unmappable characters, malformed
// UTF-8, piecewise conversion, every level of vector code against the scalar
// code, and tolvan-cli's two convert pairs.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "core/convert/unicode_simd.h"
#include "core/convert/unicode_stream.h"

namespace {

using tolvan::TsciiToUnicode;
using tolvan::Unmappable;
using tolvan::UnicodeToTscii;

std::string utf8(std::u32string_view cps) {
  std::string s;
  for (char32_t c : cps) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (c >> 18));
      s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

std::string bytes(std::initializer_list<int> bs) {
  std::string s;
  for (int b : bs) s += static_cast<char>(b);
  return s;
}

std::string hex(std::string_view s) {
  std::string r;
  char buf[4];
  for (unsigned char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    r += buf;
  }
  return r;
}

struct Warning {
  size_t offset;
  std::string what;
};
struct Collect {
  std::vector<Warning> list;
  tolvan::BridgeWarning fn() {
    return [this](size_t off, const std::string& w) { list.push_back({off, w}); };
  }
};

// The letter forms of the 23 consonants: Unicode, live, dead, with u, with uu.
struct Cons {
  std::u32string uni;
  int live, dead, u, uu;
};
const Cons kCons[] = {
    {U"\u0B95", 0xB8, 0xEC, 0xCC, 0xDC}, {U"\u0B99", 0xB9, 0xED, 0x99, 0x9B},
    {U"\u0B9A", 0xBA, 0xEE, 0xCD, 0xDD}, {U"\u0B9E", 0xBB, 0xEF, 0x9A, 0x9C},
    {U"\u0B9F", 0xBC, 0xF0, 0xCE, 0xDE}, {U"\u0BA3", 0xBD, 0xF1, 0xCF, 0xDF},
    {U"\u0BA4", 0xBE, 0xF2, 0xD0, 0xE0}, {U"\u0BA8", 0xBF, 0xF3, 0xD1, 0xE1},
    {U"\u0BAA", 0xC0, 0xF4, 0xD2, 0xE2}, {U"\u0BAE", 0xC1, 0xF5, 0xD3, 0xE3},
    {U"\u0BAF", 0xC2, 0xF6, 0xD4, 0xE4}, {U"\u0BB0", 0xC3, 0xF7, 0xD5, 0xE5},
    {U"\u0BB2", 0xC4, 0xF8, 0xD6, 0xE6}, {U"\u0BB5", 0xC5, 0xF9, 0xD7, 0xE7},
    {U"\u0BB4", 0xC6, 0xFA, 0xD8, 0xE8}, {U"\u0BB3", 0xC7, 0xFB, 0xD9, 0xE9},
    {U"\u0BB1", 0xC8, 0xFC, 0xDA, 0xEA}, {U"\u0BA9", 0xC9, 0xFD, 0xDB, 0xEB},
    {U"\u0B9C", 0x83, 0x88, 0, 0},       {U"\u0BB7", 0x84, 0x89, 0, 0},
    {U"\u0BB8", 0x85, 0x8A, 0, 0},       {U"\u0BB9", 0x86, 0x8B, 0, 0},
    {U"\u0B95\u0BCD\u0BB7", 0x87, 0x8C, 0, 0},
};
constexpr int kNative = 18;
constexpr int kTtaRow = 4;

// Every vowel form of a consonant: the Unicode sign (NFC), its decomposed
// spelling when it has one, and the TSCII bytes for consonant row c.
struct Form {
  const char* name;
  std::u32string sign;
  std::u32string decomposed;
  std::string (*tscii)(const Cons& c, int row);
};
const Form kForms[] = {
    {"a", U"", U"", [](const Cons& c, int) { return bytes({c.live}); }},
    {"pulli", U"\u0BCD", U"", [](const Cons& c, int) { return bytes({c.dead}); }},
    {"aa", U"\u0BBE", U"", [](const Cons& c, int) { return bytes({c.live, 0xA1}); }},
    {"i", U"\u0BBF", U"",
     [](const Cons& c, int row) { return row == kTtaRow ? bytes({0xCA}) : bytes({c.live, 0xA2}); }},
    {"ii", U"\u0BC0", U"",
     [](const Cons& c, int row) { return row == kTtaRow ? bytes({0xCB}) : bytes({c.live, 0xA3}); }},
    {"u", U"\u0BC1", U"", [](const Cons& c, int) { return c.u ? bytes({c.u}) : bytes({c.live, 0xA4}); }},
    {"uu", U"\u0BC2", U"", [](const Cons& c, int) { return c.uu ? bytes({c.uu}) : bytes({c.live, 0xA5}); }},
    {"e", U"\u0BC6", U"", [](const Cons& c, int) { return bytes({0xA6, c.live}); }},
    {"ee", U"\u0BC7", U"", [](const Cons& c, int) { return bytes({0xA7, c.live}); }},
    {"ai", U"\u0BC8", U"", [](const Cons& c, int) { return bytes({0xA8, c.live}); }},
    {"o", U"\u0BCA", U"\u0BC6\u0BBE", [](const Cons& c, int) { return bytes({0xA6, c.live, 0xA1}); }},
    {"oo", U"\u0BCB", U"\u0BC7\u0BBE", [](const Cons& c, int) { return bytes({0xA7, c.live, 0xA1}); }},
    {"au", U"\u0BCC", U"\u0BC6\u0BD7", [](const Cons& c, int) { return bytes({0xA6, c.live, 0xAA}); }},
};

TEST(UnicodeBridge, EveryConsonantWithEveryVowelSignBothWays) {
  for (int row = 0; row < 23; ++row) {
    const Cons& c = kCons[row];
    for (const Form& f : kForms) {
      SCOPED_TRACE("row " + std::to_string(row) + " form " + f.name);
      const std::string t = f.tscii(c, row);
      const std::string u = utf8(c.uni + f.sign);
      Collect w;
      EXPECT_EQ(TsciiToUnicode(t, w.fn()), u) << hex(t);
      EXPECT_EQ(UnicodeToTscii(u, w.fn()), t);
      EXPECT_TRUE(w.list.empty()) << w.list[0].what;
      if (!f.decomposed.empty()) {
        EXPECT_EQ(UnicodeToTscii(utf8(c.uni + f.decomposed)), t);
      }
      // Inside a word, between other letters, nothing changes either.
      const std::string tw = bytes({0xAB}) + t + bytes({0xC1, ' '});
      const std::string uw = utf8(U"\u0B85" + c.uni + f.sign + U"\u0BAE ");
      EXPECT_EQ(TsciiToUnicode(tw), uw);
      EXPECT_EQ(UnicodeToTscii(uw), tw);
    }
  }
}

TEST(UnicodeBridge, LigaturesAndSymbols) {
  const std::pair<std::string, std::u32string> cases[] = {
      {bytes({0x82}), U"\u0BB8\u0BCD\u0BB0\u0BC0"},                 // sri
      {bytes({0x82, 0xA1}), U"\u0BB8\u0BCD\u0BB0\u0BC0\u25CC\u0BBE"},  // a sign after sri is lone
      {bytes({0xCA}), U"\u0B9F\u0BBF"},
      {bytes({0xCB}), U"\u0B9F\u0BC0"},
      {bytes({0x87}), U"\u0B95\u0BCD\u0BB7"},
      {bytes({0x8C}), U"\u0B95\u0BCD\u0BB7\u0BCD"},
      {bytes({0xA6, 0x87, 0xA1}), U"\u0B95\u0BCD\u0BB7\u0BCA"},
      {bytes({0xB8, 0x87}), U"\u0B95\u0B95\u0BCD\u0BB7"},
      {bytes({0xEC, 0x87}), U"\u0B95\u0BCD\u0B95\u0BCD\u0BB7"},
      {bytes({0x8A, 0x82}), U"\u0BB8\u0BCD\u0BB8\u0BCD\u0BB0\u0BC0"},
      {bytes({0x8A, 0xC3, 0xA2}), U"\u0BB8\u0BCD\u0BB0\u0BBF"},  // not sri: stays as written
      {bytes({0xB7, 0xB6, 0xB4}), U"\u0B83\u0B94\u0B92"},
      {bytes({0x80, 0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x95, 0x96, 0x97, 0x98, 0x9D, 0x9E, 0x9F}),
       U"\u0BE6\u0BE7\u0BE8\u0BE9\u0BEA\u0BEB\u0BEC\u0BED\u0BEE\u0BEF\u0BF0\u0BF1\u0BF2"},
      {bytes({0x91, 0x92, 0x93, 0x94, 0xA9}), U"\u2018\u2019\u201C\u201D\u00A9"},
      {std::string("Tamil \t\r\n\x01\x7F"), U"Tamil \t\r\n\x01\x7F"},
  };
  for (const auto& [t, u] : cases) {
    EXPECT_EQ(TsciiToUnicode(t), utf8(u)) << hex(t);
    EXPECT_EQ(UnicodeToTscii(utf8(u)), t) << hex(t);
  }
}

// A byte or spelling that is a second code for a letter becomes that letter
// and comes back as the letter's canonical bytes, with a warning at its start.
TEST(UnicodeBridge, SecondCodesBecomeTheLetterAndWarn) {
  struct Case {
    std::string in;
    std::u32string uni;
    std::string back;
    size_t offset;
  };
  const Case cases[] = {
      {bytes({0xFE}), U"\u0B87", bytes({0xAD}), 0},
      {bytes({'a', 0xFE, 0xB8}), U"a\u0B87\u0B95", bytes({'a', 0xAD, 0xB8}), 1},
      {bytes({0xB8, 0xA4}), U"\u0B95\u0BC1", bytes({0xCC}), 0},
      {bytes({0xC9, 0xA5}), U"\u0BA9\u0BC2", bytes({0xEB}), 0},
      {bytes({' ', 0xBC, 0xA2}), U" \u0B9F\u0BBF", bytes({' ', 0xCA}), 1},
      {bytes({0xBC, 0xA3}), U"\u0B9F\u0BC0", bytes({0xCB}), 0},
      {bytes({0xB4, 0xAA}), U"\u0B94", bytes({0xB6}), 0},
      {bytes({0xAB, 0xEC, 0x84}), U"\u0B85\u0B95\u0BCD\u0BB7", bytes({0xAB, 0x87}), 1},
      {bytes({0xEC, 0x89}), U"\u0B95\u0BCD\u0BB7\u0BCD", bytes({0x8C}), 0},
      {bytes({0xEC, 0xA6, 0x84}), U"\u0B95\u0BCD\u0BB7\u0BC6", bytes({0xA6, 0x87}), 0},
      {bytes({0xB8, 0x8A, 0xC3, 0xA3}), U"\u0B95\u0BB8\u0BCD\u0BB0\u0BC0", bytes({0xB8, 0x82}), 1},
  };
  for (const Case& c : cases) {
    Collect w;
    const std::string u = TsciiToUnicode(c.in, w.fn());
    EXPECT_EQ(u, utf8(c.uni)) << hex(c.in);
    EXPECT_EQ(UnicodeToTscii(u), c.back) << hex(c.in);
    ASSERT_EQ(w.list.size(), 1u) << hex(c.in);
    EXPECT_EQ(w.list[0].offset, c.offset) << hex(c.in);
    EXPECT_NE(w.list[0].what.find("converts back"), std::string::npos) << w.list[0].what;
  }
  // Grantha consonants have no u forms: their sign spelling is the canonical one.
  EXPECT_EQ(UnicodeToTscii(TsciiToUnicode(bytes({0x83, 0xA4}))), bytes({0x83, 0xA4}));
}

TEST(UnicodeBridge, UnassignedBytesTravelAsPrivateUse) {
  Collect w;
  const std::string t = bytes({0xA0, 'x', 0xFF});
  const std::string u = TsciiToUnicode(t, w.fn());
  EXPECT_EQ(u, utf8(U"\uF0A0x\uF0FF"));
  ASSERT_EQ(w.list.size(), 2u);
  EXPECT_EQ(w.list[0].offset, 0u);
  EXPECT_EQ(w.list[1].offset, 2u);
  EXPECT_EQ(UnicodeToTscii(u), t);
  // Only the characters standing for unassigned bytes map back; the rest of
  // that private-use row is not TSCII.
  Collect w2;
  EXPECT_EQ(UnicodeToTscii(utf8(U"\uF0B8\uF0A1"), w2.fn(), Unmappable::Drop), "");
  EXPECT_EQ(w2.list.size(), 2u);
}

// A vowel sign with no consonant to sit on keeps its place, on a dotted circle.
TEST(UnicodeBridge, LoneSignsStayLone) {
  const std::pair<std::string, std::u32string> cases[] = {
      {bytes({0xA6}), U"\u25CC\u0BC6"},
      {bytes({0xA6, ' '}), U"\u25CC\u0BC6 "},
      {bytes({0xB8, 0xA6}), U"\u0B95\u25CC\u0BC6"},
      {bytes({0xB8, 0xA7, ' '}), U"\u0B95\u25CC\u0BC7 "},
      {bytes({0xB8, 0xA6, 0xA6, 0xB8}), U"\u0B95\u25CC\u0BC6\u0B95\u0BC6"},
      {bytes({0xA6, 0xA1}), U"\u25CC\u0BC6\u25CC\u0BBE"},
      {bytes({0xB8, 0xA8, 0xA1}), U"\u0B95\u25CC\u0BC8\u25CC\u0BBE"},
      {bytes({0xA6, 0xEC}), U"\u25CC\u0BC6\u0B95\u0BCD"},  // a dead consonant takes no sign
      {bytes({0xA6, 0xCA}), U"\u25CC\u0BC6\u0B9F\u0BBF"},
      {bytes({0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xAA}),
       U"\u25CC\u0BBE\u25CC\u0BBF\u25CC\u0BC0\u25CC\u0BC1\u25CC\u0BC2\u25CC\u0BD7"},
      {bytes({0xB8, 0xA2, 0xA1}), U"\u0B95\u0BBF\u25CC\u0BBE"},
      {bytes({0xEC, 0xA1}), U"\u0B95\u0BCD\u25CC\u0BBE"},
      {bytes({0xA7, 0xB8, 0xAA}), U"\u0B95\u0BC7\u25CC\u0BD7"},
      {bytes({0xA8, 0xB8, 0xA1}), U"\u0B95\u0BC8\u25CC\u0BBE"},
      {bytes({0xB5, 0xAA}), U"\u0B93\u25CC\u0BD7"},
      {bytes({0xB8, 0xAA}), U"\u0B95\u0BD7"},  // a bare consonant takes the length mark
  };
  for (const auto& [t, u] : cases) {
    EXPECT_EQ(TsciiToUnicode(t), utf8(u)) << hex(t);
    EXPECT_EQ(UnicodeToTscii(utf8(u)), t) << hex(t);
  }
  // Unicode text with a bare sign (no dotted circle) gets the same byte.
  EXPECT_EQ(UnicodeToTscii(utf8(U" \u0BC6 \u0BCA")), bytes({' ', 0xA6, ' ', 0xA6, 0xA1}));
  EXPECT_EQ(UnicodeToTscii(utf8(U"\u25CC\u0BCC")), bytes({0xA6, 0xAA}));
  // A sign standing alone before a consonant: TSCII can only show it on that
  // consonant, except for the conjunct k.ssa, which is then written split.
  Collect wc;
  EXPECT_EQ(UnicodeToTscii(utf8(U"\u25CC\u0BC6\u0B95\u0BBE"), wc.fn()), bytes({0xA6, 0xB8, 0xA1}));
  ASSERT_EQ(wc.list.size(), 1u);
  EXPECT_EQ(wc.list[0].offset, 6u);
  EXPECT_EQ(UnicodeToTscii(utf8(U"\u0BC7\u0B95\u0BCD\u0BB7")), bytes({0xA7, 0xEC, 0x84}));
  EXPECT_EQ(TsciiToUnicode(bytes({0xA7, 0xEC, 0x84})), utf8(U"\u25CC\u0BC7\u0B95\u0BCD\u0BB7"));
  // A lone sign is reported, with its offset.
  Collect w;
  TsciiToUnicode(bytes({'a', 'b', 0xA7}), w.fn());
  ASSERT_EQ(w.list.size(), 1u);
  EXPECT_EQ(w.list[0].offset, 2u);
}

bool isSecondSpelling(const Warning& w) { return w.what.find("converts back") != std::string::npos; }

// The decoder never leaves a pair that Unicode composition would join, so its
// output is NFC (Tamil signs are starters, only pulli has a combining class,
// and pulli never follows pulli).
void expectNfc(const std::string& u, const std::string& from) {
  auto cpAt = [&](size_t i) -> int {
    if (i + 3 > u.size() || static_cast<unsigned char>(u[i]) != 0xE0) return -1;
    return (static_cast<unsigned char>(u[i + 1]) & 0x3F) << 6 | (static_cast<unsigned char>(u[i + 2]) & 0x3F);
  };
  for (size_t i = 0; i + 6 <= u.size(); ++i) {
    const int a = cpAt(i), b = cpAt(i + 3);
    if (a < 0 || b < 0) continue;
    const bool joins = ((a == 0x0BC6 || a == 0x0BC7) && b == 0x0BBE) || ((a == 0x0BC6 || a == 0x0B92) && b == 0x0BD7);
    ASSERT_FALSE(joins) << hex(from);
    ASSERT_FALSE(a == 0x0BCD && b == 0x0BCD) << hex(from);
  }
}

// Every string of up to three bytes over space and 0x80..0xFF: the Unicode is
// NFC, and the round trip is exact unless the decoder said a spelling would
// come back in its canonical form; then the canonical form is stable.
TEST(UnicodeBridge, ExhaustiveShortStringsRoundTrip) {
  std::vector<int> alphabet{' '};
  for (int b = 0x80; b <= 0xFF; ++b) alphabet.push_back(b);
  std::string t;
  size_t exact = 0;
  for (int len = 1; len <= 3; ++len) {
    std::vector<size_t> ix(len, 0);
    for (;;) {
      t.clear();
      for (size_t k : ix) t += static_cast<char>(alphabet[k]);
      Collect w;
      const std::string u = TsciiToUnicode(t, w.fn());
      expectNfc(u, t);
      const std::string back = UnicodeToTscii(u);
      bool second = false;
      for (const auto& x : w.list) second |= isSecondSpelling(x);
      if (!second) {
        ASSERT_EQ(back, t) << hex(t);
        ++exact;
      } else {
        ASSERT_NE(back, t) << hex(t);  // the warning is never a false alarm
        ASSERT_EQ(TsciiToUnicode(back), u) << hex(t);
        ASSERT_EQ(UnicodeToTscii(TsciiToUnicode(back)), back) << hex(t);
      }
      int k = len - 1;
      while (k >= 0 && ++ix[k] == alphabet.size()) ix[k--] = 0;
      if (k < 0) break;
    }
  }
  EXPECT_GT(exact, 2000000u);  // nearly all of the 2.1 million strings are canonical
}

// Longer random texts, biased towards Tamil letters and prefix signs.
TEST(UnicodeBridge, RandomTextsRoundTrip) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> len(0, 60), pick(0, 9), high(0x80, 0xFF), pre(0xA6, 0xA8),
      live(0xB8, 0xC9);
  for (int n = 0; n < 20000; ++n) {
    std::string t;
    for (int k = len(rng); k > 0; --k) {
      const int p = pick(rng);
      if (p == 0) t += ' ';
      else if (p <= 2) t += static_cast<char>(pre(rng));
      else if (p <= 5) t += static_cast<char>(live(rng));
      else t += static_cast<char>(high(rng));
    }
    Collect w;
    const std::string u = TsciiToUnicode(t, w.fn());
    expectNfc(u, t);
    const std::string back = UnicodeToTscii(u);
    bool second = false;
    for (const auto& x : w.list) second |= isSecondSpelling(x);
    if (!second) {
      ASSERT_EQ(back, t) << hex(t);
    }
    ASSERT_EQ(TsciiToUnicode(back), u) << hex(t);
    ASSERT_EQ(UnicodeToTscii(TsciiToUnicode(back)), back) << hex(t);
  }
}

// glibc's TSCII charset as a reference for the 18 native consonants. It leaves
// e + au length mark uncomposed when decoding and writes the au sign with the
// ee prefix when encoding, so those two are compared after fixing that up.
std::string viaIconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string out(in.size() * 8 + 16, '\0');
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  size_t r2 = iconv(cd, nullptr, nullptr, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || r2 == static_cast<size_t>(-1)) return "<iconv error>";
  out.resize(out.size() - ol);
  return out;
}

TEST(UnicodeBridge, AgreesWithGlibcForNativeConsonants) {
  if (viaIconv("UTF-8", "TSCII", "a") != "a") GTEST_SKIP() << "glibc TSCII charset not available";
  for (int row = 0; row < kNative; ++row) {
    for (const Form& f : kForms) {
      SCOPED_TRACE("row " + std::to_string(row) + " form " + f.name);
      const std::string t = bytes({0xAB}) + f.tscii(kCons[row], row) + bytes({' '});
      std::string ref = viaIconv("UTF-8", "TSCII", t);
      const std::string eAu = utf8(U"\u0BC6\u0BD7");
      if (auto p = ref.find(eAu); p != std::string::npos) ref.replace(p, eAu.size(), utf8(U"\u0BCC"));
      EXPECT_EQ(TsciiToUnicode(t), ref) << hex(t);
      const std::string u = TsciiToUnicode(t);
      std::string refBack = viaIconv("TSCII", "UTF-8", u);
      if (std::string(f.name) == "au") refBack[1] = static_cast<char>(0xA6);
      EXPECT_EQ(UnicodeToTscii(u), refBack);
    }
  }
}

TEST(UnicodeBridge, UnmappableCharactersFollowThePolicy) {
  struct Case {
    std::u32string in;
    std::string keep;  // TSCII bytes with the unmappable UTF-8 kept
    std::string drop;
    std::vector<size_t> offsets;
  };
  const Case cases[] = {
      {U"\u0BB6", utf8(U"\u0BB6"), "", {0}},                                   // sha, not in TSCII
      {U"a\u0BD0b", "a" + utf8(U"\u0BD0") + "b", "ab", {1}},                    // om sign
      {U"\u0B95\u200D\u0B95", "\xB8" + utf8(U"\u200D") + "\xB8", "\xB8\xB8", {3}},  // ZWJ
      {U"\u00E9\u00A0", utf8(U"\u00E9\u00A0"), "", {0, 2}},                    // Latin-1 above ASCII
      {U"\U0001F600!", utf8(U"\U0001F600") + "!", "!", {0}},
      {U"\u0B85\u0BCD", "\xAB" + utf8(U"\u0BCD"), "\xAB", {3}},  // pulli on a vowel
      {U"\u25CC x", utf8(U"\u25CC") + " x", " x", {0}},
      {U"\uFEFF\u0B85", "\xAB", "\xAB", {0}},  // a leading byte order mark is left out
      {U"\u0B85\uFEFF", "\xAB" + utf8(U"\uFEFF"), "\xAB", {3}},
  };
  for (const Case& c : cases) {
    const std::string in = utf8(c.in);
    Collect wk, wd;
    EXPECT_EQ(UnicodeToTscii(in, wk.fn(), Unmappable::KeepUtf8), c.keep) << hex(in);
    EXPECT_EQ(UnicodeToTscii(in, wd.fn(), Unmappable::Drop), c.drop) << hex(in);
    ASSERT_EQ(wk.list.size(), c.offsets.size()) << hex(in);
    ASSERT_EQ(wd.list.size(), c.offsets.size()) << hex(in);
    for (size_t k = 0; k < c.offsets.size(); ++k) {
      EXPECT_EQ(wk.list[k].offset, c.offsets[k]) << hex(in);
      EXPECT_EQ(wd.list[k].offset, c.offsets[k]) << hex(in);
    }
  }
}

TEST(UnicodeBridge, MalformedUtf8BecomesQuestionMarks) {
  struct Case {
    std::string in;
    std::string out;
    std::vector<size_t> offsets;
  };
  const Case cases[] = {
      {"\x80", "?", {0}},                                       // lone continuation byte
      {"a\xC0\xAF" "b", "a??b", {1, 2}},                         // overlong '/'
      {"\xE0\xAE", "??", {0, 1}},                                // truncated Tamil letter at the end
      {"\xE0\xAE\xE0\xAE\x95", "?" "?\xB8", {0, 1}},             // truncated, then a whole ka
      {"\xED\xA0\x80", "???", {0, 1, 2}},                        // UTF-16 surrogate
      {"\xF4\x90\x80\x80", "????", {0, 1, 2, 3}},                // past U+10FFFF
      {"\xF5\xFF\xFE", "???", {0, 1, 2}},
      {"\xE0\x80\x80", "???", {0, 1, 2}},                        // overlong three-byte form
      {"\xB8\xA6", "??", {0, 1}},                                // TSCII given where UTF-8 belongs
  };
  for (const Case& c : cases) {
    for (Unmappable policy : {Unmappable::KeepUtf8, Unmappable::Drop}) {
      Collect w;
      EXPECT_EQ(UnicodeToTscii(c.in, w.fn(), policy), c.out) << hex(c.in);
      ASSERT_EQ(w.list.size(), c.offsets.size()) << hex(c.in);
      for (size_t k = 0; k < c.offsets.size(); ++k) EXPECT_EQ(w.list[k].offset, c.offsets[k]) << hex(c.in);
    }
  }
}

// A consonant and its sign are written together wherever the text ends and
// wherever the pieces of a streamed text are cut.
TEST(UnicodeBridge, ConsonantAndSignNearTheEnd) {
  const std::pair<std::u32string, std::string> letters[] = {
      {U"\u0B95\u0BC1", bytes({0xCC})},          {U"\u0B95\u0BC6", bytes({0xA6, 0xB8})},
      {U"\u0B95\u0BCA", bytes({0xA6, 0xB8, 0xA1})}, {U"\u0B9F\u0BBF", bytes({0xCA})},
      {U"\u0B95\u0BCD", bytes({0xEC})},          {U"\u0BA4\u0BCD", bytes({0xF2})},
      {U"\u0B9C\u0BC1", bytes({0x83, 0xA4})},     {U"\u0B95\u0BCD\u0BB7\u0BC8", bytes({0xA8, 0x87})},
  };
  for (const auto& [uni, t] : letters) {
    for (int before = 0; before < 4; ++before) {
      for (int after = 0; after < 14; ++after) {
        const std::string u = utf8(std::u32string(before, U'\u0BAE') + uni) + std::string(after, 'x');
        const std::string want = std::string(before, '\xC1') + t + std::string(after, 'x');
        ASSERT_EQ(UnicodeToTscii(u), want) << hex(u);
        for (size_t cut = 1; cut < u.size(); ++cut) {
          tolvan::UnicodeToTsciiStream enc;
          std::string out;
          enc.feed(std::string_view(u).substr(0, cut), out);
          enc.feed(std::string_view(u).substr(cut), out);
          enc.finish(out);
          ASSERT_EQ(out, want) << hex(u) << "cut at " << cut;
        }
      }
    }
  }
}

// Converting in pieces gives the bytes and warnings of one whole conversion,
// wherever the pieces are cut.
TEST(UnicodeBridge, PiecewiseEqualsWhole) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255), cut(0, 40);
  std::string t;
  for (int k = 0; k < 3000; ++k) {
    int b = byte(rng);
    t += static_cast<char>(b < 0x60 ? 0x20 + (b & 0x3F) : (b | 0x80));
  }
  t += bytes({0xEC, 0x84, 0x8A, 0xC3, 0xA3, 0xA6, 0xB8, 0xA1, 0xA6});
  const std::string u = TsciiToUnicode(t);
  const std::string mixed = u + "\xE0\xAE" + utf8(U"x\u0BB6\uF0A0\u25CC\u0BC6\u0B95\u0BC6\u0BBE");

  auto warningsEqual = [](const std::vector<Warning>& a, const std::vector<Warning>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (a[k].offset != b[k].offset || a[k].what != b[k].what) return false;
    return true;
  };
  Collect wholeT, wholeU;
  const std::string refU = TsciiToUnicode(t, wholeT.fn());
  const std::string refT = UnicodeToTscii(mixed, wholeU.fn());

  for (int round = 0; round < 50; ++round) {
    Collect wt, wu;
    tolvan::TsciiToUnicodeStream dec(wt.fn());
    tolvan::UnicodeToTsciiStream enc(wu.fn());
    std::string outU, outT;
    for (size_t at = 0; at < t.size();) {
      size_t n = std::min<size_t>(t.size() - at, round == 0 ? 1 : cut(rng));
      dec.feed(std::string_view(t).substr(at, n), outU);
      at += n;
    }
    dec.finish(outU);
    for (size_t at = 0; at < mixed.size();) {
      size_t n = std::min<size_t>(mixed.size() - at, round == 0 ? 1 : cut(rng) * 3);
      enc.feed(std::string_view(mixed).substr(at, n), outT);
      at += n;
    }
    enc.finish(outT);
    ASSERT_EQ(outU, refU) << "round " << round;
    ASSERT_EQ(outT, refT) << "round " << round;
    EXPECT_TRUE(warningsEqual(wt.list, wholeT.list)) << "round " << round;
    EXPECT_TRUE(warningsEqual(wu.list, wholeU.list)) << "round " << round;
  }
}

// --- Every level of vector code against the scalar code --------------------

using tolvan::unicode_simd::BridgeLevel;

}  // namespace

namespace tolvan::unicode_simd {
void PrintTo(BridgeLevel level, std::ostream* os) { *os << BridgeLevelName(level); }
}  // namespace tolvan::unicode_simd

namespace {

// Runs the tests of a level with that level active, and the scalar code
// when a test asks for the reference.
class BridgeLevels : public ::testing::TestWithParam<BridgeLevel> {
 protected:
  void SetUp() override { before_ = tolvan::unicode_simd::SetBridgeLevel(GetParam()); }
  void TearDown() override { tolvan::unicode_simd::SetBridgeLevel(before_); }

  struct Result {
    std::string out;
    std::vector<std::pair<size_t, std::string>> warnings;
    bool operator==(const Result&) const = default;
  };
  // Both directions, whole and in pieces of `piece` bytes, at `level`.
  static std::vector<Result> convert(BridgeLevel level, std::string_view in, size_t piece) {
    const BridgeLevel was = tolvan::unicode_simd::SetBridgeLevel(level);
    std::vector<Result> r;
    auto add = [&](auto fn) {
      Result x;
      x.out = fn([&](size_t off, const std::string& what) { x.warnings.emplace_back(off, what); });
      r.push_back(std::move(x));
    };
    add([&](const tolvan::BridgeWarning& w) { return TsciiToUnicode(in, w); });
    add([&](const tolvan::BridgeWarning& w) {
      tolvan::TsciiToUnicodeStream s(w);
      std::string out;
      for (size_t at = 0; at < in.size(); at += piece) s.feed(in.substr(at, piece), out);
      s.finish(out);
      return out;
    });
    add([&](const tolvan::BridgeWarning& w) { return UnicodeToTscii(in, w); });
    add([&](const tolvan::BridgeWarning& w) {
      tolvan::UnicodeToTsciiStream s(w);
      std::string out;
      for (size_t at = 0; at < in.size(); at += piece) s.feed(in.substr(at, piece), out);
      s.finish(out);
      return out;
    });
    tolvan::unicode_simd::SetBridgeLevel(was);
    return r;
  }
  static void expectAsScalar(std::string_view in, const std::string& what,
                             std::initializer_list<size_t> pieces = {61}) {
    for (size_t piece : pieces)
      ASSERT_TRUE(convert(GetParam(), in, piece) == convert(BridgeLevel::Scalar, in, piece))
          << what << ", pieces of " << piece << ": " << hex(in);
  }

 private:
  BridgeLevel before_{};
};

// Canonical Tamil prose as TSCII, with spaces, punctuation and line breaks.
std::string prose() {
  const std::u32string words[] = {U"தமிழ்", U"கொடி", U"கோயில்", U"பௌர்ணமி", U"ஜெயம்", U"க்ஷேத்திரம்",
                                  U"ஸ்ரீ", U"டிசம்பர்", U"பூமி", U"சென்னை", U"ஒளி", U"மக்கள்"};
  std::string u;
  for (int k = 0; u.size() < 1200; ++k) {
    u += utf8(words[k % std::size(words)]);
    u += k % 7 == 6 ? "\r\n" : k % 5 == 4 ? ", " : " ";
  }
  return UnicodeToTscii(u);
}

// A short piece of TSCII that needs care, slid across the 64-byte blocks of
// the vector code inside prose: every letter of it meets a block edge, as
// first, middle and last byte of a block.
TEST_P(BridgeLevels, EdgeCasesAtEveryPlaceInABlock) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"prefix signs with their consonant", bytes({0xA6, 0xB8, 0xA7, 0xC1, 0xA8, 0x83, 0xA6, 0x87})},
      {"o, oo and au, length mark after the consonant", bytes({0xA6, 0xB8, 0xA1, 0xA7, 0xC9, 0xA1, 0xA6, 0xC0, 0xAA})},
      {"length marks on grantha and k.ssa", bytes({0xA6, 0x87, 0xA1, 0xA7, 0x86, 0xA1, 0xA6, 0x85, 0xAA})},
      {"lone prefix signs", bytes({0xA6, 0x20, 0xA7, 0xA7, 0xB8, 0xA8, 0xEC, 0xA6, 0x0D, 0x0A})},
      {"lone post signs and length marks", bytes({0x20, 0xA1, 0xAA, 0xA1, 0xA1, 0xB8, 0xA1, 0xAA, 0xA5})},
      {"second sign on a prefix letter", bytes({0xA6, 0xB8, 0xA4, 0xA8, 0xC1, 0xA1, 0xA7, 0xB8, 0xAA})},
      {"post signs on live consonants", bytes({0xB8, 0xA1, 0xC1, 0xA2, 0x83, 0xA4, 0x87, 0xA5, 0xBC, 0xA1})},
      {"second spellings of u, tti and sri", bytes({0xB8, 0xA4, 0xC9, 0xA5, 0xBC, 0xA2, 0xBC, 0xA3, 0x8A, 0xC3, 0xA3})},
      {"ra with ii, not after dead sa", bytes({0xC3, 0xA3, 0xF4, 0xC3, 0xA3})},
      {"dead ka before ssa", bytes({0xEC, 0x84, 0xEC, 0x89, 0xEC, 0xA6, 0x84, 0xA6, 0xEC, 0x84, 0xEC, 0xA7, 0x84, 0xA1})},
      {"o and au vowels", bytes({0xB4, 0xAA, 0xB4, 0x20, 0xB4, 0xB6, 0xB4, 0xA1})},
      {"bytes with no character and the second i", bytes({0xA0, 0xFF, 0xFE, 0xA6, 0xFF, 0xB8, 0xA0})},
      {"CR LF between a prefix sign and its consonant", bytes({0xA6, 0x0D, 0x0A, 0xB8, 0xA1, 0x0D, 0x0A})},
      {"longest letters", std::string(70, '\x8C') + std::string(70, '\x82') + bytes({0xA6, 0x87, 0xAA})},
      {"ASCII block", std::string(130, 'a') + bytes({0xA6})},
  };
  const std::string filler = prose();
  for (const auto& c : cases) {
    for (size_t at = 0; at <= 140; ++at) {
      const std::string text = filler.substr(0, at) + c.bytes + filler.substr(at, 300);
      expectAsScalar(text, std::string(c.name) + " at " + std::to_string(at));
      if (HasFatalFailure()) return;
    }
  }
}

// Long random texts of Tamil letters, prefix and post signs and other bytes,
// and plain prose, against the scalar code.
TEST_P(BridgeLevels, RandomTextsAsScalar) {
  std::mt19937 rng(1210);
  std::uniform_int_distribution<int> len(0, 700), pick(0, 15), high(0x80, 0xFF), pre(0xA6, 0xA8),
      post(0xA1, 0xA5), live(0xB8, 0xC9), grantha(0x83, 0x87);
  for (int n = 0; n < 600; ++n) {
    std::string t;
    for (int k = len(rng); k > 0; --k) {
      const int p = pick(rng);
      if (p == 0) t += ' ';
      else if (p <= 2) t += static_cast<char>(pre(rng));
      else if (p <= 8) t += static_cast<char>(live(rng));
      else if (p <= 10) t += static_cast<char>(grantha(rng));
      else if (p <= 13) t += static_cast<char>(post(rng));
      else if (p == 14) t += '\xAA';
      else t += static_cast<char>(high(rng));
    }
    expectAsScalar(t, "random text " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
  const std::string text = prose();
  expectAsScalar(text, "prose");
  expectAsScalar(TsciiToUnicode(text), "prose as UTF-8");
}

// Canonical Tamil prose as UTF-8, each letter whole: the first `bytes`
// bytes of it, cut back to a letter's end and filled up with spaces.
std::string proseUtf8(size_t bytes) {
  static const std::string text = TsciiToUnicode(prose());
  size_t cut = std::min(bytes, text.size());
  while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  while (cut > 0 && cut < text.size() && static_cast<unsigned char>(text[cut]) >= 0xE0 &&
         static_cast<unsigned char>(text[cut + 2]) >= 0xBE && static_cast<unsigned char>(text[cut + 2]) <= 0xBF)
    cut -= 3;  // never part a consonant from its aa or i sign
  std::string s = text.substr(0, cut);
  for (;;) {  // nor from any other sign
    const size_t at = s.size();
    if (at < 3 || at >= text.size() || static_cast<unsigned char>(text[at]) != 0xE0 ||
        static_cast<unsigned char>(text[at + 1]) != 0xAF)
      break;
    s.resize(at - 3);
  }
  return s + std::string(bytes - s.size(), ' ');
}

// UTF-8 that needs care, slid across the 64-byte chunks of the vector code
// inside prose: every character of it meets a chunk edge.
TEST_P(BridgeLevels, Utf8EdgeCasesAtEveryPlaceInAChunk) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"k.ssa with every kind of sign",
       utf8(U"\u0B95\u0BCD\u0BB7 \u0B95\u0BCD\u0BB7\u0BBE\u0B95\u0BCD\u0BB7\u0BC1\u0B95\u0BCD\u0BB7\u0BC6"
            U"\u0B95\u0BCD\u0BB7\u0BCA\u0B95\u0BCD\u0BB7\u0BCC\u0B95\u0BCD\u0BB7\u0BCD\u0B95\u0BCD\u0BB7\u0BC0")},
      {"sri, and sa pulli ra without ii",
       utf8(U"\u0BB8\u0BCD\u0BB0\u0BC0 \u0BB8\u0BCD\u0BB0\u0BBF\u0BB8\u0BCD\u0BB0 \u0B95\u0BCD\u0BB8\u0BCD\u0BB0\u0BC0"
            U"\u0BB8\u0BCD\u0BB0\u0BC0\u0BCD")},
      {"ka pulli before other letters", utf8(U"\u0B95\u0BCD\u0B95\u0B95\u0BCD \u0BB7\u0B95\u0BCD\u0B95\u0BCD\u0BB7\u0BC8")},
      {"decomposed o, oo and au", utf8(U"\u0B95\u0BC6\u0BBE\u0BAE\u0BC7\u0BBE\u0BAA\u0BC6\u0BD7\u0B9C\u0BC6\u0BBE")},
      {"the vowel o with the au length mark", utf8(U"\u0B92\u0BD7\u0B92 \u0B92\u0BBE")},
      {"lone signs", utf8(U" \u0BBE\u0BCA \u0BD7\u0B85\u0BC1\u0B95\u0BBF\u0BBE\u0B95\u0BCA\u0BCC")},
      {"lone prefix sign and pulli", utf8(U" \u0BC6\u0B95\u0B85\u0BCD\u0BC8 \u0BC7\u0B95\u0BCD\u0BB7")},
      {"u, uu, tti and ttii forms", utf8(U"\u0B95\u0BC1\u0B99\u0BC2\u0B9F\u0BBF\u0B9F\u0BC0\u0B9C\u0BC1\u0BB9\u0BC2")},
      {"Tamil not in TSCII", utf8(U"\u0B95\u0BB6\u0B80\u0B95\u0BC4\u0B95\u0BC5\u0BB6\u0BBE\u0B95\u0BC9\u0B96\u0BC6\u0B96")},
      {"other characters", utf8(U"\u00E9\u25CC\u0BC6\u2018\u0B95\u2019\uF0A0\uFEFF\U0001F600\u00A9")},
      {"malformed UTF-8", std::string("\xE0\xAE \xE0\xAE\x41\x80\xF0\xE0\xAE\x95\xE0\x80\x80\xE0\xAF")},
      {"ASCII run", std::string(130, 'a') + utf8(U"\u0B95\u0BCA")},
      {"a second sign", utf8(U"\u0B95\u0BCA\u0BBE\u0B95\u0BBF\u0BC1\u0B95\u0BCD\u0BCD")},
      {"CR LF inside a letter", utf8(U"\u0B95\r\n\u0BC6\u0B95\u0BC6\r\n")},
  };
  for (const auto& c : cases) {
    for (size_t at = 0; at <= 140; ++at) {
      const std::string text = proseUtf8(at) + c.bytes + proseUtf8(400);
      expectAsScalar(text, std::string(c.name) + " at " + std::to_string(at), {61, 250});
      if (HasFatalFailure()) return;
    }
  }
}

// Long random UTF-8 texts (Tamil letters and signs, ASCII, other characters
// and stray bytes) against the scalar code.
TEST_P(BridgeLevels, RandomUtf8AsScalar) {
  std::mt19937 rng(1211);
  std::uniform_int_distribution<int> len(0, 400), pick(0, 31), tamil(0x0B80, 0x0BFF), cons(0, 21),
      sign(0x0BBE, 0x0BCD), ascii(0x20, 0x7E), any(0, 255);
  const char32_t consonants[] = {0x0B95, 0x0B99, 0x0B9A, 0x0B9E, 0x0B9F, 0x0BA3, 0x0BA4, 0x0BA8,
                                 0x0BAA, 0x0BAE, 0x0BAF, 0x0BB0, 0x0BB2, 0x0BB5, 0x0BB4, 0x0BB3,
                                 0x0BB1, 0x0BA9, 0x0B9C, 0x0BB7, 0x0BB8, 0x0BB9};
  for (int n = 0; n < 300; ++n) {
    std::string t;
    for (int k = len(rng); k > 0; --k) {
      const int p = pick(rng);
      if (p < 12) t += utf8(std::u32string(1, consonants[cons(rng)]));
      else if (p < 20) t += utf8(std::u32string(1, static_cast<char32_t>(sign(rng))));
      else if (p < 22) t += utf8(U"\u0BCD");
      else if (p < 24) t += utf8(U"\u0B95\u0BCD\u0BB7");
      else if (p < 25) t += utf8(U"\u0BB8\u0BCD\u0BB0\u0BC0");
      else if (p < 28) t += static_cast<char>(ascii(rng));
      else if (p < 30) t += utf8(std::u32string(1, static_cast<char32_t>(tamil(rng))));
      else if (p < 31) t += utf8(U"\u0BD7");
      else t += static_cast<char>(any(rng));
    }
    expectAsScalar(t, "random UTF-8 " + std::to_string(n), {61, 250});
    if (HasFatalFailure()) return;
  }
}

// Long texts of letters the vector code writes itself (every consonant with
// every sign, k.ssa and sri with signs, decomposed o, oo and au, signs standing
// alone, vowels, digits, ASCII with NUL and line breaks), now and then broken
// by something it leaves to the scalar code, so that runs start and end at
// every kind of place; whole and in pieces.
TEST_P(BridgeLevels, RandomTamilProseAsScalar) {
  const char32_t consonants[] = {0x0B95, 0x0B99, 0x0B9A, 0x0B9E, 0x0B9F, 0x0BA3, 0x0BA4, 0x0BA8,
                                 0x0BAA, 0x0BAE, 0x0BAF, 0x0BB0, 0x0BB2, 0x0BB5, 0x0BB4, 0x0BB3,
                                 0x0BB1, 0x0BA9, 0x0B9C, 0x0BB7, 0x0BB8, 0x0BB9};
  const char32_t signs[] = {0x0BBE, 0x0BBF, 0x0BC0, 0x0BC1, 0x0BC2, 0x0BC6, 0x0BC7,
                            0x0BC8, 0x0BCA, 0x0BCB, 0x0BCC, 0x0BCD, 0x0BD7};
  const char32_t others[] = {0x0B85, 0x0B86, 0x0B87, 0x0B88, 0x0B89, 0x0B8A, 0x0B8E, 0x0B8F, 0x0B90,
                             0x0B92, 0x0B93, 0x0B94, 0x0B83, 0x0BE6, 0x0BEB, 0x0BEF, 0x0BF0, 0x0BF2};
  const std::string breakers[] = {utf8(U"\u0BB6"), utf8(U"\u00E9"), "\xE0\xAE", "\xFF", utf8(U" \u0BC6"),
                                  utf8(U"\u0B92\u0BD7"), utf8(U"\u25CC\u0BCD"), utf8(U"\u0B95\u0BC4")};
  std::mt19937 rng(1212);
  auto pick = [&rng](const auto& v) { return v[std::uniform_int_distribution<size_t>(0, std::size(v) - 1)(rng)]; };
  auto one = [&](std::string& t) {
    const int k = std::uniform_int_distribution<int>(0, 99)(rng);
    std::u32string u;
    if (k < 40) {
      u = {pick(consonants)};
      if (k < 30) u += pick(signs);
    } else if (k < 46) {
      u = U"\u0B95\u0BCD\u0BB7";
      if (k < 44) u += pick(signs);
    } else if (k < 50) {
      u = k < 48 ? U"\u0BB8\u0BCD\u0BB0\u0BC0" : U"\u0BB8\u0BCD\u0BB0\u0BBF";
    } else if (k < 54) {
      u = {pick(consonants), k < 52 ? char32_t{0x0BC6} : char32_t{0x0BC7}, k % 2 ? char32_t{0x0BBE} : char32_t{0x0BD7}};
    } else if (k < 58) {
      u = {pick(others), k < 56 ? char32_t{0x0BBE} : char32_t{0x0BCA}};  // a sign standing alone
    } else if (k < 70) {
      u = {pick(others)};
    } else if (k < 98) {
      t += " ,.\n\r\t0a"[k % 9];
      if (k == 97) t += '\0';
      return;
    } else {
      t += pick(breakers);
      return;
    }
    t += utf8(u);
  };
  for (int n = 0; n < 120; ++n) {
    std::string t;
    const int letters = std::uniform_int_distribution<int>(0, 1500)(rng);
    for (int k = 0; k < letters; ++k) one(t);
    expectAsScalar(t, "random prose " + std::to_string(n), {61, 250, 4093});
    if (HasFatalFailure()) return;
  }
}

std::vector<BridgeLevel> vectorLevels() {
  std::vector<BridgeLevel> v;
  for (BridgeLevel l : tolvan::unicode_simd::AvailableBridgeLevels())
    if (l != BridgeLevel::Scalar) v.push_back(l);
  return v;
}
INSTANTIATE_TEST_SUITE_P(UnicodeBridge, BridgeLevels, ::testing::ValuesIn(vectorLevels()),
                         [](const ::testing::TestParamInfo<BridgeLevel>& info) {
                           return std::string(tolvan::unicode_simd::BridgeLevelName(info.param));
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BridgeLevels);

}  // namespace

// tolvan-cli convert --from tscii --to unicode / --from unicode --to tscii.
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct CliRun {
  int status;
  std::string out, err;
};
// Runs tolvan-cli with `args`, standard input from `input`.
CliRun runCli(const std::string& args, const std::string& input) {
  const std::string dir = testing::TempDir();
  const std::string in = dir + "unicode_cli_in", out = dir + "unicode_cli_out", err = dir + "unicode_cli_err";
  writeFile(in, input);
  const std::string cmd = std::string(TOLVAN_CLI_PATH) + " " + args + " < " + in + " > " + out + " 2> " + err;
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, readFile(out), readFile(err)};
}

TEST(UnicodeBridgeCli, ConvertsBothWaysAndWarnsWithOffsets) {
  const std::string t = bytes({0xA6, 0xB8, 0xA1, ' ', 0xFE, 0xA0, '\n'});
  CliRun r = runCli("convert --from tscii --to unicode", t);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, utf8(U"\u0B95\u0BCA \u0B87\uF0A0\n"));
  EXPECT_NE(r.err.find("byte offset 4: 0xFE"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("byte offset 5: 0xA0"), std::string::npos) << r.err;

  r = runCli("convert --from unicode --to tscii", utf8(U"\u0B95\u0BCA \u0BB6!") + "\xFF");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, bytes({0xA6, 0xB8, 0xA1, ' '}) + utf8(U"\u0BB6") + "!?");
  EXPECT_NE(r.err.find("byte offset 7: U+0BB6"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("byte offset 11: 0xFF"), std::string::npos) << r.err;

  r = runCli("convert --from tscii --to unicode /nonexistent/unicode-input", "");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("/nonexistent/unicode-input"), std::string::npos) << r.err;
}

// A text of several pieces goes through the CLI exactly as through one call,
// and comes back unchanged; the flood of warnings is cut short with a count.
TEST(UnicodeBridgeCli, LargeInputStreamsAndRoundTrips) {
  std::string t;
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> pick(0, 5), live(0xB8, 0xC9);
  while (t.size() < 300000) {
    switch (pick(rng)) {
      case 0: t += ' '; break;
      case 1: t += bytes({0xA6, live(rng), 0xA1}); break;
      case 2: t += bytes({0xA8, live(rng)}); break;
      case 3: t += bytes({live(rng) | 1, 0xA2}); break;  // odd: never tta (0xBC)
      default: t += static_cast<char>(live(rng)); break;
    }
  }
  t += bytes({0xA6});  // a lone sign right at the end: one warning
  const CliRun toU = runCli("convert --from tscii --to unicode", t);
  EXPECT_EQ(toU.status, 0);
  ASSERT_TRUE(toU.out == TsciiToUnicode(t)) << toU.out.size() << " bytes of output";
  EXPECT_NE(toU.err.find("byte offset " + std::to_string(t.size() - 1)), std::string::npos) << toU.err;
  const CliRun back = runCli("convert --from unicode --to tscii", toU.out);
  EXPECT_EQ(back.status, 0);
  EXPECT_TRUE(back.out == t) << back.out.size() << " bytes back from " << t.size();
  EXPECT_TRUE(back.err.empty()) << back.err.substr(0, 500);

  const CliRun many = runCli("convert --from tscii --to unicode", std::string(5000, '\xFE'));
  EXPECT_EQ(many.status, 0);
  EXPECT_NE(many.err.find("4800 more warnings not shown (5000 in all)"), std::string::npos) << many.err.substr(0, 200);
}

// A file named on the command line is taken a megabyte at a time: letters
// and warnings across those seams come out as from one call.
TEST(UnicodeBridgeCli, NamedFileOfSeveralMegabytes) {
  std::string t;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(0, 4), live(0xB8, 0xC9);
  while (t.size() < (5u << 19)) {
    switch (pick(rng)) {
      case 0: t += ' '; break;
      case 1: t += bytes({0xA6, live(rng), 0xAA}); break;
      case 2: t += bytes({0xA8, live(rng)}); break;
      default: t += static_cast<char>(live(rng)); break;
    }
  }
  const size_t mib = size_t(1) << 20;
  t.replace(mib - 2, 3, bytes({0xA6, 0xB8, 0xAA}));  // a two-part letter across a seam
  t[2 * mib - 1] = '\xFE';  // second spellings on both sides of another
  t[2 * mib] = '\xFE';
  const std::string dir = testing::TempDir();
  const std::string in = dir + "unicode_cli_named";
  writeFile(in, t);
  const CliRun toU = runCli("convert --from tscii --to unicode " + in, "");
  EXPECT_EQ(toU.status, 0);
  ASSERT_TRUE(toU.out == TsciiToUnicode(t)) << toU.out.size() << " bytes of output";
  for (size_t at : {2 * mib - 1, 2 * mib})
    EXPECT_NE(toU.err.find("byte offset " + std::to_string(at) + ":"), std::string::npos) << at;
  writeFile(in, toU.out);
  const CliRun back = runCli("convert --from unicode --to tscii " + in, "");
  EXPECT_EQ(back.status, 0);
  EXPECT_TRUE(back.out == UnicodeToTscii(toU.out)) << back.out.size() << " bytes back";
}

}  // namespace
