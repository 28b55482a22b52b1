// TSCII to TAB: one table lookup per byte, each TSCII byte giving zero, one
// or two TAB bytes. Bytes are never reordered.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"
#include "core/convert/string_room.h"

namespace tolvan {
namespace {

// One table entry: up to two TAB bytes and how many of them count.
struct TabOut {
  uint8_t b0 = 0, b1 = 0, len = 0;
};

constexpr uint8_t kTabPulli = 0xA2;

struct TabPair {
  uint8_t tscii, tab;
};

// Letters, vowel signs and ligatures that map to one TAB byte.
constexpr TabPair kSingle[] = {
    {0x82, 0xFF}, {0x83, 0xFC}, {0x84, 0xFB}, {0x85, 0xFA}, {0x86, 0xFD}, {0x87, 0xFE},
    {0x99, 0xB1}, {0x9A, 0xB3}, {0x9B, 0xC4}, {0x9C, 0xC6},
    {0xA1, 0xA3}, {0xA2, 0xA4}, {0xA3, 0xA6}, {0xA4, 0xA7}, {0xA5, 0xA8}, {0xA6, 0xAA},
    {0xA7, 0xAB}, {0xA8, 0xAC}, {0xAA, 0xF7},
    {0xAB, 0xDC}, {0xAC, 0xDD}, {0xAD, 0xDE}, {0xAE, 0xDF}, {0xAF, 0xE0}, {0xB0, 0xE1},
    {0xB1, 0xE2}, {0xB2, 0xE3}, {0xB3, 0xE4}, {0xB4, 0xE5}, {0xB5, 0xE6}, {0xB7, 0xE7},
    {0xCA, 0xAE}, {0xCB, 0xAF},
    {0xCC, 0xB0}, {0xCD, 0xB2}, {0xCE, 0xB4}, {0xCF, 0xB5}, {0xD0, 0xB6}, {0xD1, 0xB8},
    {0xD2, 0xB9}, {0xD3, 0xBA}, {0xD4, 0xBB}, {0xD5, 0xBC}, {0xD6, 0xBD}, {0xD7, 0xBE},
    {0xD8, 0xBF}, {0xD9, 0xC0}, {0xDA, 0xC1}, {0xDB, 0xC2},
    {0xDC, 0xC3}, {0xDD, 0xC5}, {0xDE, 0xC7}, {0xDF, 0xC8}, {0xE0, 0xC9}, {0xE1, 0xCB},
    {0xE2, 0xCC}, {0xE3, 0xCD}, {0xE4, 0xCE}, {0xE5, 0xCF}, {0xE6, 0xD6}, {0xE7, 0xD7},
    {0xE8, 0xD8}, {0xE9, 0xD9}, {0xEA, 0xDA}, {0xEB, 0xDB},
};

// Grantha consonants with pulli: the TAB consonant, then the TAB pulli sign.
constexpr TabPair kGranthaPulli[] = {
    {0x88, 0xFC}, {0x89, 0xFB}, {0x8A, 0xFA}, {0x8B, 0xFD}, {0x8C, 0xFE},
};

constexpr std::array<TabOut, 256> makeTable() {
  std::array<TabOut, 256> t{};
  for (int c = 0x01; c <= 0x7E; ++c) t[c] = {uint8_t(c), 0, 1};
  for (auto p : kSingle) t[p.tscii] = {p.tab, 0, 1};
  // The eighteen Tamil consonants sit 0x30 higher in TAB, in the same order;
  // their pulli forms (0xEC-0xFD) become the TAB consonant plus the pulli sign.
  for (int c = 0xB8; c <= 0xC9; ++c) t[c] = {uint8_t(c + 0x30), 0, 1};
  for (int c = 0xEC; c <= 0xFD; ++c) t[c] = {uint8_t(c - 0x04), kTabPulli, 2};
  for (auto p : kGranthaPulli) t[p.tscii] = {p.tab, kTabPulli, 2};
  // Vowel au is o followed by the au length mark.
  t[0xB6] = {0xE5, 0xF7, 2};
  // Everything else (NUL, 0x7F, the Tamil numerals, quotation marks and the
  // other unassigned bytes) has no TAB form and is dropped.
  return t;
}

constexpr std::array<TabOut, 256> kTable = makeTable();

// The same entries packed for the conversion loop: the two bytes in the low
// 16 bits (first byte lowest), the count above them.
constexpr std::array<uint32_t, 256> makePacked() {
  std::array<uint32_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = kTable[c].b0 | kTable[c].b1 << 8 | uint32_t(kTable[c].len) << 16;
  return t;
}
constexpr std::array<uint32_t, 256> kPacked = makePacked();

// The same again as three tables for the vector path.
constexpr convert_simd::PairTables makePairTables() {
  convert_simd::PairTables t{};
  for (int c = 0; c < 256; ++c) {
    t.first[c] = kTable[c].b0;
    t.second[c] = kTable[c].b1;
    t.len[c] = kTable[c].len;
  }
  return t;
}
constexpr convert_simd::PairTables kPairTables = makePairTables();
static_assert(std::endian::native == std::endian::little);

}  // namespace

namespace convert_detail {

void tsciiToTabAppend(std::string_view in, std::string& out) {
  const size_t base = out.size();
  // Each input byte gives at most two output bytes; two spare bytes let the
  // loop store both bytes of every entry unconditionally.
  resizeUninit(out, base + 2 * in.size() + 2);
  auto* o = reinterpret_cast<uint8_t*>(out.data()) + base;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  size_t j = 0, i = 0;
  auto put = [&](unsigned c) {
    const uint32_t e = kPacked[c];
    const uint16_t two = uint16_t(e);
    std::memcpy(o + j, &two, 2);
    j += e >> 16;
  };
  if (const auto kernel = convert_simd::PairKernel()) i = kernel(p, in.size(), kPairTables, o, j);
  // Eight input bytes per load: stores through o may alias p as far as the
  // compiler knows, so reading bytes one by one would reload after each store.
  for (; i + 8 <= in.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) put(unsigned(w >> (8 * k)) & 0xFF);
  }
  for (; i < in.size(); ++i) put(p[i]);
  out.resize(base + j);
}

}  // namespace convert_detail

std::string TsciiToTab(std::string_view in) {
  std::string out;
  convert_detail::tsciiToTabAppend(in, out);
  return out;
}

}  // namespace tolvan
