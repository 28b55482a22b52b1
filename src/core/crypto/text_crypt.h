// Encrypting the whole text of a document with a passphrase. The encrypted
// form is one line of Base64 over the 8-bit CFB ciphertext, keyed from SHA-1
// of the passphrase: the same text and passphrase always give the same line.
// There is no password check: a wrong passphrase yields meaningless bytes.
#pragma once
#include <string>
#include <string_view>

#include "core/crypto/blowfish.h"

namespace tolvan {

// Both key the given cipher afresh and leave it wiped, also when they throw.
std::string EncryptText(TDCP_blockcipher& cipher, std::string_view text, std::string_view passphrase);
// Throws CryptoError("Base64: Incorrect string format") when the text's
// length is not a multiple of 4.
std::string DecryptText(TDCP_blockcipher& cipher, std::string_view text, std::string_view passphrase);

}  // namespace tolvan
