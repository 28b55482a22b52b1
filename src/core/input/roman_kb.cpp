// The Romanised layout: Tamil in a Latin transliteration, upper case for long
// vowels and the second consonants. A consonant key gives the dead consonant
// and the vowel key that follows rewrites it; the digit 2 turns dental n into
// the alveolar n.
#include "core/input/engine_rules.h"

namespace tolvan {
namespace {
using namespace input;

constexpr std::array<KeyMapping, 31> kRomanKeys = {{
    {'a', 0xAB}, {'A', 0xAC}, {'i', 0xAD}, {'I', 0xAE}, {'u', 0xAF}, {'U', 0xB0}, {'e', 0xB1},
    {'E', 0xB2}, {'o', 0xB4}, {'O', 0xB5}, {'H', 0xB7}, {'k', 0xEC}, {'g', 0xED}, {'c', 0xEE},
    {'T', 0xF0}, {'N', 0xF1}, {'t', 0xF2}, {'n', 0xF3}, {'p', 0xF4}, {'m', 0xF5}, {'y', 0xF6},
    {'r', 0xF7}, {'l', 0xF8}, {'v', 0xF9}, {'z', 0xFA}, {'L', 0xFB}, {'R', 0xFC}, {'j', 0x88},
    {'S', 0x8A}, {'s', 0x89}, {'h', 0x8B},
}};
static_assert(wellFormed(kRomanKeys));
constexpr KeyMap kRomanMap = buildKeyMap(kRomanKeys);

// Rows are tried top to bottom; the first whose trigger and condition hold
// wins. Only a plain a combines with kssa (which has no key here).
constexpr Rule kRomanRules[] = {
    // {trigger, condition on L, deletions, {bytes sent}, result}
    {'2', lastIs("\xF3"), 1, {}, byte(0xFD)},                          // n 2  -> alveolar n
    {0xAB, kDead, 1, {}, kLiveOfLast},                                 // k a  -> ka
    {0xAC, kDeadNoKssa, 1, {kLiveOfLast}, byte(0xA1)},                 // k A  -> kaa
    {0xAD, kDeadNoKssa, 1, {kLiveOfLast}, byte(0xA2)},                 // k i  -> ki
    {0xAD, lastIs("\xAB"), 1, {}, byte(0xB3)},                         // a i  -> ai
    {0xAD, kLive, 1, {byte(0xA8)}, kLast},                             // ka i -> kai
    {0xAE, kDeadNoKssa, 1, {kLiveOfLast}, byte(0xA3)},                 // k I  -> kii
    {0xAF, kTamilDead, 1, {}, kUOfLast},                               // k u  -> ku
    {0xAF, lastIs("\xAB"), 1, {}, byte(0xB6)},                         // a u  -> au
    {0xAF, kLive, 1, {byte(0xA6), kLast}, byte(0xAA)},                 // ka u -> kau
    {0xB0, kTamilDead, 1, {}, kUuOfLast},                              // k U  -> kuu
    {0xB1, kDeadNoKssa, 1, {byte(0xA6)}, kLiveOfLast},                 // k e  -> ke
    {0xB2, kDeadNoKssa, 1, {byte(0xA7)}, kLiveOfLast},                 // k E  -> kee
    {0xB4, kDeadNoKssa, 1, {byte(0xA6), kLiveOfLast}, byte(0xA1)},     // k o  -> ko
    {0xB5, kDeadNoKssa, 1, {byte(0xA7), kLiveOfLast}, byte(0xA1)},     // k O  -> koo
};

constexpr EngineTables kRoman{kRomanMap, kRomanRules, {}};

}  // namespace

unsigned char RomanKB(unsigned char key, TamilState& state, KeySink& sink) {
  return input::runEngine(kRoman, key, state, sink);
}

std::span<const KeyMapping> input::romanKeys() { return kRomanKeys; }

}  // namespace tolvan
