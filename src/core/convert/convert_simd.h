// Vector code of the byte converters (TSCII to TAB, Mylai, Anjal, font-map
// apply) and the choice of it at run time. Internal to the converters: each
// works 64 input bytes at a time with AVX-512 byte permutes and compression
// where the processor has them (VBMI, VBMI2), and byte by byte elsewhere.
// Every path writes exactly the same bytes; tests and benchmarks switch the
// vector path off to compare the two.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tolvan::convert_simd {

// Whether this processor can run the vector path.
bool VectorAvailable();
// Whether the converters use it now (by default, when available).
bool VectorEnabled();
// Switches the vector path on (only where available) or off for every later
// conversion in any thread; returns whether it was on. For tests and
// benchmarks.
bool SetVectorEnabled(bool on);

// A byte-to-bytes map where each input byte gives at most two output bytes:
// first[b] then second[b], of which len[b] (0, 1 or 2) count.
struct alignas(64) PairTables {
  uint8_t first[256];
  uint8_t second[256];
  uint8_t len[256];
};

// Each kernel converts whole blocks of 64 input bytes from the start of p and
// stops early before a block it leaves to the caller's byte-by-byte code (see
// each). It returns the number of input bytes converted (a multiple of 64)
// and adds the number of bytes written to `written`. It stores up to 64 bytes
// past what it writes, never past 2 bytes per input byte converted (Mylai: 1).
//
// PairFn: blocks of p[0, n) through the tables.
using PairFn = size_t (*)(const uint8_t* p, size_t n, const PairTables& t, uint8_t* o, size_t& written);
// AnjalFn: as PairFn, and where the next byte is `lengthener` and
// lengthened[b] is not 0, b gives lengthened[b] alone (len[b] is 1 for every
// such b). Reads p[n] too when the last block ends there, so it converts only
// blocks followed by at least one byte. Stops before a block holding a byte
// with stop[b] set (a byte the caller must report).
struct alignas(64) AnjalTables {
  PairTables pair;
  uint8_t lengthened[256];
  uint8_t stop[256];
  uint8_t lengthener;
};
using AnjalFn = size_t (*)(const uint8_t* p, size_t n, const AnjalTables& t, uint8_t* o, size_t& written);
// MylaiFn: each byte b gives rows[r][b], or nothing when that is 0, where the
// row r is rowOf[next byte]. Rows other than 0 differ from row 0 only for
// bytes below 0x80. Converts only blocks followed by at least one byte.
struct alignas(64) MylaiTables {
  uint8_t rows[5][256];
  uint8_t rowOf[256];
};
using MylaiFn = size_t (*)(const uint8_t* p, size_t n, const MylaiTables& t, uint8_t* o, size_t& written);

// RomanFn: the Roman scheme, where a key is a consonant (one or two
// characters) with a vowel suffix (none, one or two characters), a vowel
// alone (a suffix with no consonant), or one of two keys of their own (of
// one and of three characters); the longest key at a position is its
// consonant with its longest suffix, or the key of its own. Starts
// at p[0] with nothing pending and converts key by key up to a position
// where a key starts with nothing pending (past the last whole block it
// converted), which it returns. Reads three bytes past every block.
struct alignas(64) RomanTables {
  uint8_t consonant[128];  // one-character consonant -> its number (1..), else 0
  // A character in no key 0, found first in keys only 1, elsewhere in keys
  // 2; 3 where keys hold it after their first character only as the second
  // character of a two-character consonant or of a key of its own, after
  // the same character every time.
  uint8_t alphabet[128];
  // The two above in one byte, as the kernel reads them: the consonant's
  // number in bits 0-4; bit 5 set for a character in some key, bit 6 for
  // one of class 1, bit 7 for one of class 3.
  uint8_t character[128];
  uint8_t suffix[128];     // one-character suffix -> its number (1..), else 0
  // What a byte that starts no other key gives: the byte of the key of its
  // own that it is, or itself.
  uint8_t copy[128];
  uint8_t ownShort[2];  // the one character of copy[] that is not itself, and its byte
  // The letters in rows of 16 numbered suffixes: consonant number * 16 +
  // suffix number, the vowels alone in row 0; their first two bytes (0:
  // none). The kernel reads them through the smaller tables below.
  uint8_t value[2][384];
  uint8_t third[64];  // by suffix number: a consonant letter's third byte, the same for every consonant
  // The second bytes again, as the kernel reads them. A consonant's index is
  // the low six bits of its character[] byte (a two-character consonant's:
  // its number). By that index: the consonant's kind times 16 (its second
  // bytes' row in `after`; row 3 for no consonant), and its live form, the
  // second byte of the suffixes from number `firstBefore` on, whose vowel
  // sign stands before the consonant. after[row * 16 + suffix]: the second
  // byte for the other suffixes.
  uint8_t kind[64];
  uint8_t live[64];
  uint8_t after[64];
  uint8_t firstBefore;
  // The first bytes, as the kernel reads them: first[number * 8 + suffix]
  // for the suffixes before `firstBefore` (number: the consonant's, its low
  // five bits), and sign[kind * 16 + suffix] for the others (the vowel sign,
  // the same for every consonant) and for the vowels alone (kind 3). Every
  // byte in `sign` that counts is from 0x80 up, and those that do not are 0.
  uint8_t first[192];
  uint8_t sign[64];
  uint8_t consonant2[3][3];  // two-character consonants: first, second, number
  uint8_t suffix2[2][3];     // two-character suffixes: first, second, number
  // The key of its own of three characters: its characters, its byte. The
  // key that would otherwise stand there is a consonant without a suffix, or
  // a byte that starts no other key.
  uint8_t own[4];
};
using RomanFn = size_t (*)(const uint8_t* p, size_t n, const RomanTables& t, uint8_t* o, size_t& written);

// The kernels in use now; nullptr when the vector path is off.
PairFn PairKernel();
AnjalFn AnjalKernel();
MylaiFn MylaiKernel();
RomanFn RomanKernel();

}  // namespace tolvan::convert_simd
