// The Romanised layout: the worked results users rely on, every key on its own,
// the digit 2, and the letters some combinations leave out.
#include <gtest/gtest.h>

#include "typing_helpers.h"

namespace {
using tolvan::Layout;
using tolvan::TamilState;
using tolvan::testing::hex;
using tolvan::testing::typeFresh;
using tolvan::testing::typeKeys;
using tolvan::testing::Typed;

// Keys typed after a space, as a user starts a word.
TEST(RomanKB, WorkedResults) {
  constexpr Typed kCases[] = {
      {"k", "ec"},       {"ka", "b8"},        {"kA", "b8 a1"},     {"ki", "b8 a2"},
      {"kI", "b8 a3"},   {"ku", "cc"},        {"kU", "dc"},        {"ke", "a6 b8"},
      {"kE", "a7 b8"},   {"kai", "a8 b8"},    {"ko", "a6 b8 a1"},  {"kO", "a7 b8 a1"},
      {"kau", "a6 b8 aa"}, {"n2", "fd"},      {"ai", "b3"},        {"au", "b6"},
      // In words and with other letters.
      {"tamiz", "be c1 a2 fa"},  {"vaNakkam", "c5 bd ec b8 f5"}, {"Ti", "bc a2"},
      {"SrI", "8a c3 a3"},       {"ja", "83"},  {"sE", "a7 84"},   {"ho", "a6 86 a1"},
      {"gU", "9b"},              {"an2", "ab fd"}, {"pa2", "c0 32"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(hex(typeFresh(Layout::Roman, std::string(" ") + c.keys)),
              std::string("20 ") + c.text)
        << c.keys;
  }
}

TEST(RomanKB, EveryKeyAlone) {
  struct Key {
    char key;
    unsigned char byte;
  };
  constexpr Key kTable[] = {
      {'a', 0xAB}, {'A', 0xAC}, {'i', 0xAD}, {'I', 0xAE}, {'u', 0xAF}, {'U', 0xB0}, {'e', 0xB1},
      {'E', 0xB2}, {'o', 0xB4}, {'O', 0xB5}, {'H', 0xB7}, {'k', 0xEC}, {'g', 0xED}, {'c', 0xEE},
      {'T', 0xF0}, {'N', 0xF1}, {'t', 0xF2}, {'n', 0xF3}, {'p', 0xF4}, {'m', 0xF5}, {'y', 0xF6},
      {'r', 0xF7}, {'l', 0xF8}, {'v', 0xF9}, {'z', 0xFA}, {'L', 0xFB}, {'R', 0xFC}, {'j', 0x88},
      {'S', 0x8A}, {'s', 0x89}, {'h', 0x8B},
  };
  for (int k = 0x21; k < 0x7F; ++k) {
    unsigned char b = static_cast<unsigned char>(k);
    for (const auto& e : kTable)
      if (e.key == k) b = e.byte;
    EXPECT_EQ(hex(typeFresh(Layout::Roman, std::string(" ") + char(k))),
              hex(std::string(" ") + char(b)))
        << "key '" << char(k) << "'";
  }
  EXPECT_EQ(tolvan::layoutKeyTable(Layout::Roman).size(), 31u);
}

TEST(RomanKB, CombinationsThatDoNotApply) {
  constexpr Typed kCases[] = {
      {"kaa", "b8 ab"},  // long a is A
      {"aa", "ab ab"},
      {"2", "32"},      {"k2", "ec 32"},  {"n22", "fd 32"},
      {"ju", "88 af"},  {"jU", "88 b0"},  {"hu", "8b af"},
      {"bdfqwx", "62 64 66 71 77 78"},
      {"kI i", "b8 a3 20 ad"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Roman, c.keys)), c.text) << c.keys;
}

// kssa has no key here; clicked in from the character map only a plain a
// combines with it.
TEST(RomanKB, KssaFromTheCharacterMap) {
  constexpr Typed kCases[] = {
      {"\x8C" "a", "87"},    {"\x8C" "A", "8c ac"}, {"\x8C" "i", "8c ad"}, {"\x8C" "I", "8c ae"},
      {"\x8C" "e", "8c b1"}, {"\x8C" "E", "8c b2"}, {"\x8C" "o", "8c b4"}, {"\x8C" "O", "8c b5"},
      {"\x8C" "u", "8c af"}, {"\x8C" "U", "8c b0"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Roman, c.keys)), c.text) << c.keys;
}

TEST(RomanKB, TsciiVowelBytesFireTheirKeysRules) {
  constexpr Typed kCases[] = {
      {"k\xAB", "b8"}, {"k\xAD", "b8 a2"}, {"\xAB\xAF", "b6"}, {"p\xB5", "a7 c0 a1"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Roman, c.keys)), c.text) << c.keys;
}

TEST(RomanKB, LastTamilChar) {
  struct Case {
    const char* keys;
    unsigned char last;
  };
  constexpr Case kCases[] = {
      {"k", 0xEC}, {"kai", 0xB8}, {"kau", 0xAA}, {"ko", 0xA1}, {"n2", 0xFD}, {"x", 'x'},
  };
  for (const auto& c : kCases) {
    TamilState s;
    typeKeys(Layout::Roman, c.keys, s);
    EXPECT_EQ(s.LastTamilChar, c.last) << c.keys;
  }
}

}  // namespace
