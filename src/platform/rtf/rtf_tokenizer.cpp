// RTF tokenizer: one pass over the bytes, each token consumes at least one
// byte, so it always ends.
#include "platform/rtf/rtf_tokenizer.h"

#include <limits>

namespace tolvan::rtf {

namespace {

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool Tokenizer::next(Token& t) {
  t = Token{};
  const size_t n = data_.size();
  for (;;) {
    if (pos_ >= n) {
      t.type = TokenType::End;
      return true;
    }
    const unsigned char c = static_cast<unsigned char>(data_[pos_]);
    // Source line breaks (and stray NULs) are never text: producers break
    // lines anywhere, even in the middle of a run.
    if (c == '\r' || c == '\n' || c == 0) {
      ++pos_;
      continue;
    }
    if (c == '{') {
      ++pos_;
      t.type = TokenType::GroupStart;
      return true;
    }
    if (c == '}') {
      ++pos_;
      t.type = TokenType::GroupEnd;
      return true;
    }
    if (c != '\\') {
      const size_t start = pos_;
      while (pos_ < n) {
        const unsigned char d = static_cast<unsigned char>(data_[pos_]);
        if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n' || d == 0) break;
        ++pos_;
      }
      t.type = TokenType::Text;
      t.text = data_.substr(start, pos_ - start);
      return true;
    }
    // Backslash.
    ++pos_;
    if (pos_ >= n) {  // a lone backslash at the very end
      t.type = TokenType::End;
      return true;
    }
    const unsigned char d = static_cast<unsigned char>(data_[pos_]);
    if (!isLetter(d)) {
      ++pos_;
      t.type = TokenType::ControlSymbol;
      t.symbol = static_cast<char>(d);
      if (d == '\'') {
        // \'hh: up to two hex digits; a malformed escape gives what it has.
        int value = 0, digits = 0;
        while (digits < 2 && pos_ < n) {
          const int h = hexValue(static_cast<unsigned char>(data_[pos_]));
          if (h < 0) break;
          value = value * 16 + h;
          ++digits;
          ++pos_;
        }
        if (digits == 0) {  // "\'" with no hex digits: nothing
          t = Token{};
          continue;
        }
        t.param = value;
        t.hasParam = true;
      }
      return true;
    }
    const size_t start = pos_;
    while (pos_ < n && isLetter(static_cast<unsigned char>(data_[pos_]))) ++pos_;
    t.type = TokenType::ControlWord;
    t.text = data_.substr(start, pos_ - start);
    bool negative = false;
    if (pos_ + 1 < n && data_[pos_] == '-' && isDigit(static_cast<unsigned char>(data_[pos_ + 1]))) {
      negative = true;
      ++pos_;
    }
    if (pos_ < n && isDigit(static_cast<unsigned char>(data_[pos_]))) {
      // Parameters are 32-bit; longer digit strings saturate.
      int64_t v = 0;
      while (pos_ < n && isDigit(static_cast<unsigned char>(data_[pos_]))) {
        if (v < (int64_t(1) << 32)) v = v * 10 + (data_[pos_] - '0');
        ++pos_;
      }
      if (negative) v = -v;
      if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
      if (v < std::numeric_limits<int32_t>::min()) v = std::numeric_limits<int32_t>::min();
      t.param = static_cast<int32_t>(v);
      t.hasParam = true;
    }
    if (pos_ < n && data_[pos_] == ' ') ++pos_;  // the delimiting space belongs to the word
    if (t.text == "bin") {
      const int64_t len = t.hasParam ? t.param : 0;
      if (len < 0) {
        error_ = "negative \\bin length";
        return false;
      }
      if (static_cast<uint64_t>(len) > n - pos_) {
        error_ = "\\bin" + std::to_string(len) + " runs past the end of the file";
        return false;
      }
      t.type = TokenType::Binary;
      t.text = data_.substr(pos_, static_cast<size_t>(len));
      pos_ += static_cast<size_t>(len);
    }
    return true;
  }
}

}  // namespace tolvan::rtf
