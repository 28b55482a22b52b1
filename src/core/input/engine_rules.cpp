// The generic engine routine: one pass over a layout's rule rows.
#include "core/input/engine_rules.h"

namespace tolvan::input {
namespace {

bool holds(const Cond& c, unsigned char last) {
  using namespace letters;
  switch (c.when) {
    case When::In:
      return c.bytes.find(static_cast<char>(last)) != std::string_view::npos;
    case When::Dead:
      return isDead(last);
    case When::DeadNoKssa:
      return isDeadNotKssa(last);
    case When::TamilDead:
      return isTamilDead(last);
    case When::Live:
      return isLive(last);
    case When::UForm:
      return isUForm(last);
  }
  return false;
}

unsigned char make(const Out& o, unsigned char last, unsigned char held) {
  using namespace letters;
  switch (o.make) {
    case Make::Nothing:
      return 0;
    case Make::Byte:
      return o.byte;
    case Make::Last:
      return last;
    case Make::LiveOfLast:
      return liveOf(last);
    case Make::DeadOfLast:
      return deadOf(last);
    case Make::UOfLast:
      return uOf(last);
    case Make::UuOfLast:
      return uuOf(last);
    case Make::Held:
      return held;
  }
  return 0;
}

}  // namespace

unsigned char runEngine(const EngineTables& tables, unsigned char key, TamilState& state,
                        KeySink& sink) {
  // Everything is decided from L as it stood when the key arrived: the bytes
  // sent below re-enter the dispatch and overwrite LastTamilChar meanwhile.
  const unsigned char last = state.LastTamilChar;
  const unsigned char mapped = tables.keys.byKey[key];
  unsigned char result = mapped;

  if (tables.swallowed.find(static_cast<char>(key)) != std::string_view::npos) {
    result = 0;
  } else {
    for (const Rule& r : tables.rules) {
      if (r.trigger != mapped || !holds(r.cond, last)) continue;
      if (r.hold == Hold::Last)
        state.HeldConsonant = last;
      else if (r.hold == Hold::LiveOfLast)
        state.HeldConsonant = letters::liveOf(last);
      for (int i = 0; i < r.deletions; ++i) sink.SendKeyToEditor(0x08);
      for (const Out& o : r.send) {
        // HeldConsonant is read as each byte goes out; no sent byte can fire
        // a rule, so nested calls never change it.
        if (o.make != Make::Nothing) sink.SendKeyToEditor(make(o, last, state.HeldConsonant));
      }
      result = make(r.result, last, state.HeldConsonant);
      break;
    }
  }
  state.LastTamilChar = result;
  return result;
}

}  // namespace tolvan::input
