// TSCII consonant forms: for each of the 23 consonants its live form (with the
// inherent a), its dead form (with pulli) and, for the 18 Tamil consonants,
// the single-byte forms with u and with uu. The keyboard engines and the
// converters both classify and rewrite letters through this one table.
#pragma once
#include <array>
#include <cstdint>

namespace tolvan::letters {

struct ConsonantForms {
  unsigned char live;
  unsigned char dead;
  unsigned char u;   // 0 for the grantha consonants
  unsigned char uu;  // 0 for the grantha consonants
};

// Rows 0..17 are the Tamil consonants in alphabet order, rows 18..22 the
// grantha consonants ja, ssa, sa, ha and kssa.
inline constexpr int kTamilConsonantCount = 18;
inline constexpr std::array<ConsonantForms, 23> kConsonants = {{
    {0xB8, 0xEC, 0xCC, 0xDC},  // ka
    {0xB9, 0xED, 0x99, 0x9B},  // nga
    {0xBA, 0xEE, 0xCD, 0xDD},  // ca
    {0xBB, 0xEF, 0x9A, 0x9C},  // nya
    {0xBC, 0xF0, 0xCE, 0xDE},  // tta
    {0xBD, 0xF1, 0xCF, 0xDF},  // nna
    {0xBE, 0xF2, 0xD0, 0xE0},  // ta
    {0xBF, 0xF3, 0xD1, 0xE1},  // na
    {0xC0, 0xF4, 0xD2, 0xE2},  // pa
    {0xC1, 0xF5, 0xD3, 0xE3},  // ma
    {0xC2, 0xF6, 0xD4, 0xE4},  // ya
    {0xC3, 0xF7, 0xD5, 0xE5},  // ra
    {0xC4, 0xF8, 0xD6, 0xE6},  // la
    {0xC5, 0xF9, 0xD7, 0xE7},  // va
    {0xC6, 0xFA, 0xD8, 0xE8},  // llla (zha)
    {0xC7, 0xFB, 0xD9, 0xE9},  // lla
    {0xC8, 0xFC, 0xDA, 0xEA},  // rra
    {0xC9, 0xFD, 0xDB, 0xEB},  // nnna
    {0x83, 0x88, 0x00, 0x00},  // ja
    {0x84, 0x89, 0x00, 0x00},  // ssa
    {0x85, 0x8A, 0x00, 0x00},  // sa
    {0x86, 0x8B, 0x00, 0x00},  // ha
    {0x87, 0x8C, 0x00, 0x00},  // kssa
}};

// The kssa row: the one dead consonant some rules leave out.
inline constexpr int kKssaRow = 22;

enum class Form : std::uint8_t { None, Live, Dead, U, Uu };

struct FormOf {
  std::int8_t row = -1;  // index into kConsonants, -1 when the byte is no consonant form
  Form form = Form::None;
};

namespace detail {
constexpr std::array<FormOf, 256> buildFormIndex() {
  std::array<FormOf, 256> t{};
  for (int r = 0; r < static_cast<int>(kConsonants.size()); ++r) {
    const auto& c = kConsonants[r];
    t[c.live] = {static_cast<std::int8_t>(r), Form::Live};
    t[c.dead] = {static_cast<std::int8_t>(r), Form::Dead};
    if (c.u) t[c.u] = {static_cast<std::int8_t>(r), Form::U};
    if (c.uu) t[c.uu] = {static_cast<std::int8_t>(r), Form::Uu};
  }
  return t;
}
}  // namespace detail

inline constexpr std::array<FormOf, 256> kFormIndex = detail::buildFormIndex();

constexpr FormOf formOf(unsigned char b) { return kFormIndex[b]; }

constexpr bool isLive(unsigned char b) { return formOf(b).form == Form::Live; }
constexpr bool isDead(unsigned char b) { return formOf(b).form == Form::Dead; }
// A dead Tamil consonant (not grantha).
constexpr bool isTamilDead(unsigned char b) {
  return isDead(b) && formOf(b).row < kTamilConsonantCount;
}
// A dead consonant other than kssa.
constexpr bool isDeadNotKssa(unsigned char b) { return isDead(b) && formOf(b).row != kKssaRow; }
constexpr bool isUForm(unsigned char b) { return formOf(b).form == Form::U; }
constexpr bool isUuForm(unsigned char b) { return formOf(b).form == Form::Uu; }

// The other forms of the consonant that b is any form of; 0 when b is no
// consonant form or the consonant has no such form.
constexpr unsigned char liveOf(unsigned char b) {
  auto f = formOf(b);
  return f.row < 0 ? 0 : kConsonants[f.row].live;
}
constexpr unsigned char deadOf(unsigned char b) {
  auto f = formOf(b);
  return f.row < 0 ? 0 : kConsonants[f.row].dead;
}
constexpr unsigned char uOf(unsigned char b) {
  auto f = formOf(b);
  return f.row < 0 ? 0 : kConsonants[f.row].u;
}
constexpr unsigned char uuOf(unsigned char b) {
  auto f = formOf(b);
  return f.row < 0 ? 0 : kConsonants[f.row].uu;
}

// Vowels, vowel signs and other letters the engines name.
inline constexpr unsigned char kVowelA = 0xAB, kVowelAa = 0xAC, kVowelI = 0xAD, kVowelIi = 0xAE,
                               kVowelU = 0xAF, kVowelUu = 0xB0, kVowelE = 0xB1, kVowelEe = 0xB2,
                               kVowelAi = 0xB3, kVowelO = 0xB4, kVowelOo = 0xB5, kVowelAu = 0xB6,
                               kAytham = 0xB7;
inline constexpr unsigned char kSignAa = 0xA1, kSignI = 0xA2, kSignIi = 0xA3, kSignU = 0xA4,
                               kSignUu = 0xA5, kSignE = 0xA6, kSignEe = 0xA7, kSignAi = 0xA8,
                               kSignAuLength = 0xAA;
inline constexpr unsigned char kSri = 0x82, kTti = 0xCA, kTtii = 0xCB;

}  // namespace tolvan::letters
