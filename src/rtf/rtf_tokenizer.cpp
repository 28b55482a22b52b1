// RTF tokenizer: one pass over the bytes, each token consumes at least one
// byte, so it always ends.
#include "rtf/rtf_tokenizer.h"

#include <limits>

namespace tolvan::rtf {

namespace {

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

struct HexTable {
  signed char v[256];
  constexpr HexTable() : v() {
    for (int i = 0; i < 256; ++i) v[i] = -1;
    for (int i = 0; i < 10; ++i) v['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
      v['a' + i] = static_cast<signed char>(10 + i);
      v['A' + i] = static_cast<signed char>(10 + i);
    }
  }
};
constexpr HexTable kHex;

inline int hexValue(unsigned char c) { return kHex.v[c]; }

}  // namespace

// True when a complete \'hh escape (two hex digits) starts at i.
inline bool Tokenizer::hexEscapeAt(size_t i) const {
  return i + 3 < data_.size() && data_[i] == '\\' && data_[i + 1] == '\'' &&
         hexValue(static_cast<unsigned char>(data_[i + 2])) >= 0 &&
         hexValue(static_cast<unsigned char>(data_[i + 3])) >= 0;
}

size_t Tokenizer::skipHexEscapes(size_t n) {
  size_t done = 0;
  while (done < n && hexEscapeAt(pos_)) {
    pos_ += 4;
    ++done;
  }
  return done;
}

bool Tokenizer::takeUnicodeChar(size_t fallback, int32_t& n) {
  const size_t size = data_.size();
  size_t i = pos_;
  if (i + 2 >= size || data_[i] != '\\' || data_[i + 1] != 'u') return false;
  i += 2;
  const bool negative = data_[i] == '-';
  if (negative) ++i;
  int32_t v = 0;
  size_t digits = 0;
  while (i < size && isDigit(static_cast<unsigned char>(data_[i]))) {
    if (++digits > 6) return false;  // left to next(), which saturates
    v = v * 10 + (data_[i] - '0');
    ++i;
  }
  if (digits == 0) return false;  // \uc, \ul, a bare \u ...
  if (i < size && data_[i] == ' ') ++i;
  for (size_t k = 0; k < fallback; ++k, i += 4)
    if (!hexEscapeAt(i)) return false;
  pos_ = i;
  n = negative ? -v : v;
  return true;
}

std::string_view Tokenizer::takePlainBytes() {
  const size_t start = pos_;
  const size_t size = data_.size();
  while (pos_ < size) {
    const unsigned char d = static_cast<unsigned char>(data_[pos_]);
    if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n' || d == 0) break;
    ++pos_;
  }
  return data_.substr(start, pos_ - start);
}

bool Tokenizer::skipLineBreaks() {
  const size_t start = pos_;
  while (pos_ < data_.size() && (data_[pos_] == '\r' || data_[pos_] == '\n' || data_[pos_] == 0)) ++pos_;
  return pos_ > start;
}

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
    if (c != '\\' || hexEscapeAt(pos_)) {
      // A run of text: plain bytes and \'hh escapes (decoded), across source
      // line breaks. Most of a TSCII document is \'hh, so this is the hot path.
      const size_t start = pos_;
      while (pos_ < n) {
        const unsigned char d = static_cast<unsigned char>(data_[pos_]);
        if (d == '\\' || d == '{' || d == '}' || d == '\r' || d == '\n' || d == 0) break;
        ++pos_;
      }
      if (pos_ >= n || data_[pos_] == '{' || data_[pos_] == '}' || (data_[pos_] == '\\' && !hexEscapeAt(pos_))) {
        if (pos_ > start) {  // plain bytes only: no copy
          t.type = TokenType::Text;
          t.text = data_.substr(start, pos_ - start);
          return true;
        }
      }
      buffer_.assign(data_.data() + start, pos_ - start);
      while (pos_ < n) {
        const unsigned char d = static_cast<unsigned char>(data_[pos_]);
        if (d == '\\') {
          if (pos_ + 3 >= n || data_[pos_ + 1] != '\'') break;
          const int hi = hexValue(static_cast<unsigned char>(data_[pos_ + 2]));
          const int lo = hexValue(static_cast<unsigned char>(data_[pos_ + 3]));
          if (hi < 0 || lo < 0) break;
          buffer_ += static_cast<char>(hi * 16 + lo);
          pos_ += 4;
        } else if (d == '{' || d == '}') {
          break;
        } else if (d == '\r' || d == '\n' || d == 0) {
          ++pos_;
        } else {
          buffer_ += static_cast<char>(d);
          ++pos_;
        }
      }
      if (buffer_.empty()) continue;  // only line breaks
      t.type = TokenType::Text;
      t.text = buffer_;
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
