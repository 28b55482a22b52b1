// Anjal font encoding to TSCII. ASCII is copied; each Anjal letter byte gives
// one TSCII byte, or two for the consonants whose i and ii forms the Anjal
// font holds as one glyph; 0x96 lengthens the u form written just before it.
// Bytes the table does not cover are reported and written as "X".
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"
#include "core/convert/string_room.h"

namespace tolvan {
namespace {

struct AnjalEntry {
  uint8_t anjal, t0, t1;  // t1 == 0: one TSCII byte
};

constexpr uint8_t kSignI = 0xA2, kSignII = 0xA3;

constexpr AnjalEntry kAnjal[] = {
    {0x80, 0xA8, 0}, {0x81, 0xAB, 0}, {0x82, 0xAC, 0}, {0x83, 0xAD, 0}, {0x84, 0xAE, 0},
    {0x85, 0xAF, 0}, {0x86, 0xB0, 0}, {0x87, 0xB1, 0}, {0x88, 0xB2, 0}, {0x89, 0xB3, 0},
    {0x8A, 0xB4, 0}, {0x8B, 0xB5, 0}, {0x8C, 0xB7, 0}, {0x8D, 0xB8, 0}, {0x8E, 0xB8, kSignI},
    {0x8F, 0xB8, kSignII}, {0x90, 0xCC, 0}, {0x91, 0xA1, 0}, {0x92, 0xA2, 0}, {0x93, 0xA3, 0},
    {0x94, 0xA4, 0}, {0x95, 0xA5, 0}, {0x97, 0xA6, 0}, {0x98, 0xDC, 0}, {0x99, 0xEC, 0},
    {0x9A, 0xB9, 0}, {0x9B, 0xED, 0}, {0x9C, 0xBA, 0}, {0x9D, 0xBA, kSignI}, {0x9E, 0xBA, kSignII},
    {0x9F, 0xCD, 0}, {0xA1, 0xDD, 0}, {0xA2, 0xEE, 0}, {0xA3, 0xBB, 0}, {0xA4, 0xEF, 0},
    {0xA5, 0xBC, 0}, {0xA6, 0xCA, 0}, {0xA7, 0xCB, 0}, {0xA8, 0xCE, 0}, {0xA9, 0xDE, 0},
    {0xAA, 0xF0, 0}, {0xAB, 0xBD, 0}, {0xAC, 0xBD, kSignI}, {0xAD, 0xBD, kSignII}, {0xAE, 0xCF, 0},
    {0xAF, 0xF1, 0}, {0xB0, 0xBE, 0}, {0xB1, 0xBE, kSignI}, {0xB2, 0xBE, kSignII}, {0xB3, 0xD0, 0},
    {0xB4, 0xF2, 0}, {0xB5, 0xBF, 0}, {0xB6, 0xBF, kSignI}, {0xB8, 0xD1, 0}, {0xB9, 0xF3, 0},
    {0xBA, 0xC0, 0}, {0xBB, 0xC0, kSignI}, {0xBC, 0xC0, kSignII}, {0xBD, 0xD2, 0}, {0xBE, 0xE2, 0},
    {0xBF, 0xF4, 0}, {0xC0, 0xC1, 0}, {0xC1, 0xC1, kSignI}, {0xC2, 0xC1, kSignII}, {0xC3, 0xD3, 0},
    {0xC4, 0xE3, 0}, {0xC5, 0xF5, 0}, {0xC6, 0xC2, 0}, {0xC7, 0xC2, kSignI}, {0xC8, 0xC2, kSignII},
    {0xC9, 0xD4, 0}, {0xCA, 0xE4, 0}, {0xCB, 0xF6, 0}, {0xCC, 0xC3, 0}, {0xCD, 0xC3, kSignI},
    {0xCE, 0xC3, kSignII}, {0xCF, 0xD5, 0}, {0xD0, 0xE5, 0}, {0xD1, 0xF7, 0}, {0xD2, 0xC4, 0},
    {0xD3, 0xC4, kSignI}, {0xD4, 0xC4, kSignII}, {0xD5, 0xD6, 0}, {0xD6, 0xF8, 0}, {0xD7, 0xC5, 0},
    {0xD8, 0xC5, kSignI}, {0xD9, 0xC5, kSignII}, {0xDA, 0xD7, 0}, {0xDB, 0xE7, 0}, {0xDC, 0xF9, 0},
    {0xDD, 0xC6, 0}, {0xDE, 0xC6, kSignI}, {0xDF, 0xC6, kSignII}, {0xE0, 0xD8, 0}, {0xE1, 0xE8, 0},
    {0xE2, 0xFA, 0}, {0xE3, 0xC7, 0}, {0xE4, 0xC7, kSignI}, {0xE5, 0xC7, kSignII}, {0xE6, 0xD9, 0},
    {0xE7, 0xE9, 0}, {0xE8, 0xFB, 0}, {0xE9, 0xC8, 0}, {0xEA, 0xC8, kSignI}, {0xEB, 0xC8, kSignII},
    {0xEC, 0xDA, 0}, {0xED, 0xFC, 0}, {0xEE, 0xC9, 0}, {0xEF, 0xC9, kSignI}, {0xF0, 0xC9, kSignII},
    {0xF1, 0xDB, 0}, {0xF2, 0xFD, 0}, {0xF3, 0x83, 0}, {0xF4, 0x88, 0}, {0xF5, 0x84, 0},
    {0xF6, 0x89, 0}, {0xF7, 0x85, 0}, {0xF8, 0x8A, 0}, {0xF9, 0x86, 0}, {0xFA, 0x8B, 0},
    {0xFB, 0x87, 0}, {0xFC, 0x8C, 0}, {0xFD, 0x82, 0}, {0xFE, 0xA7, 0}, {0xFF, 0xBF, kSignII},
};
static_assert(std::size(kAnjal) == 125, "95 single and 30 pair entries");

// 0x96 after one of these u forms turns it into the uu form.
constexpr uint8_t kLengthener = 0x96;
struct Lengthen {
  uint8_t preceding, replacement;
};
constexpr Lengthen kLengthen[] = {
    {0xB3, 0xE0}, {0xB8, 0xE1}, {0xD5, 0xE6}, {0xEC, 0xEA}, {0xF1, 0xEB},
};

constexpr uint8_t kDroppedLetter = 0xB7;
constexpr uint8_t kUnmappedMark = 'X';

struct Out {
  uint8_t b0 = 0, b1 = 0, len = 0;
  uint8_t special = 0;  // 1: lengthener, 2: unmapped
};

struct Tables {
  std::array<Out, 256> out{};
  std::array<uint8_t, 256> lengthened{};  // by preceding byte; 0 = no effect
};

constexpr Tables makeTables() {
  Tables t{};
  for (int c = 0; c < 256; ++c) t.out[c] = {kUnmappedMark, 0, 1, 2};
  t.out[0x00] = {};
  for (int c = 0x01; c <= 0x7E; ++c) t.out[c] = {uint8_t(c), 0, 1, 0};
  for (auto e : kAnjal) t.out[e.anjal] = {e.t0, e.t1, uint8_t(e.t1 ? 2 : 1), 0};
  t.out[kDroppedLetter] = {};
  t.out[kLengthener] = {0, 0, 0, 1};
  for (auto l : kLengthen) t.lengthened[l.preceding] = l.replacement;
  return t;
}

constexpr Tables kT = makeTables();

// The entries packed for the conversion loop: the two bytes in bits 0-15
// (first byte lowest), the count in bits 16-17, and in bits 24-31 whether
// the byte needs more than writing (the lengthener, an unmapped byte).
constexpr std::array<uint32_t, 256> makePacked() {
  std::array<uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    const Out o = kT.out[c];
    t[c] = o.b0 | uint32_t(o.b1) << 8 | uint32_t(o.len) << 16 | uint32_t(o.special) << 24;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kPacked = makePacked();
static_assert(std::endian::native == std::endian::little);

// The same for the vector path; it leaves blocks with an unmapped byte to the
// loop below, which reports them.
constexpr convert_simd::AnjalTables makeVectorTables() {
  convert_simd::AnjalTables t{};
  for (int c = 0; c < 256; ++c) {
    const Out o = kT.out[c];
    t.pair.first[c] = o.b0;
    t.pair.second[c] = o.b1;
    t.pair.len[c] = o.len;
    t.lengthened[c] = kT.lengthened[c];
    t.stop[c] = o.special == 2;
  }
  t.lengthener = kLengthener;
  return t;
}
constexpr convert_simd::AnjalTables kVectorTables = makeVectorTables();

// The letters the lengthener acts on write one byte each.
constexpr bool lengthenedWriteOne() {
  for (auto l : kLengthen)
    if (kT.out[l.preceding].len != 1) return false;
  return true;
}
static_assert(lengthenedWriteOne());

// Only 0x7F and 0xA0 are left without an entry.
constexpr int countUnmapped() {
  int n = 0;
  for (auto o : kT.out) n += o.special == 2;
  return n;
}
static_assert(countUnmapped() == 2);

}  // namespace

namespace convert_detail {

void anjalToTsciiAppend(std::string_view in, size_t baseOffset,
                        const std::function<void(size_t, unsigned char)>& onUnmapped, std::string& out) {
  const size_t n = in.size();
  const size_t base = out.size();
  // Two bytes are stored for every input byte; two spare bytes at the end.
  resizeUninit(out, base + 2 * n + 2);
  auto* o = reinterpret_cast<uint8_t*>(out.data()) + base;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  size_t j = 0;
  // The rare bytes: the lengthener changes the byte written before it, an
  // unmapped byte is reported.
  auto special = [&](size_t i, uint8_t c) {
    if (c == kLengthener) {
      const uint8_t r = i ? kT.lengthened[p[i - 1]] : 0;
      if (r) o[j - 1] = r;
    } else if (onUnmapped) {
      onUnmapped(baseOffset + i, c);
    }
  };
  auto put = [&](size_t i, uint8_t c) {
    const uint32_t e = kPacked[c];
    const uint16_t two = uint16_t(e);
    std::memcpy(o + j, &two, 2);
    j += (e >> 16) & 3;
    if (e >> 24) [[unlikely]]
      special(i, c);
  };
  size_t i = 0;
  const auto kernel = convert_simd::AnjalKernel();
  for (;;) {
    // The vector path converts up to a block with an unmapped byte; a
    // lengthener right after its last block is seen there and again below,
    // which writes the same byte over itself.
    if (kernel) i += kernel(p + i, n - i, kVectorTables, o + j, j);
    // Eight input bytes per load: stores through o may alias p as far as the
    // compiler knows, so reading bytes one by one would reload after each store.
    const size_t until = kernel ? (n - i < 64 ? n - i : 64) & ~size_t(7) : n - i;
    const size_t stop = i + until;
    for (; i + 8 <= stop; i += 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
#pragma GCC unroll 8
      for (unsigned k = 0; k < 8; ++k) put(i + k, uint8_t(w >> (8 * k)));
    }
    if (!kernel || n - i < 65) break;
  }
  for (; i < n; ++i) put(i, p[i]);
  out.resize(base + j);
}

size_t anjalSafeSplit(std::string_view in) {
  for (size_t k = in.size(); k-- > 1;) {
    const bool reachesBack = uint8_t(in[k]) == kLengthener && kT.lengthened[uint8_t(in[k - 1])];
    if (!reachesBack) return k;
  }
  return 0;
}

}  // namespace convert_detail

std::string AnjalToTscii(std::string_view in, const std::function<void(size_t, unsigned char)>& onUnmapped) {
  std::string out;
  convert_detail::anjalToTsciiAppend(in, 0, onUnmapped, out);
  return out;
}

std::string AnjalUnmappedMessage(unsigned char byte) {
  return std::string(1, char(byte)) + " " + std::to_string(unsigned(byte));
}

}  // namespace tolvan
