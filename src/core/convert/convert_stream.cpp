// ConvertStream: runs a converter over a text piece by piece, holding back
// only the few bytes whose conversion depends on what comes next.
#include <utility>

#include "core/convert/converters.h"

namespace tolvan {

ConvertStream::ConvertStream(Converter which, Unmapped onUnmapped)
    : which_(which), onUnmapped_(std::move(onUnmapped)) {}

void ConvertStream::convertPrefix(size_t n, std::string& out) {
  const std::string_view text(buf_.data(), n);
  switch (which_) {
    case Converter::TsciiToTab: convert_detail::tsciiToTabAppend(text, out); break;
    case Converter::MylaiToTscii: convert_detail::mylaiToTsciiAppend(text, out); break;
    case Converter::AnjalToTscii: convert_detail::anjalToTsciiAppend(text, offset_, onUnmapped_, out); break;
    case Converter::RomanToTscii: n = convert_detail::romanToTsciiAppend(text, true, out); break;
  }
  buf_.erase(0, n);
  offset_ += n;
}

size_t ConvertStream::convertSettled(std::string_view text, std::string& out) {
  size_t n = text.size();
  switch (which_) {
    case Converter::TsciiToTab: convert_detail::tsciiToTabAppend(text, out); break;
    case Converter::MylaiToTscii:
      n = convert_detail::mylaiSafeSplit(text);
      convert_detail::mylaiToTsciiAppend(text.substr(0, n), out);
      break;
    case Converter::AnjalToTscii:
      n = convert_detail::anjalSafeSplit(text);
      convert_detail::anjalToTsciiAppend(text.substr(0, n), offset_, onUnmapped_, out);
      break;
    // Positions whose match is settled; the tail waits for more input.
    case Converter::RomanToTscii: n = convert_detail::romanToTsciiAppend(text, false, out); break;
  }
  offset_ += n;
  return n;
}

void ConvertStream::feed(std::string_view piece, std::string& out) {
  // The piece is converted where it lies; only the bytes held back from the
  // last piece (at most three) go through with a short head of this one.
  if (!buf_.empty()) {
    constexpr size_t kHead = 16;
    const size_t held = buf_.size();
    const size_t head = piece.size() < kHead ? piece.size() : kHead;
    buf_.append(piece.substr(0, head));
    const size_t used = convertSettled(buf_, out);
    if (head == piece.size() || used < held) {
      // All of the piece is in buf_ already, or the head could not settle the
      // held bytes (a run of keys that each reach back): go on from buf_.
      buf_.erase(0, used);
      buf_.append(piece.substr(head));
      buf_.erase(0, convertSettled(buf_, out));
      return;
    }
    piece.remove_prefix(used - held);
    buf_.clear();
  }
  buf_.assign(piece.substr(convertSettled(piece, out)));
}

void ConvertStream::finish(std::string& out) {
  convertPrefix(buf_.size(), out);
  offset_ = 0;
}

}  // namespace tolvan
