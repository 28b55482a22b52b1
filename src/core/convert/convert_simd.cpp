// The byte converters' vector kernels (AVX-512 VBMI and VBMI2) and the
// switch between them and the byte-by-byte code.
#include "core/convert/convert_simd.h"

#include <atomic>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TOLVAN_CONVERT_X86 1
#include <immintrin.h>
#endif

namespace tolvan::convert_simd {
namespace {

#ifdef TOLVAN_CONVERT_X86
#define TOLVAN_VBMI2 "avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2,popcnt"

// A 256-entry byte table in four registers.
struct Table256 {
  __m512i q[4];
};

[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline Table256 loadTable(const uint8_t* t) {
  return {{_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128),
           _mm512_loadu_si512(t + 192)}};
}

// t[x] for each of the 64 bytes of x: the low seven bits pick within a half,
// the top bit picks the half.
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline __m512i lookup(const Table256& t, __m512i x) {
  const __m512i low = _mm512_permutex2var_epi8(t.q[0], x, t.q[1]);
  const __m512i high = _mm512_permutex2var_epi8(t.q[2], x, t.q[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Writes the counted bytes of 64 (first, second) pairs, in order: pair k
// gives first[k] where bit k of m0 is set, then second[k] where bit k of m1 is.
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline uint8_t* writePairs(__m512i first, __m512i second,
                                                                               uint64_t m0, uint64_t m1,
                                                                               uint8_t* o) {
  // Byte 2k of the interleaved vector is first[k], byte 2k+1 second[k].
  alignas(64) static constexpr uint8_t kLow[64] = {
      0,  64, 1,  65, 2,  66, 3,  67, 4,  68, 5,  69, 6,  70, 7,  71, 8,  72, 9,  73, 10, 74,
      11, 75, 12, 76, 13, 77, 14, 78, 15, 79, 16, 80, 17, 81, 18, 82, 19, 83, 20, 84, 21, 85,
      22, 86, 23, 87, 24, 88, 25, 89, 26, 90, 27, 91, 28, 92, 29, 93, 30, 94, 31, 95};
  const __m512i low = _mm512_load_si512(kLow);
  const __m512i high = _mm512_add_epi8(low, _mm512_set1_epi8(32));
  constexpr uint64_t kEven = 0x5555555555555555u, kOdd = 0xAAAAAAAAAAAAAAAAu;
  const uint64_t keepLow = _pdep_u64(m0, kEven) | _pdep_u64(m1, kOdd);
  const uint64_t keepHigh = _pdep_u64(m0 >> 32, kEven) | _pdep_u64(m1 >> 32, kOdd);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keepLow, _mm512_permutex2var_epi8(first, low, second)));
  o += _mm_popcnt_u64(keepLow);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keepHigh, _mm512_permutex2var_epi8(first, high, second)));
  return o + _mm_popcnt_u64(keepHigh);
}

[[gnu::target(TOLVAN_VBMI2)]] size_t pairVbmi2(const uint8_t* p, size_t n, const PairTables& t, uint8_t* o,
                                               size_t& written) {
  const Table256 first = loadTable(t.first), second = loadTable(t.second), len = loadTable(t.len);
  const __m512i one = _mm512_set1_epi8(1), two = _mm512_set1_epi8(2);
  uint8_t* const o0 = o;
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i x = _mm512_loadu_si512(p + i);
    const __m512i l = lookup(len, x);
    o = writePairs(lookup(first, x), lookup(second, x), _mm512_cmpge_epu8_mask(l, one),
                   _mm512_cmpeq_epi8_mask(l, two), o);
  }
  written += size_t(o - o0);
  return i;
}

[[gnu::target(TOLVAN_VBMI2)]] size_t anjalVbmi2(const uint8_t* p, size_t n, const AnjalTables& t, uint8_t* o,
                                                size_t& written) {
  const Table256 first = loadTable(t.pair.first), second = loadTable(t.pair.second), len = loadTable(t.pair.len),
                 lengthened = loadTable(t.lengthened), stop = loadTable(t.stop);
  const __m512i one = _mm512_set1_epi8(1), two = _mm512_set1_epi8(2);
  const __m512i lengthener = _mm512_set1_epi8(char(t.lengthener));
  uint8_t* const o0 = o;
  size_t i = 0;
  for (; i + 65 <= n; i += 64) {
    const __m512i x = _mm512_loadu_si512(p + i);
    const __m512i stops = lookup(stop, x);
    if (_mm512_test_epi8_mask(stops, stops)) break;
    __m512i b0 = lookup(first, x);
    const __mmask64 beforeLengthener = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + i + 1), lengthener);
    if (beforeLengthener) {
      const __m512i r = lookup(lengthened, x);
      b0 = _mm512_mask_mov_epi8(b0, _mm512_mask_test_epi8_mask(beforeLengthener, r, r), r);
    }
    const __m512i l = lookup(len, x);
    o = writePairs(b0, lookup(second, x), _mm512_cmpge_epu8_mask(l, one), _mm512_cmpeq_epi8_mask(l, two), o);
  }
  written += size_t(o - o0);
  return i;
}

[[gnu::target(TOLVAN_VBMI2)]] size_t mylaiVbmi2(const uint8_t* p, size_t n, const MylaiTables& t, uint8_t* o,
                                                size_t& written) {
  const Table256 base = loadTable(t.rows[0]), rowOf = loadTable(t.rowOf);
  __m512i rowLow[4], rowHigh[4];
  for (int r = 0; r < 4; ++r) {
    rowLow[r] = _mm512_loadu_si512(t.rows[r + 1]);
    rowHigh[r] = _mm512_loadu_si512(t.rows[r + 1] + 64);
  }
  uint8_t* const o0 = o;
  size_t i = 0;
  for (; i + 65 <= n; i += 64) {
    const __m512i x = _mm512_loadu_si512(p + i);
    __m512i v = lookup(base, x);
    const __m512i row = lookup(rowOf, _mm512_loadu_si512(p + i + 1));
    // The other rows differ from row 0 only for bytes below 0x80.
    __mmask64 special = _mm512_test_epi8_mask(row, row) & ~_mm512_movepi8_mask(x);
    if (special) {
      for (int r = 0; r < 4; ++r) {
        const __mmask64 m = _mm512_mask_cmpeq_epi8_mask(special, row, _mm512_set1_epi8(char(r + 1)));
        if (m) v = _mm512_mask_mov_epi8(v, m, _mm512_permutex2var_epi8(rowLow[r], x, rowHigh[r]));
      }
    }
    const uint64_t keep = _mm512_test_epi8_mask(v, v);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, v));
    o += _mm_popcnt_u64(keep);
  }
  written += size_t(o - o0);
  return i;
}

[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline __m512i lookup128(const uint8_t* t, __m512i x) {
  // Bytes from 0x80 up are in no table of ASCII keys.
  return _mm512_maskz_permutex2var_epi8(~_mm512_movepi8_mask(x), _mm512_loadu_si512(t), x,
                                        _mm512_loadu_si512(t + 64));
}

// t[row * 16 + column] for a 384-byte table, the index split into its low
// byte and whether the row is 16 or more.
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline __m512i lookup384(const Table256& low, const uint8_t* high,
                                                                             __m512i index, __mmask64 upper) {
  const __m512i h = _mm512_permutex2var_epi8(_mm512_loadu_si512(high), index, _mm512_loadu_si512(high + 64));
  return _mm512_mask_blend_epi8(upper, lookup(low, index), h);
}

// Positions where the two bytes c[0], c[1] stand, given the bytes at each
// position and the bytes one further.
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline __mmask64 pairAt(__m512i x0, __m512i x1, __m512i first,
                                                                           __m512i second) {
  return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(x0, first), x1, second);
}

// Writes the kept bytes of 16 four-byte slots: byte k of slot j where bit j
// of keep[k] is set (the fourth byte never).
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline uint8_t* putSlots(__m512i slots, uint64_t keep0,
                                                                             uint64_t keep1, uint64_t keep2,
                                                                             uint8_t* o) {
  const uint64_t keep = _pdep_u64(keep0, 0x1111111111111111u) | _pdep_u64(keep1, 0x2222222222222222u) |
                        _pdep_u64(keep2, 0x4444444444444444u);
  _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, slots));
  return o + _mm_popcnt_u64(keep);
}

[[gnu::target(TOLVAN_VBMI2)]] size_t romanVbmi2(const uint8_t* p, size_t n, const RomanTables& t, uint8_t* o,
                                                size_t& written) {
  const Table256 value0 = loadTable(t.value[0]), value1 = loadTable(t.value[1]);
  const __m512i third = _mm512_loadu_si512(t.third);
  const __m512i one = _mm512_set1_epi8(1), zero = _mm512_setzero_si512();
  alignas(64) static constexpr uint8_t kLow[64] = {
      0,  64, 1,  65, 2,  66, 3,  67, 4,  68, 5,  69, 6,  70, 7,  71, 8,  72, 9,  73, 10, 74,
      11, 75, 12, 76, 13, 77, 14, 78, 15, 79, 16, 80, 17, 81, 18, 82, 19, 83, 20, 84, 21, 85,
      22, 86, 23, 87, 24, 88, 25, 89, 26, 90, 27, 91, 28, 92, 29, 93, 30, 94, 31, 95};
  alignas(64) static constexpr uint16_t kWords[32] = {0, 32, 1, 33, 2,  34, 3,  35, 4,  36, 5,  37, 6,  38, 7,  39,
                                                      8, 40, 9, 41, 10, 42, 11, 43, 12, 44, 13, 45, 14, 46, 15, 47};
  const __m512i pairLow = _mm512_load_si512(kLow), pairHigh = _mm512_add_epi8(pairLow, _mm512_set1_epi8(32));
  const __m512i words0 = _mm512_load_si512(kWords), words1 = _mm512_add_epi16(words0, _mm512_set1_epi16(16));
  // The characters compared with, each filling a vector, kept in memory: the
  // loop has more constants than registers, and reading one from memory
  // costs less than spreading a byte again.
  alignas(64) __m512i c2[3][3], s2[2][3], own[2][4];
  for (int k = 0; k < 3; ++k)
    for (int b = 0; b < 3; ++b) c2[k][b] = _mm512_set1_epi8(char(t.consonant2[k][b]));
  for (int k = 0; k < 2; ++k)
    for (int b = 0; b < 3; ++b) s2[k][b] = _mm512_set1_epi8(char(t.suffix2[k][b]));
  int ownLength[2];
  for (int k = 0; k < 2; ++k) {
    for (int b = 0; b < 4; ++b) own[k][b] = _mm512_set1_epi8(char(t.own[k][b]));
    ownLength[k] = !t.own[k][1] ? 1 : !t.own[k][2] ? 2 : 3;
  }
  asm("" : : "r"(c2), "r"(s2), "r"(own) : "memory");
  uint8_t* const o0 = o;
  size_t i = 0;
  unsigned entry = 0;  // where the first key of the block starts
  for (; i + 67 <= n; i += 64) {
    const __m512i x0 = _mm512_loadu_si512(p + i), x1 = _mm512_loadu_si512(p + i + 1),
                  x2 = _mm512_loadu_si512(p + i + 2), x3 = _mm512_loadu_si512(p + i + 3);
    // The consonant at each position, if any, and then the suffix after it
    // (at the position itself where no consonant starts: a vowel alone).
    __m512i consonant = lookup128(t.consonant, x0);
    __mmask64 twoChars = 0;
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      const __mmask64 m = pairAt(x0, x1, c2[k][0], c2[k][1]);
      consonant = _mm512_mask_mov_epi8(consonant, m, c2[k][2]);
      twoChars |= m;
    }
    const __mmask64 hasConsonant = _mm512_test_epi8_mask(consonant, consonant);
    const __m512i s0 = _mm512_mask_blend_epi8(hasConsonant, x0, _mm512_mask_blend_epi8(twoChars, x1, x2));
    const __m512i s1 = _mm512_mask_blend_epi8(hasConsonant, x1, _mm512_mask_blend_epi8(twoChars, x2, x3));
    __m512i suffix = lookup128(t.suffix, s0);
    const __mmask64 oneCharSuffix = _mm512_test_epi8_mask(suffix, suffix);
    __mmask64 twoCharSuffix = 0;
#pragma GCC unroll 2
    for (int k = 0; k < 2; ++k) {
      const __mmask64 m = pairAt(s0, s1, s2[k][0], s2[k][1]);
      suffix = _mm512_mask_mov_epi8(suffix, m, s2[k][2]);
      twoCharSuffix |= m;
    }
    const __mmask64 noKey = ~(hasConsonant | oneCharSuffix | twoCharSuffix);
    // Key lengths as a bit mask per length, consonant and suffix added up;
    // one for a byte that starts no key. Worked out in plain registers: the
    // vector ports are the busy ones here.
    uint64_t by1, by2, by3, by4;
    {
      const uint64_t c2 = _cvtmask64_u64(twoChars), c1 = _cvtmask64_u64(hasConsonant) & ~c2,
                     c0 = ~_cvtmask64_u64(hasConsonant);
      const uint64_t s2 = _cvtmask64_u64(twoCharSuffix), s1 = _cvtmask64_u64(oneCharSuffix) & ~s2,
                     s0 = ~(_cvtmask64_u64(oneCharSuffix) | s2);
      by1 = (c1 & s0) | (c0 & s1) | (c0 & s0);
      by2 = (c2 & s0) | (c1 & s1) | (c0 & s2);
      by3 = (c2 & s1) | (c1 & s2);
      by4 = c2 & s2;
    }

    const __m512i index =
        _mm512_or_si512(_mm512_and_si512(_mm512_slli_epi16(consonant, 4), _mm512_set1_epi8(char(0xF0))), suffix);
    const __mmask64 upper = _mm512_cmpge_epu8_mask(consonant, _mm512_set1_epi8(16));
    __m512i v0 = lookup384(value0, t.value[0] + 256, index, upper);
    __m512i v1 = lookup384(value1, t.value[1] + 256, index, upper);
    // The third byte comes from the suffix alone.
    __m512i v2 = _mm512_maskz_permutexvar_epi8(hasConsonant, suffix, third);
    // A byte that starts no key is copied. The keys of their own (a letter,
    // a ligature) are each longer than any other key at the same position.
    __mmask64 single = noKey;
    v0 = _mm512_mask_mov_epi8(v0, noKey, x0);
#pragma GCC unroll 2
    for (int k = 0; k < 2; ++k) {
      __mmask64 m = _mm512_cmpeq_epi8_mask(x0, own[k][0]);
      if (ownLength[k] > 1) m = _mm512_mask_cmpeq_epi8_mask(m, x1, own[k][1]);
      if (ownLength[k] > 2) m = _mm512_mask_cmpeq_epi8_mask(m, x2, own[k][2]);
      v0 = _mm512_mask_mov_epi8(v0, m, own[k][3]);
      const uint64_t bits = _cvtmask64_u64(m);
      by1 &= ~bits, by2 &= ~bits, by3 &= ~bits, by4 &= ~bits;
      if (ownLength[k] == 1)
        by1 |= bits;
      else if (ownLength[k] == 2)
        by2 |= bits;
      else
        by3 |= bits;
      single |= m;
    }
    v1 = _mm512_mask_mov_epi8(v1, single, zero);
    v2 = _mm512_mask_mov_epi8(v2, single, zero);

    // Where keys start: a byte in no key is a key of its own and so is the
    // byte after it; a character found only first in keys starts one. From
    // those (and the block's first key) each key leads to the next, a round
    // for each key in the longest run that no such character breaks.
    const __m512i where = lookup128(t.alphabet, x0);
    const uint64_t outside = _cvtmask64_u64(~_mm512_test_epi8_mask(where, where));
    const uint64_t firstOnly = _cvtmask64_u64(_mm512_cmpeq_epi8_mask(where, one));
    uint64_t starts = (uint64_t(1) << entry) | outside | (outside << 1) | firstOnly;
    // Plain registers: the mask registers are slow at this kind of work.
    asm("" : "+r"(by1), "+r"(by2), "+r"(by3), "+r"(by4), "+r"(starts));
    // Three rounds settle most blocks of text; doing them without a test
    // spares a mispredicted branch per block, which would also throw away
    // the next block's work already under way.
    uint64_t front = starts;
#pragma GCC unroll 3
    for (int round = 0; round < 3; ++round) {
      const uint64_t next =
          ((front & by1) << 1 | (front & by2) << 2 | (front & by3) << 3 | (front & by4) << 4) & ~starts;
      starts |= next;
      front = next;
    }
    while (front) {
      const uint64_t next =
          ((front & by1) << 1 | (front & by2) << 2 | (front & by3) << 3 | (front & by4) << 4) & ~starts;
      starts |= next;
      front = next;
    }
    // The last key runs past the block by 0 to 3 bytes.
    const unsigned last = 63 - unsigned(__builtin_clzll(starts));
    entry = last + 1 + unsigned((by2 >> last) & 1) + 2 * unsigned((by3 >> last) & 1) +
            3 * unsigned((by4 >> last) & 1) - 64;

    // Up to three bytes per key start, in four-byte slots: 16 positions per
    // 64-byte vector, compressed to the bytes that count.
    const uint64_t keep0 = starts, keep1 = starts & _cvtmask64_u64(_mm512_test_epi8_mask(v1, v1)),
                   keep2 = starts & _cvtmask64_u64(_mm512_test_epi8_mask(v2, v2));
    const __m512i p01Low = _mm512_permutex2var_epi8(v0, pairLow, v1),
                  p01High = _mm512_permutex2var_epi8(v0, pairHigh, v1);
    const __m512i p2Low = _mm512_permutex2var_epi8(v2, pairLow, zero),
                  p2High = _mm512_permutex2var_epi8(v2, pairHigh, zero);
    o = putSlots(_mm512_permutex2var_epi16(p01Low, words0, p2Low), keep0, keep1, keep2, o);
    o = putSlots(_mm512_permutex2var_epi16(p01Low, words1, p2Low), keep0 >> 16, keep1 >> 16, keep2 >> 16, o);
    o = putSlots(_mm512_permutex2var_epi16(p01High, words0, p2High), keep0 >> 32, keep1 >> 32, keep2 >> 32, o);
    o = putSlots(_mm512_permutex2var_epi16(p01High, words1, p2High), keep0 >> 48, keep1 >> 48, keep2 >> 48, o);
  }
  written += size_t(o - o0);
  return i + entry;
}
#undef TOLVAN_VBMI2

bool detect() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}
#else
bool detect() { return false; }
#endif

bool available() {
  static const bool a = detect();
  return a;
}

// -1 until first use, then 1 (vector path on) or 0.
std::atomic<int> enabled{-1};

}  // namespace

bool VectorAvailable() { return available(); }

bool VectorEnabled() {
  int e = enabled.load(std::memory_order_relaxed);
  if (e < 0) {
    e = available() ? 1 : 0;
    enabled.store(e, std::memory_order_relaxed);
  }
  return e != 0;
}

bool SetVectorEnabled(bool on) {
  const bool before = VectorEnabled();
  enabled.store(on && available() ? 1 : 0, std::memory_order_relaxed);
  return before;
}

#ifdef TOLVAN_CONVERT_X86
PairFn PairKernel() { return VectorEnabled() ? pairVbmi2 : nullptr; }
AnjalFn AnjalKernel() { return VectorEnabled() ? anjalVbmi2 : nullptr; }
MylaiFn MylaiKernel() { return VectorEnabled() ? mylaiVbmi2 : nullptr; }
RomanFn RomanKernel() { return VectorEnabled() ? romanVbmi2 : nullptr; }
#else
PairFn PairKernel() { return nullptr; }
AnjalFn AnjalKernel() { return nullptr; }
MylaiFn MylaiKernel() { return nullptr; }
RomanFn RomanKernel() { return nullptr; }
#endif

}  // namespace tolvan::convert_simd
