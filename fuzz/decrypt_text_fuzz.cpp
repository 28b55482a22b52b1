// Fuzz target for text decryption: the first byte gives the passphrase's
// length, the passphrase follows, the rest is the text. Decryption either
// raises the Base64 error or gives bytes that encrypt back to the canonical
// form of the text; the shared cipher is wiped either way. Encrypting the
// raw input and decrypting it again gives the input back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/crypto/base64.h"
#include "core/crypto/blowfish.h"
#include "core/crypto/crypto_error.h"
#include "core/crypto/text_crypt.h"

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 1 << 16) return 0;
  const size_t pwLen = std::min<size_t>(data[0] % 64, size - 1);
  const std::string_view pw(reinterpret_cast<const char*>(data + 1), pwLen);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + pwLen), size - 1 - pwLen);
  static tolvan::TDCP_blowfish cipher;  // one shared instance, as in the program

  try {
    const std::string plain = tolvan::DecryptText(cipher, text, pw);
    check(!cipher.Initialized());
    // Lenient characters decode like their canonical ones, so encrypting
    // gives the canonical text, which decodes to the same ciphertext.
    const std::string canonical = tolvan::EncryptText(cipher, plain, pw);
    check(tolvan::Base64Decode(canonical) == tolvan::Base64Decode(text));
  } catch (const tolvan::CryptoError&) {
    check(text.size() % 4 != 0);
    check(!cipher.Initialized());
  }

  const std::string enc = tolvan::EncryptText(cipher, text, pw);
  check(tolvan::DecryptText(cipher, enc, pw) == text);
  check(!cipher.Initialized());
  return 0;
}
