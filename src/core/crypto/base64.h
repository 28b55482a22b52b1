// Base64 for byte strings: the standard alphabet with "=" padding, one line.
// Decoding is lenient the way encrypted texts in the wild depend on: any
// character outside the alphabet counts as the value 63.
#pragma once
#include <string>
#include <string_view>

namespace tolvan {

std::string Base64Encode(std::string_view bytes);
// Throws CryptoError("Base64: Incorrect string format") when the length is
// not a multiple of 4.
std::string Base64Decode(std::string_view text);

}  // namespace tolvan
