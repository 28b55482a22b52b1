// The machinery shared by the four keyboard engines. A layout is data: a key
// table (key -> mapped byte), an optional set of swallowed keys, and a list of
// rules, each row reading "when the mapped byte is T and the last character
// that left an engine (L) satisfies C: delete n characters, send these bytes,
// return this byte". One generic routine runs any layout.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/input/keyboard.h"
#include "core/input/letter_forms.h"

namespace tolvan::input {

// What a rule asks of L.
enum class When : std::uint8_t {
  In,          // L is one of the listed bytes
  Dead,        // any of the 23 dead consonants
  DeadNoKssa,  // any dead consonant but kssa (22)
  TamilDead,   // one of the 18 Tamil dead consonants
  Live,        // any of the 23 live consonants
  UForm,       // one of the 18 consonant-with-u forms
};

struct Cond {
  When when;
  std::string_view bytes{};  // for When::In
};
constexpr Cond lastIs(std::string_view bytes) { return {When::In, bytes}; }
inline constexpr Cond kDead{When::Dead}, kDeadNoKssa{When::DeadNoKssa}, kTamilDead{When::TamilDead},
    kLive{When::Live}, kUForm{When::UForm};

// A byte that a rule sends or returns, worked out from L (and HeldConsonant).
enum class Make : std::uint8_t { Nothing, Byte, Last, LiveOfLast, DeadOfLast, UOfLast, UuOfLast, Held };

struct Out {
  Make make = Make::Nothing;
  unsigned char byte = 0;
};
constexpr Out byte(unsigned char b) { return {Make::Byte, b}; }
inline constexpr Out kNothing{Make::Nothing}, kLast{Make::Last}, kLiveOfLast{Make::LiveOfLast},
    kDeadOfLast{Make::DeadOfLast}, kUOfLast{Make::UOfLast}, kUuOfLast{Make::UuOfLast},
    kHeld{Make::Held};
// A result of nothing inserted.
inline constexpr Out kZero = byte(0);

// What a rule leaves in HeldConsonant before it sends anything.
enum class Hold : std::uint8_t { Keep, Last, LiveOfLast };

struct Rule {
  unsigned char trigger;  // the mapped byte that selects the rule
  Cond cond;
  std::uint8_t deletions;
  std::array<Out, 3> send;  // sent in order; kNothing entries are skipped
  Out result;
  Hold hold = Hold::Keep;
};

struct KeyMap {
  std::array<unsigned char, 256> byKey;  // identity for keys outside the table
};

template <std::size_t N>
constexpr KeyMap buildKeyMap(const std::array<KeyMapping, N>& table) {
  KeyMap m{};
  for (int k = 0; k < 256; ++k) m.byKey[k] = static_cast<unsigned char>(k);
  for (const auto& e : table) m.byKey[e.key] = e.byte;
  return m;
}

// A key table is well formed when every row names a distinct key and a
// non-zero byte (a short initialiser list would leave zero rows behind).
template <std::size_t N>
constexpr bool wellFormed(const std::array<KeyMapping, N>& table) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i].key == 0 || table[i].byte == 0) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (table[j].key == table[i].key) return false;
  }
  return true;
}

struct EngineTables {
  const KeyMap& keys;
  std::span<const Rule> rules;
  std::string_view swallowed;  // keys that insert nothing
};

// Maps the key, fires the first matching rule (or returns the mapped byte),
// stores the result in LastTamilChar and returns it.
unsigned char runEngine(const EngineTables& tables, unsigned char key, TamilState& state,
                        KeySink& sink);

// Each layout's key table, for layoutKeyTable().
std::span<const KeyMapping> anjalKeys();
std::span<const KeyMapping> mylaiKeys();
std::span<const KeyMapping> typewriterKeys();
std::span<const KeyMapping> romanKeys();

}  // namespace tolvan::input
