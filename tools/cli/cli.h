// Shared declarations of tolvan-cli's subcommands. Each subcommand gets the
// arguments after its own name and returns the process exit status.
#pragma once
#include <string>
#include <vector>

namespace cli {
using Args = std::vector<std::string>;

int cmdType(const Args& args);          // cli_type.cpp
int cmdConvert(const Args& args);       // cli_convert.cpp
int cmdFontmap(const Args& args);       // cli_convert.cpp
int cmdEncrypt(const Args& args);       // cli_crypto.cpp
int cmdDecrypt(const Args& args);       // cli_crypto.cpp
int cmdEncryptText(const Args& args);   // cli_crypto.cpp
int cmdDecryptText(const Args& args);   // cli_crypto.cpp
int cmdCrc(const Args& args);           // cli_crypto.cpp
int cmdRtf(const Args& args);           // cli_rtf.cpp

// Unicode pairs of `convert` (tscii->unicode, unicode->tscii); cli_unicode.cpp.
int convertUnicode(const std::string& from, const std::string& to, const std::string& file);

// Prints "tolvan-cli: <message>" on standard error and returns 2.
int fail(const std::string& message);
// Reads a whole file (or standard input when path is empty or "-") as bytes.
// Throws std::runtime_error with a one-line message on failure.
std::string readAll(const std::string& path);
}  // namespace cli
