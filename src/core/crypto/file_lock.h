// Keeps two commands from working on the same file at once.
//
// The file commands (encrypt, decrypt) hold an exclusive lock on the file for
// their whole run; the checksum holds a shared one. A second command that
// finds the file locked is refused at once rather than waiting, and changes
// nothing. The lock is an advisory flock(2) on the file itself: it needs no
// extra file, is released by the system when a process ends however it ends
// (so a crashed run never leaves a file locked), and works the same for root,
// who is not stopped by permissions.
//
// The file commands replace F by renaming a new file onto its name, so the
// lock is taken on the inode the name refers to and checked to still be that
// inode once held; a command that finished between our open and our lock is
// simply not in the way.
#pragma once
#include <sys/types.h>

#include <string>

namespace tolvan {

class FileLock {
 public:
  enum class Mode { Shared, Exclusive };
  enum class Result {
    Locked,   // held until the object is destroyed or release() is called
    Busy,     // another command holds the file
    NoFile,   // the path could not be opened (missing, no permission...)
  };

  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Tries once (after a replacement in between, a few times), never waits.
  Result acquire(const std::string& path, Mode mode);
  void release();
  bool held() const { return fd_ >= 0; }
  // The locked file's identity, to check that a later open of the same name
  // reached the same file.
  bool sameFile(int fd) const;

 private:
  int fd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
};

// "The file "F" is in use by another command (encryption, decryption or CRC)."
std::string FileBusyMessage(const std::string& path);

}  // namespace tolvan
