// Blowfish (16 rounds, 64-bit block, keys of 8 to 448 bits) with CBC and
// 8-bit CFB chaining.
//
// A block is two 32-bit halves read big-endian (left = bytes 0..3), so the
// published test vectors hold byte for byte. The round function is written
// out in full: the encryption of a chain is one long dependency chain, and
// the compiler schedules straight-line code best. CBC decryption has no such
// chain (every block needs only its own ciphertext and the one before), so
// it works on four blocks at once to keep the load units busy.
#include "core/crypto/blowfish.h"

#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/crypto/blowfish_tables.h"
#include "core/crypto/crypto_error.h"
#include "core/crypto/sha1.h"
#include "core/crypto/wipe.h"

namespace tolvan {
namespace {

using u32 = std::uint32_t;
using SBoxes = u32[4][256];

constexpr char kNotInitialized[] = "Blowfish: Not initialized";

inline u32 loadBE(const unsigned char* p) {
  u32 v;
  std::memcpy(&v, p, 4);
  return __builtin_bswap32(v);
}

inline void storeBE(unsigned char* p, u32 v) {
  v = __builtin_bswap32(v);
  std::memcpy(p, &v, 4);
}

#define BF_F(S, x) \
  ((((S)[0][(x) >> 24] + (S)[1][((x) >> 16) & 0xFF]) ^ (S)[2][((x) >> 8) & 0xFF]) + (S)[3][(x)&0xFF])

// The sixteen rounds between the whitening with P[0] and P[17].
#define BF_ENCRYPT_ROUNDS(F)                                              \
  r ^= F(S, l) ^ P[1];  l ^= F(S, r) ^ P[2];  r ^= F(S, l) ^ P[3];         \
  l ^= F(S, r) ^ P[4];  r ^= F(S, l) ^ P[5];  l ^= F(S, r) ^ P[6];         \
  r ^= F(S, l) ^ P[7];  l ^= F(S, r) ^ P[8];  r ^= F(S, l) ^ P[9];         \
  l ^= F(S, r) ^ P[10]; r ^= F(S, l) ^ P[11]; l ^= F(S, r) ^ P[12];        \
  r ^= F(S, l) ^ P[13]; l ^= F(S, r) ^ P[14]; r ^= F(S, l) ^ P[15];        \
  l ^= F(S, r) ^ P[16];

// One block through the 16 rounds; (l, r) in, (l, r) out.
[[gnu::always_inline]] inline void encryptLR(const u32* P, const SBoxes& S, u32& L, u32& R) {
  u32 l = L ^ P[0], r = R;
  BF_ENCRYPT_ROUNDS(BF_F)
  L = r ^ P[17];
  R = l;
}

// CBC encryption of whole blocks, chaining value in (l, r). One chain runs
// through every block, so the time is the length of that chain: the round
// function's critical path is index extraction, table load, add, xor, add,
// xor. The XORs between blocks are folded so only one of them sits on the
// chain: the next block's input is r ^ (P[17] ^ P[0] ^ plaintext).
#define BF_CBC_ENCRYPT_BODY(F)                                 \
  const u32 p17p0 = P[17] ^ P[0];                              \
  u32 cr = l ^ P[17], cl = r; /* chain before the whitening */ \
  for (; blocks > 0; --blocks, src += 8, dst += 8) {           \
    u32 l = cr ^ (loadBE(src) ^ p17p0);                        \
    u32 r = cl ^ loadBE(src + 4);                              \
    BF_ENCRYPT_ROUNDS(F)                                       \
    storeBE(dst, r ^ P[17]);                                   \
    storeBE(dst + 4, l);                                       \
    cr = r;                                                    \
    cl = l;                                                    \
  }                                                            \
  l = cr ^ P[17];                                              \
  r = cl;

void cbcEncryptBlocks(const u32* P, const SBoxes& S, const unsigned char* src, unsigned char* dst,
                      std::size_t blocks, u32& l, u32& r) {
  BF_CBC_ENCRYPT_BODY(BF_F)
}

#if defined(__x86_64__)
// The same with BEXTR for the second byte: one instruction where shift and
// zero-extend are two, and that byte is on the critical path. Chosen at run
// time on processors with BMI1.
#define BF_F_BEXTR(S, x) \
  ((((S)[0][(x) >> 24] + (S)[1][_bextr_u32((x), 16, 8)]) ^ (S)[2][((x) >> 8) & 0xFF]) + (S)[3][(x)&0xFF])

__attribute__((target("bmi"))) void cbcEncryptBlocksBextr(const u32* P, const SBoxes& S,
                                                          const unsigned char* src, unsigned char* dst,
                                                          std::size_t blocks, u32& l, u32& r) {
  BF_CBC_ENCRYPT_BODY(BF_F_BEXTR)
}

bool cpuHasBmi() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi");
}
#endif

bool fastPathAvailable() {
#if defined(__x86_64__)
  static const bool bextr = cpuHasBmi();
  return bextr;
#else
  return false;
#endif
}

bool fastPathAllowed = true;

void cbcEncrypt(const u32* P, const SBoxes& S, const unsigned char* src, unsigned char* dst, std::size_t blocks,
                u32& l, u32& r) {
#if defined(__x86_64__)
  if (fastPathAllowed && fastPathAvailable()) return cbcEncryptBlocksBextr(P, S, src, dst, blocks, l, r);
#endif
  cbcEncryptBlocks(P, S, src, dst, blocks, l, r);
}

[[gnu::always_inline]] inline void decryptLR(const u32* P, const SBoxes& S, u32& L, u32& R) {
  u32 l = L ^ P[17], r = R;
  r ^= BF_F(S, l) ^ P[16];
  l ^= BF_F(S, r) ^ P[15];
  r ^= BF_F(S, l) ^ P[14];
  l ^= BF_F(S, r) ^ P[13];
  r ^= BF_F(S, l) ^ P[12];
  l ^= BF_F(S, r) ^ P[11];
  r ^= BF_F(S, l) ^ P[10];
  l ^= BF_F(S, r) ^ P[9];
  r ^= BF_F(S, l) ^ P[8];
  l ^= BF_F(S, r) ^ P[7];
  r ^= BF_F(S, l) ^ P[6];
  l ^= BF_F(S, r) ^ P[5];
  r ^= BF_F(S, l) ^ P[4];
  l ^= BF_F(S, r) ^ P[3];
  r ^= BF_F(S, l) ^ P[2];
  l ^= BF_F(S, r) ^ P[1];
  L = r ^ P[0];
  R = l;
}

// Four independent blocks through the decryption rounds, interleaved.
#define BF_DROUND4(a, b, k)                         \
  a##0 ^= BF_F(S, b##0) ^ P[k];                     \
  a##1 ^= BF_F(S, b##1) ^ P[k];                     \
  a##2 ^= BF_F(S, b##2) ^ P[k];                     \
  a##3 ^= BF_F(S, b##3) ^ P[k];

[[gnu::always_inline]] inline void decrypt4(const u32* P, const SBoxes& S, u32 (&L)[4], u32 (&R)[4]) {
  u32 l0 = L[0] ^ P[17], l1 = L[1] ^ P[17], l2 = L[2] ^ P[17], l3 = L[3] ^ P[17];
  u32 r0 = R[0], r1 = R[1], r2 = R[2], r3 = R[3];
  BF_DROUND4(r, l, 16) BF_DROUND4(l, r, 15) BF_DROUND4(r, l, 14) BF_DROUND4(l, r, 13)
  BF_DROUND4(r, l, 12) BF_DROUND4(l, r, 11) BF_DROUND4(r, l, 10) BF_DROUND4(l, r, 9)
  BF_DROUND4(r, l, 8)  BF_DROUND4(l, r, 7)  BF_DROUND4(r, l, 6)  BF_DROUND4(l, r, 5)
  BF_DROUND4(r, l, 4)  BF_DROUND4(l, r, 3)  BF_DROUND4(r, l, 2)  BF_DROUND4(l, r, 1)
  L[0] = r0 ^ P[0];
  L[1] = r1 ^ P[0];
  L[2] = r2 ^ P[0];
  L[3] = r3 ^ P[0];
  R[0] = l0;
  R[1] = l1;
  R[2] = l2;
  R[3] = l3;
}

#undef BF_DROUND4

}  // namespace

// ---------------------------------------------------------------------------
// TDCP_blockcipher

void TDCP_blockcipher::InitFromPassphrase(std::string_view passphrase) {
  TDCP_sha1 hash;
  hash.Init();
  hash.UpdateString(passphrase);
  unsigned char digest[TDCP_sha1::kDigestBytes];
  hash.Final(digest);
  const int bits = MaxKeySize() >= hash.HashSize() ? hash.HashSize() : MaxKeySize();
  try {
    Init(digest, bits, nullptr);
  } catch (...) {
    SecureFill(digest, sizeof digest, 0xFF);
    throw;
  }
  SecureFill(digest, sizeof digest, 0xFF);
}

// ---------------------------------------------------------------------------
// TDCP_blowfish

TDCP_blowfish::TDCP_blowfish() : TDCP_blockcipher("Blowfish", 64, 448) { Wipe(); }

TDCP_blowfish::~TDCP_blowfish() { Wipe(); }

void TDCP_blowfish::checkInitialized() const {
  if (!initialized_) throw CryptoError(kNotInitialized);
}

void TDCP_blowfish::Init(const void* key, int sizeBits, const void* iv) {
  if (initialized_) Wipe();
  if (sizeBits <= 0 || sizeBits > MaxKeySize() || sizeBits % 8 != 0)
    throw CryptoError("Blowfish: Invalid key size - " + std::to_string(sizeBits));
  const auto* k = static_cast<const unsigned char*>(key);
  const int n = sizeBits / 8;

  std::memcpy(ks_.P, detail::kBlowfishInitP, sizeof ks_.P);
  std::memcpy(ks_.S, detail::kBlowfishInitS, sizeof ks_.S);
  // The key, repeated as often as needed, is XORed into the P-array one
  // big-endian word at a time.
  int j = 0;
  for (int i = 0; i < 18; ++i) {
    u32 w = 0;
    for (int b = 0; b < 4; ++b) {
      w = (w << 8) | k[j];
      j = (j + 1) % n;
    }
    ks_.P[i] ^= w;
  }
  // Then the tables are replaced, in order, by successive encryptions of an
  // all-zero block under the tables as they stand so far.
  u32 l = 0, r = 0;
  for (int i = 0; i < 18; i += 2) {
    encryptLR(ks_.P, ks_.S, l, r);
    ks_.P[i] = l;
    ks_.P[i + 1] = r;
  }
  for (int s = 0; s < 4; ++s) {
    for (int i = 0; i < 256; i += 2) {
      encryptLR(ks_.P, ks_.S, l, r);
      ks_.S[s][i] = l;
      ks_.S[s][i + 1] = r;
    }
  }

  if (iv) {
    std::memcpy(iv_, iv, 8);
  } else {
    u32 a = 0xFFFFFFFF, b = 0xFFFFFFFF;
    encryptLR(ks_.P, ks_.S, a, b);
    storeBE(iv_, a);
    storeBE(iv_ + 4, b);
  }
  std::memcpy(cv_, iv_, 8);
  initialized_ = true;
}

void TDCP_blowfish::Wipe() {
  SecureFill(&ks_, sizeof ks_, 0xFF);
  SecureFill(iv_, sizeof iv_, 0xFF);
  SecureFill(cv_, sizeof cv_, 0xFF);
  initialized_ = false;
}

void TDCP_blowfish::ResetChain() { std::memcpy(cv_, iv_, 8); }

void TDCP_blowfish::EncryptBlock(const void* in, void* out) {
  checkInitialized();
  const auto* i = static_cast<const unsigned char*>(in);
  auto* o = static_cast<unsigned char*>(out);
  u32 l = loadBE(i), r = loadBE(i + 4);
  encryptLR(ks_.P, ks_.S, l, r);
  storeBE(o, l);
  storeBE(o + 4, r);
}

void TDCP_blowfish::DecryptBlock(const void* in, void* out) {
  checkInitialized();
  const auto* i = static_cast<const unsigned char*>(in);
  auto* o = static_cast<unsigned char*>(out);
  u32 l = loadBE(i), r = loadBE(i + 4);
  decryptLR(ks_.P, ks_.S, l, r);
  storeBE(o, l);
  storeBE(o + 4, r);
}

void TDCP_blowfish::EncryptCBC(const void* in, void* out, std::size_t size) {
  checkInitialized();
  const auto* src = static_cast<const unsigned char*>(in);
  auto* dst = static_cast<unsigned char*>(out);
  const u32* P = ks_.P;
  const SBoxes& S = ks_.S;
  u32 l = loadBE(cv_), r = loadBE(cv_ + 4);
  const std::size_t blocks = size / 8;
  cbcEncrypt(P, S, src, dst, blocks, l, r);
  src += blocks * 8;
  dst += blocks * 8;
  storeBE(cv_, l);
  storeBE(cv_ + 4, r);
  if (std::size_t rest = size % 8) {
    // Last partial block: XOR with the encrypted chaining value; the chain
    // itself does not move.
    encryptLR(P, S, l, r);
    unsigned char k[8];
    storeBE(k, l);
    storeBE(k + 4, r);
    for (std::size_t i = 0; i < rest; ++i) dst[i] = src[i] ^ k[i];
    SecureFill(k, sizeof k, 0xFF);
  }
}

void TDCP_blowfish::DecryptCBC(const void* in, void* out, std::size_t size) {
  checkInitialized();
  const auto* src = static_cast<const unsigned char*>(in);
  auto* dst = static_cast<unsigned char*>(out);
  const u32* P = ks_.P;
  const SBoxes& S = ks_.S;
  u32 cl = loadBE(cv_), cr = loadBE(cv_ + 4);  // previous ciphertext block
  std::size_t blocks = size / 8;
  // Every ciphertext block is read before the output bytes that may overlay
  // it are written, so in-place work is safe.
  for (; blocks >= 4; blocks -= 4, src += 32, dst += 32) {
    u32 L[4], R[4], cL[4], cR[4];
    for (int b = 0; b < 4; ++b) {
      cL[b] = L[b] = loadBE(src + 8 * b);
      cR[b] = R[b] = loadBE(src + 8 * b + 4);
    }
    decrypt4(P, S, L, R);
    storeBE(dst, L[0] ^ cl);
    storeBE(dst + 4, R[0] ^ cr);
    for (int b = 1; b < 4; ++b) {
      storeBE(dst + 8 * b, L[b] ^ cL[b - 1]);
      storeBE(dst + 8 * b + 4, R[b] ^ cR[b - 1]);
    }
    cl = cL[3];
    cr = cR[3];
  }
  for (; blocks > 0; --blocks, src += 8, dst += 8) {
    u32 l = loadBE(src), r = loadBE(src + 4);
    const u32 nl = l, nr = r;
    decryptLR(P, S, l, r);
    storeBE(dst, l ^ cl);
    storeBE(dst + 4, r ^ cr);
    cl = nl;
    cr = nr;
  }
  storeBE(cv_, cl);
  storeBE(cv_ + 4, cr);
  if (std::size_t rest = size % 8) {
    // The tail uses the encryption of the chaining value, as EncryptCBC did.
    encryptLR(P, S, cl, cr);
    unsigned char k[8];
    storeBE(k, cl);
    storeBE(k + 4, cr);
    for (std::size_t i = 0; i < rest; ++i) dst[i] = src[i] ^ k[i];
    SecureFill(k, sizeof k, 0xFF);
  }
}

void TDCP_blowfish::EncryptCFB8(const void* in, void* out, std::size_t size) {
  checkInitialized();
  const auto* src = static_cast<const unsigned char*>(in);
  auto* dst = static_cast<unsigned char*>(out);
  // The 64-bit register as one number, byte 0 in the high bits: shifting
  // left by 8 drops byte 0 and makes room for the new ciphertext byte.
  std::uint64_t reg = (std::uint64_t(loadBE(cv_)) << 32) | loadBE(cv_ + 4);
  for (std::size_t i = 0; i < size; ++i) {
    u32 l = static_cast<u32>(reg >> 32), r = static_cast<u32>(reg);
    encryptLR(ks_.P, ks_.S, l, r);
    const unsigned char c = src[i] ^ static_cast<unsigned char>(l >> 24);
    dst[i] = c;
    reg = (reg << 8) | c;
  }
  storeBE(cv_, static_cast<u32>(reg >> 32));
  storeBE(cv_ + 4, static_cast<u32>(reg));
}

void TDCP_blowfish::DecryptCFB8(const void* in, void* out, std::size_t size) {
  checkInitialized();
  const auto* src = static_cast<const unsigned char*>(in);
  auto* dst = static_cast<unsigned char*>(out);
  std::uint64_t reg = (std::uint64_t(loadBE(cv_)) << 32) | loadBE(cv_ + 4);
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned char c = src[i];  // read before out (maybe the same byte) is written
    u32 l = static_cast<u32>(reg >> 32), r = static_cast<u32>(reg);
    encryptLR(ks_.P, ks_.S, l, r);
    dst[i] = c ^ static_cast<unsigned char>(l >> 24);
    reg = (reg << 8) | c;
  }
  storeBE(cv_, static_cast<u32>(reg >> 32));
  storeBE(cv_ + 4, static_cast<u32>(reg));
}

namespace detail {
bool BlowfishFastPathAvailable() { return fastPathAvailable(); }
void SetBlowfishFastPath(bool allowed) { fastPathAllowed = allowed; }
}  // namespace detail

#undef BF_F
#undef BF_ENCRYPT_ROUNDS
#undef BF_CBC_ENCRYPT_BODY

}  // namespace tolvan
