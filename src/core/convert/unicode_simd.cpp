// Vector code of the TSCII <-> Unicode codec: the classifying passes of the
// TSCII decoder and of the UTF-8 encoder (see unicode_simd.h), written once
// over GCC/Clang vector types and compiled for each vector width with the
// processor features of its level (AVX-512 with its own mask-register
// version of the encoder's pass); the one-pass encoder for AVX-512 VBMI2;
// and which level runs, chosen once from the processor.
#include "core/convert/unicode_simd.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define TOLVAN_BRIDGE_X86 1
#include <immintrin.h>
#endif

namespace tolvan::unicode_simd {
namespace {

// Vectors wider than the baseline change the calling convention of functions
// that pass them; here they are only passed between inlined helpers.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int W>
struct Vec {
  typedef uint8_t u8 __attribute__((vector_size(W)));
  typedef uint16_t u16 __attribute__((vector_size(2 * W)));
};

// The classifying pass over W bytes at a time. Every byte is decided from
// itself and its neighbours at -2, -1, +1 and +2, so the vectors are
// overlapping loads of the block. The function has no processor features of
// its own: it is inlined into the per-level functions below, which give them.
template <int W>
[[gnu::always_inline]] inline bool classifyBlock(const uint8_t* p, uint16_t* idx, uint8_t* flags) {
  using u8 = typename Vec<W>::u8;
  using u16 = typename Vec<W>::u16;
  auto load = [](const uint8_t* q) {
    u8 v;
    std::memcpy(&v, q, W);
    return v;
  };
  // Byte masks (0xFF or 0) of byte ranges and values.
  auto in = [](u8 x, uint8_t lo, uint8_t hi) { return (u8)((u8)(x - lo) <= (uint8_t)(hi - lo)); };
  auto is = [](u8 x, uint8_t v) { return (u8)(x == v); };
  auto prefix = [&](u8 x) { return in(x, 0xA6, 0xA8); };              // e, ee, ai
  auto live = [&](u8 x) { return in(x, 0xB8, 0xC9) | in(x, 0x83, 0x87); };  // native, grantha
  auto post = [&](u8 x) { return in(x, 0xA1, 0xA5) | is(x, 0xAA); };  // aa .. uu, au length

  u8 any = {};
  for (int k = 0; k < kBlock; k += W) {
    const uint8_t* q = p + k;
    const u8 b = load(q), b1 = load(q + 1), b2 = load(q + 2), m1 = load(q - 1), m2 = load(q - 2);
    const u8 pb = prefix(b), pm1 = prefix(m1), pm2 = prefix(m2);
    const u8 lm1 = live(m1), postB = post(b);

    // A prefix sign with its live consonant starts a letter; the sign it ends
    // with may take the length mark after the consonant.
    const u8 sp = pb & live(b1);
    const u8 aaNext = is(b2, 0xA1);
    const u8 o = sp & is(b, 0xA6) & aaNext;
    const u8 oo = sp & is(b, 0xA7) & aaNext;
    const u8 au = sp & is(b, 0xA6) & is(b2, 0xAA);
    const u8 absorbed = (live(b) & pm1) | (postB & lm1 & pm2);

    const u8 joined = postB & lm1 & ~pm2;  // a post sign on the consonant before it
    const u8 secondSpelling =
        joined & ((in(b, 0xA4, 0xA5) & in(m1, 0xB8, 0xC9))           // u/uu forms exist
                  | (in(b, 0xA2, 0xA3) & is(m1, 0xBC))                // tti, ttii
                  | (is(b, 0xA3) & is(m1, 0xC3) & is(m2, 0x8A)));     // sri
    const u8 ssaAfterDeadKa = ((is(b, 0x84) | is(b, 0x89)) & is(m1, 0xEC)) | (sp & is(b1, 0x84) & is(m1, 0xEC));
    const u8 f = (pb & ~sp)                                  // lone prefix sign
                 | (sp & post(b2) & ~(o | oo | au))         // a second sign
                 | (postB & ~lm1)                           // lone post sign
                 | secondSpelling | ssaAfterDeadKa          //
                 | is(b, 0xFE) | is(b, 0xA0) | is(b, 0xFF)  // second i, no character
                 | (is(b, 0xB4) & is(b1, 0xAA));            // o + au length mark
    any |= f;
    std::memcpy(flags + k, &f, W);

    u8 row = sp & (u8)(b - 0xA5);  // e 1, ee 2, ai 3
    row += (o | oo) & 3;           // o 4, oo 5
    row = (au & 6) | (~au & row);  // au 6
    row = (absorbed & 7) | (~absorbed & row);
    const u8 sel = ~absorbed & ((sp & b1) | (~sp & b));
    const u16 x = (__builtin_convertvector(sel, u16) | (u16)(__builtin_convertvector(row, u16) << 8)) * kEntrySize;
    std::memcpy(idx + k, &x, sizeof x);
  }
  uint64_t words[W / 8];
  std::memcpy(words, &any, W);
  uint64_t r = 0;
  for (uint64_t w : words) r |= w;
  return r != 0;
}

bool classify16(const uint8_t* p, uint16_t* idx, uint8_t* flags) { return classifyBlock<16>(p, idx, flags); }

#ifdef TOLVAN_BRIDGE_X86
[[gnu::target("avx2")]] bool classify32(const uint8_t* p, uint16_t* idx, uint8_t* flags) {
  return classifyBlock<32>(p, idx, flags);
}
[[gnu::target("avx512f,avx512bw")]] bool classify64(const uint8_t* p, uint16_t* idx, uint8_t* flags) {
  return classifyBlock<64>(p, idx, flags);
}
#endif

// The encoder's classifying pass (see unicode_simd.h) over W bytes at a time:
// the byte masks of one step, turned into bit masks by the per-level
// functions below (the only code that differs between levels).
template <int W>
struct EncStep {
  typename Vec<W>::u8 b0, tamil, cons, sign, pulli, ssaRa;
};

template <int W>
[[gnu::always_inline]] inline EncStep<W> encStep(const uint8_t* q, uint16_t* idx) {
  using u8 = typename Vec<W>::u8;
  using u16 = typename Vec<W>::u16;
  auto load = [](const uint8_t* r) {
    u8 v;
    std::memcpy(&v, r, W);
    return v;
  };
  auto in = [](u8 x, uint8_t lo, uint8_t hi) { return (u8)((u8)(x - lo) <= (uint8_t)(hi - lo)); };
  auto is = [](u8 x, uint8_t v) { return (u8)(x == v); };
  // E0 AE/AF followed by a continuation byte, and its code.
  auto tamil = [&](u8 a, u8 b, u8 c) { return (u8)(is(a, 0xE0) & is(b & 0xFE, 0xAE) & is(c & 0xC0, 0x80)); };
  auto code = [](u8 b, u8 c) { return (u8)(((b & 1) << 6) | (c & 0x3F)); };

  const u8 b0 = load(q), b1 = load(q + 1), b2 = load(q + 2);
  const u8 n0 = load(q + 3), n1 = load(q + 4), n2 = load(q + 5);
  const u8 c0 = code(b1, b2), c1 = code(n1, n2);
  const u8 col = tamil(n0, n1, n2) & ((in(c1, 0x3E, 0x4D) & (u8)(c1 - 0x3D)) | (is(c1, 0x57) & kEncColAuLength));
  const u8 high = in(b0, 0x80, 0xFF);
  const u8 unit = (high & (c0 | 0x80)) | (~high & b0);
  const u16 x = (u16)(__builtin_convertvector(unit, u16) << 5) | __builtin_convertvector(col, u16);
  std::memcpy(idx, &x, sizeof x);
  return {b0, tamil(b0, b1, b2), in(c0, 0x15, 0x39), (u8)(in(c0, 0x3E, 0x4D) | is(c0, 0x57)), is(c0, 0x4D),
          (u8)(is(c0, 0x37) | is(c0, 0x30))};
}

// Bit k of the result is the top bit of byte k.
#ifdef TOLVAN_BRIDGE_X86
inline uint64_t topBits(Vec<16>::u8 v) { return static_cast<uint32_t>(_mm_movemask_epi8((__m128i)v)); }
#else
inline uint64_t topBits(Vec<16>::u8 v) {
  uint64_t r = 0;
  for (int k = 0; k < 16; ++k) r |= static_cast<uint64_t>(v[k] >> 7) << k;
  return r;
}
#endif

// Adds the bit masks of a step at byte k of the chunk.
#define TOLVAN_ENC_MASKS(s, k, topBits)                 \
  do {                                                  \
    r.ascii |= topBits(s.b0) << (k);                    \
    r.tamil |= topBits(s.tamil) << (k);                 \
    r.cons |= topBits(s.cons) << (k);                   \
    r.sign |= topBits(s.sign) << (k);                   \
    r.pulli |= topBits(s.pulli) << (k);                 \
    r.ssaRa |= topBits(s.ssaRa) << (k);                 \
  } while (0)

// The masks of character classes hold only where a Tamil character starts.
inline EncMasks finishMasks(EncMasks r) {
  r.ascii = ~r.ascii;
  r.cons &= r.tamil;
  r.sign &= r.tamil;
  r.pulli &= r.tamil;
  r.ssaRa &= r.tamil;
  return r;
}

void encClassify16(const uint8_t* p, int chunks, uint16_t* idx, EncMasks* m) {
  for (int c = 0; c < chunks; ++c, p += kBlock, idx += kBlock) {
    EncMasks r{};
    for (int k = 0; k < kBlock; k += 16) {
      const EncStep<16> s = encStep<16>(p + k, idx + k);
      TOLVAN_ENC_MASKS(s, k, topBits);
    }
    m[c] = finishMasks(r);
  }
}

#ifdef TOLVAN_BRIDGE_X86
[[gnu::target("avx2")]] inline uint64_t topBits32(Vec<32>::u8 v) {
  return static_cast<uint32_t>(_mm256_movemask_epi8((__m256i)v));
}
[[gnu::target("avx2")]] void encClassify32(const uint8_t* p, int chunks, uint16_t* idx, EncMasks* m) {
  for (int c = 0; c < chunks; ++c, p += kBlock, idx += kBlock) {
    EncMasks r{};
    for (int k = 0; k < kBlock; k += 32) {
      const EncStep<32> s = encStep<32>(p + k, idx + k);
      TOLVAN_ENC_MASKS(s, k, topBits32);
    }
    m[c] = finishMasks(r);
  }
}
// The same with AVX-512's compares into mask registers, which the vector
// types above would turn into byte masks and back.
#define TOLVAN_AVX512_TARGET "avx512f,avx512bw"
[[gnu::target(TOLVAN_AVX512_TARGET), gnu::always_inline]] inline __m512i byte(int v) {
  return _mm512_set1_epi8(static_cast<char>(v));
}
// Bytes in [lo, hi].
[[gnu::target(TOLVAN_AVX512_TARGET), gnu::always_inline]] inline __mmask64 within(__m512i x, int lo, int hi) {
  return _mm512_cmple_epu8_mask(_mm512_sub_epi8(x, byte(lo)), byte(hi - lo));
}
// E0 AE/AF followed by a continuation byte at each byte of a.
[[gnu::target(TOLVAN_AVX512_TARGET), gnu::always_inline]] inline __mmask64 tamilAt(__m512i a, __m512i b, __m512i c) {
  const __mmask64 lead = _mm512_cmpeq_epi8_mask(a, byte(0xE0));
  const __mmask64 second = _mm512_mask_cmpeq_epi8_mask(lead, _mm512_and_si512(b, byte(0xFE)), byte(0xAE));
  return _mm512_mask_cmpeq_epi8_mask(second, _mm512_and_si512(c, byte(0xC0)), byte(0x80));
}
// ((b & 1) << 6) | (c & 0x3F)
[[gnu::target(TOLVAN_AVX512_TARGET), gnu::always_inline]] inline __m512i codeOf(__m512i b, __m512i c) {
  // 0x40 ? b << 6 : c, bit by bit, without the top bit
  return _mm512_and_si512(_mm512_ternarylogic_epi32(byte(0x40), _mm512_slli_epi16(b, 6), c, 0xCA), byte(0x7F));
}
[[gnu::target(TOLVAN_AVX512_TARGET)]] void encClassify64(const uint8_t* p, int chunks, uint16_t* idx, EncMasks* m) {
  const __m512i lowLanes = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
  const __m512i highLanes = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
  for (int c = 0; c < chunks; ++c, p += kBlock, idx += kBlock) {
    const __m512i b0 = _mm512_loadu_si512(p), b1 = _mm512_loadu_si512(p + 1), b2 = _mm512_loadu_si512(p + 2);
    const __m512i n0 = _mm512_loadu_si512(p + 3), n1 = _mm512_loadu_si512(p + 4), n2 = _mm512_loadu_si512(p + 5);
    const __mmask64 tamil = tamilAt(b0, b1, b2), next = tamilAt(n0, n1, n2);
    const __m512i c0 = codeOf(b1, b2), c1 = codeOf(n1, n2);
    __m512i col = _mm512_maskz_sub_epi8(next & within(c1, 0x3E, 0x4D), c1, byte(0x3D));
    col = _mm512_mask_mov_epi8(col, next & _mm512_cmpeq_epi8_mask(c1, byte(0x57)), byte(kEncColAuLength));
    const __mmask64 high = _mm512_movepi8_mask(b0);
    const __m512i unit = _mm512_mask_mov_epi8(b0, high, _mm512_or_si512(c0, byte(0x80)));
    // unit * 32 + col as 16-bit values: low bytes, high bytes, interleaved
    // (per 128-bit lane) and the lanes put back in order.
    const __m512i low = _mm512_ternarylogic_epi32(byte(0xE0), _mm512_slli_epi16(unit, 5), col, 0xCA);
    const __m512i hi = _mm512_and_si512(_mm512_srli_epi16(unit, 3), byte(0x1F));
    const __m512i a = _mm512_unpacklo_epi8(low, hi), b = _mm512_unpackhi_epi8(low, hi);
    _mm512_storeu_si512(idx, _mm512_permutex2var_epi64(a, lowLanes, b));
    _mm512_storeu_si512(idx + 32, _mm512_permutex2var_epi64(a, highLanes, b));
    EncMasks r;
    r.ascii = ~high;
    r.tamil = tamil;
    r.cons = tamil & within(c0, 0x15, 0x39);
    r.sign = tamil & (within(c0, 0x3E, 0x4D) | _mm512_cmpeq_epi8_mask(c0, byte(0x57)));
    r.pulli = tamil & _mm512_cmpeq_epi8_mask(c0, byte(0x4D));
    r.ssaRa = tamil & (_mm512_cmpeq_epi8_mask(c0, byte(0x37)) | _mm512_cmpeq_epi8_mask(c0, byte(0x30)));
    m[c] = r;
  }
}
#undef TOLVAN_AVX512_TARGET

// The one-pass encoder (unicode_simd.h). Every byte position j of a chunk
// holds what the character ending at j writes; the prefix part of a sign is
// worked out at j and moved to j - 1 (the character's middle byte, which
// writes nothing), except at j = 0, whose j - 1 lies in the chunk before:
// that byte is written ahead of the chunk's others.
#define TOLVAN_RUN_TARGET "avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt"
constexpr uint8_t ternary(bool (*f)(bool, bool, bool)) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (f(i & 4, i & 2, i & 1)) r |= static_cast<uint8_t>(1 << i);
  return r;
}
constexpr uint8_t kAndXor = ternary([](bool a, bool b, bool c) { return (a && b) != c; });
constexpr uint8_t kOr3 = ternary([](bool a, bool b, bool c) { return a || b || c; });
constexpr uint8_t kSelect = ternary([](bool a, bool b, bool c) { return a ? b : c; });

[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline __m512i at(const uint8_t* q) {
  return _mm512_loadu_si512(q);
}
[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline __m512i splat(int v) {
  return _mm512_set1_epi8(static_cast<char>(v));
}
// Bit j: a Tamil character (E0, AE or AF, a continuation byte) ends at q[j].
[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline uint64_t tamilEnds(const uint8_t* q) {
  const __m512i lead = _mm512_xor_si512(at(q - 2), splat(0xE0));
  const __m512i second = _mm512_ternarylogic_epi32(at(q - 1), splat(0xFE), splat(0xAE), kAndXor);
  const __m512i third = _mm512_ternarylogic_epi32(at(q), splat(0xC0), splat(0x80), kAndXor);
  const __m512i x = _mm512_ternarylogic_epi32(lead, second, third, kOr3);
  return _mm512_testn_epi8_mask(x, x);
}
// The code of the character whose last two bytes are b and c, in the low
// seven bits: ((b & 1) << 6) | (c & 0x3F).
[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline __m512i codeAt(__m512i b, __m512i c) {
  return _mm512_ternarylogic_epi32(splat(0x40), _mm512_slli_epi16(b, 6), c, kSelect);
}
[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline __m512i lookup(__mmask64 k, const uint8_t* table,
                                                                             __m512i code) {
  return _mm512_maskz_permutex2var_epi8(k, _mm512_load_si512(table), code, _mm512_load_si512(table + 64));
}

// Whether the converter may stop at q[x] and start afresh there, giving the
// same bytes: x starts a character, which is neither a sign on the consonant
// before it nor the ssa of k.ssa or the ra of sri.
inline bool tamilCharAt(const uint8_t* q) { return q[0] == 0xE0 && (q[1] & 0xFE) == 0xAE && (q[2] & 0xC0) == 0x80; }
inline int codeAtByte(const uint8_t* q) { return ((q[1] & 1) << 6) | (q[2] & 0x3F); }
bool freshStart(const uint8_t* q, size_t x) {
  if ((q[x] & 0xC0) == 0x80) return false;
  if (!tamilCharAt(q + x) || !tamilCharAt(q + x - 3)) return true;
  const int c = codeAtByte(q + x), before = codeAtByte(q + x - 3);
  const bool sign = (c >= 0x3E && c <= 0x4D) || c == 0x57;
  if (sign && before >= 0x15 && before <= 0x39) return false;
  if (before == 0x4D && tamilCharAt(q + x - 6)) {
    const int first = codeAtByte(q + x - 6);
    if ((c == 0x37 && first == 0x15) || (c == 0x30 && first == 0x38)) return false;
  }
  return true;
}

struct RunChunk {
  __m512i out;
  uint64_t keep;
  uint8_t ahead;  // the byte written before the chunk's others
};

[[gnu::target(TOLVAN_RUN_TARGET), gnu::always_inline]] inline char* writeChunk(char* w, const RunChunk& c,
                                                                               uint64_t keep) {
  *w = static_cast<char>(c.ahead);
  w += c.ahead != 0;
  _mm512_storeu_si512(w, _mm512_maskz_compress_epi8(keep, c.out));
  return w + __builtin_popcountll(keep);
}

[[gnu::target(TOLVAN_RUN_TARGET)]] size_t encRunVbmi(const uint8_t* p, size_t from, size_t n, size_t limit,
                                                     const EncRunTables& t, char*& wp, size_t& stopped) {
  constexpr size_t kB = kBlock;
  stopped = 0;
  auto fits = [&](size_t base) { return base + kB <= limit && base + kB + kEncRunAhead <= n; };
  if (from < 8 || !fits(from)) return from;
  const __m512i nextByte = _mm512_set_epi8(
      0, 63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40, 39, 38, 37,
      36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8,
      7, 6, 5, 4, 3, 2, 1);
  char* w = wp;
  size_t base = from;
  // Carried from chunk to chunk: the Tamil character ends of this chunk (none
  // before `from`), the consonant ends and the consonants that took the sign
  // after them into their form in the chunk before, and what k.ssa and sri
  // change in this chunk from the one before.
  uint64_t tend = tamilEnds(p + base) & ~uint64_t{3};
  uint64_t consBefore = 0, tookBefore = 0, dropCarry = 0, plus3Carry = 0;
  RunChunk last{};
  char* lastW = nullptr;
  size_t lastBase = 0;
  bool failed = false;
  for (;;) {
    const uint8_t* q = p + base;
    _mm_prefetch(reinterpret_cast<const char*>(q) + 4096, _MM_HINT_T0);
    const __m512i bytes = at(q);
    const __m512i cX = codeAt(at(q - 1), bytes), cN = codeAt(at(q + 2), at(q + 3));
    const uint64_t ascii = ~_mm512_movepi8_mask(bytes);
    const uint64_t tendNext = tamilEnds(q + kB);
    const uint64_t tn = (tend >> 3) | (tendNext << 61);  // a Tamil character follows
    const __m512i infoX = lookup(tend, t.infoX, cX), infoN = lookup(tn, t.infoN, cN);
    const __m512i both = _mm512_and_si512(infoX, infoN);
    const uint64_t cons = _mm512_movepi8_mask(infoX);
    const uint64_t took = _mm512_test_epi8_mask(both, splat(0x83));
    const uint64_t afterCons = (cons << 3) | (consBefore >> 61);
    const uint64_t covered = ascii | tend | (tend >> 1) | (tend >> 2) | (tendNext << 62) | (tendNext << 63);
    const uint64_t bad = _mm512_test_epi8_mask(infoX, splat(kRunBad)) | _mm512_test_epi8_mask(both, splat(kRunVowelO)) |
                         (_mm512_test_epi8_mask(infoX, splat(kRunNeedsCons)) & ~afterCons);
    if (~covered | bad) {
      failed = true;
      break;
    }
    __m512i out = lookup(tend, t.main, cX);
    out = _mm512_mask_mov_epi8(out, took, lookup(~uint64_t{0}, t.forms, _mm512_add_epi8(cX, infoN)));
    out = _mm512_mask_mov_epi8(out, ascii, bytes);
    // The prefix part: of the sign after a consonant, or of a sign standing alone.
    const uint64_t withPre = tend & ((cons & tn) | (~cons & ~afterCons));
    const __m512i pre = lookup(withPre, t.pre, _mm512_mask_mov_epi8(cX, cons, cN));
    out = _mm512_or_si512(out, _mm512_maskz_permutexvar_epi8(~uint64_t{0} >> 1, nextByte, pre));
    uint64_t drop = (took << 3) | (tookBefore >> 61) | dropCarry;
    uint64_t plus3 = plus3Carry;
    dropCarry = plus3Carry = 0;
    // Ka or sa before pulli, and ssa or ra (or another of B0..B7) after it:
    // maybe k.ssa (written as ssa's forms + 3, ka dropped) or sri (written at sa).
    const uint64_t maybe = _mm512_test_epi8_mask(both, splat(kRunKaSa)) &
                           _mm512_cmpeq_epi8_mask(_mm512_or_si512(at(q + 6), splat(0x07)), splat(0xB7));
    if (maybe) [[unlikely]] {
      uint64_t sri = 0;
      for (uint64_t m = maybe; m; m &= m - 1) {
        const unsigned j = static_cast<unsigned>(__builtin_ctzll(m));
        const uint8_t* c = q + j;  // the last byte of ka or sa
        if (c[0] == 0x95 && c[4] == 0xE0 && c[5] == 0xAE && c[6] == 0xB7) {
          drop |= uint64_t{1} << j;
          if (j + 6 < kB)
            plus3 |= uint64_t{1} << (j + 6);
          else
            plus3Carry |= uint64_t{1} << (j + 6 - kB);
        } else if (c[0] == 0xB8 && c[4] == 0xE0 && c[5] == 0xAE && c[6] == 0xB0 && c[7] == 0xE0 && c[8] == 0xAF &&
                   c[9] == 0x80) {
          sri |= uint64_t{1} << j;
          for (unsigned d : {6u, 9u}) {
            if (j + d < kB)
              drop |= uint64_t{1} << (j + d);
            else
              dropCarry |= uint64_t{1} << (j + d - kB);
          }
        }
      }
      out = _mm512_mask_mov_epi8(out, sri, splat(0x82));
    }
    if (plus3) [[unlikely]]
      out = _mm512_mask_add_epi8(out, plus3, out, splat(3));
    RunChunk chunk;
    chunk.out = out;
    chunk.keep = (_mm512_test_epi8_mask(out, out) | ascii) & ~drop;
    chunk.ahead = static_cast<uint8_t>(_mm512_cvtsi512_si32(pre));
    lastW = w;
    last = chunk;
    lastBase = base;
    w = writeChunk(w, chunk, chunk.keep);
    consBefore = cons;
    tookBefore = took;
    tend = tendNext;
    base += kB;
    if (!fits(base)) break;
  }
  if (!lastW) {
    stopped = from + kB;
    return from;
  }
  // The last chunk written may end inside a letter: keep it up to the last
  // place where the scalar code can take over.
  size_t x = kB;
  const uint8_t* q = p + lastBase;
  while (x > 0 && !freshStart(q, x)) --x;
  w = writeChunk(lastW, last, last.keep & (x == kB ? ~uint64_t{0} : (uint64_t{1} << x) - 1));
  wp = w;
  if (failed) stopped = base + kB;
  return lastBase + x;
}
#undef TOLVAN_RUN_TARGET
#endif
#undef TOLVAN_ENC_MASKS

std::vector<BridgeLevel> detect() {
  std::vector<BridgeLevel> v{BridgeLevel::Scalar};
#ifdef TOLVAN_BRIDGE_X86
  __builtin_cpu_init();
  v.push_back(BridgeLevel::Sse2);
  if (__builtin_cpu_supports("avx2")) v.push_back(BridgeLevel::Avx2);
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    v.push_back(BridgeLevel::Avx512);
    if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
        __builtin_cpu_supports("popcnt"))
      v.push_back(BridgeLevel::Avx512Vbmi2);
  }
#else
  v.push_back(BridgeLevel::Sse2);  // the same code on the processor's own 16-byte vectors
#endif
  return v;
}

const std::vector<BridgeLevel>& available() {
  static const std::vector<BridgeLevel> levels = detect();
  return levels;
}

// -1 until first use, then the active level.
std::atomic<int> active{-1};

}  // namespace

const char* BridgeLevelName(BridgeLevel level) {
  switch (level) {
    case BridgeLevel::Sse2: return "sse2";
    case BridgeLevel::Avx2: return "avx2";
    case BridgeLevel::Avx512: return "avx512";
    case BridgeLevel::Avx512Vbmi2: return "avx512vbmi2";
    case BridgeLevel::Scalar: break;
  }
  return "scalar";
}

std::vector<BridgeLevel> AvailableBridgeLevels() { return available(); }

BridgeLevel ActiveBridgeLevel() {
  int a = active.load(std::memory_order_relaxed);
  if (a < 0) {
    a = static_cast<int>(available().back());
    active.store(a, std::memory_order_relaxed);
  }
  return static_cast<BridgeLevel>(a);
}

BridgeLevel SetBridgeLevel(BridgeLevel level) {
  const BridgeLevel before = ActiveBridgeLevel();
  const auto& v = available();
  if (std::find(v.begin(), v.end(), level) == v.end()) return before;  // never run what the processor lacks
  active.store(static_cast<int>(level), std::memory_order_relaxed);
  return before;
}

ClassifyFn TsciiClassifier(BridgeLevel level) {
  switch (level) {
    case BridgeLevel::Sse2: return classify16;
#ifdef TOLVAN_BRIDGE_X86
    case BridgeLevel::Avx2: return classify32;
    case BridgeLevel::Avx512:
    case BridgeLevel::Avx512Vbmi2: return classify64;
#else
    case BridgeLevel::Avx2:
    case BridgeLevel::Avx512:
    case BridgeLevel::Avx512Vbmi2: return classify16;
#endif
    case BridgeLevel::Scalar: break;
  }
  return nullptr;
}

EncClassifyFn UnicodeClassifier(BridgeLevel level) {
  switch (level) {
    case BridgeLevel::Sse2: return encClassify16;
#ifdef TOLVAN_BRIDGE_X86
    case BridgeLevel::Avx2: return encClassify32;
    case BridgeLevel::Avx512:
    case BridgeLevel::Avx512Vbmi2: return encClassify64;
#else
    case BridgeLevel::Avx2:
    case BridgeLevel::Avx512:
    case BridgeLevel::Avx512Vbmi2: return encClassify16;
#endif
    case BridgeLevel::Scalar: break;
  }
  return nullptr;
}

EncRunFn UnicodeRunner(BridgeLevel level) {
#ifdef TOLVAN_BRIDGE_X86
  if (level == BridgeLevel::Avx512Vbmi2) return encRunVbmi;
#endif
  (void)level;
  return nullptr;
}

}  // namespace tolvan::unicode_simd
