// Fuzz target for typing into Unicode text: the same keys typed into a TSCII
// buffer and a Unicode buffer must leave the Unicode buffer holding the
// bridge's conversion of the TSCII buffer after every key, in all four
// layouts, backspaces and Enter included. Then the same with the caret in the
// middle of existing text: the input starts with a layout, a text before the
// caret and a text after it (TSCII that the bridge takes back exactly). With
// Overwrite on, where the text after the caret is letters of one byte each,
// against a TSCII buffer in which each byte inserted replaces the next.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/convert/unicode_bridge.h"
#include "core/input/keyboard.h"
#include "core/input/unicode_typing.h"

namespace {
using tolvan::Layout;

constexpr Layout kLayouts[] = {Layout::Anjal, Layout::Mylai, Layout::Typewriter, Layout::Roman};

void check(bool ok) {
  if (!ok) std::abort();
}

// A TSCII buffer whose caret may stand anywhere (TextBufferSink's keeps it
// at the end).
class CaretBuffer : public tolvan::KeySink {
 public:
  CaretBuffer(Layout layout, tolvan::TamilState& state, std::string text, size_t caret, bool overwrite)
      : layout_(layout), state_(state), text_(std::move(text)), caret_(caret), overwrite_(overwrite) {}
  void typeKey(unsigned char key) {
    if (key == 0x08 && caret_ > 0) text_.erase(--caret_, 1);
    const unsigned char out = tolvan::EditorKeyPress(true, layout_, key, state_, *this);
    if (out == 0 || out == 0x08) return;
    if (overwrite_ && caret_ < text_.size()) text_.erase(caret_, 1);
    text_.insert(caret_++, 1, static_cast<char>(out));
  }
  void SendKeyToEditor(unsigned char ch) override { typeKey(ch); }
  const std::string& text() const { return text_; }

 private:
  Layout layout_;
  tolvan::TamilState& state_;
  std::string text_;
  size_t caret_;
  bool overwrite_;
};

bool roundTrips(const std::string& tscii) {
  return tolvan::UnicodeToTscii(tolvan::TsciiToUnicode(tscii)) == tscii;
}

// Whether each byte of the TSCII text is a letter of its own: it converts on
// its own to its part of the whole, and no part after the first begins with
// a vowel sign or pulli (U+0BBE..U+0BCD, U+0BD7).
bool oneByteLetters(const std::string& tscii) {
  auto startsWithSign = [](const std::string& u) {
    if (u.size() < 3 || static_cast<unsigned char>(u[0]) != 0xE0) return false;
    const char32_t cp = ((static_cast<unsigned char>(u[1]) & 0x3F) << 6) | (static_cast<unsigned char>(u[2]) & 0x3F);
    return (cp >= 0xBBE && cp <= 0xBCD) || cp == 0xBD7;
  };
  std::string joined;
  for (size_t i = 0; i < tscii.size(); ++i) {
    const std::string u = tolvan::TsciiToUnicode(tscii.substr(i, 1));
    if (u.empty() || (i > 0 && startsWithSign(u))) return false;
    joined += u;
  }
  return joined == tolvan::TsciiToUnicode(tscii);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) return 0;

  for (Layout layout : kLayouts) {
    tolvan::TamilState tsciiState, unicodeState;
    tolvan::TextBufferSink tscii(layout, tsciiState);
    tolvan::UnicodeBufferSink unicode(layout, unicodeState);
    for (size_t i = 0; i < size; ++i) {
      tscii.typeKey(data[i]);
      unicode.typeKey(data[i]);
      check(unicode.text() == tolvan::TsciiToUnicode(tscii.text()));
      check(unicode.caret() == unicode.text().size());
    }
  }

  if (size < 3) return 0;
  const Layout layout = kLayouts[data[0] & 3];
  const size_t beforeLen = std::min<size_t>(data[1] % 16, size - 3);
  const size_t afterLen = std::min<size_t>(data[2] % 16, size - 3 - beforeLen);
  const std::string before(reinterpret_cast<const char*>(data + 3), beforeLen);
  const std::string after(reinterpret_cast<const char*>(data + 3 + beforeLen), afterLen);
  const std::string ub = tolvan::TsciiToUnicode(before), ua = tolvan::TsciiToUnicode(after);
  // Only a text the Unicode document can hold as the TSCII one does, with the
  // caret at a place both agree on.
  if (!roundTrips(before) || !roundTrips(after) || tolvan::TsciiToUnicode(before + after) != ub + ua) return 0;
  const bool overwrite = (data[0] & 4) && oneByteLetters(after);
  tolvan::TamilState tsciiState, unicodeState;
  CaretBuffer tscii(layout, tsciiState, before + after, before.size(), overwrite);
  tolvan::UnicodeBufferSink unicode(layout, unicodeState);
  unicode.setText(ub + ua);
  unicode.setCaret(ub.size());
  unicode.setOverwrite(overwrite);
  for (size_t i = 3 + beforeLen + afterLen; i < size; ++i) {
    tscii.typeKey(data[i]);
    unicode.typeKey(data[i]);
    check(unicode.text() == tolvan::TsciiToUnicode(tscii.text()));
  }
  return 0;
}
