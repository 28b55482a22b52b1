// The search over the editor's characters: direction, case, whole words,
// TSCII bytes compared exactly.
#include "core/document/text_search.h"

#include <gtest/gtest.h>

#include <string>

using tolvan::findAll;
using tolvan::findText;
using tolvan::kNotFound;
using tolvan::SearchOptions;

namespace {

// Bytes as editor characters (0xAD shown as U+0B87).
std::u16string chars(std::string_view bytes) {
  std::u16string out;
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    out.push_back(b == 0xAD ? char16_t(0x0B87) : char16_t(b));
  }
  return out;
}

struct Case {
  const char* name;
  std::string text;
  std::string needle;
  size_t from;
  SearchOptions options;
  std::ptrdiff_t expected;
};

}  // namespace

TEST(TextSearch, FindText) {
  const SearchOptions none{};
  const SearchOptions matchCase{true, false, false};
  const SearchOptions whole{false, true, false};
  const SearchOptions back{false, false, true};
  const SearchOptions backWhole{false, true, true};
  const Case cases[] = {
      {"forward from start", "one two one", "one", 0, none, 0},
      {"forward skips before from", "one two one", "one", 1, none, 8},
      {"forward none after", "one two one", "one", 9, none, kNotFound},
      {"ascii folds without match case", "One", "oNE", 0, none, 0},
      {"match case", "One one", "one", 0, matchCase, 4},
      // 0xC0 and 0xE0 are different Tamil letters, never case pairs.
      {"tamil bytes never fold", "\xE0\xC0", "\xC0", 0, none, 1},
      {"whole word skips inside words", "bone one", "one", 0, whole, 5},
      {"whole word: tamil letters are word characters", "\xB8one \xB8one one", "one", 0, whole, 10},
      {"whole word at the ends", "one", "one", 0, whole, 0},
      {"backward ends at from", "one two one", "one", 11, back, 8},
      {"backward before the selection", "one two one", "one", 8, back, 0},
      {"backward whole word", "one bone", "one", 8, backWhole, 0},
      {"backward none", "two", "one", 3, back, kNotFound},
      {"byte 0xAD through its stand-in", "\xAB\xAD\xB8", "\xAD\xB8", 0, none, 1},
      {"empty needle", "abc", "", 0, none, kNotFound},
      {"needle longer than text", "ab", "abc", 0, none, kNotFound},
      {"repeated characters", "aaab", "aab", 0, none, 1},
      {"backward repeated", "baaa", "baa", 4, back, 0},
  };
  for (const Case& c : cases) {
    const std::u16string text = chars(c.text), needle = chars(c.needle);
    EXPECT_EQ(findText(text, needle, c.from, c.options), c.expected) << c.name;
  }
}

TEST(TextSearch, EveryByteFindsItselfOnly) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string text = chars(all);
  const SearchOptions matchCase{true, false, false};
  for (int b = 1; b < 256; ++b) {
    const std::u16string needle = chars(std::string(1, static_cast<char>(b)));
    EXPECT_EQ(findText(text, needle, 0, matchCase), b - 1) << b;
    const SearchOptions fold{};
    // Without match case a lower-case ASCII letter finds its capital first;
    // no other byte has a partner.
    const bool lower = b >= 'a' && b <= 'z';
    EXPECT_EQ(findText(text, needle, 0, fold), lower ? b - 32 - 1 : b - 1) << b;
  }
}

TEST(TextSearch, FindAllDoesNotOverlap) {
  const std::u16string text = chars("aaaa one ONE bone");
  EXPECT_EQ(findAll(text, chars("aa"), {}), (std::vector<size_t>{0, 2}));
  EXPECT_EQ(findAll(text, chars("one"), {}), (std::vector<size_t>{5, 9, 14}));
  EXPECT_EQ(findAll(text, chars("one"), {false, true, false}), (std::vector<size_t>{5, 9}));
  EXPECT_EQ(findAll(text, chars("one"), {true, false, false}), (std::vector<size_t>{5, 14}));
}

TEST(TextSearch, WordCharacters) {
  EXPECT_TRUE(tolvan::isWordChar(u'a'));
  EXPECT_TRUE(tolvan::isWordChar(u'7'));
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0xB8)));    // ka
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0xA1)));    // the sign o
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0x0B87)));  // i (byte 0xAD)
  EXPECT_FALSE(tolvan::isWordChar(u' '));
  EXPECT_FALSE(tolvan::isWordChar(u','));
  EXPECT_FALSE(tolvan::isWordChar(char16_t(0x2029)));
}

// A Unicode document's text: Tamil letters and signs, Latin letters with
// their accents and the joiners are word characters; a TSCII byte value
// stands for the Latin-1 character it is, and an emoji's halves for nothing.
TEST(TextSearch, UnicodeText) {
  const std::u16string text = u"தமிழ் நாடு, கா க café e\u0301 \U0001F600x ¿¿";
  SearchOptions whole;
  whole.wholeWord = true;
  whole.unicode = true;
  struct Case {
    std::u16string needle;
    SearchOptions options;
    std::vector<size_t> hits;
  };
  const Case cases[] = {
      {u"நாடு", {}, {6}},
      {u"க", {}, {12, 15}},         // inside கா too, as in any editor
      {u"க", whole, {15}},          // the vowel sign belongs to the word
      {u"caf", whole, {}},          // é is a letter
      {u"e", whole, {}},            // so is a combining accent
      {u"x", whole, {27}},          // an emoji is no letter
      {u"CAFÉ", {}, {}},            // only ASCII letters fold
      {u"CAFé", {}, {17}},
      {u"¿", whole, {29, 30}},  // ¿ is no letter (in TSCII: a Tamil one)
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SearchOptions o = cases[i].options;
    o.unicode = true;
    EXPECT_EQ(findAll(text, cases[i].needle, o), cases[i].hits) << "case " << i;
  }
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0xBF)));
  EXPECT_FALSE(tolvan::isWordChar(char16_t(0xBF), true));
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0xE9), true));
  EXPECT_FALSE(tolvan::isWordChar(char16_t(0xD7), true));
  EXPECT_FALSE(tolvan::isWordChar(char16_t(0xD83D), true));
  EXPECT_TRUE(tolvan::isWordChar(char16_t(0x200D), true));
}
