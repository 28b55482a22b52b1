#include "core/document/encoding_sniff.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TOLVAN_UTF8_AVX2 1
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvan {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

uint64_t load8(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

#ifdef TOLVAN_UTF8_AVX2

// UTF-8 checked 32 bytes at a time by three nibble lookups per byte pair,
// as Keiser and Lemire describe it ("Validating UTF-8 in less than one
// instruction per byte", 2021): each table gives, for the high or low half
// of the first byte or the high half of the second, the faults that pair
// could be; a fault is real where all three agree. Continuation bytes that
// a lead two or three bytes back requires are checked apart.
namespace fault {
constexpr uint8_t kTooShort = 1 << 0;   // a lead, then no continuation
constexpr uint8_t kTooLong = 1 << 1;    // ASCII, then a continuation
constexpr uint8_t kOverlong3 = 1 << 2;  // E0 80..9F
constexpr uint8_t kTooLarge = 1 << 3;   // F4 90..BF, F5..FF
constexpr uint8_t kSurrogate = 1 << 4;  // ED A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;  // C0, C1
constexpr uint8_t kTooLarge1000 = 1 << 6;
constexpr uint8_t kOverlong4 = 1 << 6;  // F0 80..8F
constexpr uint8_t kTwoConts = 1 << 7;   // a continuation after a continuation
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;
}  // namespace fault

[[gnu::target("avx2")]] inline __m256i table16(uint8_t a0, uint8_t a1, uint8_t a2, uint8_t a3,
                                               uint8_t a4, uint8_t a5, uint8_t a6, uint8_t a7,
                                               uint8_t a8, uint8_t a9, uint8_t a10, uint8_t a11,
                                               uint8_t a12, uint8_t a13, uint8_t a14, uint8_t a15) {
  return _mm256_setr_epi8(char(a0), char(a1), char(a2), char(a3), char(a4), char(a5), char(a6),
                          char(a7), char(a8), char(a9), char(a10), char(a11), char(a12), char(a13),
                          char(a14), char(a15), char(a0), char(a1), char(a2), char(a3), char(a4),
                          char(a5), char(a6), char(a7), char(a8), char(a9), char(a10), char(a11),
                          char(a12), char(a13), char(a14), char(a15));
}

// The bytes of (prev, cur) shifted by k: byte i is the one k places before
// cur[i].
template <int K>
[[gnu::target("avx2")]] inline __m256i before(__m256i cur, __m256i prev) {
  return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(prev, cur, 0x21), 16 - K);
}

// The faults of the 32 bytes cur, prev the 32 before them (zero: none);
// t holds the three tables.
[[gnu::target("avx2")]] inline __m256i faultsOf(__m256i cur, __m256i prev, const __m256i* t) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i p1 = before<1>(cur, prev);
  const __m256i faults = _mm256_and_si256(
      _mm256_and_si256(_mm256_shuffle_epi8(t[0], _mm256_and_si256(_mm256_srli_epi16(p1, 4), nibble)),
                       _mm256_shuffle_epi8(t[1], _mm256_and_si256(p1, nibble))),
      _mm256_shuffle_epi8(t[2], _mm256_and_si256(_mm256_srli_epi16(cur, 4), nibble)));
  const __m256i must23 =
      _mm256_or_si256(_mm256_subs_epu8(before<2>(cur, prev), _mm256_set1_epi8(char(0xE0 - 0x80))),
                      _mm256_subs_epu8(before<3>(cur, prev), _mm256_set1_epi8(char(0xF0 - 0x80))));
  return _mm256_xor_si256(_mm256_and_si256(must23, _mm256_set1_epi8(char(0x80))), faults);
}

[[gnu::target("avx2")]] inline bool clean(__m256i v) { return _mm256_testz_si256(v, v) != 0; }

// The length of the start of p (a multiple of 32, at most n) that holds
// only valid UTF-8 sequences, except perhaps one cut off at its end.
[[gnu::target("avx2")]] size_t validBlocksAvx2(const unsigned char* p, size_t n) {
  using namespace fault;
  __m256i t[3];
  // Indexed by the first byte's high half, its low half, and the second
  // byte's high half.
  t[0] = table16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                 kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                 kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
  constexpr uint8_t big = kCarry | kTooLarge | kTooLarge1000;
  t[1] = table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
                 kCarry | kTooLarge, big, big, big, big, big, big, big, big, big | kSurrogate, big, big);
  constexpr uint8_t cont = kTooLong | kOverlong2 | kTwoConts;
  t[2] = table16(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                 cont | kOverlong3 | kTooLarge1000 | kOverlong4, cont | kOverlong3 | kTooLarge,
                 cont | kSurrogate | kTooLarge, cont | kSurrogate | kTooLarge, kTooShort, kTooShort,
                 kTooShort, kTooShort);
  __m256i prev = _mm256_setzero_si256();
  size_t i = 0;
  // Two blocks a step, one test for both.
  for (; i + 64 <= n; i += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32));
    // ASCII after complete sequences needs no tables.
    if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0 && _mm256_movemask_epi8(prev) == 0) {
      prev = b;
      continue;
    }
    const __m256i fa = faultsOf(a, prev, t);
    if (!clean(_mm256_or_si256(fa, faultsOf(b, a, t)))) return clean(fa) ? i + 32 : i;
    prev = b;
  }
  for (; i + 32 <= n; i += 32) {
    const __m256i cur = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    if (!clean(faultsOf(cur, prev, t))) break;
    prev = cur;
  }
  return i;
}

bool haveAvx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}

#endif

}  // namespace

std::string_view UnicodeMark(UnicodeForm form) {
  switch (form) {
    case UnicodeForm::Utf8: return {};
    case UnicodeForm::Utf8Mark: return std::string_view("\xEF\xBB\xBF", 3);
    case UnicodeForm::Utf16LeMark: return std::string_view("\xFF\xFE", 2);
    case UnicodeForm::Utf16BeMark: return std::string_view("\xFE\xFF", 2);
    case UnicodeForm::Utf32LeMark: return std::string_view("\xFF\xFE\x00\x00", 4);
    case UnicodeForm::Utf32BeMark: return std::string_view("\x00\x00\xFE\xFF", 4);
  }
  return {};
}

size_t Utf8InvalidAt(std::string_view bytes, bool mayEndInside, bool* tamil) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  bool sawTamil = false;
  size_t i = 0;
#ifdef TOLVAN_UTF8_AVX2
  // Whole files go through the vector check; the byte loop below takes over
  // at the first character of the block where it found a fault, and for the
  // last piece (the first piece, where Tamil letters are looked for, is
  // small and goes byte by byte).
  if (!tamil && n >= 64 && haveAvx2()) {
    i = validBlocksAvx2(p, n);
    // Back to the first byte of the last character before i, which a fault
    // (or the end) may have cut short.
    size_t j = i;
    for (int back = 0; back < 3 && j > 0 && isContinuation(p[j - 1]); ++back) --j;
    i = j > 0 ? j - 1 : 0;
  }
#endif
  while (i < n) {
    // Runs of ASCII go by eight bytes at a time.
    if (i + 16 <= n && ((load8(p + i) | load8(p + i + 8)) & kHighBits) == 0) {
      i += 16;
      continue;
    }
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The Tamil block (E0 AE xx, E0 AF xx) is most of a Tamil text: the
    // common case first.
    if (c == 0xE0 && i + 2 < n && (p[i + 1] == 0xAE || p[i + 1] == 0xAF) && isContinuation(p[i + 2])) {
      sawTamil = true;
      i += 3;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;  // no overlong forms
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      break;
    }
    size_t k = 1;
    for (; k < len && i + k < n; ++k) {
      const unsigned char b = p[i + k];
      if (k == 1 ? (b < lo || b > hi) : !isContinuation(b)) break;
    }
    if (k < len) {
      if (i + k == n && mayEndInside) {
        i = n;
        break;
      }
      break;
    }
    i += len;
  }
  if (tamil) *tamil = sawTamil;
  return i;
}

size_t Utf16InvalidAt(std::string_view data, bool bigEndian) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size() & ~size_t(1);
  const int hiByte = bigEndian ? 0 : 1;
  size_t i = 0;
  while (i < n) {
    const unsigned char h = p[i + hiByte];
    if (h < 0xD8 || h > 0xDF) {
      i += 2;
      continue;
    }
    // A high surrogate followed by a low one is one character; anything
    // else is a lone surrogate.
    if (h >= 0xDC || i + 2 >= n) return i;
    const unsigned char h2 = p[i + 2 + hiByte];
    if (h2 < 0xDC || h2 > 0xDF) return i;
    i += 4;
  }
  return i;  // data.size() - 1 for an odd length: the byte left over
}

size_t Utf32InvalidAt(std::string_view data, bool bigEndian) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size() & ~size_t(3);
  // The byte order's most significant byte first.
  const int b0 = bigEndian ? 0 : 3, b1 = bigEndian ? 1 : 2, b2 = bigEndian ? 2 : 1, b3 = bigEndian ? 3 : 0;
  for (size_t i = 0; i < n; i += 4) {
    const uint32_t v = uint32_t(p[i + b0]) << 24 | uint32_t(p[i + b1]) << 16 | uint32_t(p[i + b2]) << 8 | p[i + b3];
    if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return i;
  }
  return n;  // data.size() - 1 to - 3 when a unit is cut short: the bytes left over
}

std::string GroupedNumber(size_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  const size_t len = digits.size();
  for (size_t k = 0; k < len; ++k) {
    if (k > 0 && (len - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

EncodingGuess SniffEncoding(std::string_view bytes) {
  EncodingGuess g;
  auto unicode = [&g](UnicodeForm form) {
    g.encoding = TextEncoding::Unicode;
    g.form = form;
    return g;
  };
  auto notUtf8 = [&g](size_t at) {
    g.reason = "Opened as TSCII: not valid UTF-8 after byte " + GroupedNumber(at);
    return g;
  };
  const auto startsWith = [bytes](UnicodeForm form) { return bytes.substr(0, UnicodeMark(form).size()) == UnicodeMark(form); };

  if (startsWith(UnicodeForm::Utf8Mark)) {
    const size_t bad = Utf8InvalidAt(bytes.substr(3));
    if (bad == bytes.size() - 3) return unicode(UnicodeForm::Utf8Mark);
    return notUtf8(bad + 3);
  }
  // UTF-32 first: its little-endian mark starts with UTF-16's (which would
  // be a UTF-16 text beginning with U+0000, no text at all).
  for (const UnicodeForm form : {UnicodeForm::Utf32LeMark, UnicodeForm::Utf32BeMark}) {
    if (!startsWith(form)) continue;
    const std::string_view data = bytes.substr(4);
    const size_t bad = Utf32InvalidAt(data, form == UnicodeForm::Utf32BeMark);
    if (bad == data.size()) return unicode(form);
    const bool cutShort = data.size() % 4 != 0 && bad == data.size() - data.size() % 4;
    g.reason = cutShort ? std::string("Opened as TSCII: not valid UTF-32 (a length that is not a multiple of 4)")
                        : "Opened as TSCII: not valid UTF-32 (no Unicode character at byte " +
                              GroupedNumber(bad + 4) + ")";
    return g;
  }
  for (const UnicodeForm form : {UnicodeForm::Utf16LeMark, UnicodeForm::Utf16BeMark}) {
    if (!startsWith(form)) continue;
    const std::string_view data = bytes.substr(2);
    const size_t bad = Utf16InvalidAt(data, form == UnicodeForm::Utf16BeMark);
    if (bad == data.size()) return unicode(form);
    g.reason = data.size() % 2 != 0 && bad == data.size() - 1
                   ? std::string("Opened as TSCII: not valid UTF-16 (an odd number of bytes)")
                   : "Opened as TSCII: not valid UTF-16 (a lone surrogate at byte " +
                         GroupedNumber(bad + 2) + ")";
    return g;
  }

  // No mark: UTF-8 with Tamil letters in the first piece. Text without them
  // (ASCII, or TSCII that happens to be valid UTF-8) stays TSCII.
  const std::string_view head = bytes.substr(0, kEncodingSniffBytes);
  bool tamil = false;
  if (Utf8InvalidAt(head, head.size() < bytes.size(), &tamil) != head.size() || !tamil) return g;
  if (head.size() == bytes.size()) return unicode(UnicodeForm::Utf8);
  const size_t bad = Utf8InvalidAt(bytes);
  if (bad == bytes.size()) return unicode(UnicodeForm::Utf8);
  return notUtf8(bad);
}

bool RtfHoldsUnicodeTamil(std::string_view rtf) {
  const char* s = rtf.data();
  const size_t n = rtf.size();
  // Whether the "\u" at `at` is a control word (not an escaped backslash
  // and a 'u') for a Tamil letter. The number is looked at first: a file
  // from LibreOffice has a \uN word for every character beyond ASCII, few
  // of them Tamil.
  auto tamilAt = [s, n](size_t at) {
    unsigned value = 0;
    size_t k = at + 2, digits = 0;
    while (k < n && digits < 6 && s[k] >= '0' && s[k] <= '9') value = value * 10 + unsigned(s[k++] - '0'), ++digits;
    if (!digits || value < 0x0B80 || value > 0x0BFF) return false;
    size_t slashes = 0;
    while (slashes < at && s[at - 1 - slashes] == '\\') ++slashes;
    return slashes % 2 == 0;
  };
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen places at a time: a backslash and a 'u' with digits after them
  // that can make 2944 to 3071: "29", "30", or a leading zero. A file from
  // LibreOffice writes every byte beyond ASCII as \uN, and looking at the
  // number of each one cost more than the rest of the scan.
  const __m128i slash = _mm_set1_epi8('\\'), u = _mm_set1_epi8('u');
  const __m128i zero = _mm_set1_epi8('0'), two = _mm_set1_epi8('2'), three = _mm_set1_epi8('3'),
                nine = _mm_set1_epi8('9');
  for (; i + 19 <= n; i += 16) {
    auto at = [&](size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + k)); };
    const __m128i d1 = at(2), d2 = at(3);
    const __m128i digits =
        _mm_or_si128(_mm_cmpeq_epi8(d1, zero),
                     _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(d1, two), _mm_cmpeq_epi8(d2, nine)),
                                  _mm_and_si128(_mm_cmpeq_epi8(d1, three), _mm_cmpeq_epi8(d2, zero))));
    unsigned hits = unsigned(_mm_movemask_epi8(
        _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(0), slash), _mm_cmpeq_epi8(at(1), u)), digits)));
    for (; hits; hits &= hits - 1)
      if (tamilAt(i + unsigned(__builtin_ctz(hits)))) return true;
  }
#endif
  for (; i + 1 < n; ++i)
    if (s[i] == '\\' && s[i + 1] == 'u' && tamilAt(i)) return true;
  return false;
}

}  // namespace tolvan
