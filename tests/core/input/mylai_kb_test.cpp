// The Mylai layout: one glyph per key in written order, and the five keys that
// rewrite the character just produced.
#include <gtest/gtest.h>

#include "typing_helpers.h"

namespace {
using tolvan::Layout;
using tolvan::TamilState;
using tolvan::testing::hex;
using tolvan::testing::typeFresh;
using tolvan::testing::typeKeys;
using tolvan::testing::Typed;

TEST(MylaiKB, EveryKeyAlone) {
  struct Key {
    char key;
    unsigned char byte;
  };
  constexpr Key kTable[] = {
      {'`', 0xAB}, {'~', 0xAC}, {';', 0xAD}, {':', 0xAE}, {'u', 0xAF}, {'U', 0xB0}, {'\'', 0xB1},
      {'"', 0xB2}, {'_', 0xB3}, {'o', 0xB4}, {'O', 0xB5}, {'$', 0xB6}, {'#', 0xB7}, {'k', 0xB8},
      {'g', 0xB9}, {'c', 0xBA}, {'w', 0xBB}, {'d', 0xBC}, {'h', 0xBD}, {'t', 0xBE}, {'n', 0xBF},
      {'p', 0xC0}, {'m', 0xC1}, {'y', 0xC2}, {'r', 0xC3}, {'l', 0xC4}, {'v', 0xC5}, {'z', 0xC6},
      {'q', 0xC7}, {'b', 0xC8}, {'j', 0xC9}, {']', 0x83}, {'x', 0x84}, {'s', 0x85}, {'[', 0x86},
      {'X', 0x87}, {'a', 0xA1}, {'i', 0xA2}, {'I', 0xA3}, {'{', 0xA4}, {'}', 0xA5}, {'e', 0xA6},
      {'E', 0xA7}, {'A', 0xA8}, {'K', 0xCC}, {'C', 0xCD}, {'W', 0x9A}, {'D', 0xCE}, {'H', 0xCF},
      {'T', 0xD0}, {'N', 0xD1}, {'M', 0xD3}, {'R', 0xD5}, {'L', 0xD6}, {'Z', 0xD8}, {'Q', 0xD9},
      {'B', 0xDA}, {'J', 0xDB}, {'F', 0xCA}, {'G', 0xCB}, {'P', 0xDC}, {'V', 0xDD}, {'!', 0x82},
  };
  for (int k = 0x21; k < 0x7F; ++k) {
    unsigned char b = static_cast<unsigned char>(k);  // rule keys and the rest: as typed
    for (const auto& e : kTable)
      if (e.key == k) b = e.byte;
    EXPECT_EQ(hex(typeFresh(Layout::Mylai, std::string(" ") + char(k))),
              hex(std::string(" ") + char(b)))
        << "key '" << char(k) << "'";
  }
  EXPECT_EQ(hex(typeFresh(Layout::Mylai, " ")), "20");
  EXPECT_EQ(tolvan::layoutKeyTable(Layout::Mylai).size(), 64u);
}

TEST(MylaiKB, RuleKeys) {
  constexpr Typed kCases[] = {
      // pulli on any live consonant, grantha included
      {"kf", "ec"}, {"jf", "fd"}, {"]f", "88"}, {"Xf", "8c"}, {"kff", "ec 66"},
      {"f", "66"}, {" f", "20 66"}, {"uf", "af 66"}, {"Kf", "cc 66"},
      // < and > on nga, pa, ya, va only
      {"p<", "d2"}, {"p>", "e2"}, {"g<", "99"}, {"g>", "9b"}, {"y<", "d4"}, {"v>", "e7"},
      {"k<", "b8 3c"}, {"k>", "b8 3e"}, {"<", "3c"},
      // Y on the u form or the bare consonant of tta, ma, ra, llla, lla
      {"dY", "de"}, {"DY", "de"}, {"mY", "e3"}, {"MY", "e3"}, {"rY", "e5"}, {"RY", "e5"},
      {"zY", "e8"}, {"ZY", "e8"}, {"qY", "e9"}, {"QY", "e9"}, {"kY", "b8 59"}, {"Y", "59"},
      // backslash on the u forms of nna, ta, na, la, rra, nnna
      {"T\\", "e0"}, {"H\\", "df"}, {"N\\", "e1"}, {"L\\", "e6"}, {"B\\", "ea"}, {"J\\", "eb"},
      {"t\\", "be 5c"}, {"W\\", "9a 5c"}, {"\\", "5c"},
      // keys outside the table
      {"S", "53"}, {"5", "35"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Mylai, c.keys)), c.text) << c.keys;
}

TEST(MylaiKB, WrittenOrderWords) {
  constexpr Typed kCases[] = {
      {"ek", "a6 b8"},          // ke: the sign first, as written
      {"eka", "a6 b8 a1"},      // ko
      {"Eka", "a7 b8 a1"},      // koo
      {"Ak", "a8 b8"},          // kai
      {"tmiz", "be c1 a2 c6"},  // no pulli on the last letter without f
      {"tmizf", "be c1 a2 fa"},
      {"`mfm", "ab f5 c1"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Mylai, c.keys)), c.text) << c.keys;
}

// A TSCII byte clicked in is a key like any other: a following rule key sees it.
TEST(MylaiKB, ClickedInBytes) {
  EXPECT_EQ(hex(typeFresh(Layout::Mylai, "\xB8" "f")), "ec");
  EXPECT_EQ(hex(typeFresh(Layout::Mylai, "\xD0\\")), "e0");
  EXPECT_EQ(hex(typeFresh(Layout::Mylai, "\xEC" "f")), "ec 66");
}

// The rule reads only LastTamilChar: with the caret somewhere else (here,
// another buffer) f still deletes the character before it and inserts k.
TEST(MylaiKB, RuleSeesOnlyLastTamilChar) {
  TamilState s;
  typeKeys(Layout::Mylai, "k", s);
  tolvan::TextBufferSink elsewhere(Layout::Mylai, s);
  elsewhere.text() = "xy";
  elsewhere.typeKey('f');
  EXPECT_EQ(hex(elsewhere.text()), "78 ec");
}

}  // namespace
