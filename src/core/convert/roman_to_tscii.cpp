// Roman transliteration to TSCII: greedy longest match over a table of keys
// of one to four characters (letter case matters). At each position the
// longest key that starts there is replaced by its TSCII bytes; a byte that
// starts no key is copied.
//
// The table is data (kRomanTable, built at compile time from the consonant
// rows and the vowel suffixes). From it a trie is made, and from the trie a
// matching machine that reads each byte once and gives the same result as
// trying the key lengths 4, 3, 2, 1 at every position.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"
#include "core/convert/string_room.h"

namespace tolvan {
namespace {

constexpr int kMaxKey = 4;

struct RomanEntry {
  char key[kMaxKey] = {};
  uint8_t klen = 0;
  uint8_t val[3] = {};
  uint8_t vlen = 0;
};

// Independent vowels and the other keys that stand alone.
struct Standalone {
  const char* key;
  uint8_t tscii;
};
constexpr Standalone kStandalone[] = {
    {"a", 0xAB}, {"A", 0xAC}, {"i", 0xAD}, {"I", 0xAE}, {"u", 0xAF}, {"U", 0xB0}, {"e", 0xB1},
    {"E", 0xB2}, {"ai", 0xB3}, {"o", 0xB4}, {"O", 0xB5}, {"au", 0xB6}, {"SRI", 0x82}, {"H", 0xB7},
};

// A consonant: its key, live form, pulli form, and the single-byte u and uu
// letters (0 for the grantha consonants, which take the u and uu signs).
struct Consonant {
  const char* key;
  uint8_t live, dead, u, uu;
};
constexpr Consonant kConsonants[] = {
    {"k", 0xB8, 0xEC, 0xCC, 0xDC},  {"g", 0xB9, 0xED, 0x99, 0x9B},  {"c", 0xBA, 0xEE, 0xCD, 0xDD},
    {"jn", 0xBB, 0xEF, 0x9A, 0x9C}, {"T", 0xBC, 0xF0, 0xCE, 0xDE},  {"N", 0xBD, 0xF1, 0xCF, 0xDF},
    {"t", 0xBE, 0xF2, 0xD0, 0xE0},  {"n", 0xBF, 0xF3, 0xD1, 0xE1},  {"p", 0xC0, 0xF4, 0xD2, 0xE2},
    {"m", 0xC1, 0xF5, 0xD3, 0xE3},  {"y", 0xC2, 0xF6, 0xD4, 0xE4},  {"r", 0xC3, 0xF7, 0xD5, 0xE5},
    {"l", 0xC4, 0xF8, 0xD6, 0xE6},  {"v", 0xC5, 0xF9, 0xD7, 0xE7},  {"z", 0xC6, 0xFA, 0xD8, 0xE8},
    {"L", 0xC7, 0xFB, 0xD9, 0xE9},  {"R", 0xC8, 0xFC, 0xDA, 0xEA},  {"n2", 0xC9, 0xFD, 0xDB, 0xEB},
    {"j", 0x83, 0x88, 0, 0},        {"S", 0x85, 0x8A, 0, 0},        {"s", 0x84, 0x89, 0, 0},
    {"h", 0x86, 0x8B, 0, 0},        {"kS", 0x87, 0x8C, 0, 0},
};

// The ligatures tti and ttii replace T with the i and ii signs.
constexpr char kTti = 'T';
constexpr uint8_t kTtiByte = 0xCA, kTtiiByte = 0xCB;

constexpr uint8_t kAa = 0xA1, kI = 0xA2, kII = 0xA3, kU = 0xA4, kUU = 0xA5, kE = 0xA6, kEE = 0xA7, kAI = 0xA8,
                  kAuMark = 0xAA;

// Vowel suffixes after a consonant key, "" being the bare consonant (pulli).
enum class Form { Dead, A, AA, I, II, U, UU, E, EE, O, OO, AI, AU };
struct Suffix {
  const char* text;
  Form form;
};
constexpr Suffix kSuffixes[] = {
    {"", Form::Dead}, {"a", Form::A},   {"A", Form::AA},  {"i", Form::I},   {"I", Form::II},
    {"u", Form::U},   {"U", Form::UU},  {"e", Form::E},   {"E", Form::EE},  {"o", Form::O},
    {"O", Form::OO},  {"ai", Form::AI}, {"au", Form::AU},
};

constexpr int cstrlen(const char* s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

constexpr RomanEntry makeEntry(const char* a, const char* b, std::initializer_list<uint8_t> val) {
  RomanEntry e{};
  for (const char* s : {a, b})
    for (int i = 0; s[i]; ++i) e.key[e.klen++] = s[i];
  for (uint8_t v : val) e.val[e.vlen++] = v;
  return e;
}

constexpr RomanEntry consonantEntry(const Consonant& c, const Suffix& s) {
  const uint8_t L = c.live;
  const bool grantha = c.u == 0;
  const bool tti = cstrlen(c.key) == 1 && c.key[0] == kTti;
  switch (s.form) {
    case Form::Dead: return makeEntry(c.key, s.text, {c.dead});
    case Form::A: return makeEntry(c.key, s.text, {L});
    case Form::AA: return makeEntry(c.key, s.text, {L, kAa});
    case Form::I: return tti ? makeEntry(c.key, s.text, {kTtiByte}) : makeEntry(c.key, s.text, {L, kI});
    case Form::II: return tti ? makeEntry(c.key, s.text, {kTtiiByte}) : makeEntry(c.key, s.text, {L, kII});
    case Form::U: return grantha ? makeEntry(c.key, s.text, {L, kU}) : makeEntry(c.key, s.text, {c.u});
    case Form::UU: return grantha ? makeEntry(c.key, s.text, {L, kUU}) : makeEntry(c.key, s.text, {c.uu});
    // e, ee and ai signs stand before the consonant, as TSCII stores them.
    case Form::E: return makeEntry(c.key, s.text, {kE, L});
    case Form::EE: return makeEntry(c.key, s.text, {kEE, L});
    case Form::O: return makeEntry(c.key, s.text, {kE, L, kAa});
    case Form::OO: return makeEntry(c.key, s.text, {kEE, L, kAa});
    case Form::AI: return makeEntry(c.key, s.text, {kAI, L});
    case Form::AU: return makeEntry(c.key, s.text, {kE, L, kAuMark});
  }
  return {};
}

constexpr int kTableSize = int(std::size(kStandalone) + std::size(kConsonants) * std::size(kSuffixes));

constexpr std::array<RomanEntry, kTableSize> makeRomanTable() {
  std::array<RomanEntry, kTableSize> t{};
  int n = 0;
  for (auto s : kStandalone) {
    RomanEntry e{};
    for (int i = 0; s.key[i]; ++i) e.key[e.klen++] = s.key[i];
    e.val[e.vlen++] = s.tscii;
    t[n++] = e;
  }
  for (const auto& c : kConsonants)
    for (const auto& s : kSuffixes) t[n++] = consonantEntry(c, s);
  return t;
}

constexpr auto kRomanTable = makeRomanTable();

constexpr int countKeys(int len) {
  int n = 0;
  for (const auto& e : kRomanTable) n += e.klen == len;
  return n;
}

static_assert(kTableSize == 313);
static_assert(countKeys(1) == 31 && countKeys(2) == 205 && countKeys(3) == 71 && countKeys(4) == 6);

// ---- Trie over the keys -------------------------------------------------

// Characters that occur in keys get classes 1..; every other byte is class 0.
struct Alphabet {
  std::array<uint8_t, 256> cls{};
  int count = 1;
};

constexpr Alphabet makeAlphabet() {
  Alphabet a{};
  for (const auto& e : kRomanTable)
    for (int i = 0; i < e.klen; ++i)
      if (!a.cls[uint8_t(e.key[i])]) a.cls[uint8_t(e.key[i])] = uint8_t(a.count++);
  return a;
}
constexpr Alphabet kAlphabet = makeAlphabet();
constexpr int kClasses = kAlphabet.count;

// The characters a trie node stands for.
struct Prefix {
  char c[kMaxKey] = {};
  int len = 0;
};

constexpr uint32_t pack(const uint8_t* bytes, unsigned count) {
  uint32_t v = uint32_t(count) << 24;
  for (unsigned i = 0; i < count; ++i) v |= uint32_t(bytes[i]) << (8 * i);
  return v;
}

// The trie as the keys are inserted, nodes numbered in order of creation.
constexpr int kMaxNodes = kTableSize * kMaxKey + 1;
struct RawTrie {
  std::array<uint16_t, kMaxNodes * kClasses> child{};
  std::array<uint32_t, kMaxNodes> value{};
  std::array<Prefix, kMaxNodes> str{};
  std::array<bool, kMaxNodes> interior{};
  int count = 1;  // node 0 is the root
  bool duplicateKey = false;
};

constexpr RawTrie makeRawTrie() {
  RawTrie t{};
  for (const auto& e : kRomanTable) {
    int node = 0;
    for (int i = 0; i < e.klen; ++i) {
      uint16_t& next = t.child[node * kClasses + kAlphabet.cls[uint8_t(e.key[i])]];
      if (!next) {
        next = uint16_t(t.count);
        t.str[t.count] = t.str[node];
        t.str[t.count].c[t.str[t.count].len++] = e.key[i];
        ++t.count;
      }
      t.interior[node] = true;
      node = next;
    }
    if (t.value[node]) t.duplicateKey = true;
    t.value[node] = pack(e.val, e.vlen);
  }
  return t;
}
constexpr RawTrie kRawTrie = makeRawTrie();
// With every key distinct, "first entry wins" never has to choose.
static_assert(!kRawTrie.duplicateKey);

constexpr int countInterior() {
  int n = 0;
  for (int k = 0; k < kRawTrie.count; ++k) n += kRawTrie.interior[k];
  return n;
}
constexpr int kNodes = kRawTrie.count;
constexpr int kInterior = countInterior();
static_assert(kNodes < 65536);

// The trie renumbered so that the interior nodes (the root first) come
// before the leaves; only interior nodes need a row of children.
struct Trie {
  // child[node * kClasses + class]: the node one character further, 0 = none
  // (the root is never anybody's child).
  std::array<uint16_t, kInterior * kClasses> child{};
  // Per node: the key's TSCII bytes in the low three bytes and their count
  // above them; 0 for a prefix that is not itself a key.
  std::array<uint32_t, kNodes> value{};
  std::array<Prefix, kNodes> str{};
};

constexpr Trie makeTrie() {
  std::array<uint16_t, kNodes> newId{};
  int next = 0;
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < kNodes; ++k)
      if (kRawTrie.interior[k] == (pass == 0)) newId[k] = uint16_t(next++);
  Trie t{};
  for (int k = 0; k < kNodes; ++k) {
    t.value[newId[k]] = kRawTrie.value[k];
    t.str[newId[k]] = kRawTrie.str[k];
    if (!kRawTrie.interior[k]) continue;
    for (int c = 0; c < kClasses; ++c)
      if (const int child = kRawTrie.child[k * kClasses + c]) t.child[newId[k] * kClasses + c] = newId[child];
  }
  return t;
}
constexpr Trie kTrie = makeTrie();

constexpr unsigned outCount(uint32_t v) { return (v >> 24) & 15; }

// ---- Matching machine --------------------------------------------------
//
// Greedy longest match needs to look ahead at most three characters. The
// machine below reads the text once, byte by byte; its state is the trie node
// whose characters have been read but not yet converted (always the root or
// an interior node, so at most three characters). Each step emits whatever
// the new byte settles: for example in state "SR" the byte "a" settles that
// no "SRI" follows, so "S" is emitted as a key, then "R" and "a" are read
// again from the root (giving "Ra"). All of this is worked out at compile
// time, so a step is one table entry (see Step below).

struct Pending {
  char c[kMaxKey + 1] = {};
  int len = 0;
};

struct Emitted {
  uint8_t bytes[16] = {};
  int count = 0;
  int state = 0;  // node holding what is still pending
};

// The node for the first len characters of t, or -1 when they are no prefix
// of any key (walks the finished trie).
constexpr int nodeOf(const Pending& t, int len) {
  int node = 0;
  for (int i = 0; i < len; ++i) {
    const int c = kAlphabet.cls[uint8_t(t.c[i])];
    if (c == 0 || node >= kInterior) return -1;
    node = kTrie.child[node * kClasses + c];
    if (node == 0) return -1;
  }
  return node;
}

// Converts what can be settled of t. With atEnd, everything is settled;
// otherwise a t that some longer key could still complete stays pending.
constexpr Emitted settle(Pending t, bool atEnd) {
  Emitted e{};
  while (t.len > 0) {
    if (!atEnd && t.len <= kMaxKey) {
      const int node = nodeOf(t, t.len);
      if (node >= 0 && node < kInterior) {
        e.state = node;
        return e;
      }
    }
    int keyLen = 0;
    uint32_t v = 0;
    for (int len = t.len < kMaxKey ? t.len : kMaxKey; len >= 1 && !keyLen; --len) {
      const int node = nodeOf(t, len);
      if (node >= 0 && kTrie.value[node]) {
        keyLen = len;
        v = kTrie.value[node];
      }
    }
    if (keyLen) {
      for (unsigned i = 0; i < outCount(v); ++i) e.bytes[e.count++] = uint8_t(v >> (8 * i));
    } else {
      keyLen = 1;
      e.bytes[e.count++] = uint8_t(t.c[0]);
    }
    for (int i = keyLen; i < t.len; ++i) t.c[i - keyLen] = t.c[i];
    t.len -= keyLen;
  }
  return e;
}

constexpr Pending pendingOf(int node) {
  Pending t{};
  const Prefix& p = kTrie.str[node];
  for (int i = 0; i < p.len; ++i) t.c[i] = p.c[i];
  t.len = p.len;
  return t;
}

// One character per class (class 0 stands for every byte that is in no key).
constexpr std::array<char, kClasses> makeClassChars() {
  std::array<char, kClasses> ch{};
  for (int b = 0; b < 256; ++b)
    if (kAlphabet.cls[b]) ch[kAlphabet.cls[b]] = char(b);
  return ch;
}
constexpr auto kClassChar = makeClassChars();

// Step tables, indexed by state * kClasses + class:
//   out: up to seven emitted bytes in the low 56 bits, their count in bits
//     60-63, and in bit 56 "then copy the byte itself" (class 0: a byte that
//     is in no key settles everything pending and passes through);
//   next: the next state, times kClasses.
// flush[state]: what the pending characters give when the text ends.
struct Machine {
  std::array<uint64_t, kInterior * kClasses> out{};
  std::array<uint16_t, kInterior * kClasses> next{};
  std::array<uint64_t, kInterior> flush{};
  std::array<uint8_t, kInterior> depth{};
  int longest = 0;  // most bytes any single step or flush emits
};

constexpr uint64_t packEmitted(const Emitted& e, bool copyByte) {
  uint64_t v = uint64_t(e.count) << 60 | uint64_t(copyByte) << 56;
  for (int i = 0; i < e.count; ++i) v |= uint64_t(e.bytes[i]) << (8 * i);
  return v;
}

constexpr Machine makeMachine() {
  Machine m{};
  for (int s = 0; s < kInterior; ++s) {
    const Pending pending = pendingOf(s);
    m.depth[s] = uint8_t(pending.len);
    const Emitted f = settle(pending, true);
    m.flush[s] = packEmitted(f, false);
    m.longest = f.count > m.longest ? f.count : m.longest;
    for (int c = 0; c < kClasses; ++c) {
      Emitted e{};
      if (c == 0) {
        e = settle(pending, true);
      } else {
        Pending t = pending;
        t.c[t.len++] = kClassChar[c];
        e = settle(t, false);
      }
      m.out[s * kClasses + c] = packEmitted(e, c == 0);
      m.next[s * kClasses + c] = uint16_t(e.state * kClasses);
      m.longest = e.count > m.longest ? e.count : m.longest;
    }
  }
  return m;
}
constexpr Machine kMachine = makeMachine();
static_assert(kMachine.longest <= 7, "a step's output must fit its 56 bits");
static_assert(kInterior * kClasses < 65536);

}  // namespace

// Emitted bytes are stored with one 8-byte copy, low byte first.
static_assert(std::endian::native == std::endian::little);

namespace {

// The machine again, one row of 256 entries per state so that a step needs
// neither the byte's class nor a separate store of a copied byte: an entry
// holds everything the step writes (the settled bytes, then the byte itself
// when it is in no key), how many bytes that is, and the next state's row.
struct alignas(16) Step {
  uint64_t out = 0;
  uint16_t next = 0;  // state times 256
  uint8_t count = 0;
};

constexpr std::array<Step, kInterior * 256> makeSteps() {
  std::array<Step, kInterior * 256> t{};
  for (int s = 0; s < kInterior; ++s)
    for (int b = 0; b < 256; ++b) {
      const int idx = s * kClasses + kAlphabet.cls[b];
      const uint64_t e = kMachine.out[idx];
      Step& step = t[s * 256 + b];
      step.count = uint8_t(e >> 60);
      step.out = e & ((uint64_t(1) << 56) - 1);
      if ((e >> 56) & 1) step.out |= uint64_t(b) << (8 * step.count++);
      step.next = uint16_t(kMachine.next[idx] / kClasses * 256);
    }
  return t;
}
constexpr auto kSteps = makeSteps();
static_assert(kMachine.longest + 1 <= 8, "a step's output and the copied byte must fit eight bytes");
static_assert(kInterior * 256 < 65536);

// One step of the machine over the byte b: stores what it settles at o + j
// (always eight bytes: the spare room after j takes them).
inline void step(uint8_t b, unsigned& state, uint8_t* o, size_t& j) {
  const Step& e = kSteps[state + b];
  std::memcpy(o + j, &e.out, 8);
  state = e.next;
  j += e.count;
}

// The text is cut into this many lanes, run side by side: each step waits
// on the one before it in its own lane (the next state comes out of a table
// load), so four independent lanes keep the processor busy where one would
// leave it waiting.
constexpr int kLanes = 4;
// Shorter texts run as one lane; a lane starts within this many bytes after
// its share of the text begins, or the text runs as one lane.
constexpr size_t kLanesFrom = 4096;
constexpr size_t kLaneSearch = 256;

// A lane must start in the root state with nothing pending: right after a
// byte that is in no key (a space, a full stop), which settles everything
// before it. Fills start[1..] and returns true when every lane found one.
bool laneStarts(const uint8_t* p, size_t n, size_t (&start)[kLanes + 1]) {
  start[0] = 0;
  start[kLanes] = n;
  for (int k = 1; k < kLanes; ++k) {
    const size_t from = n / kLanes * size_t(k);
    size_t at = from;
    while (at < from + kLaneSearch && kAlphabet.cls[p[at]] != 0) ++at;
    if (at == from + kLaneSearch) return false;
    start[k] = at + 1;
  }
  return true;
}

// ---- Tables for the vector path ---------------------------------------
//
// The vector path finds the key at every position at once from the shape of
// the table: a consonant key with a suffix, a vowel alone (the same suffixes
// with no consonant) or a key of its own, and it takes the longest key at a
// position to be the consonant with its longest suffix. The checks below
// hold the table to that shape.

constexpr bool sameKey(const char* a, const char* b) {
  int k = 0;
  while (a[k] && a[k] == b[k]) ++k;
  return a[k] == b[k];
}

constexpr int suffixNumber(const char* text) {
  for (int s = 0; s < int(std::size(kSuffixes)); ++s)
    if (sameKey(kSuffixes[s].text, text)) return s;
  return -1;
}

constexpr bool startsSuffix(char c) {
  for (const auto& s : kSuffixes)
    if (s.text[0] == c) return true;
  return false;
}

constexpr convert_simd::RomanTables makeVectorTables() {
  convert_simd::RomanTables t{};
  for (const auto& e : kRomanTable)
    for (int i = 0; i < e.klen; ++i)
      if (t.alphabet[uint8_t(e.key[i])] < 2) t.alphabet[uint8_t(e.key[i])] = i ? 2 : 1;
  int twoChars = 0;
  for (int c = 0; c < int(std::size(kConsonants)); ++c) {
    const char* key = kConsonants[c].key;
    if (cstrlen(key) == 1)
      t.consonant[uint8_t(key[0])] = uint8_t(c + 1);
    else
      t.consonant2[twoChars][0] = uint8_t(key[0]), t.consonant2[twoChars][1] = uint8_t(key[1]),
      t.consonant2[twoChars++][2] = uint8_t(c + 1);
    for (int s = 0; s < int(std::size(kSuffixes)); ++s) {
      const RomanEntry e = consonantEntry(kConsonants[c], kSuffixes[s]);
      for (int k = 0; k < e.vlen && k < 2; ++k) t.value[k][(c + 1) * 16 + s] = e.val[k];
      if (e.vlen == 3) t.third[s] = e.val[2];
    }
  }
  int twoSuffixes = 0;
  for (int s = 1; s < int(std::size(kSuffixes)); ++s) {
    const char* text = kSuffixes[s].text;
    if (cstrlen(text) == 1)
      t.suffix[uint8_t(text[0])] = uint8_t(s);
    else
      t.suffix2[twoSuffixes][0] = uint8_t(text[0]), t.suffix2[twoSuffixes][1] = uint8_t(text[1]),
      t.suffix2[twoSuffixes++][2] = uint8_t(s);
  }
  for (int c = 0; c < 128; ++c) t.copy[c] = uint8_t(c);
  for (const auto& a : kStandalone) {
    const int s = suffixNumber(a.key);
    if (s > 0) {
      t.value[0][s] = a.tscii;
    } else if (cstrlen(a.key) == 1) {
      t.copy[uint8_t(a.key[0])] = a.tscii;
      t.ownShort[0] = uint8_t(a.key[0]), t.ownShort[1] = a.tscii;
    } else {
      for (int k = 0; a.key[k]; ++k) t.own[k] = uint8_t(a.key[k]);
      t.own[3] = a.tscii;
    }
  }
  // A character that keys hold after their first character only as the
  // second character of two-character consonants or keys of their own, all
  // with the same first character, starts a key wherever that character is
  // not before it.
  for (int c = 1; c < 128; ++c) {
    if (t.alphabet[c] != 2) continue;
    int before = -1;
    bool onlySecond = true;
    for (const auto& e : kRomanTable)
      for (int i = 1; i < e.klen; ++i)
        if (uint8_t(e.key[i]) == c) {
          if (i != 1 || (before >= 0 && before != uint8_t(e.key[0]))) onlySecond = false;
          before = uint8_t(e.key[0]);
        }
    bool pairFound = false;
    for (const auto& pair : t.consonant2) pairFound |= pair[0] == before && pair[1] == c;
    pairFound |= t.own[0] == before && t.own[1] == c;
    if (onlySecond && pairFound) t.alphabet[c] = 3;
  }
  for (int c = 0; c < 128; ++c)
    t.character[c] = uint8_t(t.consonant[c] | (t.alphabet[c] ? 0x20 : 0) | (t.alphabet[c] == 1 ? 0x40 : 0) |
                             (t.alphabet[c] == 3 ? 0x80 : 0));
  // The second bytes by kind of consonant: the suffixes from the first whose
  // sign stands before the consonant on give its live form; the others
  // depend on the suffix and on the consonant only through its kind (one
  // with its own u and uu letters, the one whose i and ii are ligatures, or
  // a grantha consonant; rows 0, 1, 2).
  t.firstBefore = uint8_t(Form::E);
  for (int c = 0; c < 64; ++c) t.kind[c] = 3 * 16;
  for (int c = 0; c < int(std::size(kConsonants)); ++c) {
    const Consonant& k = kConsonants[c];
    const int index = cstrlen(k.key) == 1 ? (c + 1) | 0x20 : c + 1;
    const int kind = k.u == 0 ? 2 : cstrlen(k.key) == 1 && k.key[0] == kTti ? 1 : 0;
    t.kind[index] = uint8_t(kind * 16);
    t.live[index] = k.live;
    for (int s = 0; s < int(Form::E); ++s) t.after[kind * 16 + s] = t.value[1][(c + 1) * 16 + s];
    for (int s = 0; s < int(Form::E); ++s) t.first[(c + 1) * 8 + s] = t.value[0][(c + 1) * 16 + s];
    for (int s = int(Form::E); s < int(std::size(kSuffixes)); ++s) t.sign[kind * 16 + s] = t.value[0][(c + 1) * 16 + s];
  }
  for (int s = 0; s < 16; ++s) t.sign[3 * 16 + s] = t.value[0][s];
  return t;
}
constexpr convert_simd::RomanTables kVectorTables = makeVectorTables();

constexpr bool vectorShapeHolds() {
  // Consonant numbers fit rows 1..23 of 16 (and five bits); suffixes one row.
  if (std::size(kConsonants) + 1 > 384 / 16 || std::size(kSuffixes) > 16) return false;
  // Two-character consonants and suffixes: as many as the tables hold, and
  // all keys of one or two characters.
  int consonants2 = 0, suffixes2 = 0, own = 0;
  for (const auto& c : kConsonants) {
    const int len = cstrlen(c.key);
    if (len < 1 || len > 2) return false;
    // "k" then "S" is never "k" with a suffix, so the longer consonant wins.
    if (len == 2 && (startsSuffix(c.key[1]) || ++consonants2 > 3)) return false;
    // A two-character consonant begins with a one-character consonant.
    if (len == 2 && !kVectorTables.consonant[uint8_t(c.key[0])]) return false;
  }
  for (const auto& s : kSuffixes)
    if (cstrlen(s.text) > 2 || (cstrlen(s.text) == 2 && ++suffixes2 > 2)) return false;
  // The two-character suffixes begin with the same character.
  if (kVectorTables.suffix2[0][0] != kVectorTables.suffix2[1][0]) return false;
  // Every vowel alone is a suffix. The other keys of their own: those of
  // one character are in no other key's first place, and there is one
  // longer key, where the key that would otherwise stand has one character
  // (it starts no suffix and no two-character consonant, and no suffix
  // follows its first character).
  int longOwn = 0;
  for (const auto& a : kStandalone) {
    if (suffixNumber(a.key) > 0) continue;
    const int len = cstrlen(a.key);
    if (len > 3) return false;
    ++own;
    if (len == 1 && (startsSuffix(a.key[0]) || kVectorTables.consonant[uint8_t(a.key[0])])) return false;
    if (len > 1) {
      if (len != 3 || ++longOwn > 1 || startsSuffix(a.key[0]) || startsSuffix(a.key[1])) return false;
      for (const auto& pair : kVectorTables.consonant2)
        if (pair[0] == uint8_t(a.key[0]) && pair[1] == uint8_t(a.key[1])) return false;
    }
  }
  if (longOwn != 1) return false;
  // One key of its own has one character.
  int ownShort = 0;
  for (int c = 0; c < 128; ++c)
    if (kVectorTables.copy[c] != c)
      ownShort += c == kVectorTables.ownShort[0] && kVectorTables.copy[c] == kVectorTables.ownShort[1] ? 1 : 2;
  if (ownShort != 1) return false;
  // The vector path reads bytes from 0x80 up as 0x7F, which must be in no key.
  if (kVectorTables.alphabet[0x7F] != 0) return false;
  // A byte that starts no other key, and a consonant without a suffix, have
  // no second or third byte.
  if (kVectorTables.value[1][0] != 0 || kVectorTables.third[0] != 0) return false;
  for (int c = 0; c < int(std::size(kConsonants)); ++c)
    if (kVectorTables.value[1][(c + 1) * 16] != 0) return false;
  // The second bytes by kind of consonant give those of the letter table.
  for (int c = 0; c < int(std::size(kConsonants)); ++c) {
    const int index = cstrlen(kConsonants[c].key) == 1 ? (c + 1) | 0x20 : c + 1;
    if (index >= 64 || kVectorTables.kind[index] > 2 * 16) return false;
    for (int s = 0; s < int(std::size(kSuffixes)); ++s) {
      const uint8_t want = kVectorTables.value[1][(c + 1) * 16 + s];
      const uint8_t got = s >= kVectorTables.firstBefore ? kVectorTables.live[index]
                                                          : kVectorTables.after[kVectorTables.kind[index] + s];
      if (want != got) return false;
      // And the first bytes: a sign from 0x80 up, or none in `sign`.
      const uint8_t first = kVectorTables.value[0][(c + 1) * 16 + s];
      const uint8_t sign = kVectorTables.sign[kVectorTables.kind[index] + s];
      if (s >= kVectorTables.firstBefore ? sign != first || first < 0x80
                                         : sign != 0 || kVectorTables.first[(c + 1) * 8 + s] != first)
        return false;
    }
  }
  // Where no consonant starts, none: the vowels alone have one byte, from
  // 0x80 up.
  for (int s = 0; s < 16; ++s)
    if (kVectorTables.value[1][s] != 0 || kVectorTables.after[3 * 16 + s] != 0 ||
        kVectorTables.sign[3 * 16 + s] != kVectorTables.value[0][s] ||
        (s > 0 && s < int(std::size(kSuffixes)) && kVectorTables.value[0][s] < 0x80))
      return false;
  if (std::size(kConsonants) * 8 + 7 >= 192 || kVectorTables.firstBefore > 8) return false;
  for (int c = 0; c < 128; ++c)
    if (!kVectorTables.consonant[c] && (kVectorTables.kind[kVectorTables.character[c] & 0x3F] != 3 * 16 ||
                                        kVectorTables.live[kVectorTables.character[c] & 0x3F] != 0))
      return false;
  // A letter's third byte depends on its suffix only; vowels alone and the
  // keys of their own have one byte.
  // A letter of three bytes has a key of two characters or more: the third
  // byte goes out with the key's second position.
  for (int c = 0; c < int(std::size(kConsonants)); ++c)
    for (int s = 0; s < int(std::size(kSuffixes)); ++s) {
      const RomanEntry e = consonantEntry(kConsonants[c], kSuffixes[s]);
      if (kVectorTables.third[s] != (e.vlen == 3 ? e.val[2] : 0)) return false;
      if (e.vlen == 3 && e.klen < 2) return false;
    }
  for (const auto& a : kStandalone)
    if (a.tscii == 0) return false;
  return consonants2 == 3 && suffixes2 == 2 && own == 2;
}
static_assert(vectorShapeHolds());

}  // namespace

namespace convert_detail {

size_t romanToTsciiAppend(std::string_view in, bool atEnd, std::string& out) {
  const size_t n = in.size();
  const size_t base = out.size();
  // The result is never more than 1.5 bytes per input byte (two-letter keys
  // such as "ko" give three bytes), at any point of the text; spare bytes
  // let every step store its eight bytes and the copied byte whole. A lane
  // writes from 1.5 times its start (plus 16 bytes for each lane before it),
  // so lanes never overwrite each other; the lanes' results are then moved
  // together.
  resizeUninit(out, base + n + n / 2 + 16 * (kLanes + 1));
  auto* o = reinterpret_cast<uint8_t*>(out.data()) + base;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  size_t start[kLanes + 1];
  size_t j;
  unsigned state = 0;  // the last lane's, times 256; 0 is the root
  const auto kernel = convert_simd::RomanKernel();
  if (kernel) {
    // The vector path stops where a key starts; the rest goes step by step.
    j = 0;
    for (size_t i = kernel(p, n, kVectorTables, o, j); i < n; ++i) step(p[i], state, o, j);
  } else if (n >= kLanesFrom && laneStarts(p, n, start)) {
    size_t at[kLanes], jj[kLanes], len[kLanes];
    unsigned st[kLanes];
    size_t common = n;
    for (int k = 0; k < kLanes; ++k) {
      at[k] = (3 * start[k] + 1) / 2 + 16 * size_t(k);
      jj[k] = at[k];
      len[k] = start[k + 1] - start[k];
      common = len[k] < common ? len[k] : common;
    }
    // Lane states and write positions in plain locals: through the byte
    // pointer o the compiler must assume any array of them is overwritten.
    const uint8_t *p0 = p + start[0], *p1 = p + start[1], *p2 = p + start[2], *p3 = p + start[3];
    size_t j0 = jj[0], j1 = jj[1], j2 = jj[2], j3 = jj[3];
    unsigned s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    static_assert(kLanes == 4);
    for (size_t i = 0; i < common; ++i) {
      step(p0[i], s0, o, j0);
      step(p1[i], s1, o, j1);
      step(p2[i], s2, o, j2);
      step(p3[i], s3, o, j3);
    }
    jj[0] = j0, jj[1] = j1, jj[2] = j2, jj[3] = j3;
    st[0] = s0, st[1] = s1, st[2] = s2, st[3] = s3;
    j = 0;
    for (int k = 0; k < kLanes; ++k) {
      const uint8_t* q = p + start[k];
      for (size_t i = common; i < len[k]; ++i) step(q[i], st[k], o, jj[k]);
      // Every lane but the last ended on a byte that settles everything.
      std::memmove(o + j, o + at[k], jj[k] - at[k]);
      j += jj[k] - at[k];
    }
    state = st[kLanes - 1];
  } else {
    j = 0;
    for (size_t i = 0; i < n; ++i) step(p[i], state, o, j);
  }
  size_t consumed = n;
  const unsigned node = state / 256;
  if (atEnd) {
    const uint64_t e = kMachine.flush[node];
    std::memcpy(o + j, &e, 8);
    j += e >> 60;
  } else {
    // The pending characters (at most three) are left for the next call.
    consumed -= kMachine.depth[node];
  }
  out.resize(base + j);
  return consumed;
}

}  // namespace convert_detail

std::string RomanToTscii(std::string_view in) {
  std::string out;
  convert_detail::romanToTsciiAppend(in, true, out);
  return out;
}

}  // namespace tolvan
