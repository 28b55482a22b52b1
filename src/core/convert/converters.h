// The built-in text converters: pure functions from one byte string to another.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tolvan {

std::string TsciiToTab(std::string_view in);
std::string MylaiToTscii(std::string_view in);
// onUnmapped(offset, byte) is called for each byte the Anjal-font table has
// no entry for (the window shows a message box, the CLI a warning line).
std::string AnjalToTscii(std::string_view in,
                         const std::function<void(size_t offset, unsigned char byte)>& onUnmapped = {});
std::string RomanToTscii(std::string_view in);

// Text of the message box shown for a byte AnjalToTscii has no entry for:
// the byte itself as a character, one space, its value in decimal ("\xA0 160").
std::string AnjalUnmappedMessage(unsigned char byte);

// The converters by name, for callers that choose one at run time.
enum class Converter { TsciiToTab, MylaiToTscii, AnjalToTscii, RomanToTscii };

// Runs one converter over a text that arrives in pieces, so that memory does
// not grow with the text. The bytes appended to `out` by all feed() calls and
// the final finish() are exactly those of one call over the whole text, and
// onUnmapped sees offsets into the whole text. A few bytes (never more than
// three) are held back between calls: a Roman key can span two pieces, and
// the Mylai pulli key, the Mylai modifiers and the Anjal modifier depend on
// the byte next to them.
class ConvertStream {
 public:
  using Unmapped = std::function<void(size_t offset, unsigned char byte)>;
  explicit ConvertStream(Converter which, Unmapped onUnmapped = {});

  void feed(std::string_view piece, std::string& out);
  // End of the text: converts what was held back. The stream may then be fed
  // again as the start of a new text.
  void finish(std::string& out);

 private:
  // Converts buf_[0, n) and drops it from buf_.
  void convertPrefix(size_t n, std::string& out);
  // Converts the start of `text` that the bytes after it can no longer
  // change; returns its length.
  size_t convertSettled(std::string_view text, std::string& out);

  Converter which_;
  Unmapped onUnmapped_;
  std::string buf_;  // held-back bytes, then the piece being converted
  size_t offset_ = 0;  // offset of buf_[0] in the whole text
};

// Lower-level entry points shared by the one-shot functions and ConvertStream.
// Each appends its result to `out`.
namespace convert_detail {
void tsciiToTabAppend(std::string_view in, std::string& out);
void mylaiToTsciiAppend(std::string_view in, std::string& out);
void anjalToTsciiAppend(std::string_view in, size_t baseOffset,
                        const std::function<void(size_t, unsigned char)>& onUnmapped, std::string& out);
// Converts keys from the start of `in` while the match at each position is
// settled by the bytes in `in`; with atEnd, converts everything. Returns the
// number of input bytes consumed (at least in.size() - 3 when !atEnd).
size_t romanToTsciiAppend(std::string_view in, bool atEnd, std::string& out);
// Largest k < in.size() such that converting in[0, k) alone and the rest
// separately gives the same bytes as converting everything at once.
size_t mylaiSafeSplit(std::string_view in);
size_t anjalSafeSplit(std::string_view in);
}  // namespace convert_detail

}  // namespace tolvan
