// Base64 codec. Encoding is standard (RFC 4648, no line breaks). Decoding
// accepts every text whose length is a multiple of 4:
//  - "A".."Z", "a".."z", "0".."9", "+" have their usual values; every other
//    character, "/" and a misplaced "=" included, counts as 63;
//  - only the last group may be short: "xx==" gives one byte, "xxx=" two;
//  - bits beyond the bytes a group yields are ignored.
#include "core/crypto/base64.h"

#include <array>
#include <cstdint>

#include "core/crypto/crypto_error.h"

namespace tolvan {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = 63;
  for (int i = 0; i < 62; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  t['+'] = 62;
  return t;
}
constexpr auto kDecode = makeDecodeTable();

inline std::uint32_t value(char c) { return kDecode[static_cast<unsigned char>(c)]; }

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  const std::size_t n = bytes.size();
  std::string out;
  out.resize((n + 2) / 3 * 4);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3, o += 4) {
    const std::uint32_t v = (std::uint32_t(p[i]) << 16) | (std::uint32_t(p[i + 1]) << 8) | p[i + 2];
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const std::uint32_t v = std::uint32_t(p[i]) << 16;
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = '=';
    o[3] = '=';
  } else if (n - i == 2) {
    const std::uint32_t v = (std::uint32_t(p[i]) << 16) | (std::uint32_t(p[i + 1]) << 8);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
    o[3] = '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  const std::size_t n = text.size();
  if (n % 4 != 0) throw CryptoError("Base64: Incorrect string format");
  std::string out;
  if (n == 0) return out;
  // The last group decides how many bytes it yields; "=" is a padding mark
  // only in its third or fourth place there.
  const char* last = text.data() + n - 4;
  const std::size_t lastBytes = last[2] == '=' ? 1 : last[3] == '=' ? 2 : 3;
  out.resize((n / 4 - 1) * 3 + lastBytes);
  char* o = out.data();
  const char* s = text.data();
  for (const char* end = last; s < end; s += 4, o += 3) {
    const std::uint32_t v = (value(s[0]) << 18) | (value(s[1]) << 12) | (value(s[2]) << 6) | value(s[3]);
    o[0] = static_cast<char>(v >> 16);
    o[1] = static_cast<char>(v >> 8);
    o[2] = static_cast<char>(v);
  }
  const std::uint32_t v = (value(s[0]) << 18) | (value(s[1]) << 12) |
                          (lastBytes >= 2 ? value(s[2]) << 6 : 0) | (lastBytes == 3 ? value(s[3]) : 0);
  o[0] = static_cast<char>(v >> 16);
  if (lastBytes >= 2) o[1] = static_cast<char>(v >> 8);
  if (lastBytes == 3) o[2] = static_cast<char>(v);
  return out;
}

}  // namespace tolvan
