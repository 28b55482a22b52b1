// Piecewise input and checked output for the streaming subcommands.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cli.h"

namespace cli {

PieceReader::PieceReader(const std::string& path)
    : name_(path.empty() || path == "-" ? "standard input" : path) {
  if (path.empty() || path == "-") return;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  own_ = true;
}

PieceReader::~PieceReader() {
  if (own_) ::close(fd_);
}

void PieceReader::next(std::string& buf) {
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

void writePiece(std::string& out) {
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size())
    throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
  out.clear();
}

void flushOut() {
  if (std::fflush(stdout) != 0)
    throw std::runtime_error(std::string("cannot write standard output: ") + std::strerror(errno));
}

}  // namespace cli
