// tolvan-cli convert and fontmap: the built-in converters and font maps over a
// file or standard input, streamed in pieces so that memory stays small
// whatever the size of the text.

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "cli.h"
#include "core/convert/converters.h"
#include "core/convert/fontmap.h"

namespace cli {
namespace {

bool builtIn(const std::string& from, const std::string& to, tolvan::Converter& which) {
  struct Pair {
    const char* from;
    const char* to;
    tolvan::Converter which;
  };
  static const Pair kPairs[] = {
      {"mylai", "tscii", tolvan::Converter::MylaiToTscii},
      {"anjal", "tscii", tolvan::Converter::AnjalToTscii},
      {"roman", "tscii", tolvan::Converter::RomanToTscii},
      {"tscii", "tab", tolvan::Converter::TsciiToTab},
  };
  for (const auto& p : kPairs)
    if (from == p.from && to == p.to) {
      which = p.which;
      return true;
    }
  return false;
}

constexpr std::uint64_t kMaxFontMapBytes = 16u << 20;

const char* kConvertUsage = "usage: tolvan-cli convert --from FROM --to TO [FILE]";
const char* kPairsList = "mylai->tscii, anjal->tscii, roman->tscii, tscii->tab, tscii->unicode, unicode->tscii";

}  // namespace

int cmdConvert(const Args& args) {
  std::string from, to, file;
  bool haveFile = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* opt, std::string& into) {
      const std::string eq = std::string(opt) + "=";
      if (a == opt) {
        if (i + 1 >= args.size()) throw UsageError(std::string(opt) + " needs a value; " + kConvertUsage);
        into = args[++i];
        return true;
      }
      if (a.rfind(eq, 0) == 0) {
        into = a.substr(eq.size());
        return true;
      }
      return false;
    };
    if (value("--from", from) || value("--to", to)) continue;
    if (a.size() > 1 && a[0] == '-' && a != "-") return usage("unknown option '" + a + "'; " + kConvertUsage);
    if (haveFile) return usage(std::string("more than one input file; ") + kConvertUsage);
    file = a;
    haveFile = true;
  }
  if (from.empty() || to.empty()) return usage(kConvertUsage);

  tolvan::Converter which;
  if (!builtIn(from, to, which)) {
    if ((from == "tscii" && to == "unicode") || (from == "unicode" && to == "tscii"))
      return convertUnicode(from, to, file);
    return usage("cannot convert " + from + " to " + to + " (supported: " + kPairsList + ")");
  }

  PieceReader input(file);
  tolvan::ConvertStream stream(which, [](size_t offset, unsigned char byte) {
    std::fprintf(stderr, "tolvan-cli: byte %u (0x%02X) at offset %zu has no Anjal mapping; wrote X\n",
                 unsigned(byte), unsigned(byte), offset);
  });
  pumpPieces(input, stream);
  return 0;
}

int cmdFontmap(const Args& args) {
  const char* kUsageLine = "usage: tolvan-cli fontmap apply MAP.tol [FILE]";
  if (args.empty() || args[0] != "apply") return usage(kUsageLine);
  if (args.size() < 2 || args.size() > 3) return usage(kUsageLine);
  const std::string& mapPath = args[1];
  if (mapPath.empty() || mapPath == "-") return usage(std::string("the font map must be a file; ") + kUsageLine);
  // A font map is a few KiB (one line per byte value); the bound only keeps
  // a wrong argument (a device, a huge file) from filling memory.
  const std::string map = readWhole(mapPath, kMaxFontMapBytes, "a font map");
  PieceReader input(args.size() == 3 ? args[2] : std::string());  // refused before any warning
  // Like the editor's menu command, any file is applied (only its mapping
  // lines count); a file without the font-map title line is most likely the
  // arguments swapped, so say so without refusing.
  if (!tolvan::LooksLikeFontMap(map))
    std::fprintf(stderr, "tolvan-cli: warning: %s does not start with \"%.*s\"; applying its mapping lines anyway\n",
                 mapPath.c_str(), static_cast<int>(tolvan::kFontMapTitleLine.size()),
                 tolvan::kFontMapTitleLine.data());
  const tolvan::FontMapApplier applier(map);

  std::string piece, out;
  for (;;) {
    input.next(piece);
    if (piece.empty()) break;
    applier.applyAppend(piece, out);
    writePiece(out);
  }
  flushOut();
  return 0;
}

}  // namespace cli
