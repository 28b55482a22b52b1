// The Typewriter layout: one glyph per key in written order, and the five keys
// that rewrite the character just produced.
#include <gtest/gtest.h>

#include "typing_helpers.h"

namespace {
using tolvan::Layout;
using tolvan::testing::hex;
using tolvan::testing::typeFresh;
using tolvan::testing::Typed;

TEST(TypeKB, EveryKeyAlone) {
  struct Key {
    char key;
    unsigned char byte;
  };
  constexpr Key kTable[] = {
      {'m', 0xAB}, {'M', 0xAC}, {',', 0xAD}, {'<', 0xAE}, {'c', 0xAF}, {'C', 0xB0}, {'v', 0xB1},
      {'V', 0xB2}, {'I', 0xB3}, {'x', 0xB4}, {'X', 0xB5}, {'=', 0xB7}, {'f', 0xB8}, {'\'', 0xB9},
      {'r', 0xBA}, {'"', 0xBB}, {'l', 0xBC}, {'z', 0xBD}, {'j', 0xBE}, {'e', 0xBF}, {'g', 0xC0},
      {'k', 0xC1}, {'a', 0xC2}, {'u', 0xC3}, {'y', 0xC4}, {'t', 0xC5}, {'H', 0xC6}, {'s', 0xC7},
      {'w', 0xC8}, {'d', 0xC9}, {'h', 0xA1}, {'p', 0xA2}, {'P', 0xA3}, {'%', 0xA4}, {'^', 0xA5},
      {'B', 0xA6}, {'n', 0xA7}, {'i', 0xA8}, {'F', 0xCC}, {'R', 0xCD}, {'Q', 0x9A}, {'L', 0xCE},
      {'q', 0xCF}, {'J', 0xD0}, {'E', 0xD1}, {'K', 0xD3}, {'U', 0xD5}, {'Y', 0xD6}, {'G', 0xD8},
      {'S', 0xD9}, {'W', 0xDA}, {'D', 0xDB}, {'T', 0xDC}, {'o', 0xCA}, {'O', 0xCB}, {'N', 0xDD},
      {'!', 0x85}, {'$', 0x83}, {'&', 0x84}, {'+', 0x86}, {'@', 0x82}, {'|', 0x87},
  };
  for (int k = 0x21; k < 0x7F; ++k) {
    unsigned char b = static_cast<unsigned char>(k);  // rule keys, A, Z, b, digits: as typed
    for (const auto& e : kTable)
      if (e.key == k) b = e.byte;
    EXPECT_EQ(hex(typeFresh(Layout::Typewriter, std::string(" ") + char(k))),
              hex(std::string(" ") + char(b)))
        << "key '" << char(k) << "'";
  }
  EXPECT_EQ(hex(typeFresh(Layout::Typewriter, " ")), "20");
  EXPECT_EQ(tolvan::layoutKeyTable(Layout::Typewriter).size(), 63u);
}

TEST(TypeKB, RuleKeys) {
  constexpr Typed kCases[] = {
      // pulli on any live consonant
      {"f;", "ec"}, {"d;", "fd"}, {"$;", "88"}, {"|;", "8c"},
      {";", "3b"}, {" ;", "20 3b"}, {"m;", "ab 3b"}, {"F;", "cc 3b"},
      // [ and { on nga, pa, ya, va
      {"g[", "d2"}, {"g{", "e2"}, {"'[", "99"}, {"'{", "9b"}, {"a[", "d4"}, {"t{", "e7"},
      {"f[", "b8 5b"},
      // : on the bare consonants of tta, ma, ra, llla, lla
      {"l:", "de"}, {"k:", "e3"}, {"u:", "e5"}, {"H:", "e8"}, {"s:", "e9"},
      {"L:", "ce 3a"}, {"f:", "b8 3a"},
      // } on the u forms of nya, nna, ta, na, la, rra, nnna
      {"J}", "e0"}, {"Q}", "9c"}, {"q}", "df"}, {"E}", "e1"}, {"Y}", "e6"}, {"W}", "ea"},
      {"D}", "eb"}, {"j}", "be 7d"}, {"F}", "cc 7d"},
      // keys outside the table
      {"A", "41"}, {"Z", "5a"}, {"b", "62"}, {"7", "37"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(hex(typeFresh(Layout::Typewriter, c.keys)), c.text) << c.keys;
}

TEST(TypeKB, WrittenOrderWordsAndClickedInBytes) {
  constexpr Typed kCases[] = {
      {"Bf", "a6 b8"},           // ke
      {"Bfh", "a6 b8 a1"},       // ko
      {"if", "a8 b8"},           // kai
      {"jkpH;", "be c1 a2 fa"},  // tamizh
      {"\xB8;", "ec"},           // a clicked-in ka takes the pulli key
      {"\xFF", "ff"},            // bytes from 0x80 up pass unchanged
  };
  for (const auto& c : kCases)
    EXPECT_EQ(hex(typeFresh(Layout::Typewriter, c.keys)), c.text) << c.keys;
}

}  // namespace
