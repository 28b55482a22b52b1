// Fuzz target for Base64 decoding: any text either raises the format error
// (exactly when its length is not a multiple of 4) or decodes to bytes of
// the length its last group implies; encoding those bytes and decoding again
// gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/crypto/base64.h"
#include "core/crypto/crypto_error.h"

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string bytes;
  try {
    bytes = tolvan::Base64Decode(text);
  } catch (const tolvan::CryptoError&) {
    check(size % 4 != 0);
    return 0;
  }
  check(size % 4 == 0);
  if (size == 0) {
    check(bytes.empty());
    return 0;
  }
  const size_t last = text[size - 2] == '=' ? 1 : text[size - 1] == '=' ? 2 : 3;
  check(bytes.size() == size / 4 * 3 - 3 + last);
  const std::string again = tolvan::Base64Encode(bytes);
  check(again.size() == (bytes.size() + 2) / 3 * 4);
  check(tolvan::Base64Decode(again) == bytes);
  return 0;
}
