// SHA-1 (FIPS 180-1): 80 steps over a 16-word block expanded with the
// one-bit rotation.
#include "core/crypto/sha1.h"

#include <algorithm>
#include <cstring>

#include "core/crypto/crypto_error.h"
#include "core/crypto/wipe.h"

namespace tolvan {
namespace {

constexpr char kNotInitialized[] = "SHA1: Not initialized";

inline std::uint32_t rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t loadBE(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

inline void storeBE(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

}  // namespace

TDCP_sha1::TDCP_sha1() : TDCP_hash("SHA1", 160) {}

TDCP_sha1::~TDCP_sha1() {
  if (initialized_) Wipe();
}

void TDCP_sha1::Init() {
  Wipe();
  hash_[0] = 0x67452301;
  hash_[1] = 0xEFCDAB89;
  hash_[2] = 0x98BADCFE;
  hash_[3] = 0x10325476;
  hash_[4] = 0xC3D2E1F0;
  initialized_ = true;
}

void TDCP_sha1::Wipe() {
  lenHi_ = lenLo_ = 0;
  index_ = 0;
  SecureFill(hash_, sizeof hash_, 0);
  SecureFill(buffer_, sizeof buffer_, 0);
  initialized_ = false;
}

void TDCP_sha1::Compress() {
  std::uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = loadBE(buffer_ + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = hash_[0], b = hash_[1], c = hash_[2], d = hash_[3], e = hash_[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    std::uint32_t t = rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotl(b, 30);
    b = a;
    a = t;
  }
  hash_[0] += a;
  hash_[1] += b;
  hash_[2] += c;
  hash_[3] += d;
  hash_[4] += e;
  SecureFill(w, sizeof w, 0);
  SecureFill(buffer_, sizeof buffer_, 0);
}

void TDCP_sha1::Update(const void* data, std::size_t size) {
  if (!initialized_) throw CryptoError(kNotInitialized);
  // The bit count lives in two 32-bit halves; adding as one 64-bit number
  // carries into the high half exactly when the low half wraps.
  std::uint64_t bits = (std::uint64_t(lenHi_) << 32) | lenLo_;
  bits += std::uint64_t(size) << 3;
  lenHi_ = static_cast<std::uint32_t>(bits >> 32);
  lenLo_ = static_cast<std::uint32_t>(bits);

  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    std::size_t n = std::min<std::size_t>(size, 64 - index_);
    std::memcpy(buffer_ + index_, p, n);
    index_ += static_cast<int>(n);
    p += n;
    size -= n;
    if (index_ == 64) {
      Compress();
      index_ = 0;
    }
  }
}

void TDCP_sha1::Final(void* digest) {
  if (!initialized_) throw CryptoError(kNotInitialized);
  buffer_[index_++] = 0x80;
  if (index_ > 56) {
    Compress();  // no room left for the length: it goes in a block of its own
    index_ = 0;
  }
  // Compress() leaves the buffer zeroed, so the padding bytes are already 0.
  storeBE(buffer_ + 56, lenHi_);
  storeBE(buffer_ + 60, lenLo_);
  Compress();
  auto* out = static_cast<unsigned char*>(digest);
  for (int i = 0; i < 5; ++i) storeBE(out + 4 * i, hash_[i]);
  Wipe();
}

std::string Sha1(std::string_view data) {
  TDCP_sha1 h;
  h.Init();
  h.UpdateString(data);
  std::string out(TDCP_sha1::kDigestBytes, '\0');
  h.Final(out.data());
  return out;
}

}  // namespace tolvan
