// Writes a test text for the whole-process converter benchmarks to standard
// output: Tamil words in the Roman scheme, or the same text as TSCII, Mylai
// keys or Anjal font bytes (each TSCII letter written as the shortest input
// that gives it back), or a font map that re-codes every TSCII letter.
//
//   convert_text roman|tscii|mylai|anjal|fontmap [MiB, default 128]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "../core/convert_texts.h"

using namespace tolvan::bench;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: convert_text roman|tscii|mylai|anjal|fontmap [MiB]\n");
    return 2;
  }
  const std::string kind = argv[1];
  const size_t size = (argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 128) << 20;
  std::string out;
  if (kind == "fontmap") {
    tolvan::FontMap m;
    m.sourceFont = "MylaiTSC";
    m.targetFont = "Other";
    for (unsigned c = 0x80; c < 0x100; ++c)
      m.cell(static_cast<unsigned char>(c)) = c % 5 ? std::string(1, char(c ^ 0x40)) : std::string{char(c), 'x'};
    out = tolvan::WriteFontMap(m);
  } else {
    // Made from a Roman text a little longer than needed, then cut to size.
    const std::string tscii = tolvan::RomanToTscii(romanText(size + size / 2));
    if (kind == "roman") {
      out = romanText(size);
    } else if (kind == "tscii") {
      out = tscii;
    } else if (kind == "mylai" || kind == "anjal") {
      std::string keys;
      if (kind == "mylai")
        for (int c = 0x21; c < 0x7F; ++c) keys += char(c);
      else
        for (int c = 0x80; c < 0x100; ++c) keys += char(c);
      out = kind == "mylai"
                ? reencode(tscii, inverse([](const std::string& s) { return tolvan::MylaiToTscii(s); }, keys))
                : reencode(tscii, inverse([](const std::string& s) { return tolvan::AnjalToTscii(s); }, keys));
    } else {
      std::fprintf(stderr, "convert_text: unknown kind %s\n", kind.c_str());
      return 2;
    }
    if (out.size() < size) {
      std::fprintf(stderr, "convert_text: made only %zu bytes\n", out.size());
      return 1;
    }
    out.resize(size);
  }
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
