// Helpers for the typing tests: type a key string into a text buffer and show
// bytes as hex so that a failure prints readable TSCII.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "core/input/keyboard.h"

namespace tolvan::testing {

// One row of a typing table: keys typed and the hex of the whole buffer.
struct Typed {
  const char* keys;
  const char* text;
};

// Types every byte of keys as a keystroke into a fresh buffer that shares
// `state`; returns the buffer's text.
inline std::string typeKeys(Layout layout, std::string_view keys, TamilState& state,
                            bool tamilMode = true) {
  TextBufferSink editor(layout, state, tamilMode);
  for (char c : keys) editor.typeKey(static_cast<unsigned char>(c));
  return editor.text();
}

// As typeKeys, from the state of a program that has just started.
inline std::string typeFresh(Layout layout, std::string_view keys) {
  TamilState state;
  return typeKeys(layout, keys, state);
}

// "20 b8 a1": lower-case hex, one byte per word.
inline std::string hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    if (!out.empty()) out.push_back(' ');
    out += buf;
  }
  return out;
}

}  // namespace tolvan::testing
