// Converting a text in pieces gives the same bytes as converting it whole,
// wherever the pieces are cut, including inside a Roman key, between a Mylai
// consonant and its pulli key, and before a modifier.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/convert/converters.h"
#include "test_util.h"

using convert_test::show;
using tolvan::Converter;
using tolvan::ConvertStream;

namespace {

using Reports = std::vector<std::pair<size_t, unsigned char>>;

std::string whole(Converter which, const std::string& in, Reports* reports) {
  auto cb = [reports](size_t off, unsigned char b) { reports->emplace_back(off, b); };
  switch (which) {
    case Converter::TsciiToTab: return tolvan::TsciiToTab(in);
    case Converter::MylaiToTscii: return tolvan::MylaiToTscii(in);
    case Converter::AnjalToTscii: return tolvan::AnjalToTscii(in, cb);
    case Converter::RomanToTscii: return tolvan::RomanToTscii(in);
  }
  return {};
}

// Feeds `in` cut at the given offsets.
std::string pieces(Converter which, const std::string& in, const std::vector<size_t>& cuts, Reports* reports) {
  ConvertStream s(which, [reports](size_t off, unsigned char b) { reports->emplace_back(off, b); });
  std::string out;
  size_t at = 0;
  for (size_t c : cuts) {
    s.feed(std::string_view(in).substr(at, c - at), out);
    at = c;
  }
  s.feed(std::string_view(in).substr(at), out);
  s.finish(out);
  return out;
}

struct Source {
  Converter which;
  const char* alphabet;  // bytes that exercise the converter's context rules
};

const Source kSources[] = {
    {Converter::TsciiToTab, "ab\x00\xB6\xEC\xA6\xB8\x91\xFF"},
    {Converter::MylaiToTscii, "kfgpyvTN{}LBW<>\\fjx e"},
    {Converter::AnjalToTscii, "\xB3\xB8\xD5\xEC\xF1\x96\x96\xA0\x7F\xB7\x8E a"},
    {Converter::RomanToTscii, "kSaiaujn2SRIhTtnmNLRz .\xB8"},
};

TEST(ConvertStream, EveryCutOfShortTexts) {
  std::mt19937 rng(7);
  for (const auto& src : kSources) {
    // The alphabets hold NUL for TAB only; strlen would stop there.
    const std::string alpha = src.which == Converter::TsciiToTab ? std::string(src.alphabet, 9) : src.alphabet;
    for (int round = 0; round < 300; ++round) {
      std::string in(rng() % 12, ' ');
      for (char& c : in) c = alpha[rng() % alpha.size()];
      Reports want, got;
      const std::string expected = whole(src.which, in, &want);
      for (size_t a = 0; a <= in.size(); ++a)
        for (size_t b = a; b <= in.size(); ++b) {
          got.clear();
          ASSERT_EQ(show(pieces(src.which, in, {a, b}, &got)), show(expected))
              << int(src.which) << " input " << show(in) << " cut at " << a << "," << b;
          ASSERT_EQ(got, want);
        }
    }
  }
}

TEST(ConvertStream, ByteByByteAndLargeText) {
  std::mt19937 rng(11);
  for (const auto& src : kSources) {
    const std::string alpha = src.which == Converter::TsciiToTab ? std::string(src.alphabet, 9) : src.alphabet;
    std::string in(200000, ' ');
    for (char& c : in) c = alpha[rng() % alpha.size()];
    Reports want, got;
    const std::string expected = whole(src.which, in, &want);
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < 3000; ++i) everyByte.push_back(i);
    std::vector<size_t> random;
    for (size_t at = 0; (at += rng() % 9000) < in.size();) random.push_back(at);
    for (const auto* cuts : {&everyByte, &random}) {
      got.clear();
      EXPECT_EQ(pieces(src.which, in, *cuts, &got), expected) << int(src.which);
      EXPECT_EQ(got, want) << int(src.which);
    }
  }
}

TEST(ConvertStream, HoldsBackAtMostThreeBytes) {
  const struct {
    Converter which;
    std::string in;
    size_t settled;  // bytes of output available before finish()
  } cases[] = {
      {Converter::RomanToTscii, "kSa", 0},    // "kSai" or "kSau" may follow
      {Converter::RomanToTscii, "akSa", 1},  // "a" is settled, "kSa" waits
      {Converter::MylaiToTscii, "tk", 1},     // k may get a pulli "f"
      {Converter::MylaiToTscii, "tkf", 1},    // a modifier after "f" changes nothing, but "f" is held with k
      {Converter::AnjalToTscii, "\x8D\xB3", 1},  // tu may be lengthened
      {Converter::TsciiToTab, "\xEC", 2},
  };
  for (const auto& c : cases) {
    ConvertStream s(c.which);
    std::string out;
    s.feed(c.in, out);
    EXPECT_EQ(out.size(), c.settled) << show(c.in);
    s.finish(out);
    Reports none;
    EXPECT_EQ(out, whole(c.which, c.in, &none)) << show(c.in);
  }
}

TEST(ConvertStream, ReusableAfterFinish) {
  ConvertStream s(Converter::AnjalToTscii);
  std::string out;
  s.feed("\xB3", out);
  s.finish(out);
  s.feed("\x96", out);  // a new text: nothing before it to lengthen
  s.finish(out);
  EXPECT_EQ(show(out), "D0");
}

}  // namespace
