// CRC-32: the check value, agreement of the three routines on every length
// and alignment, and the file checksum with its silent failures.
#include "core/crypto/crc32.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "test_util.h"

using namespace tolvan;

namespace {
std::uint32_t crcOf(std::string_view s) { return ~UpdateCRC32(0xFFFFFFFF, s.data(), s.size()); }
}  // namespace

TEST(Crc32, KnownValues) {
  EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(crcOf(""), 0u);
  EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(crcOf(std::string(1 << 20, '\0')), 0xA738EA1Cu);  // long enough for the fast path
  EXPECT_EQ(UpdateCRC32(0x12345678, "", 0), 0x12345678u);
  EXPECT_EQ(CrcMessage("/tmp/a b", 0xCBF43926), "CRC of /tmp/a b is CBF43926");
  EXPECT_EQ(CrcMessage("x", 0xAB), "CRC of x is 000000AB");
}

// Every method this processor runs (tables; carry-less multiply 128 and 512
// bits wide) agrees with the byte-at-a-time definition for every length up
// to 3000 (past several steps of the widest folding loop), at every
// alignment, from any starting register, and when a buffer is fed in parts.
TEST(Crc32, MethodsAgree) {
  std::mt19937 rng(7);
  std::string buf(3000 + 16, '\0');
  for (auto& c : buf) c = static_cast<char>(rng());
  const std::uint32_t starts[] = {0xFFFFFFFF, 0, 0x89ABCDEF};
  const auto methods = AvailableCrc32Methods();
  EXPECT_EQ(methods.front(), Crc32Method::Tables);
  EXPECT_EQ(ChosenCrc32Method(), methods.back());
  for (Crc32Method m : methods) {
    SCOPED_TRACE(Crc32MethodName(m));
    for (size_t n = 0; n <= 3000; n += (n < 1100 ? 1 : 7)) {
      for (size_t align : {0, 1, 5, 8}) {
        const char* p = buf.data() + align;
        for (std::uint32_t reg : starts)
          ASSERT_EQ(UpdateCRC32With(m, reg, p, n), UpdateCRC32Bytewise(reg, p, n)) << n << " at " << align;
      }
      const size_t cut = n / 3;
      ASSERT_EQ(UpdateCRC32With(m, UpdateCRC32With(m, 0xFFFFFFFF, buf.data(), cut), buf.data() + cut, n - cut),
                UpdateCRC32Bytewise(0xFFFFFFFF, buf.data(), n));
    }
  }
  const std::string s = buf.substr(0, 2999);
  EXPECT_EQ(UpdateCRC32(1, s.data(), s.size()), UpdateCRC32Portable(1, s.data(), s.size()));
}

TEST(Crc32, FileChecksum) {
  crypto_test::TempDir dir;
  struct Case {
    std::string content;
    std::uint32_t crc;
  };
  std::string big(3 * 256 * 1024 + 77, '\0');  // several read pieces
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 9));
  const Case cases[] = {
      {"", 0},
      {"123456789", 0xCBF43926},
      {big, ~UpdateCRC32Bytewise(0xFFFFFFFF, big.data(), big.size())},
  };
  for (const auto& c : cases) {
    const std::string f = dir.file("f.bin");
    crypto_test::writeFile(f, c.content);
    std::uint32_t crc = 0x5A5A5A5A;
    ASSERT_TRUE(FileCRC32(f, crc)) << c.content.size();
    EXPECT_EQ(crc, c.crc) << c.content.size();
  }
}

// Missing files and folders give no CRC and leave the output alone; a
// read-only file (no write permission bit, also for root) gets its CRC, as
// the window's checksum gives it.
TEST(Crc32, FileChecksumNeedsOnlyReadAccess) {
  crypto_test::TempDir dir;
  const std::string ro = dir.file("readonly.txt");
  crypto_test::writeFile(ro, "123456789");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  std::uint32_t crc = 0;
  std::string why;
  EXPECT_TRUE(FileCRC32(ro, crc, &why)) << why;
  EXPECT_EQ(crc, 0xCBF43926u);
  for (const std::string& name : {dir.file("missing"), dir.path().string(), std::string()}) {
    crc = 0x5A5A5A5A;
    EXPECT_FALSE(FileCRC32(name, crc)) << name;
    EXPECT_EQ(crc, 0x5A5A5A5Au);
  }
}

// The window's checksum needs only read access: a read-only file gets its
// CRC, progress reaches the size, and a file that cannot be read gets one
// line naming it. /proc/self/mem is a regular file whose first page cannot
// be read, even by root.
TEST(Crc32, ReadableFileChecksum) {
  crypto_test::TempDir dir;
  const std::string ro = dir.file("readonly.txt");
  crypto_test::writeFile(ro, "123456789");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
  std::uint32_t crc = 0;
  std::string error;
  std::uint64_t lastDone = 0, lastTotal = 0;
  ASSERT_TRUE(ReadFileCRC32(ro, crc, error, [&](std::uint64_t d, std::uint64_t t) {
    lastDone = d;
    lastTotal = t;
  })) << error;
  EXPECT_EQ(crc, 0xCBF43926u);
  EXPECT_EQ(lastDone, 9u);
  EXPECT_EQ(lastTotal, 9u);

  struct Bad {
    std::string name;
    std::string reason;
  };
  const Bad bad[] = {{dir.file("missing"), "No such file or directory"},
                     {dir.path().string(), "Is a directory"},
                     {"/proc/self/mem", "Input/output error"}};
  for (const auto& b : bad) {
    crc = 0x5A5A5A5A;
    error.clear();
    EXPECT_FALSE(ReadFileCRC32(b.name, crc, error)) << b.name;
    EXPECT_EQ(crc, 0x5A5A5A5Au);
    EXPECT_EQ(error, "Unable to read the file \"" + b.name + "\": " + b.reason);
  }
}
