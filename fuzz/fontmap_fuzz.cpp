// Fuzz target for font-map files: any bytes must load into the editor's map
// and apply without fault; applying must agree with a plain line-by-line
// reading; a map that can be written must read back as the same map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/convert/fontmap.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// The entry for b by scanning the file's lines (first mapping line wins).
bool plainEntry(std::string_view file, unsigned char b, std::string& repl) {
  for (auto line : tolvan::SplitFontMapLines(file))
    if (line.size() >= 2 && line[1] == '=' && static_cast<unsigned char>(line[0]) == b) {
      repl = std::string(line.substr(2));
      return true;
    }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);

  const tolvan::FontMapApplier applier(file);
  std::string text;
  for (int b = 0; b < 256; ++b) text += static_cast<char>(b);
  const std::string applied = applier.apply(text);
  std::string expected;
  for (int b = 0; b < 256; ++b) {
    std::string repl;
    const bool has = plainEntry(file, static_cast<unsigned char>(b), repl);
    check(has == applier.hasEntry(static_cast<unsigned char>(b)));
    expected += has ? repl : std::string(1, static_cast<char>(b));
  }
  check(applied == expected);

  tolvan::FontMap map;
  tolvan::LoadFontMap(file, map);
  try {
    const std::string written = tolvan::WriteFontMap(map);
    check(tolvan::LooksLikeFontMap(written));
    tolvan::FontMap back;
    const auto r = tolvan::LoadFontMap(written, back);
    check(r.sourceFontFound && r.targetFontFound);
    check(back.sourceFont == map.sourceFont && back.targetFont == map.targetFont);
    for (unsigned c = tolvan::kFontMapFirstCode; c < 256; ++c)
      if (c != '=') check(back.cell(static_cast<unsigned char>(c)) == map.cell(static_cast<unsigned char>(c)));
    check(tolvan::WriteFontMap(back) == written || !map.cell('=').empty());
  } catch (const std::invalid_argument&) {
    // Names and cells loaded from single lines never hold a line break.
    check(false);
  }
  return 0;
}
