// TSCII <-> Unicode Tamil codec.
//
// TSCII keeps a consonant with a vowel sign in visual order (the signs e, ee
// and ai stand before the consonant; o, oo and au are split around it) and has
// one-byte forms for dead consonants, the u and uu letters, tti, ttii, sri and
// the conjunct k.ssa. Unicode keeps logical order and spells every one of
// these as consonant + sign. Both directions are table lookups over
// unicode_tables.h with a fast path for ASCII.
//
// Choices that make every canonical TSCII text survive a round trip:
//   - A vowel sign byte that has no consonant to attach to (a prefix sign not
//     followed by a live consonant, a post sign not right after a bare live
//     consonant) is written on U+25CC DOTTED CIRCLE, the usual base for a mark
//     shown alone; U+25CC + sign converts back to the lone sign byte.
//   - Bytes with no character (0xA0, 0xFF) become U+F0A0 and U+F0FF.
//   - Second spellings of a letter (0xFE for i, consonant + u/uu sign where a
//     one-byte form exists, tta + i/ii sign, 0xB4 0xAA for au, dead ka + ssa,
//     dead sa + ra + ii) become that letter and convert back to its canonical
//     bytes; a warning says so.
// UnicodeToTscii accepts NFC and decomposed input (e + aa for o, e + au length
// mark for au, o + au length mark for the vowel au). Characters TSCII cannot
// hold are kept as UTF-8 or dropped (Unmappable), with a warning; each byte of
// malformed UTF-8 becomes '?' with a warning; a byte order mark at the very
// start is dropped with a warning.
#include "core/convert/unicode_bridge.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "core/convert/string_room.h"
#include "core/convert/unicode_simd.h"
#include "core/convert/unicode_tables.h"

namespace tolvan {
namespace {

using namespace unicode_tables;

// ---------------------------------------------------------------------------
// Output: the hot loops write through a local pointer (kept in a register),
// growing the string only when fewer than kSlack bytes are left.

// Room the decoder keeps ahead of its write pointer: one step writes at most
// eight letters (up to 12 + 3 bytes each, 16 more for the overhang of the
// vector copy) and then one general-path letter.
constexpr size_t kSlack = 256;

struct Cursor {
  char* w;
  char* end;
};

// Makes room for at least `need` more bytes after w.
[[gnu::noinline]] Cursor grow(std::string& s, char* w, size_t need) {
  const size_t pos = static_cast<size_t>(w - s.data());
  const size_t want = pos + need + 4096;
  resizeUninit(s, want <= s.capacity() ? s.capacity() : std::max(s.size() * 2, want));
  return {s.data() + pos, s.data() + s.size()};
}

Cursor begin(std::string& s, size_t need) {
  const size_t pos = s.size();
  // All the room already there (the string may have been reserved for the
  // whole text), and at least `need`.
  resizeUninit(s, std::max(pos + need + kSlack, s.capacity()));
  return {s.data() + pos, s.data() + s.size()};
}

constexpr int utf8Encode(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

std::string hexCp(char32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
  return buf;
}
std::string hexByte(uint8_t b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", b);
  return buf;
}

// ---------------------------------------------------------------------------
// TSCII -> Unicode tables. A post sign joins the live consonant right before
// it; anywhere else it has no consonant and is written on a dotted circle.
// So the table for a byte is chosen by the class of the byte before it
// (kPrevClass); the tables differ only in the post signs. The choice depends
// on the input bytes alone (a prefix sign is taken together with its
// consonant as one letter), so the loop carries no chain of loads from one
// byte to the next.

enum DecKind : uint8_t {
  kDecPlain,    // a whole letter or symbol
  kDecPrefix,   // vowel sign written before the consonant
  kDecSpecial,  // needs a look at its neighbour or a warning (0xB4, 0xFE, unassigned)
};
// Flags: reasons to leave the fast path.
constexpr uint8_t kSlow = 1;         // any of the below, or kind != kDecPlain
constexpr uint8_t kStartsSsa = 2;    // begins with ssa: a dead ka before it spells k.ssa
constexpr uint8_t kLoneSign = 4;     // a post sign with no consonant
constexpr uint8_t kSecondCheck = 8;  // consonant + sign that may have a one-byte form

// Classes of the byte before: what a post sign after it becomes.
enum PrevClass : uint8_t {
  kAfterOther,    // no consonant: the sign stands alone
  kAfterGrantha,  // a grantha consonant: every sign simply joins it
  kAfterNative,   // a native consonant: u and uu have one-byte forms
  kAfterTta,      // tta: also i and ii (0xCA, 0xCB)
  kAfterRa,       // ra: ii after a dead sa is the ligature sri
  kNumPrevClasses
};

struct DecEntry {
  char u8[12];
  uint8_t len = 0;
  uint8_t kind = kDecPlain;
  uint8_t flags = 0;
  uint8_t pad = 0;
};
static_assert(sizeof(DecEntry) == 16);

constexpr void append(DecEntry& e, char32_t cp) { e.len += utf8Encode(cp, e.u8 + e.len); }
constexpr DecEntry entryOf(char32_t cp) {
  DecEntry e{};
  append(e, cp);
  return e;
}

// A consonant's own code points (the conjunct k.ssa is three).
constexpr void appendConsonant(DecEntry& e, int i) {
  if (i == kKssa) {
    append(e, kConsonants[kKa].cp);
    append(e, kPulli);
    append(e, kConsonants[kSsa].cp);
  } else {
    append(e, kConsonants[i].cp);
  }
}

constexpr bool isPostSign(int b) { return (b >= kByteAa && b <= kByteUu) || b == kByteAuLength; }

constexpr std::array<DecEntry, 256> makeDecodeTable(PrevClass after) {
  std::array<DecEntry, 256> t{};
  for (int b = 0; b < 0x80; ++b) append(t[b], static_cast<char32_t>(b));
  for (int b = kByteE; b <= kByteAi; ++b) t[b].kind = kDecPrefix;
  for (int b = 0x80; b < 0x100; ++b) {
    if (!isPostSign(b)) continue;
    if (after == kAfterOther) {
      append(t[b], kDottedCircle);
      t[b].flags = kLoneSign;
    }
  }
  if (after == kAfterNative || after == kAfterTta || after == kAfterRa) {
    t[kByteU].flags = kSecondCheck;
    t[kByteUu].flags = kSecondCheck;
  }
  if (after == kAfterTta) t[kByteI].flags = t[kByteIi].flags = kSecondCheck;
  if (after == kAfterRa) t[kByteIi].flags = kSecondCheck;
  for (const Single& s : kSingles) append(t[s.byte], s.cp);
  for (int i = 0; i < kNumConsonants; ++i) {
    const Consonant& c = kConsonants[i];
    appendConsonant(t[c.live], i);
    appendConsonant(t[c.dead], i);
    append(t[c.dead], kPulli);
    if (c.u) {
      appendConsonant(t[c.u], i);
      append(t[c.u], kSignU);
      appendConsonant(t[c.uu], i);
      append(t[c.uu], kSignUu);
    }
  }
  t[kConsonants[kSsa].live].flags = kStartsSsa;
  t[kConsonants[kSsa].dead].flags = kStartsSsa;
  append(t[kByteTti], kConsonants[kTta].cp);
  append(t[kByteTti], kSignI);
  append(t[kByteTtii], kConsonants[kTta].cp);
  append(t[kByteTtii], kSignIi);
  append(t[kByteSri], kConsonants[kSa].cp);
  append(t[kByteSri], kPulli);
  append(t[kByteSri], kConsonants[kRa].cp);
  append(t[kByteSri], kSignIi);
  append(t[kSecondI], 0x0B87);
  t[kSecondI].kind = kDecSpecial;
  t[kByteO].kind = kDecSpecial;
  for (uint8_t b : kUnassigned) {
    append(t[b], kPuaBase + b);
    t[b].kind = kDecSpecial;
  }
  for (DecEntry& e : t)
    if (e.flags || e.kind != kDecPlain) e.flags |= kSlow;
  return t;
}
constexpr std::array<DecEntry, 256> kDecTables[kNumPrevClasses] = {
    makeDecodeTable(kAfterOther), makeDecodeTable(kAfterGrantha), makeDecodeTable(kAfterNative),
    makeDecodeTable(kAfterTta), makeDecodeTable(kAfterRa)};
constexpr const std::array<DecEntry, 256>& kDec = kDecTables[0];

constexpr bool decodeTablesComplete() {
  for (const auto& t : kDecTables)
    for (const DecEntry& e : t)
      if (e.len == 0) return false;
  return true;
}
static_assert(decodeTablesComplete(), "every TSCII byte decodes to something");

constexpr std::array<uint8_t, 256> makePrevClasses() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < kNumConsonants; ++i)
    t[kConsonants[i].live] = kConsonants[i].u ? kAfterNative : kAfterGrantha;
  t[kConsonants[kTta].live] = kAfterTta;
  t[kConsonants[kRa].live] = kAfterRa;
  return t;
}
constexpr std::array<uint8_t, 256> kPrevClass = makePrevClasses();

constexpr uint8_t kDeadKa = kConsonants[kKa].dead;
constexpr uint8_t kDeadSa = kConsonants[kSa].dead;
constexpr uint8_t kLiveRa = kConsonants[kRa].live;
constexpr uint8_t kLiveTta = kConsonants[kTta].live;
constexpr uint8_t kLiveSsa = kConsonants[kSsa].live;

// The one-byte form that a live consonant + post sign converts back as, or 0
// when the pair is itself canonical.
constexpr uint8_t canonicalLigature(uint8_t live, uint8_t sign) {
  for (const Consonant& c : kConsonants) {
    if (c.live != live) continue;
    if (sign == kByteU) return c.u;
    if (sign == kByteUu) return c.uu;
  }
  if (live == kLiveTta && sign == kByteI) return kByteTti;
  if (live == kLiveTta && sign == kByteIi) return kByteTtii;
  return 0;
}

// The sign of a prefix-sign letter by the byte after its consonant (column
// 0: not a post sign; 1 + position in kPostSigns otherwise): the sign alone
// (the letter takes 2 bytes), the composed o, oo or au sign (3 bytes), or
// kSlow for a second sign, which the general path writes with its warning.
// `kind` holds the byte count here.
constexpr uint8_t kPostSigns[] = {kByteAa, kByteI, kByteIi, kByteU, kByteUu, kByteAuLength};
constexpr std::array<uint8_t, 256> makePostColumns() {
  std::array<uint8_t, 256> t{};
  for (int k = 0; k < 6; ++k) t[kPostSigns[k]] = static_cast<uint8_t>(k + 1);
  return t;
}
constexpr std::array<uint8_t, 256> kPostColumn = makePostColumns();
constexpr std::array<std::array<DecEntry, 7>, 3> makePrefixSigns() {
  std::array<std::array<DecEntry, 7>, 3> t{};
  for (int k = 0; k < 3; ++k) {
    const uint8_t prefix = static_cast<uint8_t>(kByteE + k);
    for (int col = 0; col < 7; ++col) {
      DecEntry& e = t[k][col];
      const uint8_t post = col ? kPostSigns[col - 1] : 0;
      if (prefix == kByteE && post == kByteAa) {
        e = entryOf(kSignO);
      } else if (prefix == kByteE && post == kByteAuLength) {
        e = entryOf(kSignAu);
      } else if (prefix == kByteEe && post == kByteAa) {
        e = entryOf(kSignOo);
      } else {
        e = entryOf(kSignE + k);
        e.kind = 2;
        if (col) e.flags = kSlow;
        continue;
      }
      e.kind = 3;
    }
  }
  return t;
}
constexpr auto kPrefixSign = makePrefixSigns();

constexpr DecEntry kEntryDotted = entryOf(kDottedCircle);
constexpr DecEntry kEntryO = entryOf(kSignO);
constexpr DecEntry kEntryOo = entryOf(kSignOo);
constexpr DecEntry kEntryAu = entryOf(kSignAu);
constexpr DecEntry kEntryVowelAu = entryOf(0x0B94);

// The emit table of the two-pass decoder (unicode_simd.h): row 0 is what a
// byte gives as a letter of its own (a post sign on the consonant before it),
// rows 1..6 a live consonant with the prefix sign before it (e, ee, ai) or the
// sign composed with the length mark after it (o, oo, au); kAbsorbed gives
// nothing. Entries the classifier never selects stay empty.
constexpr std::array<DecEntry, unicode_simd::kEmitEntries> makeEmitTable() {
  std::array<DecEntry, unicode_simd::kEmitEntries> t{};
  constexpr char16_t rowSign[unicode_simd::kSignRows] = {0, kSignE, kSignEe, kSignAi, kSignO, kSignOo, kSignAu};
  for (int b = 0; b < 256; ++b) {
    const DecEntry& e = kDecTables[kAfterGrantha][b];
    for (int k = 0; k < e.len; ++k) t[b].u8[k] = e.u8[k];
    t[b].len = e.len;
    if (kPrevClass[b] == kAfterOther) continue;
    for (int row = 1; row < unicode_simd::kSignRows; ++row) {
      DecEntry& r = t[row * 256 + b];
      r = t[b];
      append(r, rowSign[row]);
    }
  }
  return t;
}
constexpr auto kEmit = makeEmitTable();
static_assert(kEmit[unicode_simd::kAbsorbed].len == 0);
static_assert(sizeof(DecEntry) == unicode_simd::kEntrySize);

constexpr bool isPrefixSign(uint8_t b) { return b >= kByteE && b <= kByteAi; }
constexpr bool isLive(uint8_t b) { return kPrevClass[b] != kAfterOther; }
// Whether p[i] belongs to a letter that starts before it (i >= 2).
inline bool absorbedAt(const uint8_t* p, size_t i) {
  return (isLive(p[i]) && isPrefixSign(p[i - 1])) || (isPostSign(p[i]) && isLive(p[i - 1]) && isPrefixSign(p[i - 2]));
}

// Room the two-pass decoder keeps ahead of its write pointer: a block of 64
// letters of up to 12 bytes each, plus the overhang of the last copy.
constexpr size_t kBlockRoom = unicode_simd::kBlock * 12 + 16;

// Copies the whole entry (16 bytes, one vector move) and keeps its UTF-8;
// kSlack leaves room for the bytes past it, which the next write covers.
inline char* put(char* w, const DecEntry& e) {
  std::memcpy(w, &e, sizeof e);
  return w + e.len;
}

struct Decoder {
  TsciiDecodeState& st;
  const BridgeWarning& warn;
  uint64_t base;

  // `at` is the offset of the spelling's first byte, which may lie in an
  // earlier piece of a streamed text.
  [[gnu::noinline]] void secondSpelling(uint64_t at, const std::string& bytes, uint8_t canonical) const {
    if (warn) warn(at, bytes + ": second spelling of a letter, converts back as " + hexByte(canonical));
  }
  [[gnu::noinline]] void loneSign(size_t i, uint8_t b) const {
    if (warn) warn(base + i, hexByte(b) + ": vowel sign without a consonant, written on " + hexCp(kDottedCircle));
  }
  // Dead ka followed by ssa reads, in Unicode, exactly like the conjunct;
  // only after a lone prefix sign, and when ssa has no prefix sign of its own
  // (`bareSsa`), does it stay split (see Encoder::consonant). pb and pb2 are
  // the two bytes before ssa's letter.
  [[gnu::noinline]] void checkSsa(size_t i, uint8_t b, bool bareSsa, uint8_t pb, uint8_t pb2) const {
    const bool staysSplit = bareSsa && b == kLiveSsa && pb2 >= kByteE && pb2 <= kByteAi;
    if (pb == kDeadKa && !staysSplit)
      secondSpelling(base + i - 1, hexByte(kDeadKa) + " " + hexByte(b),
                     b == kConsonants[kSsa].dead ? kConsonants[kKssa].dead : kConsonants[kKssa].live);
  }
  // Warnings for a byte the tables write as it is.
  [[gnu::noinline]] void look(size_t i, uint8_t b, const DecEntry& e, uint8_t pb, uint8_t pb2) const {
    if (e.flags & kStartsSsa) checkSsa(i, b, true, pb, pb2);
    if (e.flags & kLoneSign) loneSign(i, b);
    if (e.flags & kSecondCheck) {
      if (uint8_t lig = canonicalLigature(pb, b))
        secondSpelling(base + i - 1, hexByte(pb) + " " + hexByte(b), lig);
      else if (pb == kLiveRa && pb2 == kDeadSa)
        secondSpelling(base + i - 2, hexByte(kDeadSa) + " " + hexByte(kLiveRa) + " " + hexByte(b), kByteSri);
    }
  }

  // Converts p[0, n), appending to s. When `final` is false, stops before a
  // letter whose neighbours have not arrived yet; returns the bytes consumed.
  size_t run(const uint8_t* p, size_t n, bool final, std::string& s) {
    const size_t limit = final ? n : (n > kTsciiDecodeTail ? n - kTsciiDecodeTail : 0);
    // Tamil prose takes about 3.4 bytes of UTF-8 per TSCII byte; more grows
    // the string (at most 12 per byte, for 0x82 and 0x8C).
    Cursor c = begin(s, limit / 2 * 7);
    char* w = c.w;
    char* wend = c.end;
    // pb is the byte before p[i] (from the previous piece at first), kept in
    // a local so that writes through w cannot force reloads; pb2, the one
    // before it, is only needed off the fast path. A prefix sign's letter
    // takes a post sign after it along, so whatever follows such a letter is
    // never a post sign and pb is simply its last byte.
    uint8_t pb = st.prev, pb2 = st.prev2;
    size_t i = 0;
    // Two passes over 64-byte blocks where the processor has vectors: one
    // classifies every byte, the other copies each letter's UTF-8 from
    // kEmit. A block with a letter that needs a warning or a closer look is
    // copied up to that letter; the loop below does the rest of the block.
    const unicode_simd::ClassifyFn classify = unicode_simd::TsciiClassifier(unicode_simd::ActiveBridgeLevel());
    alignas(64) uint16_t idx[unicode_simd::kBlock];
    alignas(64) uint8_t flagged[unicode_simd::kBlock];
    size_t scalarUntil = 0;
    while (i < limit) {
      if (static_cast<size_t>(wend - w) < kSlack) {
        c = grow(s, w, (limit - i) * 4 + kSlack);
        w = c.w;
        wend = c.end;
      }
      constexpr size_t kB = unicode_simd::kBlock;
      if (classify && i >= scalarUntil && i >= 2 && i + kB + 2 <= n && i + kB <= limit) {
        if (static_cast<size_t>(wend - w) < kBlockRoom) {
          c = grow(s, w, (limit - i) * 4 + kBlockRoom);
          w = c.w;
          wend = c.end;
        }
        // A block of ASCII is copied as it is. Tamil prose seldom has eight
        // ASCII bytes in a row, so only a block that starts with them is
        // looked at as a whole.
        uint64_t high;
        std::memcpy(&high, p + i, 8);
        if (!(high & 0x8080808080808080ull)) {
          for (size_t k = 8; k < kB; k += 8) {
            uint64_t word;
            std::memcpy(&word, p + i + k, 8);
            high |= word;
          }
        }
        size_t count = kB;
        if (!(high & 0x8080808080808080ull)) {
          std::memcpy(w, p + i, kB);
          w += kB;
        } else {
          const bool any = classify(p + i, idx, flagged);
          if (any) {
            count = 0;
            while (!flagged[count]) ++count;
            scalarUntil = i + kB;
          }
          const char* table = reinterpret_cast<const char*>(kEmit.data());
          auto emit = [&](size_t k) { w = put(w, *reinterpret_cast<const DecEntry*>(table + idx[k])); };
          if (count == kB) {
#pragma GCC unroll 16
            for (size_t k = 0; k < kB; ++k) emit(k);
          } else {
            for (size_t k = 0; k < count; ++k) emit(k);
          }
        }
        i += count;
        // The last letter copied may end past the block.
        if (count == kB)
          while (i < n && absorbedAt(p, i)) ++i;
        pb = p[i - 1];
        continue;
      }
      // Eight bytes at a time: all ASCII is copied (with the run that
      // follows), otherwise they go through the tables until a byte needs
      // more than its table entry. kSlack covers eight entries.
      const size_t stop = std::min(limit, i + 8);
      if (i + 8 <= limit) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (!(word & 0x8080808080808080ull)) {
          const size_t runStop = std::min(limit, i + (kSlack - 8));
          size_t j = i;
          do {
            std::memcpy(w + (j - i), &word, 8);
            j += 8;
            if (j + 8 > runStop) break;
            std::memcpy(&word, p + j, 8);
          } while (!(word & 0x8080808080808080ull));
          w += j - i;
          i = j;
          pb = p[i - 1];
          continue;
        }
      }
      while (i < stop) {
        const uint8_t b = p[i];
        const DecEntry& e = kDecTables[kPrevClass[pb]][b];
        if (e.flags) {
          // A prefix sign with its live consonant (and aa or the au length
          // mark that completes o, oo or au) stays here when nothing about
          // it needs a warning; everything else goes to the general path.
          if (e.kind != kDecPrefix || i + 2 >= n) break;
          const uint8_t cb = p[i + 1];
          const DecEntry& ce = kDec[cb];
          if (kPrevClass[cb] == kAfterOther || ce.flags) break;
          const DecEntry& se = kPrefixSign[b - kByteE][kPostColumn[p[i + 2]]];
          if (se.flags) break;
          w = put(put(w, ce), se);
          i += se.kind;  // bytes the letter took
          pb = p[i - 1];
          continue;
        }
        w = put(w, e);
        pb = b;
        ++i;
      }
      if (i >= stop) continue;
      pb2 = i >= 2 ? p[i - 2] : i == 1 ? st.prev : st.prev2;
      const uint8_t b = p[i];
      const DecEntry& e = kDecTables[kPrevClass[pb]][b];
      if (e.kind == kDecPlain) {
        look(i, b, e, pb, pb2);
        w = put(w, e);
        pb = b;
        ++i;
        continue;
      }
      const uint8_t next = i + 1 < n ? p[i + 1] : 0;
      if (e.kind == kDecPrefix) {
        if (kPrevClass[next] == kAfterOther) {
          w = put(put(w, kEntryDotted), e);
          loneSign(i, b);
          pb = b;
          ++i;
          continue;
        }
        const DecEntry& ce = kDec[next];
        if (ce.flags & kStartsSsa) checkSsa(i, next, false, pb, pb2);
        w = put(w, ce);
        const uint8_t d = i + 2 < n ? p[i + 2] : 0;
        size_t used = 3;
        if (b == kByteE && d == kByteAa) {
          w = put(w, kEntryO);
        } else if (b == kByteE && d == kByteAuLength) {
          w = put(w, kEntryAu);
        } else if (b == kByteEe && d == kByteAa) {
          w = put(w, kEntryOo);
        } else {
          w = put(w, e);
          used = 2;
          if (isPostSign(d)) {
            // A second sign on a consonant that has one already.
            w = put(w, kDec[d]);
            loneSign(i + 2, d);
            used = 3;
          }
        }
        pb = p[i + used - 1];
        i += used;
        continue;
      }
      // kDecSpecial
      if (b == kByteO && next == kByteAuLength && i + 1 < n) {
        // o + au length mark is the vowel au; Unicode composes the pair.
        w = put(w, kEntryVowelAu);
        secondSpelling(base + i, hexByte(b) + " " + hexByte(kByteAuLength), kByteAu);
        pb = next;
        i += 2;
        continue;
      }
      w = put(w, e);
      if (b == kSecondI) {
        if (warn) warn(base + i, hexByte(b) + ": second code for the vowel i, converts back as 0xAD");
      } else if (b != kByteO) {
        if (warn) warn(base + i, hexByte(b) + ": no character in TSCII, written as private-use " + hexCp(kPuaBase + b));
      }
      pb = b;
      ++i;
    }
    s.resize(static_cast<size_t>(w - s.data()));
    st.prev2 = i >= 2 ? p[i - 2] : i == 1 ? st.prev : st.prev2;
    st.prev = pb;
    return i;
  }
};

// ---------------------------------------------------------------------------
// Unicode -> TSCII table over U+0B80..U+0BFF.

enum EncKind : uint8_t {
  kEncNone,       // not in TSCII
  kEncByte,       // one byte (vowels, digits, aytham)
  kEncConsonant,  // b1 = index into kConsonants
  kEncPost,       // b1 = sign byte
  kEncPrefix,     // b1 = sign byte
  kEncTwoPart,    // b1 before the consonant, b2 after it
  kEncPulli,
};
struct EncEntry {
  uint8_t kind = kEncNone;
  uint8_t b1 = 0;
  uint8_t b2 = 0;
};

constexpr std::array<EncEntry, 128> makeEncodeTable() {
  std::array<EncEntry, 128> t{};
  for (const Single& s : kSingles) {
    if (s.cp < 0x0B80 || s.cp > 0x0BFF) continue;
    EncEntry& e = t[s.cp - 0x0B80];
    e.b1 = s.byte;
    if (s.byte >= kByteAa && s.byte <= kByteUu)
      e.kind = kEncPost;
    else if (s.byte == kByteAuLength)
      e.kind = kEncPost;
    else if (s.byte >= kByteE && s.byte <= kByteAi)
      e.kind = kEncPrefix;
    else
      e.kind = kEncByte;
  }
  for (int i = 0; i < kNumConsonants; ++i) {
    if (!kConsonants[i].cp) continue;
    t[kConsonants[i].cp - 0x0B80] = {kEncConsonant, static_cast<uint8_t>(i), 0};
  }
  t[kSignO - 0x0B80] = {kEncTwoPart, kByteE, kByteAa};
  t[kSignOo - 0x0B80] = {kEncTwoPart, kByteEe, kByteAa};
  t[kSignAu - 0x0B80] = {kEncTwoPart, kByteE, kByteAuLength};
  t[kPulli - 0x0B80] = {kEncPulli, 0, 0};
  return t;
}
constexpr std::array<EncEntry, 128> kEnc = makeEncodeTable();

// The private-use characters standing for unassigned bytes, the quotes and
// the copyright sign: everything outside the Tamil block that TSCII holds.
constexpr uint8_t otherByte(char32_t cp) {
  for (uint8_t b : kUnassigned)
    if (cp == kPuaBase + b) return b;
  for (const Single& s : kSingles)
    if (s.cp == cp && (cp < 0x0B80 || cp > 0x0BFF)) return s.byte;
  return 0;
}

// Index into kEnc of the Tamil character at p[i] (three UTF-8 bytes), or -1.
inline int tamilAt(const uint8_t* p, size_t i, size_t n) {
  if (i + 3 > n || p[i] != 0xE0 || (p[i + 1] != 0xAE && p[i + 1] != 0xAF) || (p[i + 2] & 0xC0) != 0x80)
    return -1;
  return ((p[i + 1] & 1) << 6) | (p[i + 2] & 0x3F);
}
constexpr int idx(char32_t cp) { return static_cast<int>(cp) - 0x0B80; }

// Fast path of the encoder. It steps one Tamil character (three UTF-8 bytes)
// at a time, so the position never waits for a table load. What a character
// writes depends on a neighbour: a consonant writes, before anything else,
// the prefix part of the sign after it and its own form for that sign (live,
// dead, u/uu or tti/ttii form); a sign writes what is left of it, which
// depends on the class of the character before it. Entries that need more
// context are marked slow and go to the general path.
constexpr int kFirstSign = idx(kSignAa), kLastSign = idx(kAuLength);
constexpr int kSignCols = kLastSign - kFirstSign + 2;
constexpr int kNoSign = kSignCols - 1;  // column for anything that is not a sign

enum EncPrevClass : uint8_t { kPrevOther, kPrevNative, kPrevTta, kPrevGrantha, kNumEncPrev };

constexpr uint8_t kEncGeneral = 0xFF;  // EncFast::len: take the general path
constexpr uint8_t kEncDeadKa = 0xFE;   // ka + pulli: dead ka, unless ssa follows (the conjunct)

struct EncFast {
  uint8_t out[3] = {};
  uint8_t len = kEncGeneral;
};
static_assert(sizeof(EncFast) == 4);

constexpr EncFast fastOf(std::initializer_list<uint8_t> out) {
  EncFast f{};
  f.len = 0;
  for (uint8_t b : out) f.out[f.len++] = b;
  return f;
}

// Rows: kConsRows consonant rows of kSignCols columns (by the character
// after), then kNumEncPrev rows of 128 (by the class of the one before).
constexpr int kConsRows = kNumConsonants * kSignCols;
constexpr std::array<EncFast, kConsRows + kNumEncPrev * 128> makeEncodeFast() {
  std::array<EncFast, kConsRows + kNumEncPrev * 128> t{};
  for (int ci = 0; ci < kNumConsonants; ++ci) {
    if (ci == kKssa) continue;  // the conjunct is three characters: general path
    const Consonant& c = kConsonants[ci];
    for (int col = 0; col < kSignCols; ++col) {
      EncFast& f = t[ci * kSignCols + col];
      const EncEntry& e = kEnc[col == kNoSign ? 0 : kFirstSign + col];
      if (col != kNoSign && e.kind == kEncPulli) {
        // ka + pulli may start the conjunct k.ssa (looked at in the loop),
        // sa + pulli the ligature sri (general path).
        if (ci == kKa) {
          f = fastOf({c.dead});
          f.len = kEncDeadKa;
        } else if (ci != kSa) {
          f = fastOf({c.dead});
        }
      } else if (col != kNoSign && e.kind == kEncPost) {
        if (e.b1 == kByteU && c.u)
          f = fastOf({c.u});
        else if (e.b1 == kByteUu && c.uu)
          f = fastOf({c.uu});
        else if (ci == kTta && e.b1 == kByteI)
          f = fastOf({kByteTti});
        else if (ci == kTta && e.b1 == kByteIi)
          f = fastOf({kByteTtii});
        else
          f = fastOf({c.live});
      } else if (col != kNoSign && (e.kind == kEncPrefix || e.kind == kEncTwoPart)) {
        f = fastOf({e.b1, c.live});
      } else {
        f = fastOf({c.live});
      }
    }
  }
  for (int cls = 0; cls < kNumEncPrev; ++cls) {
    for (int k = 0; k < 128; ++k) {
      EncFast& f = t[kConsRows + cls * 128 + k];
      const EncEntry& e = kEnc[k];
      switch (e.kind) {
        case kEncByte:
          if (k != idx(0x0B92)) f = fastOf({e.b1});  // o may compose with the au length mark
          break;
        case kEncPost:
          if (cls == kPrevOther)
            f = fastOf({e.b1});  // lone sign
          else if ((cls == kPrevNative || cls == kPrevTta) && (e.b1 == kByteU || e.b1 == kByteUu))
            f = fastOf({});  // in the consonant's u/uu form
          else if (cls == kPrevTta && (e.b1 == kByteI || e.b1 == kByteIi))
            f = fastOf({});  // in tti/ttii
          else
            f = fastOf({e.b1});
          break;
        case kEncPrefix:
          if (cls != kPrevOther) f = fastOf({});  // written before the consonant
          break;                                   // a lone one: general path
        case kEncTwoPart:
          f = cls == kPrevOther ? fastOf({e.b1, e.b2}) : fastOf({e.b2});
          break;
        case kEncPulli:
          if (cls != kPrevOther) f = fastOf({});  // in the dead form
          break;
        default:
          break;  // consonants use their own rows; the rest is not in TSCII
      }
    }
  }
  return t;
}
constexpr auto kEncFast = makeEncodeFast();
constexpr unsigned kSsaIndex = idx(kConsonants[kSsa].cp);

// Per Tamil character: its consonant index + 1 (0 for others), its column as
// the character after a consonant, and its class as the character before a
// sign. Index 128 stands for anything that is not a Tamil character.
struct EncInfo {
  std::array<uint8_t, 129> row{}, col{}, cls{};
};
constexpr EncInfo makeEncodeInfo() {
  EncInfo t{};
  for (int k = 0; k < 129; ++k) {
    t.col[k] = static_cast<uint8_t>(k >= kFirstSign && k <= kLastSign ? k - kFirstSign : kNoSign);
    if (k < 128 && kEnc[k].kind == kEncConsonant) {
      const int ci = kEnc[k].b1;
      t.row[k] = static_cast<uint8_t>(ci + 1);
      t.cls[k] = ci == kTta ? kPrevTta : kConsonants[ci].u ? kPrevNative : kPrevGrantha;
    }
  }
  return t;
}
constexpr EncInfo kEncInfo = makeEncodeInfo();

// The Tamil index of the UTF-8 character starting at the low byte of x (four
// bytes read little-endian), or 128 when it is not a Tamil character.
inline unsigned tamilIndex(uint32_t x) {
  return (x & 0xC0FEFFu) == 0x80AEE0u ? ((x >> 2) & 0x40) | ((x >> 16) & 0x3F) : 128u;
}
inline uint32_t load32(const uint8_t* p) {
  uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}

// Vector path of the encoder (unicode_simd.h classifies 64-byte chunks).
// Every character that starts a letter writes the TSCII of the whole letter
// from kEncEmit, looked up by its unit and the column of the character after
// it (idx = unit * 32 + col): a consonant takes the sign after it along
// (prefix part, its own form, post part), so that sign writes nothing and
// is left out of the chunk's letter starts. The conjunct k.ssa and the
// ligature sri are written at their ssa or ra (units kUnitKssa, kUnitSri),
// their first two characters left out. What the table cannot write as the
// scalar code does (a character not in TSCII, a lone prefix sign or pulli,
// the vowel o before the au length mark) is marked kEncStop, and the chunk
// goes to the scalar code instead.
constexpr uint32_t kEncStop = 0x80000000u;
constexpr int kUnitKssa = 256, kUnitSri = 257, kEncUnits = 258;
constexpr int kEncSlots = kEncUnits * unicode_simd::kEncCols;

struct EncEmit {
  std::array<uint32_t, kEncSlots> out{};  // bytes 0..2 the TSCII, byte 3 its length (or kEncStop)
  std::array<uint8_t, kEncSlots> used{};  // input bytes the letter takes
};

constexpr uint32_t packBytes(std::initializer_list<uint8_t> bytes) {
  uint32_t v = 0;
  uint32_t n = 0;
  for (uint8_t b : bytes) v |= static_cast<uint32_t>(b) << (8 * n++);
  return v | n << 24;
}

// The Tamil code of the sign in column col, or -1 for no sign.
constexpr int signOfCol(int col) {
  if (col == unicode_simd::kEncColAuLength) return idx(kAuLength);
  return col >= 1 && col <= 16 ? 0x3D + col : -1;
}

// Consonant ci with the character in column col after it, as consonant()
// writes it.
constexpr void consonantSlot(EncEmit& t, int slot, int ci, int col) {
  const Consonant& c = kConsonants[ci];
  const int s = signOfCol(col);
  t.used[slot] = 6;
  if (s < 0) {
    t.out[slot] = packBytes({c.live});
    t.used[slot] = 3;
    return;
  }
  const EncEntry& e = kEnc[s];
  switch (e.kind) {
    case kEncPulli:
      t.out[slot] = packBytes({c.dead});
      return;
    case kEncPost:
      if (e.b1 == kByteU && c.u)
        t.out[slot] = packBytes({c.u});
      else if (e.b1 == kByteUu && c.uu)
        t.out[slot] = packBytes({c.uu});
      else if (ci == kTta && (e.b1 == kByteI || e.b1 == kByteIi))
        t.out[slot] = packBytes({e.b1 == kByteI ? kByteTti : kByteTtii});
      else
        t.out[slot] = packBytes({c.live, e.b1});
      return;
    case kEncPrefix:
      t.out[slot] = packBytes({e.b1, c.live});
      return;
    case kEncTwoPart:
      t.out[slot] = packBytes({e.b1, c.live, e.b2});
      return;
    default:
      t.out[slot] = kEncStop;  // a character not in TSCII after it
      return;
  }
}

constexpr EncEmit makeEncodeEmit() {
  EncEmit t{};
  for (int unit = 0; unit < kEncUnits; ++unit) {
    for (int col = 0; col < unicode_simd::kEncCols; ++col) {
      const int slot = unit * unicode_simd::kEncCols + col;
      t.out[slot] = kEncStop;
      t.used[slot] = 3;
      if (unit < 0x80) {
        t.out[slot] = packBytes({static_cast<uint8_t>(unit)});
        t.used[slot] = 1;
      } else if (unit == kUnitKssa) {
        consonantSlot(t, slot, kKssa, col);
      } else if (unit == kUnitSri) {
        if (signOfCol(col) == idx(kSignIi)) {
          t.out[slot] = packBytes({kByteSri});
          t.used[slot] = 6;
        }
      } else {
        const int code = unit - 0x80;
        const EncEntry& e = kEnc[code];
        switch (e.kind) {
          case kEncByte:
            if (!(code == idx(0x0B92) && col == unicode_simd::kEncColAuLength)) t.out[slot] = packBytes({e.b1});
            break;
          case kEncConsonant:
            consonantSlot(t, slot, e.b1, col);
            break;
          case kEncPost:  // signs here have no consonant before them
            t.out[slot] = packBytes({e.b1});
            break;
          case kEncTwoPart:
            t.out[slot] = packBytes({e.b1, e.b2});
            break;
          default:
            break;  // not in TSCII, a lone prefix sign or pulli
        }
      }
    }
  }
  return t;
}
constexpr EncEmit kEncEmit = makeEncodeEmit();

// The tables of the one-pass encoder (unicode_simd.h).
constexpr unicode_simd::EncRunTables makeRunTables() {
  using namespace unicode_simd;
  EncRunTables t{};
  auto form = [&t](int code, uint8_t offset, uint8_t b) { t.forms[(code + offset) & 127] = b; };
  for (int code = 0; code < 128; ++code) {
    const EncEntry& e = kEnc[code];
    switch (e.kind) {
      case kEncConsonant: {
        const Consonant& c = kConsonants[e.b1];
        t.infoX[code] = static_cast<uint8_t>(kRunCons | (c.u ? kRunHasU : 0) | (e.b1 == kTta ? kRunTta : 0) |
                                             (e.b1 == kKa || e.b1 == kSa ? kRunKaSa : 0));
        t.main[code] = c.live;
        form(code, kRunNPulli, c.dead);
        if (c.u) {
          form(code, kRunNU, c.u);
          form(code, kRunNUu, c.uu);
        }
        if (e.b1 == kTta) {
          form(code, kRunNI, kByteTti);
          form(code, kRunNIi, kByteTtii);
        }
        break;
      }
      case kEncByte:
        t.main[code] = e.b1;
        if (code == idx(0x0B92)) t.infoX[code] = kRunVowelO;
        break;
      case kEncPost:
        t.main[code] = e.b1;
        break;
      case kEncTwoPart:
        t.pre[code] = e.b1;
        t.main[code] = e.b2;
        break;
      case kEncPrefix:
        t.pre[code] = e.b1;
        t.infoX[code] = kRunNeedsCons;
        break;
      case kEncPulli:
        t.infoX[code] = kRunNeedsCons;
        break;
      default:
        t.infoX[code] = kRunBad;
        break;
    }
  }
  t.infoN[idx(kPulli)] = kRunNPulli;
  t.infoN[idx(kSignU)] = kRunNU;
  t.infoN[idx(kSignUu)] = kRunNUu;
  t.infoN[idx(kSignI)] = kRunNI;
  t.infoN[idx(kSignIi)] = kRunNIi;
  t.infoN[idx(kAuLength)] = kRunNAuLength;
  return t;
}
constexpr unicode_simd::EncRunTables kEncRun = makeRunTables();

// Every form has a slot of its own in kEncRun.forms, and the flags in
// infoX & infoN mean what the encoder takes them to mean.
constexpr bool runTablesSound() {
  using namespace unicode_simd;
  int used[128] = {};
  for (int code = 0; code < 128; ++code) {
    if (kEnc[code].kind != kEncConsonant) continue;
    const Consonant& c = kConsonants[kEnc[code].b1];
    for (uint8_t off : {kRunNPulli, kRunNU, kRunNUu, kRunNI, kRunNIi}) {
      const bool has = off == kRunNPulli || ((off == kRunNU || off == kRunNUu) && c.u) || kEnc[code].b1 == kTta;
      if (has) ++used[(code + off) & 127];
    }
  }
  for (int k : used)
    if (k > 1) return false;
  for (int x = 0; x < 128; ++x) {
    const EncEntry& e = kEnc[x];
    const bool isCons = e.kind == kEncConsonant;
    for (int y = 0; y < 128; ++y) {
      const uint8_t both = kEncRun.infoX[x] & kEncRun.infoN[y];
      const bool takes = isCons && (y == idx(kPulli) ||
                                    ((y == idx(kSignU) || y == idx(kSignUu)) && kConsonants[e.b1].u) ||
                                    ((y == idx(kSignI) || y == idx(kSignIi)) && e.b1 == kTta));
      if (((both & 0x83) != 0) != takes) return false;
      if (((both & kRunKaSa) != 0) != (isCons && (e.b1 == kKa || e.b1 == kSa) && y == idx(kPulli))) return false;
      if ((both & kRunVowelO) && !(x == idx(0x0B92))) return false;
    }
  }
  return true;
}
static_assert(runTablesSound());

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// Returns the length of the sequence at p[0, n), or 0 when p[0] does not
// start a valid one.
inline int utf8Decode(const uint8_t* p, size_t n, char32_t& cp) {
  const uint8_t b = p[0];
  auto cont = [&](size_t k) { return k < n && (p[k] & 0xC0) == 0x80; };
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  if (b >= 0xC2 && b <= 0xDF) {
    if (!cont(1)) return 0;
    cp = ((b & 0x1F) << 6) | (p[1] & 0x3F);
    return 2;
  }
  if (b >= 0xE0 && b <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    if (b == 0xE0 && p[1] < 0xA0) return 0;
    if (b == 0xED && p[1] >= 0xA0) return 0;
    cp = ((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    return 3;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    if (b == 0xF0 && p[1] < 0x90) return 0;
    if (b == 0xF4 && p[1] >= 0x90) return 0;
    cp = ((b & 0x07) << 18) | ((p[1] & 0x3F) << 12) | ((p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    return 4;
  }
  return 0;
}

struct Encoder {
  UnicodeEncodeState& st;
  const BridgeWarning& warn;
  Unmappable policy;
  uint64_t base;

  [[gnu::noinline]] void warnUnmappable(size_t i, char32_t cp) const {
    if (warn)
      warn(base + i, hexCp(cp) + ": not in TSCII, " + (policy == Unmappable::KeepUtf8 ? "kept as UTF-8" : "left out"));
  }
  [[gnu::noinline]] void warnSignBefore(size_t i, uint8_t sign) const {
    if (warn) warn(base + i, hexByte(sign) + " written before a consonant: TSCII reads it as that consonant's sign");
  }
  [[gnu::noinline]] void warnInvalid(size_t i, uint8_t b) const {
    if (warn) warn(base + i, hexByte(b) + ": not valid UTF-8, written as '?'");
  }

  // Whether the consonant's TSCII form starts with its live byte when sign
  // s (a kEnc index or -1) follows it.
  static bool startsLive(int s, int ci) {
    if (s < 0) return true;
    const EncEntry& e = kEnc[s];
    if (e.kind == kEncPulli || e.kind == kEncPrefix || e.kind == kEncTwoPart) return false;
    if (e.kind != kEncPost) return true;
    if (e.b1 == kByteU) return !kConsonants[ci].u;
    if (e.b1 == kByteUu) return !kConsonants[ci].uu;
    return !(ci == kTta && (e.b1 == kByteI || e.b1 == kByteIi));
  }

  // The consonant (or conjunct) at p[i] with the vowel sign after it, if any;
  // returns the index after them. `afterLone` is the lone prefix sign byte
  // written just before, or 0: TSCII would read it as this consonant's sign,
  // so the conjunct k.ssa is then written as dead ka + ssa, and any other
  // live consonant gets a warning.
  [[gnu::always_inline]] size_t consonant(const uint8_t* p, size_t i, size_t n, int ci, char*& w,
                                          uint8_t afterLone) const {
    size_t j = i + 3;
    if (ci == kKa && tamilAt(p, j, n) == idx(kPulli) && tamilAt(p, j + 3, n) == idx(kConsonants[kSsa].cp)) {
      if (afterLone && startsLive(tamilAt(p, j + 6, n), kKssa)) {
        *w++ = static_cast<char>(kConsonants[kKa].dead);
        return j + 3;
      }
      ci = kKssa;
      j += 6;
    } else if (ci == kSa && tamilAt(p, j, n) == idx(kPulli) && tamilAt(p, j + 3, n) == idx(kConsonants[kRa].cp) &&
               tamilAt(p, j + 6, n) == idx(kSignIi)) {
      *w++ = static_cast<char>(kByteSri);
      return j + 9;
    }
    const Consonant& c = kConsonants[ci];
    const int s = tamilAt(p, j, n);
    if (afterLone && startsLive(s, ci)) warnSignBefore(i, afterLone);
    if (s < 0) {
      *w++ = static_cast<char>(c.live);
      return j;
    }
    const EncEntry& e = kEnc[s];
    switch (e.kind) {
      case kEncPulli:
        *w++ = static_cast<char>(c.dead);
        return j + 3;
      case kEncPost:
        if (e.b1 == kByteU && c.u) {
          *w++ = static_cast<char>(c.u);
        } else if (e.b1 == kByteUu && c.uu) {
          *w++ = static_cast<char>(c.uu);
        } else if (ci == kTta && (e.b1 == kByteI || e.b1 == kByteIi)) {
          *w++ = static_cast<char>(e.b1 == kByteI ? kByteTti : kByteTtii);
        } else {
          w[0] = static_cast<char>(c.live);
          w[1] = static_cast<char>(e.b1);
          w += 2;
        }
        return j + 3;
      case kEncPrefix: {
        w[0] = static_cast<char>(e.b1);
        w[1] = static_cast<char>(c.live);
        w += 2;
        // Decomposed o, oo and au: e/ee sign followed by aa or the au length mark.
        const int s2 = tamilAt(p, j + 3, n);
        if ((e.b1 == kByteE || e.b1 == kByteEe) && s2 == idx(kSignAa)) {
          *w++ = static_cast<char>(kByteAa);
          return j + 6;
        }
        if (e.b1 == kByteE && s2 == idx(kAuLength)) {
          *w++ = static_cast<char>(kByteAuLength);
          return j + 6;
        }
        return j + 3;
      }
      case kEncTwoPart:
        w[0] = static_cast<char>(e.b1);
        w[1] = static_cast<char>(c.live);
        w[2] = static_cast<char>(e.b2);
        w += 3;
        return j + 3;
      default:
        *w++ = static_cast<char>(c.live);
        return j;
    }
  }

  // k.ssa and sri in a chunk at `base` (masks m, the chunk before: mp):
  // each ends at a ssa or ra with pulli before it; the character before the
  // pulli decides (never one before `from`, where the vector run began).
  // Changes the unit of the ssa or ra and adds the first two characters to
  // the left-out masks of this chunk and the one before.
  [[gnu::noinline]] static void conjuncts(const uint8_t* p, size_t from, size_t base, const unicode_simd::EncMasks& mp,
                                          const unicode_simd::EncMasks& m, uint16_t* slots, uint64_t& outHere,
                                          uint64_t& outBefore) {
    for (uint64_t c = m.ssaRa & ((m.pulli << 3) | (mp.pulli >> 61)); c; c &= c - 1) {
      const unsigned k = static_cast<unsigned>(__builtin_ctzll(c));
      if (base + k < from + 6) continue;
      const uint8_t* q = p + base + k;
      const bool kssa = q[2] == 0xB7 && q[-6] == 0xE0 && q[-5] == 0xAE && q[-4] == 0x95;
      const bool sri = q[2] == 0xB0 && q[-6] == 0xE0 && q[-5] == 0xAE && q[-4] == 0xB8 && q[3] == 0xE0 &&
                       q[4] == 0xAF && q[5] == 0x80;
      if (!kssa && !sri) continue;
      slots[k] = static_cast<uint16_t>((kssa ? kUnitKssa : kUnitSri) * unicode_simd::kEncCols +
                                       (slots[k] & (unicode_simd::kEncCols - 1)));
      for (unsigned d : {3u, 6u}) {
        if (k >= d)
          outHere |= uint64_t{1} << (k - d);
        else
          outBefore |= uint64_t{1} << (64 + k - d);
      }
    }
  }

  // Converts 64-byte chunks from `from` (a letter start; nothing before it
  // matters) while each chunk and the next are in p[0, n) and the chunk
  // starts no letter at or after `limit`. Returns where the last letter
  // written ends. A chunk with a byte that is neither ASCII nor part of a
  // Tamil character, or with a letter the table marks kEncStop, is not
  // written: `stopped` is then the end of that chunk, for the scalar code to
  // reach before the next vector run. A chunk of ASCII alone is copied and
  // ends the run (stopped is its end), so that the scalar code copies the
  // rest of a long ASCII stretch. Otherwise `stopped` is 0.
  static size_t vectorRun(unicode_simd::EncClassifyFn classify, const uint8_t* p,
                          size_t from, size_t n, size_t limit, char*& wp, size_t& stopped) {
    using unicode_simd::EncMasks;
    constexpr size_t kB = unicode_simd::kBlock;
    // Chunks are classified kBatch at a time, each one ahead of the chunk
    // written; the last classified becomes the first of the next batch.
    constexpr int kBatch = 8;
    alignas(64) uint16_t slots[(kBatch + 1) * kB];
    EncMasks masks[kBatch + 1];
    uint64_t out[kBatch + 1] = {};  // letter starts of k.ssa and sri left out, per chunk
    EncMasks before{};              // the chunk before masks[0]
    uint64_t none = 0;
    char* w = wp;
    size_t base = from, end = from;
    stopped = 0;
    classify(p + base, 1, slots, masks);
    conjuncts(p, from, base, before, masks[0], slots, out[0], none);
    for (;;) {
      if (base + kB > limit || base + 2 * kB + 8 > n) break;
      const int batch = static_cast<int>(std::min<size_t>({kBatch, (limit - base) / kB, (n - base - 8) / kB - 1}));
      classify(p + base + kB, batch, slots + kB, masks + 1);
      for (int j = 1; j <= batch; ++j) {
        out[j] = 0;
        const EncMasks& m = masks[j];
        if (m.ssaRa & ((m.pulli << 3) | (masks[j - 1].pulli >> 61))) [[unlikely]]
          conjuncts(p, from, base + kB * j, masks[j - 1], m, slots + kB * j, out[j], out[j - 1]);
      }
      // The letter starts of each chunk, up to one that is all ASCII or has
      // a byte the vector path does not take.
      uint64_t starts[kBatch];
      int clean = 0;
      bool ascii = false;
      for (; clean < batch; ++clean) {
        const EncMasks& cur = masks[clean];
        const EncMasks& prev = clean ? masks[clean - 1] : before;
        if (cur.ascii == ~uint64_t{0}) {
          ascii = true;
          break;
        }
        const uint64_t covered = cur.tamil | cur.tamil << 1 | cur.tamil << 2 | prev.tamil >> 62 | prev.tamil >> 63;
        if (~(cur.ascii | covered)) break;
        const uint64_t signs = (((cur.cons << 3) | (prev.cons >> 61)) & cur.sign) | out[clean];
        starts[clean] = (cur.ascii | cur.tamil) & ~signs;
      }
      int done = 0;
      for (; done < clean; ++done) {
        const uint16_t* here = slots + kB * done;
        char* const w0 = w;
        uint64_t todo = starts[done];
        while (todo) {
          const unsigned k = static_cast<unsigned>(__builtin_ctzll(todo));
          todo &= todo - 1;
          const uint32_t e = kEncEmit.out[here[k]];
          if (e & kEncStop) [[unlikely]] {
            todo = ~uint64_t{0};
            break;
          }
          std::memcpy(w, &e, 4);
          w += e >> 24;
        }
        if (todo) {
          w = w0;
          break;
        }
      }
      for (int j = done - 1; j >= 0; --j) {
        if (!starts[j]) continue;
        const unsigned k = 63u - static_cast<unsigned>(__builtin_clzll(starts[j]));
        end = base + kB * j + k + kEncEmit.used[slots[kB * j + k]];
        break;
      }
      if (done < batch) {
        const size_t at = base + kB * done;  // the first chunk not written
        stopped = at + kB;
        if (done == clean && ascii) {
          std::memcpy(w, p + at, kB);
          w += kB;
          end = stopped;
        }
        wp = w;
        return end;
      }
      base += kB * batch;
      before = masks[batch - 1];
      masks[0] = masks[batch];
      out[0] = out[batch];
      std::memcpy(slots, slots + kB * batch, kB * sizeof slots[0]);
    }
    wp = w;
    return end;
  }

  // Converts p[0, n), appending to s. When `final` is false, stops before a
  // character whose followers have not all arrived; returns the bytes consumed.
  size_t run(const uint8_t* p, size_t n, bool final, std::string& s) {
    const size_t limit = final ? n : (n > kUnicodeEncodeTail ? n - kUnicodeEncodeTail : 0);
    // TSCII is never longer than the UTF-8 it comes from.
    char* w = begin(s, n).w;
    uint8_t lonePrefix = st.lonePrefix;  // the last byte written is this lone prefix sign
    size_t i = 0;
    // Chunks of 64 bytes go through the vector path where the processor has
    // one; a chunk it cannot write is left to the code below up to its end.
    const unicode_simd::BridgeLevel level = unicode_simd::ActiveBridgeLevel();
    const unicode_simd::EncClassifyFn classify = unicode_simd::UnicodeClassifier(level);
    const unicode_simd::EncRunFn runner = unicode_simd::UnicodeRunner(level);
    // The one-pass encoder reads a few bytes before where it starts.
    size_t scalarUntil = runner ? 8 : 0;
    while (i < limit) {
      if (runner) {
        if (!lonePrefix && i >= scalarUntil && i >= 8 && i + unicode_simd::kBlock <= limit &&
            i + unicode_simd::kBlock + unicode_simd::kEncRunAhead <= n) {
          size_t stopped = 0;
          i = runner(p, i, n, limit, kEncRun, w, stopped);
          scalarUntil = stopped ? stopped : n;
          continue;
        }
      } else if (classify && !lonePrefix && i >= scalarUntil && i + unicode_simd::kBlock <= limit &&
          i + 2 * unicode_simd::kBlock + 8 <= n && (load32(p + i) | load32(p + i + 4)) & 0x80808080u) {
        size_t stopped = 0;
        i = vectorRun(classify, p, i, n, limit, w, stopped);
        scalarUntil = stopped ? stopped : n;
        continue;
      }
      // Fast path: a run of Tamil characters whose table entries need no
      // further look. It reads up to eight bytes ahead (runEnd), and takes a
      // consonant only with room for its sign to follow here too (consEnd):
      // the sign's entry assumes the consonant wrote its part. It ends where
      // the vector path may take over.
      if (!lonePrefix && n >= 11 && limit > 3) {
        const size_t stopAt = classify && i < scalarUntil ? std::min(limit, scalarUntil) : limit;
        const size_t runEnd = std::min(n - 7, stopAt);
        const size_t consEnd = std::min(n - 10, stopAt - 3);
        unsigned prevCls = kPrevOther;  // a run starts after a non-Tamil character or a whole letter
        unsigned t = i < runEnd ? tamilIndex(load32(p + i)) : 128;
        while (i < runEnd) {
          if (t == 128) {
            // One ASCII byte between Tamil words (a space, a comma) stays in
            // the run; a longer ASCII stretch goes to the copy loop below.
            if (p[i] >= 0x80 || p[i + 1] < 0x80) break;
            *w++ = static_cast<char>(p[i]);
            prevCls = kPrevOther;
            ++i;
            t = tamilIndex(load32(p + i));
            continue;
          }
          const unsigned next = tamilIndex(load32(p + i + 3));
          const unsigned row = kEncInfo.row[t];
          if (row && i >= consEnd) break;
          const unsigned consIdx = (row - 1) * kSignCols + kEncInfo.col[next];
          const unsigned signIdx = kConsRows + prevCls * 128 + t;
          const unsigned mask = 0u - (row != 0);
          const EncFast& f = kEncFast[(signIdx & ~mask) | (consIdx & mask)];
          unsigned len = f.len;
          if (len >= kEncDeadKa) {
            if (len == kEncGeneral || tamilIndex(load32(p + i + 6)) == kSsaIndex) break;
            len = 1;
          }
          std::memcpy(w, f.out, 4);
          w += len;
          prevCls = kEncInfo.cls[t];
          i += 3;
          t = next;
        }
        if (i >= limit) break;
        // Whatever stopped the run starts afresh below: never a consonant's
        // sign, whose entry after a consonant is always in the table.
      }
      const uint8_t b = p[i];
      const uint8_t afterLone = lonePrefix;
      lonePrefix = 0;
      if (b < 0x80) {
        size_t j = i;
        while (j + 8 <= limit) {
          uint64_t word;
          std::memcpy(&word, p + j, 8);
          if (word & 0x8080808080808080ull) break;
          std::memcpy(w + (j - i), &word, 8);
          j += 8;
        }
        while (j < limit && p[j] < 0x80) {
          w[j - i] = static_cast<char>(p[j]);
          ++j;
        }
        w += j - i;
        i = j;
        continue;
      }
      const int t = tamilAt(p, i, n);
      if (t >= 0) {
        const EncEntry& e = kEnc[t];
        switch (e.kind) {
          case kEncConsonant:
            i = consonant(p, i, n, e.b1, w, afterLone);
            continue;
          case kEncByte:
            if (t == idx(0x0B92) && tamilAt(p, i + 3, n) == idx(kAuLength)) {
              *w++ = static_cast<char>(kByteAu);  // decomposed vowel au
              i += 6;
            } else {
              *w++ = static_cast<char>(e.b1);
              i += 3;
            }
            continue;
          case kEncPost:
          case kEncPrefix:
          case kEncTwoPart:
            w = loneSign(w, e, lonePrefix);
            i += 3;
            continue;
          default:
            w = unmappable(w, p, i, 3, 0x0B80 + t);
            if (policy == Unmappable::Drop) lonePrefix = afterLone;  // nothing came between
            i += 3;
            continue;
        }
      }
      char32_t cp = 0;
      const int len = utf8Decode(p + i, n - i, cp);
      if (len == 0) {
        *w++ = '?';
        warnInvalid(i, b);
        ++i;
        continue;
      }
      if (cp == kDottedCircle) {
        const int sg = tamilAt(p, i + 3, n);
        if (sg >= 0 && (kEnc[sg].kind == kEncPost || kEnc[sg].kind == kEncPrefix || kEnc[sg].kind == kEncTwoPart)) {
          w = loneSign(w, kEnc[sg], lonePrefix);
          i += 6;
          continue;
        }
      }
      if (uint8_t ob = otherByte(cp)) {
        *w++ = static_cast<char>(ob);
      } else if (cp == 0xFEFF && base + i == 0) {
        if (warn) warn(0, "U+FEFF: byte order mark left out");
      } else {
        w = unmappable(w, p, i, len, cp);
        if (policy == Unmappable::Drop) lonePrefix = afterLone;
      }
      i += len;
    }
    s.resize(static_cast<size_t>(w - s.data()));
    st.lonePrefix = lonePrefix;
    return i;
  }

  // A vowel sign with nothing to attach to: its own byte(s).
  static char* loneSign(char* w, const EncEntry& e, uint8_t& lonePrefix) {
    *w++ = static_cast<char>(e.b1);
    if (e.kind == kEncTwoPart) *w++ = static_cast<char>(e.b2);
    if (e.kind == kEncPrefix) lonePrefix = e.b1;
    return w;
  }
  char* unmappable(char* w, const uint8_t* p, size_t i, int len, char32_t cp) const {
    if (policy == Unmappable::KeepUtf8) {
      std::memcpy(w, p + i, static_cast<size_t>(len));
      w += len;
    }
    warnUnmappable(i, cp);
    return w;
  }
};

}  // namespace

size_t TsciiToUnicodePiece(TsciiDecodeState& st, std::string_view piece, uint64_t base, bool final,
                           const BridgeWarning& warn, std::string& out) {
  Decoder d{st, warn, base};
  return d.run(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), final, out);
}

size_t UnicodeToTsciiPiece(UnicodeEncodeState& st, std::string_view piece, uint64_t base, bool final,
                           const BridgeWarning& warn, Unmappable policy, std::string& out) {
  Encoder e{st, warn, policy, base};
  return e.run(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), final, out);
}

namespace {
// An upper bound on the UTF-8 that TSCII text gives: one byte for an ASCII
// byte, at most six for any other (a consonant with its sign, a lone sign on
// its dotted circle), twelve for sri and dead k.ssa (0x82, 0x8C; every byte
// 0x80-0x8F is counted so). Reserving this once spares the whole-text
// conversion a regrowth (a copy of everything written and fresh pages for
// it); the decoder still grows the string should the bound ever be short.
// Counting is one quick pass with vectors where SSE2 is there.
size_t decodedBound(std::string_view in) {
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  const size_t n = in.size();
  size_t high = 0, grantha = 0, i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi8(static_cast<char>(0xF0)),
                row8 = _mm_set1_epi8(static_cast<char>(0x80));
  while (i + 16 <= n) {
    // Byte counters, summed before any of them can pass 255.
    __m128i h = zero, g = zero;
    for (size_t k = 0; k < 255 && i + 16 <= n; ++k, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      h = _mm_sub_epi8(h, _mm_cmplt_epi8(v, zero));
      g = _mm_sub_epi8(g, _mm_cmpeq_epi8(_mm_and_si128(v, top), row8));
    }
    const __m128i hs = _mm_sad_epu8(h, zero), gs = _mm_sad_epu8(g, zero);
    high += static_cast<size_t>(_mm_cvtsi128_si32(hs)) + static_cast<size_t>(_mm_extract_epi16(hs, 4));
    grantha += static_cast<size_t>(_mm_cvtsi128_si32(gs)) + static_cast<size_t>(_mm_extract_epi16(gs, 4));
  }
#endif
  for (; i < n; ++i) {
    high += p[i] >= 0x80;
    grantha += (p[i] & 0xF0) == 0x80;
  }
  return n + 5 * high + 6 * grantha;
}

// Room for a whole text's result at once, asking for huge pages: each page
// of a large result is one the kernel has never given out, and costs a fault;
// in 2 MiB pages there is one fault per 2 MiB instead of per 4 KiB. Measured
// on 128 MiB (BM_Large): TSCII -> Unicode 233-246 ms against 313-315 ms in
// 4 KiB pages at load 0.7; Unicode -> TSCII 39-42 ms against 50-51 ms at load
// 13. (At load 13, with others' programs filling memory, TSCII -> Unicode was
// slower in huge pages: 386-498 ms against 329-338 ms.)
void reserveHuge(std::string& s, size_t bytes) {
  s.reserve(bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (bytes < 4 * kHuge) return;
  const auto from = (reinterpret_cast<uintptr_t>(s.data()) + kHuge - 1) & ~(kHuge - 1);
  const auto to = (reinterpret_cast<uintptr_t>(s.data()) + s.capacity()) & ~(kHuge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
}
}  // namespace

std::string TsciiToUnicode(std::string_view tscii, const BridgeWarning& warn) {
  std::string out;
  // Room for everything at once; the decoder keeps a block's room ahead.
  if (tscii.size() > kBlockRoom) reserveHuge(out, decodedBound(tscii) + kBlockRoom + kSlack);
  TsciiDecodeState st;
  Decoder d{st, warn, 0};
  d.run(reinterpret_cast<const uint8_t*>(tscii.data()), tscii.size(), true, out);
  return out;
}

std::string UnicodeToTscii(std::string_view utf8, const BridgeWarning& warn, Unmappable policy) {
  std::string out;
  // TSCII is never longer than the UTF-8 it comes from.
  reserveHuge(out, utf8.size() + kSlack);
  UnicodeEncodeState st;
  Encoder e{st, warn, policy, 0};
  e.run(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), true, out);
  return out;
}

}  // namespace tolvan
