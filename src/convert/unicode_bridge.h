// TSCII <-> Unicode Tamil. TsciiToUnicode gives UTF-8 in logical order (NFC);
// UnicodeToTscii takes UTF-8 and gives TSCII in visual order. Bytes with no
// Unicode meaning travel as Private Use Area characters so a round trip keeps
// them; characters TSCII cannot hold follow the policy in the .cpp.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tolvan {

// Something a conversion changed or could not map: byte offset in the input
// and a short description.
using BridgeWarning = std::function<void(size_t offset, const std::string& what)>;

std::string TsciiToUnicode(std::string_view tscii, const BridgeWarning& warn = {});

// What UnicodeToTscii does with a character TSCII cannot hold.
enum class Unmappable {
  KeepUtf8,  // copy its UTF-8 bytes to the output (tolvan-cli)
  Drop,      // leave it out (callers that keep such characters themselves)
};
std::string UnicodeToTscii(std::string_view utf8, const BridgeWarning& warn = {},
                           Unmappable policy = Unmappable::KeepUtf8);

}  // namespace tolvan
