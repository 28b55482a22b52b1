// Code-point tables of the TSCII <-> Unicode codec: which TSCII byte holds
// which Tamil letter, and which Unicode characters a byte stands for. Both
// directions are built from these lists at compile time, so a letter is
// described in one place only.
#pragma once
#include <cstdint>

namespace tolvan::unicode_tables {

// A consonant and its one-byte forms: live (with the inherent a), dead (with
// pulli), with u and with uu. The five grantha consonants have no u/uu forms (0).
struct Consonant {
  char16_t cp;  // 0 for the conjunct k.ssa, which is U+0B95 U+0BCD U+0BB7
  uint8_t live, dead, u, uu;
};

inline constexpr Consonant kConsonants[] = {
    {0x0B95, 0xB8, 0xEC, 0xCC, 0xDC},  // ka
    {0x0B99, 0xB9, 0xED, 0x99, 0x9B},  // nga
    {0x0B9A, 0xBA, 0xEE, 0xCD, 0xDD},  // ca
    {0x0B9E, 0xBB, 0xEF, 0x9A, 0x9C},  // nya
    {0x0B9F, 0xBC, 0xF0, 0xCE, 0xDE},  // tta
    {0x0BA3, 0xBD, 0xF1, 0xCF, 0xDF},  // nna
    {0x0BA4, 0xBE, 0xF2, 0xD0, 0xE0},  // ta
    {0x0BA8, 0xBF, 0xF3, 0xD1, 0xE1},  // na
    {0x0BAA, 0xC0, 0xF4, 0xD2, 0xE2},  // pa
    {0x0BAE, 0xC1, 0xF5, 0xD3, 0xE3},  // ma
    {0x0BAF, 0xC2, 0xF6, 0xD4, 0xE4},  // ya
    {0x0BB0, 0xC3, 0xF7, 0xD5, 0xE5},  // ra
    {0x0BB2, 0xC4, 0xF8, 0xD6, 0xE6},  // la
    {0x0BB5, 0xC5, 0xF9, 0xD7, 0xE7},  // va
    {0x0BB4, 0xC6, 0xFA, 0xD8, 0xE8},  // llla
    {0x0BB3, 0xC7, 0xFB, 0xD9, 0xE9},  // lla
    {0x0BB1, 0xC8, 0xFC, 0xDA, 0xEA},  // rra
    {0x0BA9, 0xC9, 0xFD, 0xDB, 0xEB},  // nnna
    {0x0B9C, 0x83, 0x88, 0, 0},        // ja
    {0x0BB7, 0x84, 0x89, 0, 0},        // ssa
    {0x0BB8, 0x85, 0x8A, 0, 0},        // sa
    {0x0BB9, 0x86, 0x8B, 0, 0},        // ha
    {0, 0x87, 0x8C, 0, 0},             // k.ssa
};
inline constexpr int kNumConsonants = 23;
inline constexpr int kKa = 0, kTta = 4, kRa = 11, kSsa = 19, kSa = 20, kKssa = 22;

// Vowel signs. Prefix signs are written before the consonant in TSCII.
inline constexpr char16_t kSignAa = 0x0BBE, kSignI = 0x0BBF, kSignIi = 0x0BC0, kSignU = 0x0BC1,
                          kSignUu = 0x0BC2, kSignE = 0x0BC6, kSignEe = 0x0BC7, kSignAi = 0x0BC8,
                          kSignO = 0x0BCA, kSignOo = 0x0BCB, kSignAu = 0x0BCC, kPulli = 0x0BCD,
                          kAuLength = 0x0BD7;

inline constexpr uint8_t kByteAa = 0xA1, kByteI = 0xA2, kByteIi = 0xA3, kByteU = 0xA4,
                         kByteUu = 0xA5, kByteE = 0xA6, kByteEe = 0xA7, kByteAi = 0xA8,
                         kByteAuLength = 0xAA;

// A byte and the one character it stands for, for every byte that is neither
// a consonant form above nor a ligature. Vowel signs are listed here too.
struct Single {
  uint8_t byte;
  char32_t cp;
};
inline constexpr Single kSingles[] = {
    {0x80, 0x0BE6}, {0x81, 0x0BE7},  // Tamil digits zero and one
    {0x8D, 0x0BE8}, {0x8E, 0x0BE9}, {0x8F, 0x0BEA}, {0x90, 0x0BEB},
    {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D},  // curly quotes
    {0x95, 0x0BEC}, {0x96, 0x0BED}, {0x97, 0x0BEE}, {0x98, 0x0BEF},
    {0x9D, 0x0BF0}, {0x9E, 0x0BF1}, {0x9F, 0x0BF2},  // ten, hundred, thousand
    {0xA1, kSignAa}, {0xA2, kSignI}, {0xA3, kSignIi}, {0xA4, kSignU}, {0xA5, kSignUu},
    {0xA6, kSignE}, {0xA7, kSignEe}, {0xA8, kSignAi},
    {0xA9, 0x00A9},  // copyright sign
    {0xAA, kAuLength},
    {0xAB, 0x0B85}, {0xAC, 0x0B86}, {0xAD, 0x0B87}, {0xAE, 0x0B88}, {0xAF, 0x0B89},
    {0xB0, 0x0B8A}, {0xB1, 0x0B8E}, {0xB2, 0x0B8F}, {0xB3, 0x0B90}, {0xB4, 0x0B92},
    {0xB5, 0x0B93}, {0xB6, 0x0B94}, {0xB7, 0x0B83},
};

// 0xFE is a second code for the vowel i (0xAD is the one written back).
inline constexpr uint8_t kSecondI = 0xFE;
inline constexpr uint8_t kByteO = 0xB4, kByteAu = 0xB6;
// Ligatures of a consonant and a vowel sign beyond the u/uu forms.
inline constexpr uint8_t kByteTti = 0xCA, kByteTtii = 0xCB, kByteSri = 0x82;

// Bytes with no character assigned: they become U+F000 + byte (Private Use
// Area), and exactly these private-use characters become bytes again.
inline constexpr uint8_t kUnassigned[] = {0xA0, 0xFF};
inline constexpr char32_t kPuaBase = 0xF000;

// Base written under a vowel sign that has no consonant to sit on.
inline constexpr char32_t kDottedCircle = 0x25CC;

}  // namespace tolvan::unicode_tables
