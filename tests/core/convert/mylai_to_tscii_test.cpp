// Mylai to TSCII: the key table, the pulli key, the three modifiers, and the
// bytes that are dropped or copied.
#include <gtest/gtest.h>

#include <string>

#include "core/convert/converters.h"
#include "test_util.h"

using convert_test::hex;
using convert_test::show;
using tolvan::MylaiToTscii;

namespace {

struct Case {
  const char* name;
  std::string in, want;
};

TEST(MylaiToTscii, EveryKey) {
  // Key, then its TSCII byte.
  const struct {
    char key;
    const char* tscii;
  } keys[] = {
      {'`', "AB"}, {'~', "AC"}, {';', "AD"}, {':', "AE"}, {'u', "AF"}, {'U', "B0"}, {'\'', "B1"},
      {'"', "B2"}, {'_', "B3"}, {'o', "B4"}, {'O', "B5"}, {'#', "B7"}, {'a', "A1"}, {'i', "A2"},
      {'I', "A3"}, {'H', "A4"}, {'J', "A5"}, {'e', "A6"}, {'E', "A7"}, {'A', "A8"}, {'F', "CA"},
      {'G', "CB"}, {'K', "CC"}, {'C', "CD"}, {'W', "9A"}, {'D', "CE"}, {'}', "CF"}, {'T', "D0"},
      {'N', "D1"}, {'Z', "D8"}, {'B', "DA"}, {'k', "B8"}, {'g', "B9"}, {'c', "BA"}, {'w', "BB"},
      {'d', "BC"}, {']', "BD"}, {'t', "BE"}, {'n', "BF"}, {'p', "C0"}, {'m', "C1"}, {'y', "C2"},
      {'r', "C3"}, {'l', "C4"}, {'v', "C5"}, {'z', "C6"}, {'q', "C7"}, {'b', "C8"}, {'[', "C9"},
      {'j', "83"}, {'x', "84"}, {'s', "85"}, {'h', "86"}, {'X', "87"}, {'!', "82"}, {'P', "DC"},
      {'V', "DD"}, {'M', "D3"}, {'R', "D5"}, {'L', "D6"}, {'Q', "D9"}, {'{', "DB"},
  };
  std::string seen;
  for (auto k : keys) {
    EXPECT_EQ(show(MylaiToTscii(std::string(1, k.key))), k.tscii) << "key " << k.key;
    seen += k.key;
  }
  // Every other byte is dropped, copied or a modifier: none writes anything
  // but itself.
  for (int b = 0; b < 256; ++b) {
    if (seen.find(char(b)) != std::string::npos) continue;
    const std::string out = MylaiToTscii(std::string(1, char(b)));
    const bool dropped = std::string("$@SY^f<>\\").find(char(b)) != std::string::npos || b == 0;
    EXPECT_EQ(show(out), dropped ? "" : show(std::string(1, char(b)))) << "byte " << b;
  }
}

TEST(MylaiToTscii, PulliKey) {
  const char* consonants = "kgcwd]tnpmyrlvzqb[";
  const char* pulli = "EC ED EE EF F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD";
  for (int i = 0; consonants[i]; ++i)
    EXPECT_EQ(show(MylaiToTscii(std::string(1, consonants[i]) + "f")), std::string(pulli + 3 * i, 2))
        << consonants[i];
  const Case cases[] = {
      {"upper-case F is tti, not pulli", "kF", hex("B8 CA")},
      {"f alone", "f", ""},
      {"grantha j takes no pulli", "jf", hex("83")},
      {"only the next byte counts", "kff", hex("EC")},
      {"f before the consonant", "fk", hex("B8")},
      {"consonant at the very end", "tk", hex("BE B8")},
      {"word tamizh", "tmfz", hex("BE F5 C6")},
  };
  for (const auto& c : cases) EXPECT_EQ(show(MylaiToTscii(c.in)), show(c.want)) << c.name;
}

TEST(MylaiToTscii, Modifiers) {
  const Case cases[] = {
      {"g<", "g<", hex("99")},       {"p<", "p<", hex("D2")},        {"y<", "y<", hex("D4")},
      {"v<", "v<", hex("D7")},       {"g>", "g>", hex("9B")},        {"p>", "p>", hex("E2")},
      {"y>", "y>", hex("E4")},       {"v>", "v>", hex("E7")},        {"T\\", "T\\", hex("E0")},
      {"N\\", "N\\", hex("E1")},     {"{\\", "{\\", hex("EB")},      {"}\\", "}\\", hex("DF")},
      {"L\\", "L\\", hex("E6")},     {"B\\", "B\\", hex("EA")},      {"W\\", "W\\", hex("9C")},
      {"< at the start", "<k", hex("B8")},
      {"< after k has no effect", "k<", hex("B8")},
      {"\\ after g has no effect", "g\\", hex("B9")},
      {"second < sees < before it", "g<<", hex("99")},
      {"looks at the input, not the output: gf<", "gf<", hex("ED")},
      {"modifier only rewrites the last byte", "kg<", hex("B8 99")},
      {"> then \\", "T\\>", hex("E0")},
  };
  for (const auto& c : cases) EXPECT_EQ(show(MylaiToTscii(c.in)), show(c.want)) << c.name;
}

TEST(MylaiToTscii, Texts) {
  const Case cases[] = {
      {"empty", "", ""},
      {"digits, spaces and line breaks", "12 = 3?\r\n(4%)|", "12 = 3?\r\n(4%)|"},
      {"dropped keys", "$@SY^", ""},
      {"prefix sign stays first: ek", "ek", hex("A6 B8")},
      {"ko", "eka", hex("A6 B8 A1")},
      {"already TSCII passes through", hex("7F 80 A6 B8 A1 FF"), hex("7F 80 A6 B8 A1 FF")},
      {"NUL is dropped", std::string("k\0a", 3), hex("B8 A1")},
  };
  for (const auto& c : cases) EXPECT_EQ(show(MylaiToTscii(c.in)), show(c.want)) << c.name;
}

TEST(MylaiToTscii, NeverLongerThanInput) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  for (const std::string& s : {all, std::string("kfkfkf<<>>\\\\"), std::string(1000, 'g') + "<"})
    EXPECT_LE(MylaiToTscii(s).size(), s.size());
}

}  // namespace
