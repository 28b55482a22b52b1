// Vector code of the TSCII <-> Unicode codec and the choice of it at run time.
// Internal to the codec: the public calls are in unicode_bridge.h and
// unicode_stream.h. Tests, the fuzz target and the benchmark force each level
// through SetBridgeLevel to compare it with the scalar code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvan::unicode_simd {

// How the codec runs. Every level gives exactly the same bytes and warnings.
enum class BridgeLevel : uint8_t {
  Scalar,  // byte-at-a-time tables only
  Sse2,    // 16-byte vectors (every x86-64 processor)
  Avx2,    // 32-byte vectors
  Avx512,  // 64-byte vectors (AVX-512BW)
  Avx512Vbmi2,  // and byte permutes and compression (AVX-512 VBMI, VBMI2): the encoder writes a chunk at once
};

const char* BridgeLevelName(BridgeLevel level);
// The levels this processor can run, Scalar first, the fastest last.
std::vector<BridgeLevel> AvailableBridgeLevels();
// The level conversions use now: the fastest available unless set.
BridgeLevel ActiveBridgeLevel();
// Makes every later conversion (in any thread) use `level`, which must be
// available; returns the level before. For tests and benchmarks.
BridgeLevel SetBridgeLevel(BridgeLevel level);

// --- TSCII -> Unicode, the classifying pass --------------------------------
//
// A block is 64 TSCII bytes p[0, 64); the pass reads p[-2] to p[65] too. For
// each byte k it writes idx[k] = 16 * (row * 256 + byte), the byte offset of
// the entry of the decoder's emit table (16-byte entries) that holds the UTF-8
// of the letter starting at k:
//   - row 0, byte p[k]: a letter of one byte (a post sign here always joins
//     the live consonant before it);
//   - rows 1..6, byte p[k+1]: p[k] is a prefix sign and p[k+1] the live
//     consonant it belongs to; the row is the sign the letter ends with
//     (e, ee, ai, or with the length mark at p[k+2]: o, oo, au);
//   - kAbsorbed: p[k] belongs to the letter that started one or two bytes
//     before (the consonant after a prefix sign, the sign after that).
// flags[k] is nonzero when the letter starting at k needs the general decoder
// (a warning, a lone sign, a second sign, a byte with no character, 0xB4 0xAA,
// dead ka before ssa); only letter starts are flagged. Returns whether any is.
constexpr int kBlock = 64;
constexpr int kSignRows = 7;                       // row 0 and the six signs
constexpr uint16_t kAbsorbed = kSignRows * 256;    // an entry of length zero
constexpr int kEntrySize = 16;
constexpr int kEmitEntries = kSignRows * 256 + 1;  // rows, then kAbsorbed
using ClassifyFn = bool (*)(const uint8_t* p, uint16_t* idx, uint8_t* flags);
// nullptr for Scalar.
ClassifyFn TsciiClassifier(BridgeLevel level);

// --- Unicode -> TSCII, the classifying pass --------------------------------
//
// A chunk is 64 bytes of UTF-8 p[0, 64); the pass reads up to p[69]. A Tamil
// character here is E0 AE/AF xx (xx a continuation byte) and its code is its
// offset in U+0B80..U+0BFF. For each byte k it writes
//   idx[k] = unit * 32 + col, unit = p[k] for an ASCII byte, 128 + the code
//   of the Tamil character starting at k, anything for other bytes; col is
//   the column of the character at k+3 as a vowel sign after a consonant:
//   code - 0x3D for U+0BBE..U+0BCD, 17 for the au length mark, 0 otherwise
//   (not Tamil, not a sign);
// and bit masks over the 64 bytes: ASCII bytes, starts of Tamil characters,
// and among those starts: consonants (and holes among them, U+0B95..U+0BB9),
// vowel signs (U+0BBE..U+0BCD and U+0BD7), pulli, and ssa or ra (which may
// end the conjunct k.ssa or the ligature sri).
constexpr int kEncCols = 32;
constexpr int kEncColAuLength = 17;
struct EncMasks {
  uint64_t ascii, tamil, cons, sign, pulli, ssaRa;
};
// Classifies `chunks` chunks one after the other: chunk c is p + 64 * c,
// its entries idx + 64 * c, its masks m[c].
using EncClassifyFn = void (*)(const uint8_t* p, int chunks, uint16_t* idx, EncMasks* m);
// nullptr for Scalar.
EncClassifyFn UnicodeClassifier(BridgeLevel level);

// --- Unicode -> TSCII in one pass (AVX-512 VBMI2) ---------------------------
//
// Each 64-byte chunk is read once and written at once. A Tamil character is
// taken at its last byte j: a consonant writes its form there and the prefix
// part of the sign after it at j - 1; a sign writes its own post part (or
// nothing, when the consonant before it holds it); any other character its
// byte. So every output byte has a place in the chunk, and one compression
// packs them. Byte lookups over 128 entries (by the character's code, its
// offset in U+0B80..U+0BFF):
//   infoX: what the character is (kRun* flags below);
//   infoN: what it makes of a consonant before it: an offset into `forms`
//          (the consonant's dead, u, uu, tti or ttii form is forms[(code +
//          offset) & 127]) whose bits double as flags (kRunN*);
//   main:  a consonant's live form, a post sign's byte (the second part of a
//          two-part sign), any other character's byte, 0 for prefix signs
//          and pulli (written with their consonant);
//   pre:   the part of a sign written before the consonant (e, ee, ai, o, oo, au).
constexpr uint8_t kRunCons = 0x80, kRunHasU = 0x01, kRunTta = 0x02, kRunKaSa = 0x04, kRunVowelO = 0x08,
                  kRunNeedsCons = 0x10, kRunBad = 0x20;
// infoN values. infoX & infoN has bit 7 (any consonant before pulli), bit 0
// (a consonant with u/uu forms before u or uu) or bit 1 (tta before i or ii)
// exactly when the consonant changes form; bit 2 for ka or sa before pulli
// (maybe k.ssa or sri); bit 3 for the vowel o before the au length mark.
constexpr uint8_t kRunNPulli = 0xD4, kRunNU = 0x01, kRunNUu = 0x29, kRunNI = 0x02, kRunNIi = 0x22,
                  kRunNAuLength = 0x08;
struct alignas(64) EncRunTables {
  uint8_t infoX[128], infoN[128], main[128], pre[128], forms[128];
};
// Converts chunks from `from` (a letter start with nothing before it that
// matters, from >= 8) while a chunk and the next 64 bytes are in p[0, n) and
// the chunk ends by `limit`; writes at w and moves it. Returns where the last
// letter written ends. When a chunk has something the one pass does not take
// (a character that is not ASCII or Tamil TSCII holds, a lone prefix sign or
// pulli, the vowel o before the au length mark), `stopped` is the end of that
// chunk, for the caller to reach before the next run; otherwise 0. Writes up
// to 64 bytes past the letters.
using EncRunFn = size_t (*)(const uint8_t* p, size_t from, size_t n, size_t limit, const EncRunTables& t, char*& w,
                            size_t& stopped);
constexpr size_t kEncRunAhead = 64;
// nullptr where the processor lacks it.
EncRunFn UnicodeRunner(BridgeLevel level);

}  // namespace tolvan::unicode_simd
