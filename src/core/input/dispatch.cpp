// The key dispatch: in Tamil mode every character message that reaches an
// editor goes through the window's engine; the program-wide typing state; and
// the text buffer that stands in for an editor outside the window program.
#include <cctype>

#include "core/input/engine_rules.h"
#include "core/input/keyboard.h"

namespace tolvan {

TamilState& programTamilState() {
  static TamilState state;
  return state;
}

unsigned char EditorKeyPress(bool tamilMode, Layout layout, unsigned char key, TamilState& state,
                             KeySink& sink) {
  // With Tamil mode off the key goes to the editor as typed and the typing
  // state is left alone, so a later Tamil key still sees the last Tamil
  // character.
  if (!tamilMode) return key;
  switch (layout) {
    case Layout::Typewriter:
      return TypeKB(key, state, sink);
    case Layout::Anjal:
      return AnjalKB(key, state, sink);
    case Layout::Mylai:
      return MylaiKB(key, state, sink);
    case Layout::Roman:
      return RomanKB(key, state, sink);
  }
  return key;  // no layout chosen: the key stays as typed
}

TextBufferSink::TextBufferSink(Layout layout, TamilState& state, bool tamilMode)
    : layout_(layout), state_(state), tamilMode_(tamilMode) {}

void TextBufferSink::typeKey(unsigned char key) {
  // Key-down: backspace deletes the character before the caret (the caret is
  // always at the end here).
  if (key == 0x08 && !text_.empty()) text_.pop_back();
  // Character message: through the dispatch, which may re-enter this sink.
  const unsigned char out = EditorKeyPress(tamilMode_, layout_, key, state_, *this);
  // A result of 0 inserts nothing, and the character message of backspace
  // inserts nothing either: its key-down already did the deleting.
  if (out != 0 && out != 0x08) text_.push_back(static_cast<char>(out));
}

void TextBufferSink::SendKeyToEditor(unsigned char ch) { typeKey(ch); }

bool parseLayout(const std::string& name, Layout& out) {
  std::string n;
  for (char c : name) n.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  struct Named {
    const char* name;
    Layout layout;
  };
  static constexpr Named kNames[] = {{"anjal", Layout::Anjal},
                                     {"mylai", Layout::Mylai},
                                     {"typewriter", Layout::Typewriter},
                                     {"roman", Layout::Roman}};
  for (const auto& e : kNames) {
    if (n == e.name) {
      out = e.layout;
      return true;
    }
  }
  return false;
}

Layout layoutFromSetting(int value, Layout fallback) {
  if (value >= 1 && value <= 4) return static_cast<Layout>(value);
  return fallback;
}

int settingOfLayout(Layout layout) { return static_cast<int>(layout); }

std::span<const KeyMapping> layoutKeyTable(Layout layout) {
  switch (layout) {
    case Layout::Anjal:
      return input::anjalKeys();
    case Layout::Mylai:
      return input::mylaiKeys();
    case Layout::Typewriter:
      return input::typewriterKeys();
    case Layout::Roman:
      return input::romanKeys();
  }
  return {};
}

}  // namespace tolvan
