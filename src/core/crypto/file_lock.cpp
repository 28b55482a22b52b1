// Advisory whole-file locks for the file commands (see file_lock.h).
#include "core/crypto/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tolvan {

FileLock::Result FileLock::acquire(const std::string& path, Mode mode) {
  release();
  // A few rounds cover a command that replaced the file between our open and
  // our lock; each round either locks the current file or finds it busy.
  for (int round = 0; round < 4; ++round) {
    // Read-only and non-blocking: the lock needs no write access, and opening
    // a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Result::NoFile;
    int r;
    do r = ::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r != 0) {
      const int err = errno;
      ::close(fd);
      if (err == EWOULDBLOCK) return Result::Busy;
      return Result::NoFile;
    }
    struct stat held {}, now {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
        held.st_ino == now.st_ino) {
      fd_ = fd;
      dev_ = held.st_dev;
      ino_ = held.st_ino;
      return Result::Locked;
    }
    ::close(fd);  // the name now refers to another file: lock that one
  }
  return Result::Busy;
}

void FileLock::release() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

bool FileLock::sameFile(int fd) const {
  struct stat st {};
  return fd_ >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
}

std::string FileBusyMessage(const std::string& path) {
  return "The file \"" + path + "\" is in use by another command (encryption, decryption or CRC).";
}

}  // namespace tolvan
