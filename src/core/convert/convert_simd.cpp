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
#define TOLVAN_VBMI2 "avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt"

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

// A mask's bits in a general register, kept there: left to itself the
// compiler moves logic on such bits back into mask registers, whose
// instructions take the same two ports as the vector work.
[[gnu::always_inline]] inline uint64_t inGpr(uint64_t x) {
  asm("" : "+r"(x));
  return x;
}
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline uint64_t bitsOf(__mmask64 m) {
  return inGpr(_cvtmask64_u64(m));
}

// Positions where the two bytes c[0], c[1] stand, given the bytes at each
// position and the bytes one further.
[[gnu::target(TOLVAN_VBMI2), gnu::always_inline]] inline __mmask64 pairAt(__m512i x0, __m512i x1, __m512i first,
                                                                           __m512i second) {
  return _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(x0, first), x1, second);
}

[[gnu::target(TOLVAN_VBMI2)]] size_t romanVbmi2(const uint8_t* p, size_t n, const RomanTables& t, uint8_t* o,
                                                size_t& written) {
  const __m512i firstLow = _mm512_loadu_si512(t.first), firstMiddle = _mm512_loadu_si512(t.first + 64),
                firstHigh = _mm512_loadu_si512(t.first + 128), signTable = _mm512_loadu_si512(t.sign);
  const __m512i characterLow = _mm512_loadu_si512(t.character), characterHigh = _mm512_loadu_si512(t.character + 64);
  const __m512i suffixLow = _mm512_loadu_si512(t.suffix), suffixHigh = _mm512_loadu_si512(t.suffix + 64);
  const __m512i ownShort[2] = {_mm512_set1_epi8(char(t.ownShort[0])), _mm512_set1_epi8(char(t.ownShort[1]))};
  const __m512i third = _mm512_loadu_si512(t.third);
  const __m512i kind = _mm512_loadu_si512(t.kind), live = _mm512_loadu_si512(t.live),
                afterTable = _mm512_loadu_si512(t.after);
  const __mmask64 everywhere = ~__mmask64(0);
  const __m512i del = _mm512_set1_epi8(0x7F), numberBits = _mm512_set1_epi8(0x1F), inKey = _mm512_set1_epi8(0x20),
                classOne = _mm512_set1_epi8(0x40), classThree = _mm512_set1_epi8(char(0x80));
  // Byte k - 1 of a vector at each position k (the first: none).
  alignas(64) static constexpr uint8_t kBefore[64] = {
      0,  0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
      21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42,
      43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62};
  const __m512i before = _mm512_load_si512(kBefore);
  // The characters compared with, each filling a vector, kept in memory: the
  // loop has more constants than registers, and reading one from memory
  // costs less than spreading a byte again.
  alignas(64) __m512i c2[3][3], s2[2][3], own[4];
  for (int k = 0; k < 3; ++k)
    for (int b = 0; b < 3; ++b) c2[k][b] = _mm512_set1_epi8(char(t.consonant2[k][b]));
  for (int k = 0; k < 2; ++k)
    for (int b = 0; b < 3; ++b) s2[k][b] = _mm512_set1_epi8(char(t.suffix2[k][b]));
  for (int b = 0; b < 4; ++b) own[b] = _mm512_set1_epi8(char(t.own[b]));
  asm("" : : "r"(c2), "r"(s2), "r"(own) : "memory");
  uint8_t* const o0 = o;
  size_t i = 0;
  unsigned entry = 0;  // where the first key of the block starts
  uint64_t pairsCarried = 0;  // whether the last block ended on the first of such a pair
  const size_t end = n < 67 ? 0 : n - 66;
  for (; i < end; i += 64) {
    const __m512i x0 = _mm512_loadu_si512(p + i), x3 = _mm512_loadu_si512(p + i + 3);
    // The bytes from 0x80 up, in no key, as 0x7F, also in none: the table
    // lookups then need no mask, which would wait on a test of each byte.
    const __m512i a0 = _mm512_min_epu8(x0, del), a1 = _mm512_min_epu8(_mm512_loadu_si512(p + i + 1), del),
                  a2 = _mm512_min_epu8(_mm512_loadu_si512(p + i + 2), del);
    // The consonant at each position, if any, and then the suffix after it
    // (at the position itself where no consonant starts: a vowel alone).
    const __m512i character = _mm512_permutex2var_epi8(characterLow, a0, characterHigh);
    // The consonant's number, its low five bits.
    __m512i consonant = character;
    __mmask64 twoChars = 0;
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      const __mmask64 m = pairAt(a0, a1, c2[k][0], c2[k][1]);
      consonant = _mm512_mask_mov_epi8(consonant, m, c2[k][2]);
      twoChars |= m;
    }
    // (A two-character consonant begins with a one-character one.)
    const __mmask64 hasConsonant = _mm512_test_epi8_mask(character, numberBits);
    const __m512i s0 = _mm512_mask_blend_epi8(hasConsonant, a0, _mm512_mask_blend_epi8(twoChars, a1, a2));
    const __m512i s1 = _mm512_mask_blend_epi8(hasConsonant, a1, _mm512_mask_blend_epi8(twoChars, a2, x3));
    __m512i suffix = _mm512_permutex2var_epi8(suffixLow, s0, suffixHigh);
    const __mmask64 oneCharSuffix = _mm512_test_epi8_mask(suffix, suffix);
    // The two-character suffixes begin with the same character.
    const __mmask64 suffixFirst = _mm512_cmpeq_epi8_mask(s0, s2[0][0]);
    __mmask64 twoCharSuffix = 0;
#pragma GCC unroll 2
    for (int k = 0; k < 2; ++k) {
      const __mmask64 m = _mm512_mask_cmpeq_epi8_mask(suffixFirst, s1, s2[k][1]);
      suffix = _mm512_mask_mov_epi8(suffix, m, s2[k][2]);
      twoCharSuffix |= m;
    }
    // Key lengths, consonant and suffix added up, one for a byte that starts
    // no key, as bit masks. All the logic on such bit masks is done in plain
    // registers.
    const uint64_t cAny = bitsOf(hasConsonant), cTwo = bitsOf(twoChars), cOne = cAny & ~cTwo;
    const uint64_t sAny = bitsOf(oneCharSuffix), sTwo = bitsOf(twoCharSuffix), sOne = sAny & ~sTwo;
    const uint64_t noKey = ~(cAny | sAny);
    // The key length less one (a byte that starts no key: 0) in two bits:
    // odd for 2 and 4 characters, two or more for 3 and 4.
    const uint64_t lengthOdd = (cTwo & ~sOne) | (sTwo & ~cOne) | (cOne & sOne);
    uint64_t lengthTwo = (cTwo & sAny) | (sTwo & cAny);

    // The first byte: the vowel sign where it stands before the consonant,
    // or the vowel alone; otherwise by the consonant's number (times 8,
    // above the suffix number) from a table of 192.
    const __m512i kindSuffix = _mm512_or_si512(_mm512_maskz_permutexvar_epi8(everywhere, consonant, kind), suffix);
    const __m512i sign = _mm512_maskz_permutexvar_epi8(everywhere, kindSuffix, signTable);
    const __m512i index = _mm512_ternarylogic_epi32(_mm512_slli_epi16(consonant, 3), suffix,
                                                    _mm512_set1_epi8(char(0xF8)), 0xE4);  // c ? a : b, bit by bit
    __m512i v0 = _mm512_mask_blend_epi8(
        _mm512_movepi8_mask(index), _mm512_permutex2var_epi8(firstLow, index, firstMiddle),
        _mm512_maskz_permutexvar_epi8(everywhere, index, firstHigh));
    const __mmask64 signFirst = _mm512_movepi8_mask(sign);
    v0 = _mm512_mask_blend_epi8(signFirst, v0, sign);
    // The second byte: the live form where the vowel sign stands before
    // it (a vowel alone, with no consonant, has none), otherwise by the
    // suffix and the kind of consonant.
    const __m512i after = _mm512_maskz_permutexvar_epi8(everywhere, kindSuffix, afterTable);
    const __m512i v1 = _mm512_mask_permutexvar_epi8(after, signFirst, consonant, live);
    // The third byte comes from the suffix alone (and counts only after a
    // consonant).
    const __m512i v2 = _mm512_maskz_permutexvar_epi8(hasConsonant, suffix, third);
    // A byte that starts no other key is copied, or gives the byte of the
    // key of one character that it is. The longer key of its own (a
    // ligature) replaces a key of one character.
    v0 = _mm512_mask_mov_epi8(v0, _cvtu64_mask64(noKey), x0);
    v0 = _mm512_mask_mov_epi8(v0, _mm512_cmpeq_epi8_mask(x0, ownShort[0]), ownShort[1]);
    __mmask64 ownAt = _mm512_mask_cmpeq_epi8_mask(_mm512_cmpeq_epi8_mask(a0, own[0]), a1, own[1]);
    // Where a two-character consonant or the key of its own has its first
    // two characters.
    const uint64_t pairs = cTwo | bitsOf(ownAt);
    ownAt = _mm512_mask_cmpeq_epi8_mask(ownAt, a2, own[2]);
    v0 = _mm512_mask_mov_epi8(v0, ownAt, own[3]);
    const uint64_t ownBits = bitsOf(ownAt);
    lengthTwo |= ownBits;  // three characters where otherwise one
    const uint64_t by1 = ~(lengthOdd | lengthTwo), by2 = lengthOdd & ~lengthTwo, by3 = lengthTwo & ~lengthOdd,
                   by4 = lengthOdd & lengthTwo;

    // Where keys start: a byte in no key is a key of its own and so is the
    // byte after it; a character found only first in keys starts one, and
    // so does one found elsewhere only second after a given character where
    // that character is not before it. From those (and the block's first
    // key) each key leads to the next, a round for each key in the longest
    // run that no such character breaks; in text there is hardly ever one
    // to follow, and the first round finds nothing new.
    const uint64_t outside = bitsOf(_mm512_testn_epi8_mask(character, inKey));
    const uint64_t firstOnly = bitsOf(_mm512_test_epi8_mask(character, classOne));
    const uint64_t secondOnly = bitsOf(_mm512_test_epi8_mask(character, classThree));
    uint64_t starts = (uint64_t(1) << entry) | outside | (outside << 1) | firstOnly |
                      (secondOnly & ~(pairs << 1 | pairsCarried));
    pairsCarried = pairs >> 63;
    uint64_t front = starts;
    do {
      const uint64_t next =
          inGpr(((front & by1) << 1 | (front & by2) << 2 | (front & by3) << 3 | (front & by4) << 4) & ~starts);
      starts = inGpr(starts | next);
      front = next;
    } while (front);
    // The last key runs past the block by 0 to 3 bytes.
    const unsigned last = 63 - unsigned(__builtin_clzll(starts));
    entry = last + 1 + unsigned((lengthOdd >> last) & 1) + 2 * unsigned((lengthTwo >> last) & 1) - 64;

    // Two bytes per position, compressed to those that count: a key's first
    // two bytes at its start, and its third (a letter of three bytes has a
    // key of two characters or more) in the first byte of the position
    // after it, which is inside the same key (for a key at the block's
    // last position, written after the block's bytes). The second and third
    // bytes looked up for a byte that starts no other key, or for the key of
    // its own (a consonant without a suffix there), are 0.
    const uint64_t second = starts & bitsOf(_mm512_test_epi8_mask(v1, v1));
    const uint64_t hasThird = starts & bitsOf(_mm512_test_epi8_mask(v2, v2));
    const uint64_t thirdAt = hasThird << 1;
    v0 = _mm512_mask_permutexvar_epi8(v0, _cvtu64_mask64(thirdAt), before, v2);
    o = writePairs(v0, v1, starts | thirdAt, second, o);
    if (hasThird >> 63) [[unlikely]] {
      alignas(64) uint8_t bytes[64];
      _mm512_store_si512(bytes, v2);
      *o++ = bytes[63];
    }
  }
  written += size_t(o - o0);
  return i + entry;
}
#undef TOLVAN_VBMI2

bool detect() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
         __builtin_cpu_supports("popcnt");
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
