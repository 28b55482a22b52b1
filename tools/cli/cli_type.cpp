// tolvan-cli type: feeds key bytes through one keyboard layout, as if typed
// into an empty document in Tamil mode right after start-up, and prints the
// resulting TSCII text.
#include <cstdio>
#include <stdexcept>

#include "cli.h"
#include "input/keyboard.h"

namespace cli {

int cmdType(const Args& args) {
  std::string layoutName;
  bool haveLayout = false;
  std::string file;
  bool haveFile = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--layout") {
      if (i + 1 >= args.size()) return fail("type: --layout needs a value");
      layoutName = args[++i];
      haveLayout = true;
    } else if (a.rfind("--layout=", 0) == 0) {
      layoutName = a.substr(9);
      haveLayout = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return fail("type: unknown option '" + a + "'");
    } else if (!haveFile) {
      file = a;
      haveFile = true;
    } else {
      return fail("type: only one input file may be given");
    }
  }
  if (!haveLayout) return fail("type: missing --layout anjal|mylai|typewriter|roman");
  tolvan::Layout layout;
  if (!tolvan::parseLayout(layoutName, layout))
    return fail("type: unknown layout '" + layoutName + "' (anjal, mylai, typewriter, roman)");

  std::string keys;
  try {
    keys = readAll(file);
  } catch (const std::exception& e) {
    return fail(std::string("type: ") + e.what());
  }

  tolvan::TamilState state;  // fresh: nothing typed yet
  tolvan::TextBufferSink editor(layout, state, /*tamilMode=*/true);
  for (char c : keys) editor.typeKey(static_cast<unsigned char>(c));

  const std::string& text = editor.text();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
    return fail("type: cannot write standard output");
  if (std::fflush(stdout) != 0) return fail("type: cannot write standard output");
  return 0;
}

}  // namespace cli
