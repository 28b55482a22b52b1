// TSCII <-> Unicode Tamil. TsciiToUnicode gives UTF-8 in logical order (NFC);
// UnicodeToTscii takes UTF-8 and gives TSCII in visual order. Bytes with no
// Unicode meaning travel as Private Use Area characters so a round trip keeps
// them; characters TSCII cannot hold follow the policy in the .cpp.
#pragma once
#include <cstddef>
#include <cstdint>
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

// One piece of a text converted in pieces (unicode_stream.h builds on these).
// The state carries the context from one piece to the next; `base` is the
// offset of the piece's first byte in the whole text (for the warnings).
// Unless `final`, the conversion stops before a letter whose neighbours may
// still be coming, at most the tail's bytes from the end; returns the bytes
// consumed.
struct TsciiDecodeState {
  uint8_t prev = 0;   // the last byte converted
  uint8_t prev2 = 0;  // and the one before it
};
inline constexpr size_t kTsciiDecodeTail = 2;
size_t TsciiToUnicodePiece(TsciiDecodeState& st, std::string_view piece, uint64_t base, bool final,
                           const BridgeWarning& warn, std::string& out);

struct UnicodeEncodeState {
  uint8_t lonePrefix = 0;  // the output ends with this prefix sign byte, standing alone
};
inline constexpr size_t kUnicodeEncodeTail = 24;
size_t UnicodeToTsciiPiece(UnicodeEncodeState& st, std::string_view piece, uint64_t base, bool final,
                           const BridgeWarning& warn, Unmappable policy, std::string& out);

}  // namespace tolvan
