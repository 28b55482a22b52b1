// CRC-32 three ways, all giving the same register:
//  - bytewise: the 256-entry table, one byte per step;
//  - portable: sixteen tables, sixteen bytes per step;
//  - clmul: 128-bit carry-less multiplication folding, on x86-64 processors
//    that have PCLMULQDQ, and the same four lanes wide with VPCLMULQDQ and
//    AVX-512 where those exist; the fastest available is chosen at run time.
//
// Folding, in short: a 128-bit piece A of the message that is followed by D
// more bits contributes A(x)*x^D to the message polynomial, and only its
// residue mod P matters. Split A into its first and second 64 bits; each half
// times a 32-bit constant (x^k mod P) is a polynomial below degree 96 that is
// congruent to that half moved forward by D bits, so the two products XORed
// with the 128-bit piece D bits later carry the whole state forward. At the
// end the last 128 bits left over go through the table routine.
#include "core/crypto/crc32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/crypto/file_lock.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TOLVAN_CRC_X86 1
#endif

namespace tolvan {
namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

constexpr u32 kReflectedPoly = 0xEDB88320;

// kTables[0] is the standard table (entry i: the register after byte i from
// a zero register); kTables[k][i] is byte i followed by k zero bytes.
constexpr std::array<std::array<u32, 256>, 16> makeTables() {
  std::array<std::array<u32, 256>, 16> t{};
  for (u32 i = 0; i < 256; ++i) {
    u32 c = i;
    for (int b = 0; b < 8; ++b) c = (c & 1) ? (c >> 1) ^ kReflectedPoly : c >> 1;
    t[0][i] = c;
  }
  for (int k = 1; k < 16; ++k)
    for (u32 i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}
constexpr auto kTables = makeTables();
static_assert(kTables[0][1] == 0x77073096 && kTables[0][255] == 0x2D02EF8D);

inline u32 bytewise(u32 reg, const unsigned char* p, std::size_t n) {
  for (; n > 0; --n) reg = (reg >> 8) ^ kTables[0][(reg ^ *p++) & 0xFF];
  return reg;
}

inline u64 loadLE64(const unsigned char* p) {
  u64 v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Sixteen bytes per step: sixteen independent lookups, XORed together.
u32 sliced(u32 reg, const unsigned char* p, std::size_t n) {
  for (; n >= 16; n -= 16, p += 16) {
    const u64 a = loadLE64(p) ^ reg, b = loadLE64(p + 8);
    reg = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^ kTables[13][(a >> 16) & 0xFF] ^
          kTables[12][(a >> 24) & 0xFF] ^ kTables[11][(a >> 32) & 0xFF] ^ kTables[10][(a >> 40) & 0xFF] ^
          kTables[9][(a >> 48) & 0xFF] ^ kTables[8][a >> 56] ^ kTables[7][b & 0xFF] ^
          kTables[6][(b >> 8) & 0xFF] ^ kTables[5][(b >> 16) & 0xFF] ^ kTables[4][(b >> 24) & 0xFF] ^
          kTables[3][(b >> 32) & 0xFF] ^ kTables[2][(b >> 40) & 0xFF] ^ kTables[1][(b >> 48) & 0xFF] ^
          kTables[0][b >> 56];
  }
  for (; n >= 8; n -= 8, p += 8) {
    const u64 v = loadLE64(p) ^ reg;
    reg = kTables[7][v & 0xFF] ^ kTables[6][(v >> 8) & 0xFF] ^ kTables[5][(v >> 16) & 0xFF] ^
          kTables[4][(v >> 24) & 0xFF] ^ kTables[3][(v >> 32) & 0xFF] ^ kTables[2][(v >> 40) & 0xFF] ^
          kTables[1][(v >> 48) & 0xFF] ^ kTables[0][v >> 56];
  }
  return bytewise(reg, p, n);
}

#ifdef TOLVAN_CRC_X86

// x^n mod P for the (unreflected) polynomial 0x104C11DB7, then bit-reversed
// so that bit i stands for x^(31-i), the order the reflected data uses.
constexpr u64 xPowModReflected(int n) {
  u32 r = 1;
  for (int i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
  u32 out = 0;
  for (int i = 0; i < 32; ++i)
    if (r & (1u << i)) out |= 1u << (31 - i);
  return out;
}

// Constants that move a 128-bit piece forward by d bits: the first 64 bits
// need x^(d+64) and the second x^d; the 33-bit shift of a 64x32-bit
// carry-less product read as a 128-bit piece takes the rest.
struct FoldConstants {
  u64 first, second;
};
constexpr FoldConstants foldBy(int d) { return {xPowModReflected(d + 31), xPowModReflected(d - 33)}; }
constexpr FoldConstants kFold128 = foldBy(128);
constexpr FoldConstants kFold1024 = foldBy(1024);

#define TOLVAN_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

TOLVAN_CLMUL_TARGET inline __m128i fold(__m128i acc, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(acc, k, 0x00), _mm_clmulepi64_si128(acc, k, 0x11)),
                       next);
}

TOLVAN_CLMUL_TARGET inline __m128i load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::always_inline]] TOLVAN_CLMUL_TARGET inline u32 clmulBody(u32 reg, const unsigned char* p, std::size_t n) {
  if (n < 256) return sliced(reg, p, n);
  const __m128i k1024 = _mm_set_epi64x(static_cast<long long>(kFold1024.second),
                                       static_cast<long long>(kFold1024.first));
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128.second),
                                      static_cast<long long>(kFold128.first));
  // Eight lanes of 16 bytes each fold over 128 bytes per step, so the
  // multiplications of one step do not wait for each other. The register
  // enters as an XOR into the first four message bytes.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  __m128i x4 = load(p + 64), x5 = load(p + 80), x6 = load(p + 96), x7 = load(p + 112);
  p += 128;
  n -= 128;
  for (; n >= 128; n -= 128, p += 128) {
    x0 = fold(x0, k1024, load(p));
    x1 = fold(x1, k1024, load(p + 16));
    x2 = fold(x2, k1024, load(p + 32));
    x3 = fold(x3, k1024, load(p + 48));
    x4 = fold(x4, k1024, load(p + 64));
    x5 = fold(x5, k1024, load(p + 80));
    x6 = fold(x6, k1024, load(p + 96));
    x7 = fold(x7, k1024, load(p + 112));
  }
  __m128i acc = fold(x0, k128, x1);
  acc = fold(acc, k128, x2);
  acc = fold(acc, k128, x3);
  acc = fold(acc, k128, x4);
  acc = fold(acc, k128, x5);
  acc = fold(acc, k128, x6);
  acc = fold(acc, k128, x7);
  for (; n >= 16; n -= 16, p += 16) acc = fold(acc, k128, load(p));
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), acc);
  // rest is congruent to everything so far, so its CRC from a zero register
  // is the register after it.
  return sliced(sliced(0, rest, 16), p, n);
}

TOLVAN_CLMUL_TARGET u32 clmulSse(u32 reg, const unsigned char* p, std::size_t n) { return clmulBody(reg, p, n); }

// The same code in the three-operand AVX encoding, which saves the register
// copies the two-operand SSE forms need.
__attribute__((target("avx,pclmul,sse4.1"))) u32 clmulAvx(u32 reg, const unsigned char* p, std::size_t n) {
  return clmulBody(reg, p, n);
}

constexpr FoldConstants kFold512 = foldBy(512);
constexpr FoldConstants kFold2048 = foldBy(2048);

#define TOLVAN_CLMUL512_TARGET __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

// The same folding four 128-bit lanes to a 512-bit register: four registers
// fold over 256 bytes per step, then are folded into one, whose four lanes
// are folded into one 128-bit value for the ending above.
TOLVAN_CLMUL512_TARGET inline __m512i fold512(__m512i acc, __m512i k, __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(acc, k, 0x00), _mm512_clmulepi64_epi128(acc, k, 0x11),
                                   next, 0x96);  // three-way XOR
}

TOLVAN_CLMUL512_TARGET inline __m512i load512(const unsigned char* p) { return _mm512_loadu_si512(p); }

TOLVAN_CLMUL512_TARGET inline __m512i broadcast(FoldConstants k) {
  const auto a = static_cast<long long>(k.first), b = static_cast<long long>(k.second);
  return _mm512_set_epi64(b, a, b, a, b, a, b, a);
}

TOLVAN_CLMUL512_TARGET u32 clmul512(u32 reg, const unsigned char* p, std::size_t n) {
  if (n < 1024) return clmulAvx(reg, p, n);
  const __m512i k2048 = broadcast(kFold2048), k512 = broadcast(kFold512);
  __m512i x0 = _mm512_xor_si512(load512(p), _mm512_maskz_set1_epi32(1, static_cast<int>(reg)));
  __m512i x1 = load512(p + 64), x2 = load512(p + 128), x3 = load512(p + 192);
  p += 256;
  n -= 256;
  for (; n >= 256; n -= 256, p += 256) {
    x0 = fold512(x0, k2048, load512(p));
    x1 = fold512(x1, k2048, load512(p + 64));
    x2 = fold512(x2, k2048, load512(p + 128));
    x3 = fold512(x3, k2048, load512(p + 192));
  }
  __m512i acc = fold512(x0, k512, x1);
  acc = fold512(acc, k512, x2);
  acc = fold512(acc, k512, x3);
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128.second),
                                      static_cast<long long>(kFold128.first));
  alignas(64) __m128i lanes[4];
  _mm512_store_si512(lanes, acc);
  __m128i r = fold(lanes[0], k128, lanes[1]);
  r = fold(r, k128, lanes[2]);
  r = fold(r, k128, lanes[3]);
  for (; n >= 16; n -= 16, p += 16) r = fold(r, k128, load(p));
  alignas(16) unsigned char rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), r);
  // Clear the upper halves of the vector registers (the compiler does not
  // do it here): dirty upper state slows later SSE code, ours or a caller's.
  _mm256_zeroupper();
  return sliced(sliced(0, rest, 16), p, n);
}

bool cpuHas(Crc32Method m) {
  __builtin_cpu_init();
  const bool pclmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  if (m == Crc32Method::Clmul) return pclmul;
  if (m == Crc32Method::ClmulAvx) return pclmul && __builtin_cpu_supports("avx");
  return pclmul && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
         __builtin_cpu_supports("vpclmulqdq");
}

#endif  // TOLVAN_CRC_X86

using CrcFn = u32 (*)(u32, const unsigned char*, std::size_t);

CrcFn routineOf(Crc32Method m) {
#ifdef TOLVAN_CRC_X86
  if (m == Crc32Method::Clmul) return clmulSse;
  if (m == Crc32Method::ClmulAvx) return clmulAvx;
  if (m == Crc32Method::Clmul512) return clmul512;
#endif
  (void)m;
  return sliced;
}

const std::vector<Crc32Method>& available() {
  static const std::vector<Crc32Method> methods = [] {
    std::vector<Crc32Method> v{Crc32Method::Tables};
#ifdef TOLVAN_CRC_X86
    for (auto m : {Crc32Method::Clmul, Crc32Method::ClmulAvx, Crc32Method::Clmul512})
      if (cpuHas(m)) v.push_back(m);
#endif
    return v;
  }();
  return methods;
}

// Chosen once, on first use (no dependence on static initialisation order).
CrcFn crcRoutine() {
  static const CrcFn fn = routineOf(available().back());
  return fn;
}

}  // namespace

std::uint32_t UpdateCRC32(std::uint32_t reg, const void* buf, std::size_t count) {
  return crcRoutine()(reg, static_cast<const unsigned char*>(buf), count);
}

std::uint32_t UpdateCRC32Portable(std::uint32_t reg, const void* buf, std::size_t count) {
  return sliced(reg, static_cast<const unsigned char*>(buf), count);
}

std::uint32_t UpdateCRC32Bytewise(std::uint32_t reg, const void* buf, std::size_t count) {
  return bytewise(reg, static_cast<const unsigned char*>(buf), count);
}

const char* Crc32MethodName(Crc32Method m) {
  switch (m) {
    case Crc32Method::Clmul: return "carry-less multiply, 128 bits";
    case Crc32Method::ClmulAvx: return "carry-less multiply, 128 bits, AVX encoding";
    case Crc32Method::Clmul512: return "carry-less multiply, 512 bits";
    case Crc32Method::Tables: break;
  }
  return "tables";
}

std::vector<Crc32Method> AvailableCrc32Methods() { return available(); }

Crc32Method ChosenCrc32Method() { return available().back(); }

std::uint32_t UpdateCRC32With(Crc32Method m, std::uint32_t reg, const void* buf, std::size_t count) {
  return routineOf(m)(reg, static_cast<const unsigned char*>(buf), count);
}

bool FileCRC32(const std::string& name, std::uint32_t& crc) { return FileCRC32(name, crc, nullptr); }

bool FileCRC32(const std::string& name, std::uint32_t& crc, std::string* why) {
  auto failed = [&](std::string reason) {
    if (why) *why = std::move(reason);
    return false;
  };
  FileLock lock;
  if (lock.acquire(name, FileLock::Mode::Shared) == FileLock::Result::Busy) return failed(FileBusyMessage(name));
  // Read access is all a checksum needs, here as in the window: a read-only
  // file gets its CRC too.
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return failed("cannot open " + name + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return failed(name + " is not a regular file");
  if (lock.held() && !lock.sameFile(fd)) return failed(FileBusyMessage(name));
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  constexpr std::size_t kPiece = 256 * 1024;
  std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[kPiece]);
  if (!buf) return failed("out of memory");
  u32 reg = 0xFFFFFFFF;
  for (;;) {
    const ssize_t got = ::read(fd, buf.get(), kPiece);
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed("cannot read " + name + ": " + std::strerror(errno));
    }
    if (got == 0) break;
    reg = UpdateCRC32(reg, buf.get(), static_cast<std::size_t>(got));
  }
  crc = ~reg;
  return true;
}

bool ReadFileCRC32(const std::string& name, std::uint32_t& crc, std::string& error,
                   const FileCrcProgress& progress) {
  auto fail = [&](int err) {
    error = "Unable to read the file \"" + name + "\": " + std::strerror(err);
    return false;
  };
  struct Fd {
    int fd;
    ~Fd() {
      if (fd >= 0) ::close(fd);
    }
  } in{::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
  if (in.fd < 0) return fail(errno);
  struct stat st;
  if (::fstat(in.fd, &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode)) return fail(EISDIR);
  ::posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  constexpr std::size_t kPiece = 256 * 1024;
  std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[kPiece]);
  if (!buf) return fail(ENOMEM);
  const auto total = static_cast<std::uint64_t>(st.st_size);
  std::uint64_t done = 0;
  u32 reg = 0xFFFFFFFF;
  for (;;) {
    const ssize_t got = ::read(in.fd, buf.get(), kPiece);
    if (got < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    if (got == 0) break;
    reg = UpdateCRC32(reg, buf.get(), static_cast<std::size_t>(got));
    done += static_cast<std::uint64_t>(got);
    if (progress) progress(done, total);
  }
  crc = ~reg;
  return true;
}

std::string CrcMessage(const std::string& name, std::uint32_t crc) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", crc);
  return "CRC of " + name + " is " + hex;
}

}  // namespace tolvan
