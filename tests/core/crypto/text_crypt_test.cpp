// Text encryption: known answers from an independent implementation, the
// shape of the encrypted line, round trips of every byte value and line
// breaks, and the cipher left wiped whatever happens.
#include "core/crypto/text_crypt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "core/crypto/crypto_error.h"
#include "test_util.h"

using namespace tolvan;

namespace {

struct KnownAnswer {
  std::string kind, password;
  size_t length;
  std::string expected;
};

// known_answers.txt: "<kind> <password hex or -> <length> <expected>".
std::vector<KnownAnswer> knownAnswers(const std::string& kind) {
  std::vector<KnownAnswer> out;
  for (const auto& line : crypto_test::readLines(crypto_test::dataPath("known_answers.txt"))) {
    std::istringstream in(line);
    KnownAnswer k;
    std::string pw;
    in >> k.kind >> pw >> k.length >> k.expected;
    if (k.kind != kind) continue;
    k.password = pw == "-" ? "" : crypto_test::fromHex(pw);
    out.push_back(k);
  }
  return out;
}

}  // namespace

TEST(TextCrypt, MatchesIndependentImplementation) {
  const auto answers = knownAnswers("text");
  ASSERT_GE(answers.size(), 60u);
  TDCP_blowfish bf;
  for (const auto& k : answers) {
    const std::string plain = crypto_test::pattern(k.length);
    EXPECT_EQ(EncryptText(bf, plain, k.password), k.expected) << k.length << " " << crypto_test::toHex(k.password);
    EXPECT_EQ(DecryptText(bf, k.expected, k.password), plain);
    EXPECT_FALSE(bf.Initialized());
  }
}

TEST(TextCrypt, ShapeOfTheEncryptedLine) {
  TDCP_blowfish bf;
  EXPECT_EQ(EncryptText(bf, "", "pw"), "");
  EXPECT_EQ(DecryptText(bf, "", "pw"), "");
  const std::pair<const char*, const char*> ends[] = {{"a", "=="}, {"ab", "="}, {"abc", ""}};
  for (const auto& [text, tail] : ends) {
    const std::string e = EncryptText(bf, text, "pw");
    ASSERT_EQ(e.size(), 4u) << text;
    EXPECT_EQ(e.substr(4 - std::strlen(tail)), tail) << text;
    EXPECT_EQ(e.find('=') == std::string::npos, *tail == '\0') << text;
  }
  // The same text and passphrase always give the same line.
  EXPECT_EQ(EncryptText(bf, "same text", "pw"), EncryptText(bf, "same text", "pw"));
  EXPECT_NE(EncryptText(bf, "same text", "pw"), EncryptText(bf, "same text", "pw2"));
}

// Document text (CR LF line breaks) with every byte value comes back
// exactly. A wrong passphrase is not detected; encrypting its output with
// the same wrong passphrase gives the encrypted line back.
TEST(TextCrypt, RoundTrips) {
  std::string doc = "First line\r\nசொல்\r\n\r\n";
  for (int i = 0; i < 256; ++i) doc += static_cast<char>(i);
  doc += "\r\nlast";
  TDCP_blowfish bf;
  for (const std::string& pass :
       {std::string(), std::string("p"), std::string("\xA6\xB8\xA1 tamil"), std::string(300, 'x')}) {
    const std::string enc = EncryptText(bf, doc, pass);
    EXPECT_EQ(DecryptText(bf, enc, pass), doc);
    const std::string garbage = DecryptText(bf, enc, pass + "!");
    EXPECT_EQ(garbage.size(), doc.size());
    EXPECT_NE(garbage, doc);
    EXPECT_EQ(EncryptText(bf, garbage, pass + "!"), enc);
  }
}

// A text that is not whole Base64 groups raises the Base64 error; the
// shared cipher is wiped all the same.
TEST(TextCrypt, BadLengthRaisesAndLeavesCipherWiped) {
  TDCP_blowfish bf;
  for (const char* text : {"abcde", "QUJD\r\n", "Q"}) {
    try {
      DecryptText(bf, text, "pw");
      ADD_FAILURE() << text;
    } catch (const CryptoError& e) {
      EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
    }
    EXPECT_FALSE(bf.Initialized());
  }
  // Out-of-alphabet characters in a text of valid length decode without
  // an error (to the wrong bytes).
  EXPECT_EQ(DecryptText(bf, "AB-/", "pw"), DecryptText(bf, "AB//", "pw"));
}
