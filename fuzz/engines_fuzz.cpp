// Fuzz target for the keyboard engines: arbitrary key sequences through all
// four layouts, alone and in four windows sharing one typing state. Checks the
// bounds the engines promise: in one window no key adds more than two
// characters (one in the Mylai and Typewriter layouts); across windows a rule
// may delete in a window that has nothing to delete, so three; and the held
// consonant is always a live consonant or nothing; and a key sent from outside
// (SendKeyToEditor) does exactly what the same key typed does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/input/keyboard.h"
#include "core/input/letter_forms.h"

namespace {
using tolvan::Layout;

constexpr Layout kLayouts[] = {Layout::Anjal, Layout::Mylai, Layout::Typewriter, Layout::Roman};

void check(bool ok) {
  if (!ok) std::abort();
}

void checkHeld(const tolvan::TamilState& s) {
  check(s.HeldConsonant == 0 || tolvan::letters::isLive(s.HeldConsonant));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;

  // Each layout on its own, from a fresh start.
  for (Layout layout : kLayouts) {
    tolvan::TamilState state;
    tolvan::TextBufferSink editor(layout, state);
    const size_t perKey = (layout == Layout::Anjal || layout == Layout::Roman) ? 2 : 1;
    for (size_t i = 0; i < size; ++i) {
      const size_t before = editor.text().size();
      editor.typeKey(data[i]);
      check(editor.text().size() <= before + perKey);
      checkHeld(state);
    }
  }

  // The same keys typed and sent from outside, each from a fresh start: the
  // texts and the typing states must agree after every key.
  for (Layout layout : kLayouts) {
    tolvan::TamilState typedState, sentState;
    tolvan::TextBufferSink typed(layout, typedState), sent(layout, sentState);
    for (size_t i = 0; i < size; ++i) {
      typed.typeKey(data[i]);
      sent.SendKeyToEditor(data[i]);
      check(typed.text() == sent.text());
      check(typedState.LastTamilChar == sentState.LastTamilChar);
      check(typedState.HeldConsonant == sentState.HeldConsonant);
    }
  }

  // Four windows, one per layout, sharing the state: each key comes with a
  // selector byte choosing the window, Tamil mode, and whether it is typed or
  // delivered from outside (both must take the same path).
  tolvan::TamilState shared;
  tolvan::TextBufferSink on[] = {{Layout::Anjal, shared}, {Layout::Mylai, shared},
                                 {Layout::Typewriter, shared}, {Layout::Roman, shared}};
  tolvan::TextBufferSink off[] = {{Layout::Anjal, shared, false}, {Layout::Mylai, shared, false},
                                  {Layout::Typewriter, shared, false},
                                  {Layout::Roman, shared, false}};
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint8_t sel = data[i], key = data[i + 1];
    tolvan::TextBufferSink& w = (sel & 4) ? off[sel & 3] : on[sel & 3];
    const tolvan::TamilState saved = shared;
    const size_t before = w.text().size();
    if (sel & 8)
      w.SendKeyToEditor(key);
    else
      w.typeKey(key);
    check(w.text().size() <= before + 3);
    if (sel & 4) {
      check(shared.LastTamilChar == saved.LastTamilChar);
      check(shared.HeldConsonant == saved.HeldConsonant);
    }
    checkHeld(shared);
  }
  return 0;
}
