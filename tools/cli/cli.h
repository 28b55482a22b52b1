// Shared declarations of tolvan-cli's subcommands. Each subcommand gets the
// arguments after its own name and returns the process exit status.
//
// One convention for every command: messages on standard error start with
// "tolvan-cli: "; the exit status is 0 on success, 1 when the operation
// failed (a file that cannot be read, a wrong password, a refused input) and
// 2 for a usage error (unknown option, missing argument). A command may also
// throw: UsageError gives status 2, any other exception status 1.
#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cli {
using Args = std::vector<std::string>;

inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The whole command line (argv[0] is the program, argv[1] the command), as
// main() runs it: the exit status. Reads standard input and writes standard
// output and error; only `rtf` leaves the process (it runs tolvan-rtf).
int runCli(int argc, char** argv);  // cli_main.cpp

int cmdType(const Args& args);          // cli_type.cpp
int cmdConvert(const Args& args);       // cli_convert.cpp
int cmdFontmap(const Args& args);       // cli_convert.cpp
int cmdEncrypt(const Args& args);       // cli_crypto.cpp
int cmdDecrypt(const Args& args);       // cli_crypto.cpp
int cmdEncryptText(const Args& args);   // cli_crypto.cpp
int cmdDecryptText(const Args& args);   // cli_crypto.cpp
int cmdCrc(const Args& args);           // cli_crypto.cpp
int cmdRtf(const Args& args);           // cli_rtf_exec.cpp: hands over to tolvan-rtf

// Unicode pairs of `convert` (tscii->unicode, unicode->tscii); cli_unicode.cpp.
int convertUnicode(const std::string& from, const std::string& to, const std::string& file);

// Prints "tolvan-cli: <message>" on standard error and returns 1 (fail) or
// 2 (usage).
int fail(const std::string& message);
int usage(const std::string& message);
// Runs a command under the convention above, turning its exceptions into a
// message and a status.
int runCommand(int (*command)(const Args&), const Args& args);

// An input named on the command line: a file, or standard input when the
// name is empty or "-". Opening refuses a folder at once, with one line.
// A FIFO nobody writes to yet is opened without waiting (its reads then see
// the end at once), unless waitForWriter asks to wait for its writer, as a
// password file must.
class Input {
 public:
  explicit Input(const std::string& path, bool waitForWriter = false);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  const std::string& name() const { return name_; }  // for messages
  int fd() const { return fd_; }
  bool regular() const { return regular_; }
  std::uint64_t size() const { return size_; }  // of a regular file

 private:
  std::string name_;
  int fd_ = 0;
  bool own_ = false;
  bool regular_ = false;
  std::uint64_t size_ = 0;
};

// The whole input, for a command that cannot work in pieces. A regular file
// larger than `limit` bytes is refused before anything is read; a pipe,
// socket or standard input of any kind is read until its end and refused as
// soon as it passes the limit; any other file named on the command line (a
// device such as /dev/zero) is refused unread, since it may never end. `what` names the input in the messages ("the RTF
// document"). Throws std::runtime_error with a one-line message.
std::string readWhole(const std::string& path, std::uint64_t limit, const char* what);

// A file or standard input read in 64 KiB pieces, so that memory stays small
// whatever the size of the input (any readable file, devices included).
// Throws std::runtime_error with a one-line message when it cannot be opened
// or read.
class PieceReader {
 public:
  static constexpr size_t kPiece = size_t(1) << 16;
  explicit PieceReader(const std::string& path) : in_(path) {}
  // Fills buf with the next piece; an empty piece is the end of the input.
  void next(std::string& buf);

 protected:
  Input in_;
};

// The same, handing out views: a regular file named on the command line is
// mapped into memory a window of kWindow bytes at a time instead of being
// copied piece by piece (what the file gains past its size at the start is
// read as usual); anything else is read in 64 KiB pieces. A view lasts until
// the next call. A file cut shorter by another program while it is being
// converted (SIGBUS, as with any mapped file) ends the program with the usual
// read error: "cannot read FILE: the file was cut short while it was read",
// status 1.
class MappedPieceReader : PieceReader {
 public:
  static constexpr size_t kWindow = size_t(1) << 20;
  explicit MappedPieceReader(const std::string& path);
  ~MappedPieceReader();
  MappedPieceReader(const MappedPieceReader&) = delete;
  MappedPieceReader& operator=(const MappedPieceReader&) = delete;
  // The next piece; empty at the end of the input.
  std::string_view next();

 private:
  void unmap();
  std::string buf_;
  void* map_ = nullptr;
  size_t mapLength_ = 0;
  std::uint64_t pos_ = 0;       // where the next window starts
  std::uint64_t mapUntil_ = 0;  // the size mapped windows cover; 0: never mapped
};

// Writes out to standard output and clears it; flushOut flushes standard
// output; writeOut writes bytes and flushes. All throw std::runtime_error
// ("cannot write standard output: " and the system's reason) when standard
// output cannot be written, so that every command reports it the same way.
void writePiece(std::string& out);
void flushOut();
void writeOut(std::string_view bytes);

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
template <class Stream>
void pumpPieces(MappedPieceReader& in, Stream& stream) {
  std::string out;
  for (;;) {
    const std::string_view piece = in.next();
    if (piece.empty()) break;
    stream.feed(piece, out);
    writePiece(out);
  }
  stream.finish(out);
  writePiece(out);
  flushOut();
}

// A size in words for messages: "600 MiB", "12 KiB", "100 bytes".
std::string sizeText(std::uint64_t bytes);
}  // namespace cli
