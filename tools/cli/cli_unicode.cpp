// tolvan-cli convert --from tscii --to unicode, and --from unicode --to tscii:
// the TSCII <-> Unicode codec over a file or standard input, read in pieces so
// that memory stays small whatever the size of the text. Converted text goes
// to standard output; every change or unmappable character is reported on
// standard error with its byte offset in the input. Characters TSCII cannot
// hold stay in the output as UTF-8. Exit status 0 even with warnings.

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/convert/unicode_stream.h"

namespace cli {
namespace {

// Warnings printed one per line up to this many; the rest are counted.
constexpr size_t kMaxWarningLines = 200;

struct WarningPrinter {
  size_t count = 0;
  void operator()(size_t offset, const std::string& what) {
    if (++count <= kMaxWarningLines) std::fprintf(stderr, "tolvan-cli: warning: byte offset %zu: %s\n", offset, what.c_str());
  }
  void summary() const {
    if (count > kMaxWarningLines)
      std::fprintf(stderr, "tolvan-cli: warning: %zu more warnings not shown (%zu in all)\n",
                   count - kMaxWarningLines, count);
  }
};

}  // namespace

int convertUnicode(const std::string& from, const std::string& to, const std::string& file) {
  const bool toUnicode = from == "tscii" && to == "unicode";
  if (!toUnicode && !(from == "unicode" && to == "tscii"))
    return usage("cannot convert " + from + " to " + to + " (the Unicode pairs are tscii->unicode, unicode->tscii)");
  MappedPieceReader in(file);
  WarningPrinter printer;
  auto warn = [&printer](size_t offset, const std::string& what) { printer(offset, what); };
  if (toUnicode) {
    tolvan::TsciiToUnicodeStream stream(warn);
    pumpPieces(in, stream);
  } else {
    tolvan::UnicodeToTsciiStream stream(warn, tolvan::Unmappable::KeepUtf8);
    pumpPieces(in, stream);
  }
  printer.summary();
  return 0;
}

}  // namespace cli
