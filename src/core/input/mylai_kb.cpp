// The Mylai layout: the key arrangement of the Mylai Tamil font. Each key gives
// one glyph in written order (live consonants, independent vowels, bare vowel
// signs, some ready-made consonant-with-u forms); a pulli key and four keys
// that build the remaining u and uu forms rewrite the character just produced.
#include "core/input/engine_rules.h"

namespace tolvan {
namespace {
using namespace input;

constexpr std::array<KeyMapping, 64> kMylaiKeys = {{
    {' ', 0x20}, {'`', 0xAB}, {'~', 0xAC}, {';', 0xAD}, {':', 0xAE}, {'u', 0xAF}, {'U', 0xB0},
    {'\'', 0xB1}, {'"', 0xB2}, {'_', 0xB3}, {'o', 0xB4}, {'O', 0xB5}, {'$', 0xB6}, {'#', 0xB7},
    {'k', 0xB8}, {'g', 0xB9}, {'c', 0xBA}, {'w', 0xBB}, {'d', 0xBC}, {'h', 0xBD}, {'t', 0xBE},
    {'n', 0xBF}, {'p', 0xC0}, {'m', 0xC1}, {'y', 0xC2}, {'r', 0xC3}, {'l', 0xC4}, {'v', 0xC5},
    {'z', 0xC6}, {'q', 0xC7}, {'b', 0xC8}, {'j', 0xC9}, {']', 0x83}, {'x', 0x84}, {'s', 0x85},
    {'[', 0x86}, {'X', 0x87}, {'a', 0xA1}, {'i', 0xA2}, {'I', 0xA3}, {'{', 0xA4}, {'}', 0xA5},
    {'e', 0xA6}, {'E', 0xA7}, {'A', 0xA8}, {'K', 0xCC}, {'C', 0xCD}, {'W', 0x9A}, {'D', 0xCE},
    {'H', 0xCF}, {'T', 0xD0}, {'N', 0xD1}, {'M', 0xD3}, {'R', 0xD5}, {'L', 0xD6}, {'Z', 0xD8},
    {'Q', 0xD9}, {'B', 0xDA}, {'J', 0xDB}, {'F', 0xCA}, {'G', 0xCB}, {'P', 0xDC}, {'V', 0xDD},
    {'!', 0x82},
}};
static_assert(wellFormed(kMylaiKeys));
constexpr KeyMap kMylaiMap = buildKeyMap(kMylaiKeys);

// Each rule key replaces the character before the caret when L is one of the
// letters it builds on; otherwise the key is inserted as typed.
constexpr Rule kMylaiRules[] = {
    // {rule key, condition on L, deletions, {}, replacement}
    {'f', kLive, 1, {}, kDeadOfLast},                                    // pulli
    {'<', lastIs("\xB9\xC0\xC2\xC5"), 1, {}, kUOfLast},                  // ngu pu yu vu
    {'>', lastIs("\xB9\xC0\xC2\xC5"), 1, {}, kUuOfLast},                 // nguu puu yuu vuu
    {'Y', lastIs("\xCE\xBC\xD3\xC1\xD5\xC3\xD8\xC6\xD9\xC7"), 1, {}, kUuOfLast},  // ttuu muu ruu llluu lluu
    {'\\', lastIs("\xCF\xD0\xD1\xD6\xDA\xDB"), 1, {}, kUuOfLast},        // nnuu tuu nuu luu rruu nnnuu
};

constexpr EngineTables kMylai{kMylaiMap, kMylaiRules, {}};

}  // namespace

unsigned char MylaiKB(unsigned char key, TamilState& state, KeySink& sink) {
  return input::runEngine(kMylai, key, state, sink);
}

std::span<const KeyMapping> input::mylaiKeys() { return kMylaiKeys; }

}  // namespace tolvan
