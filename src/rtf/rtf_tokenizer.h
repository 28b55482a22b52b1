// Splits RTF bytes into tokens: group braces, control words with their
// numeric parameter, control symbols, runs of text bytes and \bin data. It
// knows nothing of what the words mean; the reader does.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan::rtf {

enum class TokenType : uint8_t {
  GroupStart,     // {
  GroupEnd,       // }
  ControlWord,    // \word or \wordN: name in text, number in param
  ControlSymbol,  // \x for a non-letter x in symbol; a short \'h has symbol '\'' and the byte in param
  Text,           // characters as bytes: raw bytes and decoded \'hh escapes (never empty;
                  // source CR, LF and NUL left out); valid until the next call
  Binary,         // the N bytes after \binN, in text
  End,            // end of input
};

struct Token {
  TokenType type = TokenType::End;
  std::string_view text;
  int32_t param = 0;
  bool hasParam = false;
  char symbol = 0;
};

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view data) : data_(data) {}

  // Reads the next token. Returns false on input that cannot be tokenized
  // (a \bin length that is negative or runs past the end); error() says why.
  bool next(Token& t);

  // Passes over up to n \'hh escapes that follow at once (no line break or
  // anything else before or between them) and returns how many: a \uN
  // word's fallback characters, which the reader throws away.
  size_t skipHexEscapes(size_t n);

  // Passes over a \uN word with up to six digits (and its delimiting space)
  // followed at once by exactly `fallback` \'hh escapes, and gives N; passes
  // over nothing and returns false when anything else comes next. The
  // reader's shortcut for LibreOffice's \u2965\'b8 characters, which saves
  // making three tokens for each.
  bool takeUnicodeChar(size_t fallback, int32_t& n);

  // Passes over plain text bytes (anything but a backslash, a brace, CR, LF
  // or NUL) and gives them; empty when none come next.
  std::string_view takePlainBytes();

  // Passes over source line breaks and NULs, which are never text; returns
  // whether there were any.
  bool skipLineBreaks();

  const std::string& error() const { return error_; }
  size_t offset() const { return pos_; }
  size_t size() const { return data_.size(); }

 private:
  bool hexEscapeAt(size_t i) const;

  std::string_view data_;
  size_t pos_ = 0;
  std::string buffer_;  // decoded text of the last Text token with escapes
  std::string error_;
};

}  // namespace tolvan::rtf
