// Shared declarations of tolvan-cli's subcommands. Each subcommand gets the
// arguments after its own name and returns the process exit status.
#pragma once
#include <cstddef>
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

// A file (or standard input when path is empty or "-") read in 64 KiB pieces,
// so that memory stays small whatever the size of the input. Throws
// std::runtime_error with a one-line message when it cannot be opened or read.
class PieceReader {
 public:
  static constexpr size_t kPiece = size_t(1) << 16;
  explicit PieceReader(const std::string& path);
  ~PieceReader();
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;
  // Fills buf with the next piece; an empty piece is the end of the input.
  void next(std::string& buf);

 private:
  std::string name_;
  int fd_ = 0;
  bool own_ = false;
};

// Writes out to standard output and clears it; flushOut flushes standard
// output. Both throw std::runtime_error when standard output cannot be written.
void writePiece(std::string& out);
void flushOut();

// Runs the whole input through a converter that takes text in pieces
// (feed(piece, out), then finish(out)), writing its output as it goes.
template <class Stream>
void pumpPieces(PieceReader& in, Stream& stream) {
  std::string piece, out;
  for (;;) {
    in.next(piece);
    if (piece.empty()) break;
    stream.feed(piece, out);
    writePiece(out);
  }
  stream.finish(out);
  writePiece(out);
  flushOut();
}

// Prints "tolvan-cli: <message>" on standard error and returns 2.
int fail(const std::string& message);
// Reads a whole file (or standard input when path is empty or "-") as bytes.
// Throws std::runtime_error with a one-line message on failure.
std::string readAll(const std::string& path);
}  // namespace cli
