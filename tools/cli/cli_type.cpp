// tolvan-cli type: feeds key bytes through one keyboard layout, as if typed
// into an empty document in Tamil mode right after start-up, and prints the
// resulting TSCII text, or with --to unicode the UTF-8 text the same keys
// give in a Unicode document.
//
// Keys are read and typed in pieces and the text is written as it grows, so
// any amount of input (a device that never ends included) runs in bounded
// memory. Only the end of the text can still change: a key deletes at most a
// few characters before the caret (a backspace one, a rule a handful), so
// everything but the last kKeep bytes is final and is written out. A run of
// backspaces that reaches text already written (more than kKeep bytes back)
// cannot be honoured in a stream and is reported as a failure.
#include <cstdio>
#include <stdexcept>

#include "cli.h"
#include "core/input/keyboard.h"
#include "core/input/unicode_typing.h"

namespace cli {

namespace {
constexpr size_t kKeep = size_t(1) << 20;
// More than any one key deletes, however its rules chain.
constexpr size_t kMostDeletedByOneKey = 64;
std::runtime_error reachedWritten(std::uint64_t offset) {
  return std::runtime_error("type: the backspaces before key offset " + std::to_string(offset) +
                            " reach text already written (more than " + sizeText(kKeep) +
                            " back); the output is incomplete");
}

// The same keys in a Unicode document: the text is UTF-8 and a key may
// rewrite the characters within UnicodeTyping::kReach of the caret besides
// what it deletes, so more is kept back (in bytes, at most four a character).
int typeUnicode(const std::string& file, tolvan::Layout layout) {
  constexpr size_t kMostChangedByOneKey = 4 * (kMostDeletedByOneKey + 2 * tolvan::UnicodeTyping::kReach);
  PieceReader input(file);
  tolvan::TamilState state;
  tolvan::UnicodeBufferSink editor(layout, state, /*tamilMode=*/true);
  std::uint64_t written = 0, offset = 0;
  std::string keys;
  for (;;) {
    input.next(keys);
    if (keys.empty()) break;
    for (char c : keys) {
      if (written > 0 && editor.text().size() < kMostChangedByOneKey) throw reachedWritten(offset);
      editor.typeKey(static_cast<unsigned char>(c));
      ++offset;
    }
    const std::string& text = editor.text();
    if (text.size() >= 2 * kKeep) {
      size_t settled = text.size() - kKeep;
      while (settled > 0 && (static_cast<unsigned char>(text[settled]) & 0xC0) == 0x80) --settled;
      std::string out = text.substr(0, settled);
      writePiece(out);
      editor.eraseFront(settled);
      written += settled;
    }
  }
  std::string rest = editor.text();
  writePiece(rest);
  flushOut();
  return 0;
}

}  // namespace

int cmdType(const Args& args) {
  std::string layoutName;
  bool haveLayout = false;
  std::string file;
  bool haveFile = false;
  bool toUnicode = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--layout") {
      if (i + 1 >= args.size()) return usage("type: --layout needs a value");
      layoutName = args[++i];
      haveLayout = true;
    } else if (a.rfind("--layout=", 0) == 0) {
      layoutName = a.substr(9);
      haveLayout = true;
    } else if (a == "--to" || a.rfind("--to=", 0) == 0) {
      std::string to;
      if (a == "--to") {
        if (i + 1 >= args.size()) return usage("type: --to needs a value");
        to = args[++i];
      } else {
        to = a.substr(5);
      }
      if (to == "unicode")
        toUnicode = true;
      else if (to != "tscii")
        return usage("type: unknown --to '" + to + "' (tscii, unicode)");
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return usage("type: unknown option '" + a + "'");
    } else if (!haveFile) {
      file = a;
      haveFile = true;
    } else {
      return usage("type: only one input file may be given");
    }
  }
  if (!haveLayout) return usage("type: missing --layout anjal|mylai|typewriter|roman");
  tolvan::Layout layout;
  if (!tolvan::parseLayout(layoutName, layout))
    return usage("type: unknown layout '" + layoutName + "' (anjal, mylai, typewriter, roman)");

  if (toUnicode) return typeUnicode(file, layout);

  PieceReader input(file);
  tolvan::TamilState state;  // fresh: nothing typed yet
  tolvan::TextBufferSink editor(layout, state, /*tamilMode=*/true);
  std::string& text = editor.text();  // the part not yet written
  std::uint64_t written = 0, offset = 0;
  std::string keys, out;
  for (;;) {
    input.next(keys);
    if (keys.empty()) break;
    for (char c : keys) {
      if (written > 0 && text.size() < kMostDeletedByOneKey) throw reachedWritten(offset);
      editor.typeKey(static_cast<unsigned char>(c));
      ++offset;
    }
    if (text.size() >= 2 * kKeep) {
      const size_t settled = text.size() - kKeep;
      out.assign(text, 0, settled);
      text.erase(0, settled);
      writePiece(out);
      written += settled;
    }
  }
  writePiece(text);
  flushOut();
  return 0;
}

}  // namespace cli
