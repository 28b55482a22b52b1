// Mylai (Tamil letters typed as ASCII keys) to TSCII. Each input byte is
// dropped, copied, or mapped to one TSCII byte; a consonant key followed by
// "f" gives the consonant with pulli; the modifiers "<", ">" and "\" rewrite
// the byte written for the key just before them. The output is never longer
// than the input.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"
#include "core/convert/string_room.h"

namespace tolvan {
namespace {

struct KeyByte {
  char key;
  uint8_t tscii;
};

// The 62 keys that write one TSCII byte.
constexpr KeyByte kMain[] = {
    {'`', 0xAB}, {'~', 0xAC}, {';', 0xAD}, {':', 0xAE}, {'u', 0xAF}, {'U', 0xB0},
    {'\'', 0xB1}, {'"', 0xB2}, {'_', 0xB3}, {'o', 0xB4}, {'O', 0xB5}, {'#', 0xB7},
    {'a', 0xA1}, {'i', 0xA2}, {'I', 0xA3}, {'H', 0xA4}, {'J', 0xA5}, {'e', 0xA6},
    {'E', 0xA7}, {'A', 0xA8}, {'F', 0xCA}, {'G', 0xCB}, {'K', 0xCC}, {'C', 0xCD},
    {'W', 0x9A}, {'D', 0xCE}, {'}', 0xCF}, {'T', 0xD0}, {'N', 0xD1}, {'Z', 0xD8},
    {'B', 0xDA},
    {'k', 0xB8}, {'g', 0xB9}, {'c', 0xBA}, {'w', 0xBB}, {'d', 0xBC}, {']', 0xBD},
    {'t', 0xBE}, {'n', 0xBF}, {'p', 0xC0}, {'m', 0xC1}, {'y', 0xC2}, {'r', 0xC3},
    {'l', 0xC4}, {'v', 0xC5}, {'z', 0xC6}, {'q', 0xC7}, {'b', 0xC8}, {'[', 0xC9},
    {'j', 0x83}, {'x', 0x84}, {'s', 0x85}, {'h', 0x86}, {'X', 0x87}, {'!', 0x82},
    {'P', 0xDC}, {'V', 0xDD}, {'M', 0xD3}, {'R', 0xD5}, {'L', 0xD6}, {'Q', 0xD9},
    {'{', 0xDB},
};
static_assert(std::size(kMain) == 62);

// Consonant keys that a following "f" turns into the consonant with pulli
// (TSCII byte + 0x34). The grantha keys j, x, s, h, X are not among them.
constexpr std::string_view kPulliKeys = "kgcwd]tnpmyrlvzqb[";
constexpr uint8_t kPulliOffset = 0x34;
constexpr char kPulliKey = 'f';

// Bytes that vanish: NUL and the keys "$", "@", "S", "Y", "^" and "f".
constexpr std::string_view kDropped{"\0$@SY^f", 7};

// Modifiers: for each, the preceding key it acts on and the byte that
// replaces the last one written.
struct ModRule {
  char modifier;
  char preceding;
  uint8_t replacement;
};
constexpr char kModifiers[] = {'<', '>', '\\'};
constexpr ModRule kModRules[] = {
    // "<": u form
    {'<', 'g', 0x99}, {'<', 'p', 0xD2}, {'<', 'y', 0xD4}, {'<', 'v', 0xD7},
    // ">": uu form
    {'>', 'g', 0x9B}, {'>', 'p', 0xE2}, {'>', 'y', 0xE4}, {'>', 'v', 0xE7},
    // "\": u form to uu form
    {'\\', 'T', 0xE0}, {'\\', 'N', 0xE1}, {'\\', '{', 0xEB}, {'\\', '}', 0xDF},
    {'\\', 'L', 0xE6}, {'\\', 'B', 0xEA}, {'\\', 'W', 0x9C},
};

// What one input byte does.
struct Action {
  uint8_t value = 0;  // byte written (when emit)
  uint8_t emit = 0;   // 1 when the byte writes value, 0 when it writes nothing
  uint8_t pulli = 0;  // 1 for a consonant key that takes a following "f"
  uint8_t mod = 0;    // 1 + index into kModifiers for a modifier, else 0
};

struct Tables {
  std::array<Action, 256> action{};
  // replacement[mod][preceding byte], 0 when the modifier has no effect.
  std::array<std::array<uint8_t, 256>, 4> replacement{};
};

constexpr Tables makeTables() {
  Tables t{};
  // Copied unchanged unless listed below: controls, space, digits, the
  // punctuation the scheme leaves alone, and every byte from 0x7F up (text
  // that is already TSCII passes through).
  for (int c = 0; c < 256; ++c) t.action[c] = {uint8_t(c), 1, 0, 0};
  for (char c : kDropped) t.action[uint8_t(c)] = {};
  for (auto k : kMain) t.action[uint8_t(k.key)] = {k.tscii, 1, 0, 0};
  for (char c : kPulliKeys) t.action[uint8_t(c)].pulli = 1;
  for (int m = 0; m < 3; ++m) t.action[uint8_t(kModifiers[m])] = {0, 0, 0, uint8_t(m + 1)};
  for (auto r : kModRules) {
    int m = 0;
    while (kModifiers[m] != r.modifier) ++m;
    t.replacement[m + 1][uint8_t(r.preceding)] = r.replacement;
  }
  return t;
}

constexpr Tables kT = makeTables();

// The conversion loop looks at each byte together with the byte after it:
// what the next byte is (an "f", one of the modifiers, or anything else)
// picks the row, the byte itself the column. Each entry is the byte to write
// in bits 0-7 and whether it counts in bit 8. A modifier acts on the byte
// the key before it wrote, which is this key's own byte, so the modifier rows
// hold the replaced bytes and the modifier itself writes nothing.
enum NextKind : uint8_t { kNextOther, kNextF, kNextMod1 };

// Offset of the row for each possible next byte.
constexpr std::array<uint16_t, 256> makeNextRow() {
  std::array<uint16_t, 256> t{};
  t[uint8_t(kPulliKey)] = kNextF * 256;
  for (int m = 0; m < 3; ++m) t[uint8_t(kModifiers[m])] = uint16_t((kNextMod1 + m) * 256);
  return t;
}
constexpr std::array<uint16_t, 256> kNextRow = makeNextRow();

constexpr std::array<uint32_t, 5 * 256> makeOut() {
  std::array<uint32_t, 5 * 256> t{};
  for (int c = 0; c < 256; ++c) {
    const Action a = kT.action[c];
    const uint32_t emit = uint32_t(a.emit) << 8;
    t[kNextOther * 256 + c] = a.value | emit;
    t[kNextF * 256 + c] = uint8_t(a.value + (a.pulli ? kPulliOffset : 0)) | emit;
    for (int m = 1; m <= 3; ++m) {
      const uint8_t r = kT.replacement[m][c];
      t[(kNextMod1 + m - 1) * 256 + c] = (r ? r : a.value) | emit;
    }
  }
  return t;
}
constexpr std::array<uint32_t, 5 * 256> kOut = makeOut();

// A byte writes something exactly when its entry's byte is not 0, in every
// row: the vector path keeps the bytes that are not 0.
constexpr bool emitsWhenNonZero() {
  for (uint32_t e : kOut)
    if (((e & 0xFF) != 0) != ((e >> 8) != 0)) return false;
  return true;
}
static_assert(emitsWhenNonZero());

// The rows beyond the first change only bytes below 0x80 (the keys before
// "f" and the modifiers are ASCII), which the vector path relies on.
constexpr bool rowsDifferBelow80() {
  for (int r = 1; r < 5; ++r)
    for (int c = 0x80; c < 256; ++c)
      if (kOut[r * 256 + c] != kOut[c]) return false;
  return true;
}
static_assert(rowsDifferBelow80());

constexpr convert_simd::MylaiTables makeVectorTables() {
  convert_simd::MylaiTables t{};
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 256; ++c) t.rows[r][c] = uint8_t(kOut[r * 256 + c]);
  for (int c = 0; c < 256; ++c) t.rowOf[c] = uint8_t(kNextRow[c] / 256);
  return t;
}
constexpr convert_simd::MylaiTables kVectorTables = makeVectorTables();

// The loop reads eight input bytes with one load, first byte lowest.
static_assert(std::endian::native == std::endian::little);

}  // namespace

namespace convert_detail {

void mylaiToTsciiAppend(std::string_view in, std::string& out) {
  const size_t n = in.size();
  if (n == 0) return;
  const size_t base = out.size();
  // One spare byte: the loop stores a byte for every input byte and only
  // advances past it when the byte counts.
  resizeUninit(out, base + n + 1);
  auto* o = reinterpret_cast<uint8_t*>(out.data()) + base;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  size_t j = 0, i = 0;
  if (const auto kernel = convert_simd::MylaiKernel()) i = kernel(p, n, kVectorTables, o, j);
  // Eight bytes at a time, read with one load (the ninth byte is the "next"
  // of the eighth); stores through o may not be assumed apart from p, so one
  // load keeps the compiler from reading every byte twice.
  for (; i + 9 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    const unsigned ninth = p[i + 8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) {
      const unsigned c = unsigned(w >> (8 * k)) & 0xFF;
      const unsigned next = k < 7 ? unsigned(w >> (8 * k + 8)) & 0xFF : ninth;
      const uint32_t e = kOut[kNextRow[next] + c];
      o[j] = uint8_t(e);
      j += e >> 8;
    }
  }
  for (; i + 1 < n; ++i) {
    const uint32_t e = kOut[kNextRow[p[i + 1]] + p[i]];
    o[j] = uint8_t(e);
    j += e >> 8;
  }
  const uint32_t last = kOut[p[n - 1]];  // nothing follows it
  o[j] = uint8_t(last);
  j += last >> 8;
  out.resize(base + j);
}

size_t mylaiSafeSplit(std::string_view in) {
  // A cut before in[k] is unsafe when in[k] reaches back to in[k-1]: an "f"
  // after a pulli consonant key, or a modifier after one of its keys.
  for (size_t k = in.size(); k-- > 1;) {
    const uint8_t c = uint8_t(in[k]), before = uint8_t(in[k - 1]);
    const Action a = kT.action[c];
    const bool reachesBack =
        (c == uint8_t(kPulliKey) && kT.action[before].pulli) || (a.mod && kT.replacement[a.mod][before]);
    if (!reachesBack) return k;
  }
  return 0;
}

}  // namespace convert_detail

std::string MylaiToTscii(std::string_view in) {
  std::string out;
  convert_detail::mylaiToTsciiAppend(in, out);
  return out;
}

}  // namespace tolvan
