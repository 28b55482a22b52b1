// The byte converters' vector path against their byte-by-byte path: the same
// bytes (and the same unmapped-byte reports) for random texts, texts rich in
// the bytes that look at their neighbour, every pair of byte values, and
// streams cut at every position.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "test_util.h"

using convert_test::show;
namespace simd = tolvan::convert_simd;

namespace {

// Runs f with the vector path off, then on; the two results.
template <class F>
auto bothPaths(F f) {
  const bool before = simd::SetVectorEnabled(false);
  auto scalar = f();
  simd::SetVectorEnabled(true);
  auto vector = f();
  simd::SetVectorEnabled(before);
  return std::make_pair(scalar, vector);
}

// Anjal output and the reports it made, as one string.
std::string anjalWithReports(const std::string& in) {
  std::string reports;
  std::string out = tolvan::AnjalToTscii(in, [&](size_t offset, unsigned char byte) {
    reports += std::to_string(offset) + ":" + std::to_string(byte) + " ";
  });
  return out + "|" + reports;
}

// A font map whose cells give zero, one or two bytes (those the vector path
// takes), drawn at random.
std::string randomShortMap(std::mt19937& rng) {
  tolvan::FontMap m;
  m.sourceFont = "A";
  m.targetFont = "B";
  for (unsigned c = 0x20; c < 0x100; ++c) {
    if (c == '\r' || c == '\n') continue;
    const unsigned len = rng() % 4;  // 3: no entry
    std::string cell;
    for (unsigned k = 0; k < len && len < 3; ++k) {
      char b;
      do b = char(rng());
      while (b == '\r' || b == '\n');
      cell += b;
    }
    m.cell(static_cast<unsigned char>(c)) = cell;
  }
  return tolvan::WriteFontMap(m);
}

struct Conv {
  const char* name;
  tolvan::Converter which;
  std::string (*run)(const std::string&);
  std::string favoured;  // bytes drawn more often: those that act on a neighbour
};

const Conv kConvs[] = {
    {"tab", tolvan::Converter::TsciiToTab, [](const std::string& s) { return tolvan::TsciiToTab(s); },
     std::string("\x00\xB6\xEC\xFD\x88\x41\x7F", 7)},
    {"mylai", tolvan::Converter::MylaiToTscii, [](const std::string& s) { return tolvan::MylaiToTscii(s); },
     std::string("fff<<>>\\\\kgpyvTNL{}BW$@\x00\x80\xF0", 27)},
    {"anjal", tolvan::Converter::AnjalToTscii, anjalWithReports,
     std::string("\x96\x96\x96\xB3\xB8\xD5\xEC\xF1\xB7\x7F\xA0\x8E\x41", 13)},
    // Roman: the characters that end or extend a key, and those of the
    // two-character consonants and the keys of their own.
    {"roman", tolvan::Converter::RomanToTscii, [](const std::string& s) { return tolvan::RomanToTscii(s); },
     "aaiiuuAIUeEoOjnn2kSSRIHTt .\x01"},
};

// Words in the Roman scheme with spaces and punctuation between them.
std::string romanWords(std::mt19937& rng, size_t n) {
  static const char* const kWords[] = {"vaNakkam", "tamiz", "jnAnam", "kSEttiram", "SRI", "SaNmukam", "manitan2",
                                       "aiyam", "auvai", "kai", "kau", "Oyvu", "tiruvaLLuvar", "pATTu", "Hari",
                                       "jnai", "kSaukku", "pon2ai", "2"};
  std::string s;
  while (s.size() < n) {
    s += kWords[rng() % std::size(kWords)];
    s += rng() % 8 ? " " : ".\r\n";
  }
  s.resize(n);
  return s;
}

std::string randomText(std::mt19937& rng, size_t n, const std::string& favoured) {
  std::string s(n, '\0');
  for (auto& c : s) c = (rng() % 2 && !favoured.empty()) ? favoured[rng() % favoured.size()] : char(rng());
  return s;
}

// Every byte followed by every byte: 128 KiB.
std::string everyPair() {
  std::string s;
  s.reserve(1 << 17);
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      s += char(a);
      s += char(b);
    }
  return s;
}

TEST(ConvertSimd, SameBytesAsScalar) {
  if (!simd::VectorAvailable()) GTEST_SKIP() << "no vector path on this processor";
  std::mt19937 rng(7);
  const std::string pairs = everyPair();
  for (const Conv& c : kConvs) {
    std::vector<std::string> texts = {pairs};
    // Lengths around the 64-byte blocks and the one byte the look-ahead
    // needs; uniform bytes, and bytes half of them favoured.
    for (size_t n : {0, 1, 63, 64, 65, 127, 128, 129, 130, 191, 192, 193, 1000, 4099, 70000})
      for (int k = 0; k < 3; ++k) texts.push_back(randomText(rng, n, k == 0 ? std::string() : c.favoured));
    if (c.which == tolvan::Converter::RomanToTscii)
      for (size_t n : {100, 1000, 70000}) texts.push_back(romanWords(rng, n));
    for (const std::string& text : texts) {
      const auto [scalar, vector] = bothPaths([&] { return c.run(text); });
      ASSERT_EQ(scalar, vector) << c.name << ", " << text.size() << " bytes: " << show(text.substr(0, 200));
    }
  }
}

// Keys whose handling in the vector path looks across positions, at every
// place in and across the 64-byte blocks and at the end of the part the
// vector path takes: letters of three bytes (the third goes out with the
// position after the key's start), and keys whose second character starts
// a key everywhere else ("jn", "kS", "n2", "SRI"), alone and after the
// character that could begin them; and bytes from 0x80 up beside keys.
TEST(ConvertSimd, KeysAtEveryOffset) {
  if (!simd::VectorAvailable()) GTEST_SKIP() << "no vector path on this processor";
  const std::string filler = "tamiz vaNakkam ko. ";
  for (const char* letter : {"ko", "kO", "kau", "jnO", "kSau", "So", "To", "n2au", "jna", "jjnjn", "kSkS", "kkSa",
                             "n2n2", "nn2", "SRISRI", "SSRI", "SR", "Rn2", "jn2", "aiauaa", "HSRIH",
                             // Bytes from 0x80 up (read as 0x7F, in no key) and 0x7F beside keys.
                             "k\xE1", "\xEBkai", "j\xEE", "S\xD2I", "k\x7Fo", "\x7F\xFFn2"})
    for (size_t pad = 0; pad < 140; ++pad)
      for (size_t tail : {0, 1, 2, 3, 4, 5, 64, 70}) {
        std::string text;
        while (text.size() < pad) text += filler[text.size() % filler.size()];
        text += letter;
        while (text.size() < pad + tail + 4) text += filler[text.size() % filler.size()];
        const auto [scalar, vector] = bothPaths([&] { return tolvan::RomanToTscii(text); });
        ASSERT_EQ(scalar, vector) << letter << " after " << pad << " bytes: " << show(text);
      }
}

TEST(ConvertSimd, StreamCutAtEveryPosition) {
  if (!simd::VectorAvailable()) GTEST_SKIP() << "no vector path on this processor";
  std::mt19937 rng(11);
  for (const Conv& c : kConvs) {
    const std::string text = randomText(rng, 300, c.favoured);
    const std::string want = bothPaths([&] { return c.run(text); }).first;
    const bool before = simd::SetVectorEnabled(true);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      std::string reports;
      tolvan::ConvertStream stream(c.which, [&](size_t offset, unsigned char byte) {
        reports += std::to_string(offset) + ":" + std::to_string(byte) + " ";
      });
      std::string out;
      stream.feed(text.substr(0, cut), out);
      stream.feed(text.substr(cut), out);
      stream.finish(out);
      if (c.which == tolvan::Converter::AnjalToTscii) out += "|" + reports;
      ASSERT_EQ(out, want) << c.name << ", cut at " << cut;
    }
    simd::SetVectorEnabled(before);
  }
}

TEST(ConvertSimd, FontMapSameBytesAsScalar) {
  if (!simd::VectorAvailable()) GTEST_SKIP() << "no vector path on this processor";
  std::mt19937 rng(5);
  const std::string pairs = everyPair();
  for (int m = 0; m < 20; ++m) {
    const tolvan::FontMapApplier applier(randomShortMap(rng));
    for (size_t n : {size_t(63), size_t(64), size_t(65), size_t(200), size_t(5000), pairs.size()}) {
      const std::string text = n == pairs.size() ? pairs : randomText(rng, n, "");
      const auto [scalar, vector] = bothPaths([&] { return applier.apply(text); });
      ASSERT_EQ(scalar, vector) << "map " << m << ", " << n << " bytes";
      ASSERT_EQ(vector.size(), applier.outputSize(text));
    }
  }
}

}  // namespace
