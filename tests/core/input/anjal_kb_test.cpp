// The Anjal phonetic layout: the worked results users rely on, every key on its
// own, and the rules that reach back over the text (two- and three-character
// rewrites, the held consonant, word-initial n).
#include <gtest/gtest.h>

#include <vector>

#include "typing_helpers.h"

namespace {
using tolvan::Layout;
using tolvan::TamilState;
using tolvan::testing::hex;
using tolvan::testing::typeFresh;
using tolvan::testing::typeKeys;
using tolvan::testing::Typed;

// Keys typed after a space, as a user starts a word.
TEST(AnjalKB, WorkedResults) {
  constexpr Typed kCases[] = {
      {"k", "ec"},         {"ka", "b8"},          {"kaa", "b8 a1"},     {"kA", "b8 a1"},
      {"ki", "b8 a2"},     {"kii", "b8 a3"},      {"kI", "b8 a3"},      {"ku", "cc"},
      {"kuu", "dc"},       {"kU", "dc"},          {"ke", "a6 b8"},      {"kee", "a7 b8"},
      {"kE", "a7 b8"},     {"kai", "a8 b8"},      {"ko", "a6 b8 a1"},   {"koo", "a7 b8 a1"},
      {"kO", "a7 b8 a1"},  {"kau", "a6 b8 aa"},   {"ti", "ca"},         {"th", "f2"},
      {"sh", "89"},        {"ch", "89"},          {"ang", "ab ed"},     {"anj", "ab ef"},
      {"an", "ab fd"},     {"n", "f3"},           {"aa", "ac"},         {"ii", "ae"},
      {"uu", "b0"},        {"ee", "b2"},          {"oo", "b5"},         {"ai", "b3"},
      {"au", "b6"},
      // More of the same rules on other letters and in words.
      {"tii", "cb"},       {"tI", "cb"},          {"nd", "f3 f0"},        {"and", "ab f3"},         {"amma", "ab f5 c1"},
      {"thamiz", "be c1 a2 fa"},                  {"vaNakkam", "c5 bd ec b8 f5"},
      {"Sa", "85"},        {"hi", "86 a2"},       {"jE", "a7 83"},      {"xo", "a6 87 a1"},
      {"mU", "e3"},        {"Wu", "9a"},          {"Xuu", "9b"},        {"nno", "f3 a6 c9 a1"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(hex(typeFresh(Layout::Anjal, std::string(" ") + c.keys)),
              std::string("20 ") + c.text)
        << c.keys;
  }
}

// Each printable key typed on its own after a space.
TEST(AnjalKB, EveryKeyAlone) {
  struct Key {
    char key;
    unsigned char byte;
  };
  constexpr Key kTable[] = {
      {'a', 0xAB}, {'A', 0xAC}, {'i', 0xAD}, {'I', 0xAE}, {'u', 0xAF}, {'U', 0xB0}, {'e', 0xB1},
      {'E', 0xB2}, {'o', 0xB4}, {'O', 0xB5}, {'q', 0xB7}, {'g', 0xEC}, {'k', 0xEC}, {'s', 0xEE},
      {'c', 0xEE}, {'t', 0xF0}, {'d', 0xF0}, {'p', 0xF4}, {'b', 0xF4}, {'R', 0xFC}, {'y', 0xF6},
      {'r', 0xF7}, {'l', 0xF8}, {'v', 0xF9}, {'z', 0xFA}, {'L', 0xFB}, {'N', 0xF1}, {'m', 0xF5},
      {'n', 0xF3 /* word-initial */}, {'X', 0xED}, {'W', 0xEF}, {'w', 0xF3}, {'T', 0xF2},
      {'S', 0x8A}, {'h', 0x8B}, {'j', 0x88}, {'Z', 0x89}, {'x', 0x8C}, {'C', 0x82},
  };
  const std::string swallowed = "BDFGHJKMPQVYf";
  for (int k = 0x20; k < 0x7F; ++k) {
    std::string expected = "\x20";
    if (k == ' ') {
      expected += ' ';
    } else if (swallowed.find(char(k)) == std::string::npos) {
      unsigned char b = static_cast<unsigned char>(k);
      for (const auto& e : kTable)
        if (e.key == k) b = e.byte;
      expected += char(b);
    }
    EXPECT_EQ(hex(typeFresh(Layout::Anjal, std::string(" ") + char(k))), hex(expected))
        << "key '" << char(k) << "'";
  }
  EXPECT_EQ(tolvan::layoutKeyTable(Layout::Anjal).size(), 40u);
}

// What n gives depends only on the character before it.
TEST(AnjalKB, WordInitialN) {
  constexpr Typed kCases[] = {
      {"n", "fd"},            // first key after start: L = 0
      {" n", "20 f3"},        // after a space
      {"\rn", "0d f3"},       // after Enter
      {"\tn", "09 fd"},       // after a tab
      {"1n", "31 fd"},        // after anything else
      {"kan", "b8 fd"},       // inside a word
      {" nn", "20 f3 fd"},    // only the first is dental
      {"kf n", "ec 20 f3"},   // a swallowed key between changes nothing here
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Anjal, c.keys)), c.text) << c.keys;
}

// A second e or o rewrites the characters the first one left; after a letter
// no e or o made, the same rewrite still takes the characters before it.
TEST(AnjalKB, LongVowelRewritesReachBack) {
  constexpr Typed kCases[] = {
      {"12kee", "31 32 a7 b8"},
      {"12kae", "31 a7 b8"},            // ka then e: deletes ka and the 2 before it
      {"12koo", "31 32 a7 b8 a1"},
      {"12kaao", "31 a7 a1"},           // nothing held yet: 0 is sent and ignored
      {" mo kaao", "20 a6 c1 a1 a7 c1 a1"},  // the m held by the first o comes back
      {" pau kaao", "20 a6 c0 aa a7 c0 a1"}, // so does the p held by the u rule
      {"kae", "a7 b8"},                 // at the start of the text nothing more to delete
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Anjal, c.keys)), c.text) << c.keys;
}

TEST(AnjalKB, CombinationsThatDoNotApply) {
  constexpr Typed kCases[] = {
      {" jU", "20 88 b0"},  {" ZU", "20 89 b0"},  {" SU", "20 8a b0"},  {" hU", "20 8b b0"},
      {" xU", "20 8c b0"},  // no uu form for the grantha consonants
      {" ju", "20 88 af"},  // nor u
      {" aA", "20 ab ac"},  {" aE", "20 ab b2"},  // only a and e after the vowel
      {" kaa", "20 b8 a1"}, {" kaaa", "20 b8 a1 ab"},
      {" kaii", "20 a8 b8 ad"},  // after kai (result 0) the i starts afresh
      {" kEe", "20 a7 b8 b1"},   // likewise after kE
      {" kU u", "20 dc 20 af"},
      {" 1e", "20 31 b1"},
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Anjal, c.keys)), c.text) << c.keys;
}

TEST(AnjalKB, SwallowedLettersInsertNothingAndClearLast) {
  for (char k : std::string("BDFGHJKMPQVYf")) {
    TamilState s;
    std::string keys = std::string(" k") + k + "a";
    // k then the swallowed letter: the a no longer sees the k.
    EXPECT_EQ(hex(typeKeys(Layout::Anjal, keys, s)), "20 ec ab") << k;
    s.LastTamilChar = 0xEC;
    EXPECT_EQ(hex(typeKeys(Layout::Anjal, std::string(1, k), s)), "") << k;
    EXPECT_EQ(s.LastTamilChar, 0) << k;
  }
}

// Bytes that arrive already in TSCII (the character map) fire the same rules
// as the keys that map to them; the engine's own sent bytes fire none.
TEST(AnjalKB, TsciiBytesFireTheirKeysRules) {
  constexpr Typed kCases[] = {
      {" k\xAB", "20 b8"},          // a clicked in after k
      {" \xEC\xAB", "20 b8"},       // k clicked in, then a
      {" \xAB\xAB", "20 ac"},
      {" \xFD\xEC", "20 f3 ec"},    // a clicked-in n after a space turns dental too
      {" t\xAD", "20 ca"},
      {" \xB8\xA1\xA8", "20 b8 a1 a8"},  // signs and live consonants pass as they are
  };
  for (const auto& c : kCases) EXPECT_EQ(hex(typeFresh(Layout::Anjal, c.keys)), c.text) << c.keys;
}

TEST(AnjalKB, HeldConsonant) {
  struct Case {
    const char* keys;
    unsigned char held;
  };
  constexpr Case kCases[] = {
      {"ko", 0xB8}, {"mO", 0x00}, {"pau", 0xC0}, {"koo", 0xB8}, {"ko tu", 0xB8}, {"xo", 0x87},
  };
  for (const auto& c : kCases) {
    TamilState s;
    typeKeys(Layout::Anjal, c.keys, s);
    EXPECT_EQ(s.HeldConsonant, c.held) << c.keys;
  }
}

TEST(AnjalKB, ResultAndLastTamilChar) {
  struct Case {
    const char* keys;
    unsigned char last;
  };
  constexpr Case kCases[] = {
      {"k", 0xEC}, {"ka", 0xB8}, {"kai", 0x00}, {"kau", 0x00}, {"kE", 0x00},
      {"ke", 0xB8}, {"ko", 0xA1}, {"k\b", 0x08}, {"5", '5'},
  };
  for (const auto& c : kCases) {
    TamilState s;
    typeKeys(Layout::Anjal, c.keys, s);
    EXPECT_EQ(s.LastTamilChar, c.last) << c.keys;
  }
}

}  // namespace
