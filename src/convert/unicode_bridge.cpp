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
#include "convert/unicode_bridge.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "convert/unicode_stream.h"
#include "convert/unicode_tables.h"

namespace tolvan {
namespace {

using namespace unicode_tables;

// ---------------------------------------------------------------------------
// Output buffer: writes through a raw pointer into a std::string that grows
// geometrically; ensure(k) before writing up to k bytes.
class Out {
 public:
  explicit Out(std::string& s) : s_(s), pos_(s.size()) { s_.resize(pos_); }
  ~Out() { s_.resize(pos_); }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  void ensure(size_t k) {
    if (s_.size() - pos_ < k) s_.resize(std::max(s_.size() * 2, pos_ + k + 4096));
  }
  char* ptr() { return s_.data() + pos_; }
  void advance(size_t k) { pos_ += k; }
  void put(uint8_t b) { s_[pos_++] = static_cast<char>(b); }
  void put(const char* p, size_t k) {
    std::memcpy(s_.data() + pos_, p, k);
    pos_ += k;
  }

 private:
  std::string& s_;
  size_t pos_;
};

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
// TSCII -> Unicode table: per byte its UTF-8 and how it joins its neighbours.

enum DecKind : uint8_t {
  kDecPlain,    // a whole letter or symbol
  kDecLive,     // live consonant: a following post sign attaches to it
  kDecPost,     // vowel sign written after the consonant
  kDecPrefix,   // vowel sign written before the consonant
  kDecSpecial,  // needs a look at its neighbour or a warning (0xB4, 0xFE, unassigned)
};
// Flag: the letter begins with ssa (a dead ka before it spells k.ssa).
constexpr uint8_t kStartsSsa = 1;

struct DecEntry {
  char u8[12];
  uint8_t len = 0;
  uint8_t kind = kDecPlain;
  uint8_t flags = 0;
  uint8_t pad = 0;
};
static_assert(sizeof(DecEntry) == 16);

constexpr void append(DecEntry& e, char32_t cp) { e.len += utf8Encode(cp, e.u8 + e.len); }

constexpr std::array<DecEntry, 256> makeDecodeTable() {
  std::array<DecEntry, 256> t{};
  for (int b = 0; b < 0x80; ++b) append(t[b], static_cast<char32_t>(b));
  for (const Single& s : kSingles) append(t[s.byte], s.cp);
  for (int b = kByteAa; b <= kByteUu; ++b) t[b].kind = kDecPost;
  t[kByteAuLength].kind = kDecPost;
  for (int b = kByteE; b <= kByteAi; ++b) t[b].kind = kDecPrefix;
  for (int i = 0; i < kNumConsonants; ++i) {
    const Consonant& c = kConsonants[i];
    auto base = [&](DecEntry& e) {
      if (i == kKssa) {
        append(e, kConsonants[kKa].cp);
        append(e, kPulli);
        append(e, kConsonants[kSsa].cp);
      } else {
        append(e, c.cp);
      }
    };
    base(t[c.live]);
    t[c.live].kind = kDecLive;
    base(t[c.dead]);
    append(t[c.dead], kPulli);
    if (c.u) {
      base(t[c.u]);
      append(t[c.u], kSignU);
      base(t[c.uu]);
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
  return t;
}
constexpr std::array<DecEntry, 256> kDec = makeDecodeTable();

constexpr bool decodeTableComplete() {
  for (const DecEntry& e : kDec)
    if (e.len == 0) return false;
  return true;
}
static_assert(decodeTableComplete(), "every TSCII byte decodes to something");

constexpr uint8_t kDeadKa = kConsonants[kKa].dead;
constexpr uint8_t kDeadSa = kConsonants[kSa].dead;
constexpr uint8_t kLiveRa = kConsonants[kRa].live;
constexpr uint8_t kLiveTta = kConsonants[kTta].live;

// The one-byte form that a bare live consonant + post sign would convert back
// as, or 0 when the pair is itself canonical.
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

struct Decoder {
  TsciiToUnicodeStream::State& st;
  const BridgeWarning& warn;
  uint64_t base;

  void emit(Out& o, const DecEntry& e) {
    std::memcpy(o.ptr(), e.u8, sizeof e.u8);
    o.advance(e.len);
  }
  void emitCp(Out& o, char32_t cp) { o.advance(utf8Encode(cp, o.ptr())); }

  void lone(Out& o, size_t i, uint8_t b) {
    emitCp(o, kDottedCircle);
    emit(o, kDec[b]);
    if (warn) warn(base + i, hexByte(b) + ": vowel sign without a consonant, written on " + hexCp(kDottedCircle));
  }
  // `at` is the offset of the spelling's first byte, which may lie in an
  // earlier piece of a streamed text.
  void secondSpelling(uint64_t at, const std::string& bytes, uint8_t canonical) {
    if (warn)
      warn(at, bytes + ": second spelling of a letter, converts back as " + hexByte(canonical));
  }
  // `bareSsa`: ssa without a prefix sign of its own.
  void checkSsa(size_t i, uint8_t b, bool bareSsa) {
    // Dead ka followed by ssa reads, in Unicode, exactly like the conjunct;
    // only after a lone prefix sign, and when the conjunct would begin with
    // its live byte, does it stay split (see Encoder::consonant).
    const bool staysSplit = bareSsa && b == kConsonants[kSsa].live && st.prev2 >= kByteE && st.prev2 <= kByteAi;
    if (st.prev == kDeadKa && !staysSplit)
      secondSpelling(base + i - 1, hexByte(kDeadKa) + " " + hexByte(b),
                     b == kConsonants[kSsa].dead ? kConsonants[kKssa].dead : kConsonants[kKssa].live);
  }

  // Converts p[0, n). When `final` is false, stops before a letter whose
  // neighbour has not arrived yet; returns the count of bytes consumed.
  size_t run(const uint8_t* p, size_t n, bool final, Out& o) {
    const size_t limit = final ? n : (n > TsciiToUnicodeStream::kMaxTail ? n - TsciiToUnicodeStream::kMaxTail : 0);
    size_t i = 0;
    while (i < limit) {
      o.ensure(64);
      const uint8_t b = p[i];
      if (b < 0x80) {
        // ASCII run, eight bytes at a time while no high bit shows.
        const size_t stop = std::min(limit, i + 48);
        size_t j = i;
        while (j + 8 <= stop) {
          uint64_t w;
          std::memcpy(&w, p + j, 8);
          if (w & 0x8080808080808080ull) break;
          j += 8;
        }
        while (j < stop && p[j] < 0x80) ++j;
        o.put(reinterpret_cast<const char*>(p + i), j - i);
        i = j;
        st = {};
        continue;
      }
      const DecEntry& e = kDec[b];
      switch (e.kind) {
        case kDecPlain:
          if (e.flags & kStartsSsa) checkSsa(i, b, true);
          emit(o, e);
          st.bare = 0;
          st.saRa = false;
          st.prev2 = st.prev;
          st.prev = b;
          ++i;
          break;
        case kDecLive:
          if (e.flags & kStartsSsa) checkSsa(i, b, true);
          emit(o, e);
          st.saRa = (b == kLiveRa && st.prev == kDeadSa);
          st.bare = b;
          st.prev2 = st.prev;
          st.prev = b;
          ++i;
          break;
        case kDecPost:
          if (st.bare) {
            if (uint8_t lig = canonicalLigature(st.bare, b))
              secondSpelling(base + i - 1, hexByte(st.bare) + " " + hexByte(b), lig);
            else if (st.saRa && b == kByteIi)
              secondSpelling(base + i - 2, hexByte(kDeadSa) + " " + hexByte(kLiveRa) + " " + hexByte(b), kByteSri);
            emit(o, e);
          } else {
            lone(o, i, b);
          }
          st.bare = 0;
          st.saRa = false;
          st.prev2 = st.prev;
          st.prev = b;
          ++i;
          break;
        case kDecPrefix: {
          const uint8_t c = i + 1 < n ? p[i + 1] : 0;
          if (kDec[c].kind != kDecLive) {
            lone(o, i, b);
            st = {.prev = b, .prev2 = st.prev};
            ++i;
            break;
          }
          if (kDec[c].flags & kStartsSsa) checkSsa(i, c, false);
          emit(o, kDec[c]);
          const uint8_t d = i + 2 < n ? p[i + 2] : 0;
          size_t used = 2;
          if (b == kByteE && d == kByteAa) {
            emitCp(o, kSignO);
            used = 3;
          } else if (b == kByteE && d == kByteAuLength) {
            emitCp(o, kSignAu);
            used = 3;
          } else if (b == kByteEe && d == kByteAa) {
            emitCp(o, kSignOo);
            used = 3;
          } else {
            emit(o, e);
          }
          st = {.prev = c, .prev2 = st.prev};
          i += used;
          break;
        }
        case kDecSpecial:
        default:
          if (b == kByteO && i + 1 < n && p[i + 1] == kByteAuLength) {
            // o + au length mark is the vowel au; Unicode composes the pair.
            emitCp(o, 0x0B94);
            secondSpelling(base + i, hexByte(b) + " " + hexByte(kByteAuLength), kByteAu);
            ++i;
          } else {
            emit(o, e);
            if (b == kSecondI && warn)
              warn(base + i, hexByte(b) + ": second code for the vowel i, converts back as 0xAD");
            else if (b != kByteO && warn)
              warn(base + i, hexByte(b) + ": no character in TSCII, written as private-use " + hexCp(kPuaBase + b));
          }
          st = {.prev = b, .prev2 = st.prev};
          ++i;
          break;
      }
    }
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
  UnicodeToTsciiStream::State& st;
  const BridgeWarning& warn;
  Unmappable policy;
  uint64_t base;

  void unmappable(Out& o, size_t i, const uint8_t* p, int len, char32_t cp) {
    if (policy == Unmappable::KeepUtf8) o.put(reinterpret_cast<const char*>(p + i), len);
    if (warn)
      warn(base + i, hexCp(cp) + ": not in TSCII, " +
                         (policy == Unmappable::KeepUtf8 ? "kept as UTF-8" : "left out"));
  }

  // A vowel sign with nothing to attach to: its own byte(s).
  void loneSign(Out& o, const EncEntry& e) {
    o.put(e.b1);
    if (e.kind == kEncTwoPart) o.put(e.b2);
    if (e.kind == kEncPrefix) st.lonePrefix = e.b1;
  }

  // The consonant (or conjunct) at p[i] with the vowel sign after it, if any.
  // `afterLone` is the lone prefix sign byte written just before, or 0: TSCII
  // would read it as this consonant's sign, so the conjunct k.ssa is then
  // written as dead ka + ssa, and any other live consonant gets a warning.
  size_t consonant(const uint8_t* p, size_t i, size_t n, int ci, Out& o, uint8_t afterLone) {
    size_t j = i + 3;
    if (ci == kKa && tamilAt(p, j, n) == idx(kPulli) && tamilAt(p, j + 3, n) == idx(kConsonants[kSsa].cp)) {
      if (afterLone && startsLive(tamilAt(p, j + 6, n), kKssa)) {
        o.put(kConsonants[kKa].dead);
        return j + 3;
      }
      ci = kKssa;
      j += 6;
    } else if (ci == kSa && tamilAt(p, j, n) == idx(kPulli) &&
               tamilAt(p, j + 3, n) == idx(kConsonants[kRa].cp) && tamilAt(p, j + 6, n) == idx(kSignIi)) {
      o.put(kByteSri);
      return j + 9;
    }
    const Consonant& c = kConsonants[ci];
    const int s = tamilAt(p, j, n);
    if (afterLone && warn && startsLive(s, ci))
      warn(base + i, hexByte(afterLone) + " written before a consonant: TSCII reads it as that consonant's sign");
    if (s < 0) {
      o.put(c.live);
      return j;
    }
    const EncEntry& e = kEnc[s];
    switch (e.kind) {
      case kEncPulli:
        o.put(c.dead);
        return j + 3;
      case kEncPost:
        if (e.b1 == kByteU && c.u)
          o.put(c.u);
        else if (e.b1 == kByteUu && c.uu)
          o.put(c.uu);
        else if (ci == kTta && e.b1 == kByteI)
          o.put(kByteTti);
        else if (ci == kTta && e.b1 == kByteIi)
          o.put(kByteTtii);
        else {
          o.put(c.live);
          o.put(e.b1);
        }
        return j + 3;
      case kEncPrefix: {
        // Decomposed o, oo and au: e/ee sign followed by aa or the au length mark.
        const int s2 = tamilAt(p, j + 3, n);
        o.put(e.b1);
        o.put(c.live);
        if ((e.b1 == kByteE || e.b1 == kByteEe) && s2 == idx(kSignAa)) {
          o.put(kByteAa);
          return j + 6;
        }
        if (e.b1 == kByteE && s2 == idx(kAuLength)) {
          o.put(kByteAuLength);
          return j + 6;
        }
        return j + 3;
      }
      case kEncTwoPart:
        o.put(e.b1);
        o.put(c.live);
        o.put(e.b2);
        return j + 3;
      default:
        o.put(c.live);
        return j;
    }
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

  size_t run(const uint8_t* p, size_t n, bool final, Out& o) {
    const size_t limit = final ? n : (n > UnicodeToTsciiStream::kMaxTail ? n - UnicodeToTsciiStream::kMaxTail : 0);
    size_t i = 0;
    while (i < limit) {
      o.ensure(64);
      const uint8_t b = p[i];
      const uint8_t afterLone = st.lonePrefix;
      st.lonePrefix = 0;
      if (b < 0x80) {
        const size_t stop = std::min(limit, i + 48);
        size_t j = i;
        while (j + 8 <= stop) {
          uint64_t w;
          std::memcpy(&w, p + j, 8);
          if (w & 0x8080808080808080ull) break;
          j += 8;
        }
        while (j < stop && p[j] < 0x80) ++j;
        o.put(reinterpret_cast<const char*>(p + i), j - i);
        i = j;
        continue;
      }
      const int t = tamilAt(p, i, n);
      if (t >= 0) {
        const EncEntry& e = kEnc[t];
        switch (e.kind) {
          case kEncConsonant:
            i = consonant(p, i, n, e.b1, o, afterLone);
            continue;
          case kEncByte:
            if (t == idx(0x0B92) && tamilAt(p, i + 3, n) == idx(kAuLength)) {
              o.put(kByteAu);  // decomposed vowel au
              i += 6;
            } else {
              o.put(e.b1);
              i += 3;
            }
            continue;
          case kEncPost:
          case kEncPrefix:
          case kEncTwoPart:
            loneSign(o, e);
            i += 3;
            continue;
          default:
            unmappable(o, i, p, 3, 0x0B80 + t);
            if (policy == Unmappable::Drop) st.lonePrefix = afterLone;
            i += 3;
            continue;
        }
      }
      char32_t cp = 0;
      const int len = utf8Decode(p + i, n - i, cp);
      if (len == 0) {
        o.put('?');
        if (warn) warn(base + i, hexByte(b) + ": not valid UTF-8, written as '?'");
        ++i;
        continue;
      }
      if (cp == kDottedCircle) {
        const int s = tamilAt(p, i + 3, n);
        if (s >= 0 && (kEnc[s].kind == kEncPost || kEnc[s].kind == kEncPrefix || kEnc[s].kind == kEncTwoPart)) {
          loneSign(o, kEnc[s]);
          i += 6;
          continue;
        }
      }
      if (uint8_t ob = otherByte(cp)) {
        o.put(ob);
      } else if (cp == 0xFEFF && base + i == 0) {
        if (warn) warn(0, "U+FEFF: byte order mark left out");
      } else {
        unmappable(o, i, p, len, cp);
        if (policy == Unmappable::Drop) st.lonePrefix = afterLone;  // nothing came between
      }
      i += len;
    }
    return i;
  }
};

// Feeds `in` to a codec that holds `tail` between calls. Only the tail and a
// short head of the new input are ever copied.
template <class Codec>
void feedPieces(Codec& codec, std::string& tail, uint64_t& offset, size_t maxTail, std::string_view in,
                bool final, std::string& out) {
  Out o(out);
  auto run = [&](std::string_view buf, bool fin) {
    codec.base = offset;
    const size_t used = codec.run(reinterpret_cast<const uint8_t*>(buf.data()), buf.size(), fin, o);
    offset += used;
    return used;
  };
  if (!tail.empty()) {
    if (in.size() <= 2 * maxTail) {
      std::string buf = tail + std::string(in);
      const size_t used = run(buf, final);
      tail = buf.substr(used);
      return;
    }
    // Tail plus 2*maxTail bytes: the run stops at least maxTail bytes past
    // the tail's end, so every letter begun in the tail is finished here.
    std::string buf = tail + std::string(in.substr(0, 2 * maxTail));
    const size_t used = run(buf, false);
    in.remove_prefix(used - tail.size());
    tail.clear();
  }
  const size_t used = run(in, final);
  tail.assign(in.substr(used));
}

}  // namespace

void TsciiToUnicodeStream::feed(std::string_view in, std::string& out) {
  Decoder d{st_, warn_, 0};
  feedPieces(d, tail_, offset_, kMaxTail, in, false, out);
}
void TsciiToUnicodeStream::finish(std::string& out) {
  Decoder d{st_, warn_, 0};
  feedPieces(d, tail_, offset_, kMaxTail, {}, true, out);
}
void UnicodeToTsciiStream::feed(std::string_view in, std::string& out) {
  Encoder e{st_, warn_, policy_, 0};
  feedPieces(e, tail_, offset_, kMaxTail, in, false, out);
}
void UnicodeToTsciiStream::finish(std::string& out) {
  Encoder e{st_, warn_, policy_, 0};
  feedPieces(e, tail_, offset_, kMaxTail, {}, true, out);
}

std::string TsciiToUnicode(std::string_view tscii, const BridgeWarning& warn) {
  std::string out;
  out.reserve(tscii.size() * 3);
  TsciiToUnicodeStream::State st;
  Decoder d{st, warn, 0};
  {
    Out o(out);
    d.run(reinterpret_cast<const uint8_t*>(tscii.data()), tscii.size(), true, o);
  }
  return out;
}

std::string UnicodeToTscii(std::string_view utf8, const BridgeWarning& warn, Unmappable policy) {
  std::string out;
  out.reserve(utf8.size() / 2 + 16);
  UnicodeToTsciiStream::State st;
  Encoder e{st, warn, policy, 0};
  {
    Out o(out);
    e.run(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), true, o);
  }
  return out;
}

}  // namespace tolvan
