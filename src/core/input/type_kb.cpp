// The Typewriter layout: a Tamil typewriter arrangement on the Latin keyboard.
// Each key gives one glyph in written order; a pulli key and four keys that
// build the remaining u and uu forms rewrite the character just produced.
#include "core/input/engine_rules.h"

namespace tolvan {
namespace {
using namespace input;

constexpr std::array<KeyMapping, 63> kTypewriterKeys = {{
    {' ', 0x20}, {'m', 0xAB}, {'M', 0xAC}, {',', 0xAD}, {'<', 0xAE}, {'c', 0xAF}, {'C', 0xB0},
    {'v', 0xB1}, {'V', 0xB2}, {'I', 0xB3}, {'x', 0xB4}, {'X', 0xB5}, {'=', 0xB7}, {'f', 0xB8},
    {'\'', 0xB9}, {'r', 0xBA}, {'"', 0xBB}, {'l', 0xBC}, {'z', 0xBD}, {'j', 0xBE}, {'e', 0xBF},
    {'g', 0xC0}, {'k', 0xC1}, {'a', 0xC2}, {'u', 0xC3}, {'y', 0xC4}, {'t', 0xC5}, {'H', 0xC6},
    {'s', 0xC7}, {'w', 0xC8}, {'d', 0xC9}, {'h', 0xA1}, {'p', 0xA2}, {'P', 0xA3}, {'%', 0xA4},
    {'^', 0xA5}, {'B', 0xA6}, {'n', 0xA7}, {'i', 0xA8}, {'F', 0xCC}, {'R', 0xCD}, {'Q', 0x9A},
    {'L', 0xCE}, {'q', 0xCF}, {'J', 0xD0}, {'E', 0xD1}, {'K', 0xD3}, {'U', 0xD5}, {'Y', 0xD6},
    {'G', 0xD8}, {'S', 0xD9}, {'W', 0xDA}, {'D', 0xDB}, {'T', 0xDC}, {'o', 0xCA}, {'O', 0xCB},
    {'N', 0xDD}, {'!', 0x85}, {'$', 0x83}, {'&', 0x84}, {'+', 0x86}, {'@', 0x82}, {'|', 0x87},
}};
static_assert(wellFormed(kTypewriterKeys));
constexpr KeyMap kTypewriterMap = buildKeyMap(kTypewriterKeys);

// Each rule key replaces the character before the caret when L is one of the
// letters it builds on; otherwise the key is inserted as typed. The : key
// builds on bare consonants, the } key on the u forms.
constexpr Rule kTypewriterRules[] = {
    // {rule key, condition on L, deletions, {}, replacement}
    {';', kLive, 1, {}, kDeadOfLast},                                // pulli
    {'[', lastIs("\xB9\xC0\xC2\xC5"), 1, {}, kUOfLast},              // ngu pu yu vu
    {'{', lastIs("\xB9\xC0\xC2\xC5"), 1, {}, kUuOfLast},             // nguu puu yuu vuu
    {':', lastIs("\xBC\xC1\xC3\xC6\xC7"), 1, {}, kUuOfLast},         // ttuu muu ruu llluu lluu
    {'}', lastIs("\x9A\xCF\xD0\xD1\xD6\xDA\xDB"), 1, {}, kUuOfLast}, // nyuu nnuu tuu nuu luu rruu nnnuu
};

constexpr EngineTables kTypewriter{kTypewriterMap, kTypewriterRules, {}};

}  // namespace

unsigned char TypeKB(unsigned char key, TamilState& state, KeySink& sink) {
  return input::runEngine(kTypewriter, key, state, sink);
}

std::span<const KeyMapping> input::typewriterKeys() { return kTypewriterKeys; }

}  // namespace tolvan
