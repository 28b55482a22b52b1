// The Anjal phonetic layout: Tamil spelt in Latin letters. A consonant key
// gives the dead consonant; the vowel keys that follow rewrite what was just
// produced into the live consonant, a consonant with a vowel sign, or a long
// vowel. A second e or o lengthens the vowel by rewriting the characters the
// first one left (2 or 3 characters before the caret).
#include "core/input/engine_rules.h"

namespace tolvan {
namespace {
using namespace input;

constexpr std::array<KeyMapping, 40> kAnjalKeys = {{
    {' ', 0x20}, {'a', 0xAB}, {'A', 0xAC}, {'i', 0xAD}, {'I', 0xAE}, {'u', 0xAF}, {'U', 0xB0},
    {'e', 0xB1}, {'E', 0xB2}, {'o', 0xB4}, {'O', 0xB5}, {'q', 0xB7}, {'g', 0xEC}, {'k', 0xEC},
    {'s', 0xEE}, {'c', 0xEE}, {'t', 0xF0}, {'d', 0xF0}, {'p', 0xF4}, {'b', 0xF4}, {'R', 0xFC},
    {'y', 0xF6}, {'r', 0xF7}, {'l', 0xF8}, {'v', 0xF9}, {'z', 0xFA}, {'L', 0xFB}, {'N', 0xF1},
    {'m', 0xF5}, {'n', 0xFD}, {'X', 0xED}, {'W', 0xEF}, {'w', 0xF3}, {'T', 0xF2}, {'S', 0x8A},
    {'h', 0x8B}, {'j', 0x88}, {'Z', 0x89}, {'x', 0x8C}, {'C', 0x82},
}};
static_assert(wellFormed(kAnjalKeys));
constexpr KeyMap kAnjalMap = buildKeyMap(kAnjalKeys);

// Letters with no place in the layout: typing them inserts nothing.
constexpr std::string_view kAnjalSwallowed = "BDFGHJKMPQVYf";

// Rows are tried top to bottom; the first whose trigger and condition hold
// wins, so a general condition below a specific one means "any other".
constexpr Rule kAnjalRules[] = {
    // {trigger, condition on L, deletions, {bytes sent}, result[, what HeldConsonant keeps]}
    {0xEC, lastIs("\xFD"), 1, {}, byte(0xED)},          // n g  -> ng
    {0x88, lastIs("\xFD"), 1, {}, byte(0xEF)},          // n j  -> nj
    {0xF0, lastIs("\xFD"), 1, {}, byte(0xF3)},          // n t  -> dental n
    {0xFD, lastIs("\x20\x0D"), 0, {}, byte(0xF3)},      // word-initial n is dental
    {0x8B, lastIs("\xF0"), 1, {}, byte(0xF2)},          // t h  -> th
    {0x8B, lastIs("\xEE"), 1, {}, byte(0x89)},          // s h  -> sh
    {0xAB, lastIs("\xAB"), 1, {}, byte(0xAC)},          // a a  -> aa
    {0xAB, kDead, 1, {}, kLiveOfLast},                  // k a  -> ka
    {0xAB, kLive, 0, {}, byte(0xA1)},                   // ka a -> kaa
    {0xAC, kDead, 1, {kLiveOfLast}, byte(0xA1)},        // k A  -> kaa
    {0xAD, lastIs("\xAB"), 1, {}, byte(0xB3)},          // a i  -> ai
    {0xAD, lastIs("\xAD"), 1, {}, byte(0xAE)},          // i i  -> ii
    {0xAD, lastIs("\xA2"), 1, {}, byte(0xA3)},          // ki i -> kii
    {0xAD, lastIs("\xF0"), 1, {}, byte(0xCA)},          // t i  -> ti ligature
    {0xAD, lastIs("\xCA"), 1, {}, byte(0xCB)},          // ti i -> tii ligature
    {0xAD, kDead, 1, {kLiveOfLast}, byte(0xA2)},        // k i  -> ki
    {0xAD, kLive, 1, {byte(0xA8), kLast}, kZero},       // ka i -> kai
    {0xAE, lastIs("\xF0"), 1, {}, byte(0xCB)},          // t I  -> tii ligature
    {0xAE, kDead, 1, {kLiveOfLast}, byte(0xA3)},        // k I  -> kii
    {0xAF, lastIs("\xAB"), 1, {}, byte(0xB6)},          // a u  -> au
    {0xAF, lastIs("\xAF"), 1, {}, byte(0xB0)},          // u u  -> uu
    {0xAF, kTamilDead, 1, {}, kUOfLast},                // k u  -> ku
    {0xAF, kUForm, 1, {}, kUuOfLast},                   // ku u -> kuu
    {0xAF, kLive, 1, {byte(0xA6), kLast, byte(0xAA)}, kZero, Hold::Last},  // ka u -> kau
    {0xB0, kTamilDead, 1, {}, kUuOfLast},               // k U  -> kuu
    {0xB1, lastIs("\xB1"), 1, {}, byte(0xB2)},          // e e  -> ee
    {0xB1, kDead, 1, {byte(0xA6)}, kLiveOfLast},        // k e  -> ke
    {0xB1, kLive, 2, {byte(0xA7)}, kLast},              // ke e -> kee
    {0xB2, kDead, 1, {byte(0xA7), kLiveOfLast}, kZero}, // k E  -> kee
    {0xB4, lastIs("\xB4"), 1, {}, byte(0xB5)},          // o o  -> oo
    {0xB4, kDead, 1, {byte(0xA6), kLiveOfLast}, byte(0xA1), Hold::LiveOfLast},  // k o -> ko
    {0xB4, lastIs("\xA1"), 3, {byte(0xA7), kHeld}, byte(0xA1)},                  // ko o -> koo
    {0xB5, kDead, 1, {byte(0xA7), kLiveOfLast}, byte(0xA1)},                     // k O -> koo
};

constexpr EngineTables kAnjal{kAnjalMap, kAnjalRules, kAnjalSwallowed};

}  // namespace

unsigned char AnjalKB(unsigned char key, TamilState& state, KeySink& sink) {
  return input::runEngine(kAnjal, key, state, sink);
}

std::span<const KeyMapping> input::anjalKeys() { return kAnjalKeys; }

}  // namespace tolvan
