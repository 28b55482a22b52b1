// Anjal to TSCII: the whole 0x80-0xFF table, the 0x96 modifier, and the
// report of bytes without a mapping.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/convert/converters.h"
#include "test_util.h"

using convert_test::hex;
using convert_test::show;
using tolvan::AnjalToTscii;

namespace {

// Anjal byte, TSCII bytes, for 0x80..0xFF (0x96, 0xA0 and 0xB7 checked apart).
const std::pair<int, const char*> kTable[] = {
    {0x80, "A8"},    {0x81, "AB"},    {0x82, "AC"},    {0x83, "AD"},    {0x84, "AE"},    {0x85, "AF"},
    {0x86, "B0"},    {0x87, "B1"},    {0x88, "B2"},    {0x89, "B3"},    {0x8A, "B4"},    {0x8B, "B5"},
    {0x8C, "B7"},    {0x8D, "B8"},    {0x8E, "B8 A2"}, {0x8F, "B8 A3"}, {0x90, "CC"},    {0x91, "A1"},
    {0x92, "A2"},    {0x93, "A3"},    {0x94, "A4"},    {0x95, "A5"},    {0x97, "A6"},    {0x98, "DC"},
    {0x99, "EC"},    {0x9A, "B9"},    {0x9B, "ED"},    {0x9C, "BA"},    {0x9D, "BA A2"}, {0x9E, "BA A3"},
    {0x9F, "CD"},    {0xA1, "DD"},    {0xA2, "EE"},    {0xA3, "BB"},    {0xA4, "EF"},    {0xA5, "BC"},
    {0xA6, "CA"},    {0xA7, "CB"},    {0xA8, "CE"},    {0xA9, "DE"},    {0xAA, "F0"},    {0xAB, "BD"},
    {0xAC, "BD A2"}, {0xAD, "BD A3"}, {0xAE, "CF"},    {0xAF, "F1"},    {0xB0, "BE"},    {0xB1, "BE A2"},
    {0xB2, "BE A3"}, {0xB3, "D0"},    {0xB4, "F2"},    {0xB5, "BF"},    {0xB6, "BF A2"}, {0xB8, "D1"},
    {0xB9, "F3"},    {0xBA, "C0"},    {0xBB, "C0 A2"}, {0xBC, "C0 A3"}, {0xBD, "D2"},    {0xBE, "E2"},
    {0xBF, "F4"},    {0xC0, "C1"},    {0xC1, "C1 A2"}, {0xC2, "C1 A3"}, {0xC3, "D3"},    {0xC4, "E3"},
    {0xC5, "F5"},    {0xC6, "C2"},    {0xC7, "C2 A2"}, {0xC8, "C2 A3"}, {0xC9, "D4"},    {0xCA, "E4"},
    {0xCB, "F6"},    {0xCC, "C3"},    {0xCD, "C3 A2"}, {0xCE, "C3 A3"}, {0xCF, "D5"},    {0xD0, "E5"},
    {0xD1, "F7"},    {0xD2, "C4"},    {0xD3, "C4 A2"}, {0xD4, "C4 A3"}, {0xD5, "D6"},    {0xD6, "F8"},
    {0xD7, "C5"},    {0xD8, "C5 A2"}, {0xD9, "C5 A3"}, {0xDA, "D7"},    {0xDB, "E7"},    {0xDC, "F9"},
    {0xDD, "C6"},    {0xDE, "C6 A2"}, {0xDF, "C6 A3"}, {0xE0, "D8"},    {0xE1, "E8"},    {0xE2, "FA"},
    {0xE3, "C7"},    {0xE4, "C7 A2"}, {0xE5, "C7 A3"}, {0xE6, "D9"},    {0xE7, "E9"},    {0xE8, "FB"},
    {0xE9, "C8"},    {0xEA, "C8 A2"}, {0xEB, "C8 A3"}, {0xEC, "DA"},    {0xED, "FC"},    {0xEE, "C9"},
    {0xEF, "C9 A2"}, {0xF0, "C9 A3"}, {0xF1, "DB"},    {0xF2, "FD"},    {0xF3, "83"},    {0xF4, "88"},
    {0xF5, "84"},    {0xF6, "89"},    {0xF7, "85"},    {0xF8, "8A"},    {0xF9, "86"},    {0xFA, "8B"},
    {0xFB, "87"},    {0xFC, "8C"},    {0xFD, "82"},    {0xFE, "A7"},    {0xFF, "BF A3"},
};

using Reports = std::vector<std::pair<size_t, unsigned char>>;

std::string convert(const std::string& in, Reports* reports = nullptr) {
  return AnjalToTscii(in, [reports](size_t off, unsigned char b) {
    if (reports) reports->emplace_back(off, b);
  });
}

TEST(AnjalToTscii, EveryByteValue) {
  ASSERT_EQ(std::size(kTable), 125u);
  for (auto [b, tscii] : kTable) {
    Reports r;
    EXPECT_EQ(show(convert(std::string(1, char(b)), &r)), tscii) << "Anjal byte " << std::hex << b;
    EXPECT_TRUE(r.empty());
  }
  for (int b = 0x01; b <= 0x7E; ++b) EXPECT_EQ(convert(std::string(1, char(b))), std::string(1, char(b)));
  for (int b : {0x00, 0x96, 0xB7}) {
    Reports r;
    EXPECT_EQ(convert(std::string(1, char(b)), &r), "") << b;
    EXPECT_TRUE(r.empty()) << b;
  }
}

TEST(AnjalToTscii, Texts) {
  const struct {
    const char* name;
    std::string in, want;
  } cases[] = {
      {"ASCII, digits and line breaks", "abc 123\r\n", "abc 123\r\n"},
      {"ki", hex("8E"), hex("B8 A2")},
      {"nii", hex("FF"), hex("BF A3")},
      {"tu lengthened", hex("B3 96"), hex("E0")},
      {"nu lengthened", hex("B8 96"), hex("E1")},
      {"lu lengthened", hex("D5 96"), hex("E6")},
      {"rru lengthened", hex("EC 96"), hex("EA")},
      {"nnnu lengthened", hex("F1 96"), hex("EB")},
      {"0x96 at the start", hex("96 B0"), hex("BE")},
      {"0x96 after a byte not in its table", hex("8D 96"), hex("B8")},
      {"second 0x96 has no effect", hex("B3 96 96"), hex("E0")},
      {"0xB7 vanishes", hex("B0 B7 B0"), hex("BE BE")},
      {"prefix sign stays first", hex("97 8D"), hex("A6 B8")},
      {"NUL is dropped", std::string("a\0b", 3), "ab"},
  };
  for (const auto& c : cases) {
    Reports r;
    EXPECT_EQ(show(convert(c.in, &r)), show(c.want)) << c.name;
    EXPECT_TRUE(r.empty()) << c.name;
  }
}

TEST(AnjalToTscii, UnmappedBytesAreReportedAndWrittenAsX) {
  Reports r;
  EXPECT_EQ(convert(hex("8D A0 8D 7F A0"), &r), hex("B8") + "X" + hex("B8") + "XX");
  EXPECT_EQ(r, (Reports{{1, 0xA0}, {3, 0x7F}, {4, 0xA0}}));
  // Without a callback the conversion is the same.
  EXPECT_EQ(AnjalToTscii(hex("A0 7F")), "XX");
  EXPECT_EQ(tolvan::AnjalUnmappedMessage(0xA0), "\xA0 160");
  EXPECT_EQ(tolvan::AnjalUnmappedMessage(0x7F), "\x7F 127");
}

}  // namespace
