// The command-line tool's conventions (messages and exit statuses) and its
// input and output: inputs checked before they are read, read in pieces or
// whole up to a limit, and checked writes to standard output.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "cli.h"

namespace cli {

namespace {
int say(const std::string& message, int status) {
  std::fprintf(stderr, "tolvan-cli: %s\n", message.c_str());
  return status;
}
std::string errnoText(int err) { return std::strerror(err); }
}  // namespace

int fail(const std::string& message) { return say(message, kFailed); }
int usage(const std::string& message) { return say(message, kUsage); }

int runCommand(int (*command)(const Args&), const Args& args) {
  try {
    return command(args);
  } catch (const UsageError& e) {
    return usage(e.what());
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}

std::string sizeText(std::uint64_t bytes) {
  if (bytes >= (std::uint64_t(1) << 20) && bytes % (std::uint64_t(1) << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (std::uint64_t(1) << 20)) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MiB", double(bytes) / double(1 << 20));
    return buf;
  }
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

Input::Input(const std::string& path, bool waitForWriter)
    : name_(path.empty() || path == "-" ? "standard input" : path) {
  if (!(path.empty() || path == "-")) {
    // Non-blocking, so that naming a FIFO nobody writes to does not hang here;
    // reads switch back to blocking below. Waiting for the writer, the open
    // blocks until a FIFO has one (interrupted opens are retried).
    const int nonBlock = waitForWriter ? 0 : O_NONBLOCK;
    do fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | nonBlock);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + errnoText(errno));
    own_ = true;
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int err = errno;
    if (own_) ::close(fd_);
    throw std::runtime_error("cannot read " + name_ + ": " + errnoText(err));
  }
  if (S_ISDIR(st.st_mode)) {
    if (own_) ::close(fd_);
    throw std::runtime_error("cannot read " + name_ + ": it is a folder, not a file");
  }
  regular_ = S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<std::uint64_t>(st.st_size) : 0;
}

Input::~Input() {
  if (own_) ::close(fd_);
  own_ = false;
}

namespace {
// One read into buf, retried on EINTR: bytes read, 0 at the end.
size_t readSome(const Input& in, char* buf, size_t n) {
  for (;;) {
    const ssize_t got = ::read(in.fd(), buf, n);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) throw std::runtime_error("cannot read " + in.name() + ": " + errnoText(errno));
  }
}
}  // namespace

void PieceReader::next(std::string& buf) {
  buf.resize(kPiece);
  buf.resize(readSome(in_, buf.data(), buf.size()));
}

namespace {
// The message for a mapped file that another program cut short while it was
// being read: the kernel then stops the read with SIGBUS, and the program
// reports it like any failed read (message, status 1) instead of dying.
char gCutShortMessage[512];
size_t gCutShortLength = 0;

extern "C" void onCutShort(int) {
  if (gCutShortLength) {
    ssize_t ignored = ::write(STDERR_FILENO, gCutShortMessage, gCutShortLength);
    (void)ignored;
  }
  ::_exit(1);
}
}  // namespace

MappedPieceReader::MappedPieceReader(const std::string& path) : PieceReader(path) {
  // Standard input may be a file opened at any offset: only a file named
  // here is mapped, from its start.
  if (!(path.empty() || path == "-") && in_.regular()) {
    mapUntil_ = in_.size();
    const std::string m = "tolvan-cli: cannot read " + in_.name() + ": the file was cut short while it was read\n";
    gCutShortLength = std::min(m.size(), sizeof gCutShortMessage);
    std::memcpy(gCutShortMessage, m.data(), gCutShortLength);
    struct sigaction sa {};
    sa.sa_handler = onCutShort;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, nullptr);
  }
}

MappedPieceReader::~MappedPieceReader() { unmap(); }

void MappedPieceReader::unmap() {
  if (map_) ::munmap(map_, mapLength_);
  map_ = nullptr;
}

std::string_view MappedPieceReader::next() {
  unmap();
  if (pos_ < mapUntil_) {
    const size_t length = static_cast<size_t>(std::min<std::uint64_t>(kWindow, mapUntil_ - pos_));
    void* m = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, in_.fd(), static_cast<off_t>(pos_));
    if (m != MAP_FAILED) {
      map_ = m;
      mapLength_ = length;
      pos_ += length;
      return {static_cast<const char*>(m), length};
    }
    // A file that cannot be mapped is read like any other, from here on.
    mapUntil_ = 0;
    if (::lseek(in_.fd(), static_cast<off_t>(pos_), SEEK_SET) < 0)
      throw std::runtime_error("cannot read " + in_.name() + ": " + errnoText(errno));
  } else if (mapUntil_ != 0) {
    // Past the size the file had at the start: whatever was added since.
    mapUntil_ = 0;
    if (::lseek(in_.fd(), static_cast<off_t>(pos_), SEEK_SET) < 0)
      throw std::runtime_error("cannot read " + in_.name() + ": " + errnoText(errno));
  }
  PieceReader::next(buf_);
  return buf_;
}

std::string readWhole(const std::string& path, std::uint64_t limit, const char* what) {
  Input in(path);
  const std::string tooLarge = "cannot read " + in.name() + ": " + what + " is larger than " + sizeText(limit) +
                               ", the most this command reads";
  struct stat st {};
  ::fstat(in.fd(), &st);
  if (in.regular()) {
    if (in.size() > limit) throw std::runtime_error(tooLarge + " (it has " + sizeText(in.size()) + ")");
  } else if (!(path.empty() || path == "-") && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode)) {
    // A device may never end (/dev/zero, /dev/urandom); this command needs
    // the whole input before it can write anything.
    throw std::runtime_error("cannot read " + in.name() + ": it is not a regular file, and " + what +
                             " must be read whole");
  }
  std::string out;
  if (in.regular()) out.reserve(static_cast<size_t>(in.size()));
  char buf[1 << 16];
  for (;;) {
    const size_t n = readSome(in, buf, sizeof buf);
    if (n == 0) break;
    if (out.size() + n > limit) throw std::runtime_error(tooLarge);
    out.append(buf, n);
  }
  return out;
}

namespace {
[[noreturn]] void cannotWrite() {
  throw std::runtime_error(std::string("cannot write standard output: ") + errnoText(errno));
}
}  // namespace

void writePiece(std::string& out) {
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), stdout) != out.size()) cannotWrite();
  out.clear();
}

void flushOut() {
  if (std::fflush(stdout) != 0) cannotWrite();
}

void writeOut(std::string_view bytes) {
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) cannotWrite();
  flushOut();
}

}  // namespace cli
