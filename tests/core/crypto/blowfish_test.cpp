// Blowfish and its chaining modes: the published test vectors, the chaining
// rules (tail of a partial block, 8-bit feedback, reset), key setup from a
// passphrase, wiping, and the errors.
#include "core/crypto/blowfish.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/crypto/crypto_error.h"
#include "core/crypto/sha1.h"
#include "test_util.h"

using namespace tolvan;
using crypto_test::fromHex;
using crypto_test::toHex;

namespace {

std::string ecb(const std::string& key, const std::string& block, bool encrypt) {
  TDCP_blowfish bf;
  bf.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
  std::string out(8, '\0');
  if (encrypt)
    bf.EncryptBlock(block.data(), out.data());
  else
    bf.DecryptBlock(block.data(), out.data());
  return out;
}

TDCP_blowfish& keyed(TDCP_blowfish& bf, const std::string& key = "tolvan key") {
  bf.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
  return bf;
}

}  // namespace

// The published file of test vectors, read as it is printed: every ECB row
// and every row of the variable-key-length table.
TEST(Blowfish, PublishedVectors) {
  const auto lines = crypto_test::readLines(crypto_test::dataPath("blowfish_vectors.txt"));
  const std::regex ecbRow(R"(^([0-9A-F]{16})\s+([0-9A-F]{16})\s+([0-9A-F]{16}).*$)");
  const std::regex keyRow(R"(^c=([0-9A-F]{16}) k\[\s*(\d+)\]=([0-9A-F]+).*$)");
  int ecbRows = 0, keyRows = 0;
  std::smatch m;
  for (const auto& line : lines) {
    if (std::regex_match(line, m, ecbRow)) {
      const std::string key = fromHex(m[1]), clear = fromHex(m[2]), cipher = fromHex(m[3]);
      EXPECT_EQ(toHex(ecb(key, clear, true)), m[3].str()) << line;
      EXPECT_EQ(toHex(ecb(key, cipher, false)), m[2].str()) << line;
      ++ecbRows;
    } else if (std::regex_match(line, m, keyRow)) {
      const std::string key = fromHex(m[3]);
      ASSERT_EQ(key.size(), std::stoul(m[2])) << line;
      EXPECT_EQ(toHex(ecb(key, fromHex("FEDCBA9876543210"), true)), m[1].str()) << line;
      ++keyRows;
    }
  }
  EXPECT_EQ(ecbRows, 34);  // guards the parser: the file has 34 ECB rows
  EXPECT_EQ(keyRows, 24);  // and keys of 1 to 24 bytes
}

// The published chaining example: CBC of the 29 bytes padded with zeros to
// 32, and the first bytes of its 64-bit feedback ciphertext, which is what a
// chain with no whole block gives (the tail is XORed with the encrypted IV).
TEST(Blowfish, PublishedChainingExample) {
  const std::string key = fromHex("0123456789ABCDEFF0E1D2C3B4A59687");
  const std::string iv = fromHex("FEDCBA9876543210");
  std::string data = fromHex("37363534333231204E6F77206973207468652074696D6520666F722000");
  TDCP_blowfish bf;
  bf.Init(key.data(), 128, iv.data());
  std::string padded = data + std::string(3, '\0');
  bf.EncryptCBC(padded.data(), padded.data(), padded.size());
  EXPECT_EQ(toHex(padded), "6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");

  bf.ResetChain();
  std::string head = data.substr(0, 7);
  bf.EncryptCBC(head.data(), head.data(), head.size());
  EXPECT_EQ(toHex(head), "E73214A2822139");
}

TEST(Blowfish, KeySizeLimits) {
  const std::string key(57, 'k');
  TDCP_blowfish bf;
  EXPECT_EQ(bf.Algorithm(), "Blowfish");
  EXPECT_EQ(bf.BlockSize(), 64);
  EXPECT_EQ(bf.MaxKeySize(), 448);
  for (int bits : {8, 160, 256, 448}) {
    EXPECT_NO_THROW(bf.Init(key.data(), bits, nullptr)) << bits;
    EXPECT_TRUE(bf.Initialized());
  }
  for (int bits : {0, -8, 7, 12, 455, 456, 1000}) {
    try {
      bf.Init(key.data(), bits, nullptr);
      ADD_FAILURE() << bits << " accepted";
    } catch (const CryptoError& e) {
      EXPECT_EQ(std::string(e.what()), "Blowfish: Invalid key size - " + std::to_string(bits));
    }
  }
}

TEST(Blowfish, EveryOperationNeedsAKey) {
  TDCP_blowfish fresh, wiped;
  keyed(wiped).Wipe();
  unsigned char buf[16] = {};
  for (TDCP_blowfish* bf : {&fresh, &wiped}) {
    EXPECT_FALSE(bf->Initialized());
    const std::function<void()> ops[] = {
        [&] { bf->EncryptBlock(buf, buf); },     [&] { bf->DecryptBlock(buf, buf); },
        [&] { bf->EncryptCBC(buf, buf, 16); },   [&] { bf->DecryptCBC(buf, buf, 16); },
        [&] { bf->EncryptCFB8(buf, buf, 16); },  [&] { bf->DecryptCFB8(buf, buf, 16); },
        [&] { bf->EncryptCBC(buf, buf, 0); },
    };
    for (const auto& op : ops) {
      try {
        op();
        ADD_FAILURE() << "no error";
      } catch (const CryptoError& e) {
        EXPECT_STREQ(e.what(), "Blowfish: Not initialized");
      }
    }
  }
}

TEST(Blowfish, WipeOverwritesIvAndChain) {
  TDCP_blowfish bf;
  keyed(bf);
  unsigned char buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  bf.EncryptCBC(buf, buf, 8);
  bf.Wipe();
  EXPECT_EQ(toHex({reinterpret_cast<const char*>(bf.IV()), 8}), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(toHex({reinterpret_cast<const char*>(bf.CV()), 8}), "FFFFFFFFFFFFFFFF");
}

// With no IV given the IV is the encryption of eight 0xFF bytes; an IV given
// is taken as it is. Either way the chain starts there.
TEST(Blowfish, InitialVector) {
  const std::string key = "0123456789abcdef0123";
  TDCP_blowfish bf;
  bf.Init(key.data(), 160, nullptr);
  const std::string iv(reinterpret_cast<const char*>(bf.IV()), 8);
  EXPECT_EQ(iv, ecb(key, std::string(8, '\xFF'), true));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bf.CV()), 8), iv);

  const std::string given = fromHex("0011223344556677");
  bf.Init(key.data(), 160, given.data());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bf.IV()), 8), given);
}

// Passphrase keying is SHA-1 of the bytes as a 160-bit key with the derived IV.
TEST(Blowfish, InitFromPassphrase) {
  for (std::string pass : {std::string(), std::string("secret"), std::string("\x00\xFF tamil", 8)}) {
    TDCP_blowfish a, b;
    a.InitFromPassphrase(pass);
    const std::string digest = Sha1(pass);
    b.Init(digest.data(), 160, nullptr);
    std::string x = crypto_test::pattern(40), y = x;
    a.EncryptCBC(x.data(), x.data(), x.size());
    b.EncryptCBC(y.data(), y.data(), y.size());
    EXPECT_EQ(x, y);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.IV()), 8),
              std::string(reinterpret_cast<const char*>(b.IV()), 8));
  }
}

// 13 bytes: one CBC block, then five bytes XORed with the encryption of the
// chaining value (the first ciphertext block), which is left as it was.
TEST(Blowfish, CbcTailOfPartialBlock) {
  const std::string key = "tail key";
  TDCP_blowfish bf;
  bf.Init(key.data(), 64, nullptr);
  const std::string iv(reinterpret_cast<const char*>(bf.IV()), 8);
  const std::string plain = "Thirteen byte";
  std::string c = plain;
  bf.EncryptCBC(c.data(), c.data(), c.size());
  ASSERT_EQ(c.size(), 13u);

  std::string x(8, '\0');
  for (int i = 0; i < 8; ++i) x[i] = static_cast<char>(plain[i] ^ iv[i]);
  const std::string c0 = ecb(key, x, true);
  EXPECT_EQ(c.substr(0, 8), c0);
  const std::string k = ecb(key, c0, true);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(static_cast<char>(c[8 + i]), static_cast<char>(plain[8 + i] ^ k[i])) << i;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bf.CV()), 8), c0);

  bf.ResetChain();
  bf.DecryptCBC(c.data(), c.data(), c.size());
  EXPECT_EQ(c, plain);
}

// The first CFB8 byte depends only on the key, the IV and the first byte.
TEST(Blowfish, Cfb8FirstByte) {
  const std::string key = "feedback";
  TDCP_blowfish bf;
  bf.Init(key.data(), 64, nullptr);
  const std::string k = ecb(key, std::string(reinterpret_cast<const char*>(bf.IV()), 8), true);
  for (std::string text : {std::string("A"), std::string("ABCDEFGHIJ"), std::string("A\0\0", 3)}) {
    bf.ResetChain();
    bf.EncryptCFB8(text.data(), text.data(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(text[0]), static_cast<unsigned char>('A' ^ k[0]));
  }
}

enum class Mode { Cbc, Cfb8 };

void encrypt(TDCP_blowfish& bf, Mode m, const char* in, char* out, size_t n) {
  m == Mode::Cbc ? bf.EncryptCBC(in, out, n) : bf.EncryptCFB8(in, out, n);
}
void decrypt(TDCP_blowfish& bf, Mode m, const char* in, char* out, size_t n) {
  m == Mode::Cbc ? bf.DecryptCBC(in, out, n) : bf.DecryptCFB8(in, out, n);
}

class ChainProperties : public ::testing::TestWithParam<Mode> {};

// Decrypting what was encrypted gives the input back for every length 0-64
// (no padding: the output has the input's length), and ResetChain makes the
// same input give the same output again.
TEST_P(ChainProperties, RoundTripEveryLength) {
  TDCP_blowfish bf;
  keyed(bf);
  for (size_t n = 0; n <= 64; ++n) {
    const std::string plain = crypto_test::pattern(n);
    std::string c(n, '\0');
    bf.ResetChain();
    encrypt(bf, GetParam(), plain.data(), c.data(), n);
    std::string again(n, '\0');
    bf.ResetChain();
    encrypt(bf, GetParam(), plain.data(), again.data(), n);
    EXPECT_EQ(c, again) << n;
    if (n >= 8) {
      EXPECT_NE(c, plain) << n;
    }
    std::string back(n, '\0');
    bf.ResetChain();
    decrypt(bf, GetParam(), c.data(), back.data(), n);
    EXPECT_EQ(back, plain) << n;
  }
}

// Working in place gives what separate buffers give, both ways.
TEST_P(ChainProperties, InPlaceEqualsSeparateBuffers) {
  TDCP_blowfish bf;
  keyed(bf);
  for (size_t n : {0, 1, 7, 8, 9, 31, 32, 33, 40, 100, 1000}) {
    const std::string plain = crypto_test::pattern(n);
    std::string separate(n, '\0'), inplace = plain;
    bf.ResetChain();
    encrypt(bf, GetParam(), plain.data(), separate.data(), n);
    bf.ResetChain();
    encrypt(bf, GetParam(), inplace.data(), inplace.data(), n);
    EXPECT_EQ(inplace, separate) << n;
    std::string back(n, '\0');
    bf.ResetChain();
    decrypt(bf, GetParam(), separate.data(), back.data(), n);
    bf.ResetChain();
    decrypt(bf, GetParam(), inplace.data(), inplace.data(), n);
    EXPECT_EQ(back, plain) << n;
    EXPECT_EQ(inplace, plain) << n;
  }
}

// A stream passed in pieces (whole blocks for CBC except the last piece; any
// sizes for CFB8) gives what one call over the whole stream gives.
TEST_P(ChainProperties, ChunkedEqualsWhole) {
  TDCP_blowfish bf;
  keyed(bf);
  const std::string plain = crypto_test::pattern(16384 + 13);
  std::string whole(plain.size(), '\0');
  bf.ResetChain();
  encrypt(bf, GetParam(), plain.data(), whole.data(), plain.size());
  const std::vector<std::vector<size_t>> splits = {
      {8192, 8192, 13}, {8, 16, 40, 16320, 13}, {16384, 13}, {16384 + 13}, {32, 0, 16352, 0, 13}};
  for (const auto& pieces : splits) {
    for (bool inDecrypt : {false, true}) {
      std::string out(plain.size(), '\0');
      const std::string& src = inDecrypt ? whole : plain;
      bf.ResetChain();
      size_t at = 0;
      for (size_t n : pieces) {
        if (inDecrypt)
          decrypt(bf, GetParam(), src.data() + at, out.data() + at, n);
        else
          encrypt(bf, GetParam(), src.data() + at, out.data() + at, n);
        at += n;
      }
      ASSERT_EQ(at, plain.size());
      EXPECT_EQ(out, inDecrypt ? plain : whole) << pieces.size() << " pieces, decrypt=" << inDecrypt;
    }
  }
  if (GetParam() == Mode::Cfb8) {  // byte by byte too
    std::string out(plain.size(), '\0');
    bf.ResetChain();
    for (size_t i = 0; i < plain.size(); ++i) bf.EncryptCFB8(&plain[i], &out[i], 1);
    EXPECT_EQ(out, whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, ChainProperties, ::testing::Values(Mode::Cbc, Mode::Cfb8),
                         [](const auto& info) { return info.param == Mode::Cbc ? "Cbc" : "Cfb8"; });

// CBC decryption works on several blocks at a time; a corrupted block must
// spoil only itself and the next one, as in any CBC.
TEST(Blowfish, CbcDecryptErrorPropagation) {
  TDCP_blowfish bf;
  keyed(bf);
  const std::string plain = crypto_test::pattern(96);
  std::string c = plain;
  bf.EncryptCBC(c.data(), c.data(), c.size());
  for (size_t block = 0; block < 12; ++block) {
    std::string bad = c;
    bad[block * 8 + 3] ^= 0x40;
    bf.ResetChain();
    bf.DecryptCBC(bad.data(), bad.data(), bad.size());
    for (size_t b = 0; b < 12; ++b) {
      const bool same = bad.compare(b * 8, 8, plain, b * 8, 8) == 0;
      EXPECT_EQ(same, b != block && b != block + 1) << "corrupt " << block << ", block " << b;
    }
  }
}

// CBC encryption has a processor-specific variant; both variants give the
// same bytes as the portable code for every length and split.
TEST(Blowfish, FastAndPortableCbcAgree) {
  if (!detail::BlowfishFastPathAvailable()) GTEST_SKIP() << "no processor-specific variant here";
  struct Restore {
    ~Restore() { detail::SetBlowfishFastPath(true); }
  } restore;
  TDCP_blowfish bf;
  keyed(bf, std::string(32, '\x5A'));
  const std::string plain = crypto_test::pattern(4099);
  for (size_t n : {0, 7, 8, 9, 64, 1000, 4099}) {
    std::string fast = plain.substr(0, n), portable = fast;
    detail::SetBlowfishFastPath(true);
    bf.ResetChain();
    bf.EncryptCBC(fast.data(), fast.data(), n);
    detail::SetBlowfishFastPath(false);
    bf.ResetChain();
    bf.EncryptCBC(portable.data(), portable.data(), n);
    EXPECT_EQ(fast, portable) << n;
  }
}
