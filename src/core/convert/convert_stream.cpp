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

void ConvertStream::feed(std::string_view piece, std::string& out) {
  buf_.append(piece);
  const std::string_view all(buf_);
  switch (which_) {
    case Converter::TsciiToTab: convertPrefix(all.size(), out); break;
    case Converter::MylaiToTscii: convertPrefix(convert_detail::mylaiSafeSplit(all), out); break;
    case Converter::AnjalToTscii: convertPrefix(convert_detail::anjalSafeSplit(all), out); break;
    case Converter::RomanToTscii: {
      // Positions whose match is settled; the tail waits for more input.
      const size_t used = convert_detail::romanToTsciiAppend(all, false, out);
      buf_.erase(0, used);
      offset_ += used;
      break;
    }
  }
}

void ConvertStream::finish(std::string& out) {
  convertPrefix(buf_.size(), out);
  offset_ = 0;
}

}  // namespace tolvan
