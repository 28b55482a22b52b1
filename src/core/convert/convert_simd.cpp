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
#else
PairFn PairKernel() { return nullptr; }
AnjalFn AnjalKernel() { return nullptr; }
MylaiFn MylaiKernel() { return nullptr; }
#endif

}  // namespace tolvan::convert_simd
