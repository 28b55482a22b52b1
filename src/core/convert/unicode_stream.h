// Piecewise TSCII <-> Unicode conversion, for text that arrives in chunks
// (tolvan-cli reads large files this way). The bytes appended to `out` by all
// feed() calls plus finish() are exactly those TsciiToUnicode/UnicodeToTscii
// give for the whole text, and warnings carry offsets into the whole text.
// Between calls only a short tail is held back (a letter whose end has not
// arrived yet: at most kMaxTail bytes), so memory does not grow with the text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/convert/unicode_bridge.h"

namespace tolvan {

class TsciiToUnicodeStream {
 public:
  static constexpr size_t kMaxTail = kTsciiDecodeTail;

  explicit TsciiToUnicodeStream(BridgeWarning warn = {}) : warn_(std::move(warn)) {}
  void feed(std::string_view in, std::string& out);
  void finish(std::string& out);

  // Context carried from one byte to the next.
  using State = TsciiDecodeState;

 private:
  BridgeWarning warn_;
  State st_;
  std::string tail_;
  uint64_t offset_ = 0;  // input offset of tail_[0] (or of the next byte)
};

class UnicodeToTsciiStream {
 public:
  static constexpr size_t kMaxTail = kUnicodeEncodeTail;

  explicit UnicodeToTsciiStream(BridgeWarning warn = {}, Unmappable policy = Unmappable::KeepUtf8)
      : warn_(std::move(warn)), policy_(policy) {}
  void feed(std::string_view in, std::string& out);
  void finish(std::string& out);

  using State = UnicodeEncodeState;

 private:
  BridgeWarning warn_;
  Unmappable policy_;
  State st_;
  std::string tail_;
  uint64_t offset_ = 0;
};

}  // namespace tolvan
