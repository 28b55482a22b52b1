// Tamil typing: the program-wide typing state, the four keyboard engines and
// the key dispatch, as logic that never touches a window. An engine acts on the
// text only through a KeySink (the editor's SendKeyToEditor), whose bytes go
// through the dispatch again exactly like typed keys.
#pragma once
#include <span>
#include <string>

namespace tolvan {

enum class Layout : int { Anjal = 1, Mylai = 2, Typewriter = 3, Roman = 4 };

// Shared by every document window and every engine for the whole run; never
// reset.
struct TamilState {
  unsigned char LastTamilChar = 0;
  unsigned char HeldConsonant = 0;
};

// The one instance the program uses.
TamilState& programTamilState();

// Delivers one byte to an editor as a complete keystroke (SendKeyToEditor):
// the byte passes through EditorKeyPress (and so through the window's engine
// when Tamil mode is on) before the editor acts on it; 0x08 deletes one
// character before the caret (or the selection), nothing at the start. Every
// call takes effect before it returns.
class KeySink {
 public:
  virtual ~KeySink() = default;
  virtual void SendKeyToEditor(unsigned char ch) = 0;
};

// The engines: each returns the byte to insert (0 for nothing) and ends by
// storing it in state.LastTamilChar.
unsigned char TypeKB(unsigned char key, TamilState& state, KeySink& sink);
unsigned char AnjalKB(unsigned char key, TamilState& state, KeySink& sink);
unsigned char MylaiKB(unsigned char key, TamilState& state, KeySink& sink);
unsigned char RomanKB(unsigned char key, TamilState& state, KeySink& sink);

// Key dispatch (the editor's key-press handler): with Tamil mode off returns
// key unchanged and touches no state; otherwise runs the layout's engine and
// returns its result.
unsigned char EditorKeyPress(bool tamilMode, Layout layout, unsigned char key, TamilState& state,
                             KeySink& sink);

// A text buffer standing in for the editor, caret always at the end: used by
// tolvan-cli and the tests.
class TextBufferSink : public KeySink {
 public:
  TextBufferSink(Layout layout, TamilState& state, bool tamilMode = true);
  // A typed key: key-down (0x08 deletes the byte before the caret, nothing at
  // the start), then the character goes through EditorKeyPress, then the
  // result is inserted unless it is 0 or 0x08 (a backspace's character
  // inserts nothing). Any other byte, control bytes included, is inserted.
  void typeKey(unsigned char key);
  void SendKeyToEditor(unsigned char ch) override;  // same path as typeKey
  const std::string& text() const { return text_; }
  std::string& text() { return text_; }

 private:
  Layout layout_;
  TamilState& state_;
  bool tamilMode_;
  std::string text_;
};

// "anjal", "mylai", "typewriter", "roman" (case-insensitive); false if unknown.
bool parseLayout(const std::string& name, Layout& out);

// The "KeyBoard" setting: 1..4 give a layout; any other value leaves
// `fallback` (the window's initial choice, Anjal).
Layout layoutFromSetting(int value, Layout fallback = Layout::Anjal);
// The value written back for a layout, 1..4.
int settingOfLayout(Layout layout);

// One row of a layout's key table: the typed key and the byte it maps to.
struct KeyMapping {
  unsigned char key;
  unsigned char byte;
};
// The layout's key table, in the order of the user manual (keys outside it,
// including the rule keys, map to themselves).
std::span<const KeyMapping> layoutKeyTable(Layout layout);

}  // namespace tolvan
