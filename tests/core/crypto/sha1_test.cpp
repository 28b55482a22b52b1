// SHA-1: the FIPS 180 examples, feeding in pieces, and the errors.
#include "core/crypto/sha1.h"

#include <gtest/gtest.h>

#include "core/crypto/crypto_error.h"
#include "test_util.h"

using namespace tolvan;

namespace {

struct Vector {
  std::string message;
  const char* digest;
};

// FIPS 180 examples: "abc", the 448-bit two-block message, one million "a";
// plus the empty message.
const Vector kVectors[] = {
    {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
    {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
    {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
};

}  // namespace

TEST(Sha1, PublishedVectors) {
  for (const auto& v : kVectors) EXPECT_EQ(crypto_test::toHex(Sha1(v.message)), v.digest) << v.message.size();
}

// Any split of the message into Update calls gives the same digest; the
// lengths around 55/56/64 bytes exercise where the length field goes.
TEST(Sha1, PiecesEqualWhole) {
  for (size_t n : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000}) {
    const std::string msg = crypto_test::pattern(n);
    const std::string whole = Sha1(msg);
    for (size_t piece : {1, 3, 63, 64, 65}) {
      TDCP_sha1 h;
      h.Init();
      for (size_t at = 0; at < n; at += piece) h.Update(msg.data() + at, std::min(piece, n - at));
      std::string d(20, '\0');
      h.Final(d.data());
      EXPECT_EQ(d, whole) << n << " in pieces of " << piece;
    }
  }
}

TEST(Sha1, NeedsInitBeforeUseAndAfterFinal) {
  TDCP_sha1 h;
  EXPECT_EQ(h.Algorithm(), "SHA1");
  EXPECT_EQ(h.HashSize(), 160);
  unsigned char d[20];
  auto expectNotInitialized = [](const std::function<void()>& f) {
    try {
      f();
      ADD_FAILURE() << "no error";
    } catch (const CryptoError& e) {
      EXPECT_STREQ(e.what(), "SHA1: Not initialized");
    }
  };
  expectNotInitialized([&] { h.Update("x", 1); });
  expectNotInitialized([&] { h.Final(d); });
  h.Init();
  h.UpdateString("abc");
  h.Final(d);
  EXPECT_FALSE(h.Initialized());
  expectNotInitialized([&] { h.UpdateString("abc"); });
  // A new Init starts from scratch.
  h.Init();
  h.UpdateString("abc");
  h.Final(d);
  EXPECT_EQ(crypto_test::toHex({reinterpret_cast<char*>(d), 20}), kVectors[0].digest);
}
