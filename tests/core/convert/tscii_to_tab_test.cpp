// TSCII to TAB: every byte value, the worked examples, and vowel au.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/convert/converters.h"
#include "test_util.h"

using convert_test::hex;
using convert_test::show;
using tolvan::TsciiToTab;

namespace {

// What each TSCII byte from 0x80 up becomes, written out byte by byte.
std::map<int, std::string> expectedHighBytes() {
  std::map<int, std::string> m = {
      {0x82, "FF"}, {0x83, "FC"}, {0x84, "FB"}, {0x85, "FA"}, {0x86, "FD"}, {0x87, "FE"},
      {0x88, "FC A2"}, {0x89, "FB A2"}, {0x8A, "FA A2"}, {0x8B, "FD A2"}, {0x8C, "FE A2"},
      {0x99, "B1"}, {0x9A, "B3"}, {0x9B, "C4"}, {0x9C, "C6"},
      {0xA1, "A3"}, {0xA2, "A4"}, {0xA3, "A6"}, {0xA4, "A7"}, {0xA5, "A8"}, {0xA6, "AA"}, {0xA7, "AB"},
      {0xA8, "AC"}, {0xAA, "F7"},
      {0xAB, "DC"}, {0xAC, "DD"}, {0xAD, "DE"}, {0xAE, "DF"}, {0xAF, "E0"}, {0xB0, "E1"}, {0xB1, "E2"},
      {0xB2, "E3"}, {0xB3, "E4"}, {0xB4, "E5"}, {0xB5, "E6"}, {0xB6, "E5 F7"}, {0xB7, "E7"},
      {0xB8, "E8"}, {0xB9, "E9"}, {0xBA, "EA"}, {0xBB, "EB"}, {0xBC, "EC"}, {0xBD, "ED"}, {0xBE, "EE"},
      {0xBF, "EF"}, {0xC0, "F0"}, {0xC1, "F1"}, {0xC2, "F2"}, {0xC3, "F3"}, {0xC4, "F4"}, {0xC5, "F5"},
      {0xC6, "F6"}, {0xC7, "F7"}, {0xC8, "F8"}, {0xC9, "F9"},
      {0xCA, "AE"}, {0xCB, "AF"}, {0xCC, "B0"}, {0xCD, "B2"}, {0xCE, "B4"}, {0xCF, "B5"}, {0xD0, "B6"},
      {0xD1, "B8"}, {0xD2, "B9"}, {0xD3, "BA"}, {0xD4, "BB"}, {0xD5, "BC"}, {0xD6, "BD"}, {0xD7, "BE"},
      {0xD8, "BF"}, {0xD9, "C0"}, {0xDA, "C1"}, {0xDB, "C2"}, {0xDC, "C3"}, {0xDD, "C5"}, {0xDE, "C7"},
      {0xDF, "C8"}, {0xE0, "C9"}, {0xE1, "CB"}, {0xE2, "CC"}, {0xE3, "CD"}, {0xE4, "CE"}, {0xE5, "CF"},
      {0xE6, "D6"}, {0xE7, "D7"}, {0xE8, "D8"}, {0xE9, "D9"}, {0xEA, "DA"}, {0xEB, "DB"},
      {0xEC, "E8 A2"}, {0xED, "E9 A2"}, {0xEE, "EA A2"}, {0xEF, "EB A2"}, {0xF0, "EC A2"}, {0xF1, "ED A2"},
      {0xF2, "EE A2"}, {0xF3, "EF A2"}, {0xF4, "F0 A2"}, {0xF5, "F1 A2"}, {0xF6, "F2 A2"}, {0xF7, "F3 A2"},
      {0xF8, "F4 A2"}, {0xF9, "F5 A2"}, {0xFA, "F6 A2"}, {0xFB, "F7 A2"}, {0xFC, "F8 A2"}, {0xFD, "F9 A2"},
  };
  // Bytes with no TAB form (numerals, quotation marks, unassigned codes).
  for (int b : {0x7F, 0x80, 0x81, 0xA9, 0xFE, 0xFF}) m[b] = "";
  for (int b = 0x8D; b <= 0x98; ++b) m[b] = "";
  for (int b = 0x9D; b <= 0xA0; ++b) m[b] = "";
  return m;
}

TEST(TsciiToTab, EveryByteValue) {
  const auto high = expectedHighBytes();
  ASSERT_EQ(high.size(), 129u);  // 0x7F..0xFF
  EXPECT_EQ(TsciiToTab(std::string(1, '\0')), "") << "NUL has no TAB form";
  for (int b = 0x01; b <= 0x7E; ++b)
    EXPECT_EQ(TsciiToTab(std::string(1, char(b))), std::string(1, char(b))) << "ASCII " << b;
  for (const auto& [b, tab] : high)
    EXPECT_EQ(show(TsciiToTab(std::string(1, char(b)))), tab) << "TSCII byte " << std::hex << b;
}

TEST(TsciiToTab, Texts) {
  struct Case {
    const char* name;
    std::string in, want;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"ASCII with line breaks and tabs", "Tolvan 1.0\r\n\tline two\n", "Tolvan 1.0\r\n\tline two\n"},
      {"k with pulli", hex("EC"), hex("E8 A2")},
      {"nnn with pulli", hex("FD"), hex("F9 A2")},
      {"only curly quotes are dropped", hex("91 92 93 94"), ""},
      {"prefix sign e stays before its consonant", hex("A6 B8"), hex("AA E8")},
      {"ko keeps visual order", hex("A6 B8 A1"), hex("AA E8 A3")},
      {"au length mark and lla share F7", hex("AA C7"), hex("F7 F7")},
      // Vowel au is o followed by the au length mark, not o with a pulli.
      {"vowel au", hex("B6"), hex("E5 F7")},
      {"word tamil", hex("BE C1 FA"), hex("EE F1 F6 A2")},
      {"dropped bytes inside text", "a" + hex("FF") + "b" + hex("80"), "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(TsciiToTab(c.in)), show(c.want)) << c.name;
}

TEST(TsciiToTab, OutputNeverMoreThanTwiceInput) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const std::string out = TsciiToTab(all + all);
  EXPECT_LE(out.size(), 2 * all.size() * 2);
  EXPECT_EQ(out, TsciiToTab(all) + TsciiToTab(all));
}

}  // namespace
