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

}  // namespace tolvan
