// RTF tokenizer: the token stream for small inputs, written as a compact
// string ("{", "}", "\word", "\wordN", "'hh", "sym:x", "text:...", "bin:...").
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "rtf/rtf_tokenizer.h"
#include "rtf_test_util.h"

using tolvan::rtf::Token;
using tolvan::rtf::Tokenizer;
using tolvan::rtf::TokenType;

namespace {

std::string tokens(std::string_view in, bool* ok = nullptr) {
  Tokenizer tz(in);
  std::string out;
  Token t;
  for (int guard = 0; guard < 1000; ++guard) {
    if (!tz.next(t)) {
      if (ok) *ok = false;
      return out + "ERROR";
    }
    if (!out.empty() && t.type != TokenType::End) out += ' ';
    switch (t.type) {
      case TokenType::GroupStart: out += '{'; break;
      case TokenType::GroupEnd: out += '}'; break;
      case TokenType::ControlWord:
        out += '\\' + std::string(t.text);
        if (t.hasParam) out += std::to_string(t.param);
        break;
      case TokenType::ControlSymbol:
        if (t.symbol == '\'') {
          char buf[8];
          std::snprintf(buf, sizeof buf, "'%02x", t.param);
          out += buf;
        } else {
          out += std::string("sym:") + t.symbol;
        }
        break;
      case TokenType::Text: out += "text:" + std::string(t.text); break;
      case TokenType::Binary: out += "bin:" + std::string(t.text); break;
      case TokenType::End:
        if (ok) *ok = true;
        return out;
    }
  }
  return out + "HANG";
}

struct Case {
  const char* what;
  const char* in;
  const char* want;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class TokenizerCases : public ::testing::TestWithParam<Case> {};

TEST_P(TokenizerCases, Tokens) {
  bool ok = false;
  EXPECT_EQ(tokens(GetParam().in, &ok), GetParam().want) << GetParam().in;
  EXPECT_TRUE(ok);
}

const Case kCases[] = {
    {"group and word", "{\\rtf1 Hi}", "{ \\rtf1 text:Hi }"},
    {"parameters, negative too", "\\b0\\i-12 x", "\\b0 \\i-12 text:x"},
    {"one delimiting space only", "\\fs24  two", "\\fs24 text: two"},
    {"line break after a word is not text", "\\par\r\nnext", "\\par text:next"},
    {"line breaks in text are not text", "ab\r\ncd", "text:abcd"},
    {"hex escapes decode into the text, a short one too", "\\'e9\\'B7x\\'4", "text:\xe9\xb7x '04"},
    {"hex escape without digits gives nothing", "\\'zz", "text:zz"},
    {"control symbols", "\\{\\}\\\\\\~\\-\\*", "sym:{ sym:} sym:\\ sym:~ sym:- sym:*"},
    {"minus without digits is text", "a-b \\li-x", "text:a-b  \\li text:-x"},
    {"parameters saturate", "\\u99999999999999 z", "\\u2147483647 text:z"},
    {"bin data by its count", "\\bin3 {}\\x", "bin:{}\\ text:x"},
    {"empty bin data", "\\bin0 a", "bin: text:a"},
    {"raw tabs and 8 bit bytes", "tab\there\xe9", "text:tab\there\xe9"},
    {"backslash at the end", "end\\", "text:end"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TokenizerCases, ::testing::ValuesIn(kCases), rtftest::ByWhat());

TEST(Tokenizer, BadBinLengthsAreErrors) {
  for (const char* in : {"\\bin5 ab", "\\bin-1 ab", "\\bin2147483647 x"}) {
    bool ok = true;
    const std::string got = tokens(in, &ok);
    EXPECT_FALSE(ok) << in << " gave " << got;
  }
}

}  // namespace
