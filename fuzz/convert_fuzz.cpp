// Fuzz target for the four converters: arbitrary bytes must convert without
// fault, within the output bounds, the same with the vector path off as on,
// and converting in pieces (cut where the input says) must give exactly the
// bytes of one whole conversion.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/convert/convert_simd.h"
#include "core/convert/converters.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

using Reports = std::vector<std::pair<size_t, unsigned char>>;

std::string whole(tolvan::Converter which, std::string_view in, Reports& reports) {
  switch (which) {
    case tolvan::Converter::TsciiToTab: return tolvan::TsciiToTab(in);
    case tolvan::Converter::MylaiToTscii: return tolvan::MylaiToTscii(in);
    case tolvan::Converter::AnjalToTscii:
      return tolvan::AnjalToTscii(in, [&](size_t off, unsigned char b) { reports.emplace_back(off, b); });
    case tolvan::Converter::RomanToTscii: return tolvan::RomanToTscii(in);
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte: piece sizes for the streaming check; the rest is the text.
  const unsigned pieceSeed = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const tolvan::Converter all[] = {tolvan::Converter::TsciiToTab, tolvan::Converter::MylaiToTscii,
                                   tolvan::Converter::AnjalToTscii, tolvan::Converter::RomanToTscii};
  for (auto which : all) {
    Reports wantReports, gotReports;
    const std::string want = whole(which, text, wantReports);
    switch (which) {
      case tolvan::Converter::TsciiToTab:
      case tolvan::Converter::AnjalToTscii: check(want.size() <= 2 * text.size()); break;
      case tolvan::Converter::MylaiToTscii: check(want.size() <= text.size()); break;
      case tolvan::Converter::RomanToTscii: check(2 * want.size() <= 3 * text.size()); break;
    }
    for (const auto& [off, b] : wantReports) check(off < text.size() && uint8_t(text[off]) == b);
    if (tolvan::convert_simd::VectorAvailable()) {
      Reports scalarReports;
      const bool before = tolvan::convert_simd::SetVectorEnabled(false);
      check(whole(which, text, scalarReports) == want);
      tolvan::convert_simd::SetVectorEnabled(before);
      check(scalarReports == wantReports);
    }

    tolvan::ConvertStream stream(which, [&](size_t off, unsigned char b) { gotReports.emplace_back(off, b); });
    std::string got;
    size_t at = 0;
    unsigned step = 0;
    while (at < text.size()) {
      // Pieces of 0 to 7 bytes, varied by the seed.
      const size_t len = ((pieceSeed >> (step % 6)) + step) % 8;
      ++step;
      stream.feed(text.substr(at, len), got);
      at += std::min(len, text.size() - at);
    }
    stream.finish(got);
    check(got == want);
    check(gotReports == wantReports);
  }
  return 0;
}
