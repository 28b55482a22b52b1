// Fuzz target for the TSCII <-> Unicode codec. Arbitrary bytes go through
// both directions (as TSCII and as UTF-8, under both unmappable policies) and
// in two pieces cut at an input-chosen place; the properties checked:
//   - TsciiToUnicode gives valid UTF-8 with no pair that Unicode composition
//     would join, and converting back gives the input unless a warning said a
//     spelling comes back in its canonical form;
//   - canonical text (TSCII that has been through both directions) is a fixed
//     point of the round trip;
//   - UnicodeToTscii never gives more bytes than it was given;
//   - two pieces give exactly the bytes and warnings of one call;
//   - every vector level gives the bytes and warnings of the scalar code,
//     whole and in pieces, on the input and on the input repeated to a few
//     hundred bytes behind a prefix of 0..63 bytes, so that every letter of it
//     meets the edges of the 64-byte blocks the vector code works in.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "core/convert/unicode_simd.h"
#include "core/convert/unicode_stream.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "unicode fuzz: %s\n", what);
  std::abort();
}

bool validUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// No Tamil pair that canonical composition joins (e/ee + aa, e/o + au length).
bool noComposablePair(std::string_view s) {
  auto tamil = [&](size_t i) -> int {
    if (i + 3 > s.size() || static_cast<unsigned char>(s[i]) != 0xE0) return -1;
    const auto b1 = static_cast<unsigned char>(s[i + 1]), b2 = static_cast<unsigned char>(s[i + 2]);
    if (b1 != 0xAE && b1 != 0xAF) return -1;
    return 0x0B80 + ((b1 & 1) << 6) + (b2 & 0x3F);
  };
  for (size_t i = 0; i + 6 <= s.size(); ++i) {
    const int a = tamil(i), b = tamil(i + 3);
    if (a < 0 || b < 0) continue;
    if ((a == 0x0BC6 || a == 0x0BC7) && b == 0x0BBE) return false;
    if ((a == 0x0BC6 || a == 0x0B92) && b == 0x0BD7) return false;
  }
  return true;
}

struct Warnings {
  std::vector<std::pair<size_t, std::string>> list;
  bool secondSpelling = false;
  tolvan::BridgeWarning fn() {
    return [this](size_t off, const std::string& what) {
      list.emplace_back(off, what);
      if (what.find("converts back") != std::string::npos) secondSpelling = true;
    };
  }
};

template <class Stream>
std::string inTwoPieces(Stream& stream, std::string_view in, size_t cut) {
  std::string out;
  stream.feed(in.substr(0, cut), out);
  stream.feed(in.substr(cut), out);
  stream.finish(out);
  return out;
}

using tolvan::unicode_simd::BridgeLevel;

struct Result {
  std::string out;
  std::vector<std::pair<size_t, std::string>> warnings;
  bool operator==(const Result&) const = default;
};

// Both directions of `in`, whole and in two pieces cut at `cut`, at one level.
std::vector<Result> convertAt(BridgeLevel level, std::string_view in, size_t cut) {
  tolvan::unicode_simd::SetBridgeLevel(level);
  std::vector<Result> r;
  auto add = [&](auto convert) {
    Warnings w;
    Result x;
    x.out = convert(w.fn());
    x.warnings = std::move(w.list);
    r.push_back(std::move(x));
  };
  add([&](const tolvan::BridgeWarning& f) { return tolvan::TsciiToUnicode(in, f); });
  add([&](const tolvan::BridgeWarning& f) {
    tolvan::TsciiToUnicodeStream s(f);
    return inTwoPieces(s, in, cut);
  });
  for (tolvan::Unmappable policy : {tolvan::Unmappable::KeepUtf8, tolvan::Unmappable::Drop}) {
    add([&](const tolvan::BridgeWarning& f) { return tolvan::UnicodeToTscii(in, f, policy); });
    add([&](const tolvan::BridgeWarning& f) {
      tolvan::UnicodeToTsciiStream s(f, policy);
      return inTwoPieces(s, in, cut);
    });
  }
  return r;
}

void levelsAgree(std::string_view in, size_t cut) {
  const auto levels = tolvan::unicode_simd::AvailableBridgeLevels();
  const BridgeLevel before = tolvan::unicode_simd::ActiveBridgeLevel();
  const std::vector<Result> scalar = convertAt(BridgeLevel::Scalar, in, cut);
  for (BridgeLevel level : levels)
    if (level != BridgeLevel::Scalar && convertAt(level, in, cut) != scalar) {
      std::fprintf(stderr, "level %s:\n", tolvan::unicode_simd::BridgeLevelName(level));
      fail("a vector level differs from the scalar code");
    }
  tolvan::unicode_simd::SetBridgeLevel(before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const size_t cut = size ? data[0] % (size + 1) : 0;

  // Every level alike, on the input and on it repeated behind a prefix.
  levelsAgree(in, cut);
  if (size) {
    std::string tiled(data[size - 1] % 64, ' ');
    while (tiled.size() < 400) tiled += in;
    levelsAgree(tiled, cut + 130);
  }

  // As TSCII.
  Warnings w;
  const std::string u = tolvan::TsciiToUnicode(in, w.fn());
  if (!validUtf8(u)) fail("TsciiToUnicode gave invalid UTF-8");
  if (!noComposablePair(u)) fail("TsciiToUnicode gave text that is not NFC");
  const std::string back = tolvan::UnicodeToTscii(u);
  if (!w.secondSpelling && back != in) fail("round trip changed text without a warning");
  if (tolvan::TsciiToUnicode(back) != u) fail("canonical form reads differently");
  if (tolvan::UnicodeToTscii(tolvan::TsciiToUnicode(back)) != back) fail("canonical form is not a fixed point");
  {
    Warnings wp;
    tolvan::TsciiToUnicodeStream s(wp.fn());
    if (inTwoPieces(s, in, cut) != u || wp.list != w.list) fail("TSCII in two pieces differs from one call");
  }

  // As UTF-8 (or anything claiming to be).
  for (tolvan::Unmappable policy : {tolvan::Unmappable::KeepUtf8, tolvan::Unmappable::Drop}) {
    Warnings wu;
    const std::string t = tolvan::UnicodeToTscii(in, wu.fn(), policy);
    if (t.size() > in.size()) fail("UnicodeToTscii grew the text");
    Warnings wp;
    tolvan::UnicodeToTsciiStream s(wp.fn(), policy);
    if (inTwoPieces(s, in, cut) != t || wp.list != wu.list) fail("UTF-8 in two pieces differs from one call");
    const std::string canon = tolvan::UnicodeToTscii(tolvan::TsciiToUnicode(t));
    if (tolvan::UnicodeToTscii(tolvan::TsciiToUnicode(canon)) != canon) fail("canonicalised output is not stable");
  }
  return 0;
}
