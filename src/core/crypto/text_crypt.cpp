// Text encryption: CFB8 keyed by InitFromPassphrase, Base64 out.
#include "core/crypto/text_crypt.h"

#include "core/crypto/base64.h"

namespace tolvan {
namespace {

// Leaves the shared cipher wiped however the command ends, so no key
// material outlives it.
class WipeOnExit {
 public:
  explicit WipeOnExit(TDCP_blockcipher& c) : c_(c) {}
  ~WipeOnExit() {
    c_.ResetChain();
    c_.Wipe();
  }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  TDCP_blockcipher& c_;
};

}  // namespace

std::string EncryptText(TDCP_blockcipher& cipher, std::string_view text, std::string_view passphrase) {
  WipeOnExit guard(cipher);
  cipher.InitFromPassphrase(passphrase);
  std::string bytes(text);
  cipher.EncryptCFB8(bytes.data(), bytes.data(), bytes.size());
  return Base64Encode(bytes);
}

std::string DecryptText(TDCP_blockcipher& cipher, std::string_view text, std::string_view passphrase) {
  WipeOnExit guard(cipher);
  cipher.InitFromPassphrase(passphrase);
  std::string bytes = Base64Decode(text);
  cipher.DecryptCFB8(bytes.data(), bytes.data(), bytes.size());
  return bytes;
}

}  // namespace tolvan
