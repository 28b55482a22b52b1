// The one exception type of the cipher, hash and Base64 layer. Its message is
// the exact text the user sees in the error box (for example
// "Blowfish: Not initialized").
#pragma once
#include <stdexcept>
#include <string>

namespace tolvan {

class CryptoError : public std::runtime_error {
 public:
  explicit CryptoError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tolvan
