// Base64: the RFC 4648 examples, and the lenient decoding that old
// encrypted texts rely on.
#include "core/crypto/base64.h"

#include <gtest/gtest.h>

#include "core/crypto/crypto_error.h"
#include "test_util.h"

using namespace tolvan;

// RFC 4648, section 10.
TEST(Base64, PublishedVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(Base64Encode(plain), encoded);
    EXPECT_EQ(Base64Decode(encoded), plain);
  }
}

// Every byte value and every length round-trips; the output is
// 4 * ceil(n / 3) characters on one line, with zero padding bits.
TEST(Base64, RoundTripAndShape) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t n = 0; n <= all.size(); ++n) {
    const std::string in = all.substr(0, n), enc = Base64Encode(in);
    ASSERT_EQ(enc.size(), (n + 2) / 3 * 4);
    EXPECT_EQ(enc.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(Base64Decode(enc), in) << n;
  }
  EXPECT_EQ(Base64Encode("\xFF"), "/w==");      // low bits of the last digit are zero
  EXPECT_EQ(Base64Encode("\xFF\xFF"), "//8=");
}

TEST(Base64, LengthNotMultipleOfFourIsRejected) {
  for (const char* text : {"A", "AB", "ABC", "ABCDE", "Zm9vYmFy\r\n", "Zm9v "}) {
    try {
      Base64Decode(text);
      ADD_FAILURE() << text;
    } catch (const CryptoError& e) {
      EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
    }
  }
}

// Lenient decoding: a character outside the alphabet counts as 63 (like
// "/"), an "=" only pads in the last group's last two places, and set
// padding bits are ignored.
TEST(Base64, LenientDecoding) {
  const std::pair<std::string, std::string> cases[] = {
      {"AB-/", Base64Decode("AB//")},       // hyphen counts as 63
      {"AB\xE9/", Base64Decode("AB//")},    // so does a non-ASCII byte
      {"A=BC", Base64Decode("A/BC")},       // "=" in the first places too
      {"AB=CAAAA", Base64Decode("AB/CAAAA")},  // and in a group that is not last
      {"QQ==", "A"},
      {"QR==", "A"},                        // padding bits set: same byte
      {"QUJ=", "AB"},
      {"QQ=x", "A"},                        // third place "=" alone decides: one byte
      {"====", "\xFF"},                     // "=" "=" as 63 63, then padding
      {"QUJD", "ABC"},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(crypto_test::toHex(Base64Decode(text)), crypto_test::toHex(expected)) << text;
}
