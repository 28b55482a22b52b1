// tolvan-cli convert --from tscii --to unicode, and --from unicode --to tscii:
// the TSCII <-> Unicode codec over a file or standard input, read in pieces so
// that memory stays small whatever the size of the text. Converted text goes
// to standard output; every change or unmappable character is reported on
// standard error with its byte offset in the input. Characters TSCII cannot
// hold stay in the output as UTF-8. Exit status 0 even with warnings.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "cli.h"
#include "convert/unicode_stream.h"

namespace cli {
namespace {

constexpr size_t kPiece = 1 << 16;
// Warnings printed one per line up to this many; the rest are counted.
constexpr size_t kMaxWarningLines = 200;

class Reader {
 public:
  explicit Reader(const std::string& path) : name_(path.empty() || path == "-" ? "standard input" : path) {
    if (path.empty() || path == "-") return;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    own_ = true;
  }
  ~Reader() {
    if (own_) ::close(fd_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // The next piece of input; empty at the end.
  void next(std::string& buf) {
    buf.resize(kPiece);
    for (;;) {
      const ssize_t n = ::read(fd_, buf.data(), buf.size());
      if (n >= 0) {
        buf.resize(static_cast<size_t>(n));
        return;
      }
      if (errno != EINTR) throw std::runtime_error("cannot read " + name_ + ": " + std::strerror(errno));
    }
  }

 private:
  std::string name_;
  int fd_ = 0;
  bool own_ = false;
};

void write(std::string& out) {
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size())
    throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
  out.clear();
}

struct WarningPrinter {
  size_t count = 0;
  void operator()(size_t offset, const std::string& what) {
    if (++count <= kMaxWarningLines) std::fprintf(stderr, "tolvan-cli: warning: byte offset %zu: %s\n", offset, what.c_str());
  }
  void summary() const {
    if (count > kMaxWarningLines)
      std::fprintf(stderr, "tolvan-cli: warning: %zu more warnings not shown (%zu in all)\n",
                   count - kMaxWarningLines, count);
  }
};

template <class Stream>
void pump(Reader& in, Stream& stream) {
  std::string piece, out;
  for (;;) {
    in.next(piece);
    if (piece.empty()) break;
    stream.feed(piece, out);
    write(out);
  }
  stream.finish(out);
  write(out);
  if (std::fflush(stdout) != 0)
    throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
}

}  // namespace

int convertUnicode(const std::string& from, const std::string& to, const std::string& file) {
  const bool toUnicode = from == "tscii" && to == "unicode";
  if (!toUnicode && !(from == "unicode" && to == "tscii"))
    return fail("cannot convert " + from + " to " + to + " (the Unicode pairs are tscii->unicode, unicode->tscii)");
  Reader in(file);
  WarningPrinter printer;
  auto warn = [&printer](size_t offset, const std::string& what) { printer(offset, what); };
  if (toUnicode) {
    tolvan::TsciiToUnicodeStream stream(warn);
    pump(in, stream);
  } else {
    tolvan::UnicodeToTsciiStream stream(warn, tolvan::Unmappable::KeepUtf8);
    pump(in, stream);
  }
  printer.summary();
  return 0;
}

}  // namespace cli
