// Helpers shared by the converter tests: hex spelling of byte strings.
#pragma once
#include <cctype>
#include <string>
#include <string_view>

namespace convert_test {

// "B8 A1" -> the two bytes; spaces are ignored.
inline std::string hex(std::string_view h) {
  std::string out;
  int nib = -1;
  for (char c : h) {
    if (c == ' ') continue;
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    if (nib < 0) {
      nib = v;
    } else {
      out += static_cast<char>(nib * 16 + v);
      nib = -1;
    }
  }
  return out;
}

// Bytes as "B8 A1", for readable failure messages.
inline std::string show(std::string_view s) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

}  // namespace convert_test
