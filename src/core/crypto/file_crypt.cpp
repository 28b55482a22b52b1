// File encryption and decryption in place, safe with the user's data.
//
// Order of work for a file F with temporary output T and companion C
// (F.org after encrypting, F.enc after decrypting):
//   1. open F, create T, write T completely, fsync and close it;
//   2. remove an old C, give F's content the name C, then rename T to F;
//   3. fsync the folder.
// Every step is checked. Until step 2 ends, F holds its original bytes; a
// failure removes T and reports, never renaming T onto F. In step 2 F's
// content gets the name C by a hard link, so F itself never goes missing;
// where the file system has no hard links it is renamed instead, and put
// back if the last rename fails. Either way an interruption at any moment
// leaves the original bytes in F or in C.
#include "core/crypto/file_crypt.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/crypto/file_lock.h"
#include "core/crypto/sha1.h"
#include "core/crypto/wipe.h"

namespace tolvan {
namespace {

constexpr std::size_t kCheckBytes = 32;
// Pieces are a whole number of cipher blocks, so only the last piece of a
// file can end in a partial block; the size only sets how often we call the
// system, not the output.
constexpr std::size_t kPiece = 256 * 1024;
static_assert(kPiece % 8 == 0);
// Written data is handed to the disk in steps of this size as we go, so the
// final fsync has little left to do and dirty pages do not pile up.
constexpr std::uint64_t kWritebackStep = 8u << 20;

FileCryptFaultHook& faultHook() {
  static FileCryptFaultHook hook;
  return hook;
}

// 0 to go on, or the errno value a test wants this step to fail with.
int injected(FileCryptStep step) {
  const auto& hook = faultHook();
  return hook ? hook(step) : 0;
}

std::string errorText(int err) { return std::error_code(err, std::generic_category()).message(); }
std::string quoted(const std::string& s) { return "\"" + s + "\""; }

class Fd {
 public:
  Fd() = default;
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void set(int fd) { fd_ = fd; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes and reports the result; close can be the first to see a failed
  // write on some file systems.
  int close() {
    const int r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_ = -1;
};

// Reads until n bytes or end of file: fewer than n only at the end. -1 on
// error (errno set).
ssize_t readFull(int fd, unsigned char* buf, std::size_t n) {
  if (const int e = injected(FileCryptStep::ReadPiece)) {
    errno = e;
    return -1;
  }
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, buf + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool writeFull(int fd, const unsigned char* buf, std::size_t n, FileCryptStep step) {
  if (const int e = injected(step)) {
    errno = e;
    return false;
  }
  while (n > 0) {
    const ssize_t w = ::write(fd, buf, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    buf += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Runs one file step: the injected failure if any, else the call itself.
// Returns 0 or the errno value.
template <typename F>
int step(FileCryptStep s, F&& call) {
  if (const int e = injected(s)) return e;
  return call() == 0 ? 0 : errno;
}

void syncFolderOf(const std::string& file) {
  std::string dir = std::filesystem::path(file).parent_path().string();
  if (dir.empty()) dir = ".";
  if (injected(FileCryptStep::SyncFolder)) return;
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // A failure here cannot be undone: the renames are made and visible. It
  // only weakens what survives a power cut, so it is not reported.
  ::fsync(fd);
  ::close(fd);
}

// Hard links are missing on some file systems (FAT, some network shares);
// there the original is renamed instead.
bool noHardLinksHere(int err) {
  return err == EPERM || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP || err == EMLINK ||
         err == ENOSYS;
}

enum class Direction { Encrypt, Decrypt };

// The 32-byte key: SHA-1 of the password, then twelve 0xFF bytes.
void makeKey32(std::string_view password, unsigned char (&k)[kCheckBytes]) {
  TDCP_sha1 hash;
  hash.Init();
  hash.UpdateString(password);
  hash.Final(k);
  std::memset(k + TDCP_sha1::kDigestBytes, 0xFF, kCheckBytes - TDCP_sha1::kDigestBytes);
}

class Worker {
 public:
  Worker(Direction dir, TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
         const FileCryptProgress& progress)
      : dir_(dir), cipher_(cipher), in_(in), out_(out), progress_(progress) {}

  // Also the way out when something throws (a progress callback, say): the
  // cipher is wiped and an unfinished output removed.
  ~Worker() {
    cipher_.Wipe();
    if (buf_) SecureFill(buf_.get(), kPiece, 0);
    if (removeOutput_) ::unlink(out_.c_str());
  }

  FileCryptResult run(std::string_view password);

 private:
  FileCryptResult fail(FileCryptStatus status, std::string message) {
    fin_.reset();
    fout_.reset();
    cipher_.Wipe();
    if (removeOutput_) ::unlink(out_.c_str());
    removeOutput_ = false;
    return {status, std::move(message)};
  }
  std::string unchanged() const { return ". " + in_ + " was not changed."; }
  FileCryptResult ioError(const char* verb, const std::string& name, int err) {
    return fail(FileCryptStatus::IoError,
                std::string("Unable to ") + verb + " the file " + quoted(name) + ": " + errorText(err) +
                    unchanged());
  }
  FileCryptResult copy();
  FileCryptResult replace();

  const Direction dir_;
  TDCP_blockcipher& cipher_;
  const std::string& in_;
  const std::string& out_;
  const FileCryptProgress& progress_;
  FileLock lock_;
  Fd fin_, fout_;
  struct stat st_ {};
  bool removeOutput_ = false;
  std::unique_ptr<unsigned char[]> buf_;
};

FileCryptResult Worker::run(std::string_view password) {
  // One command per file: held until the worker is gone, past the renames.
  // A missing or unreadable file is left to the open below and its message.
  if (lock_.acquire(in_, FileLock::Mode::Exclusive) == FileLock::Result::Busy)
    return fail(FileCryptStatus::Busy, FileBusyMessage(in_) + " " + in_ + " was not changed.");

  // Input. Opened for writing too, so a file the user may not change is
  // refused; root may write anything, so a file without any write
  // permission bit is refused explicitly. The name is the link's target when
  // the user chose a symbolic link, so a link here now is a swap under our
  // feet and is refused.
  {
    int err = injected(FileCryptStep::OpenInput);
    if (!err) {
      fin_.set(::open(in_.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
      if (fin_.get() < 0) err = errno;
    }
    if (!err && (::fstat(fin_.get(), &st_) != 0 || !S_ISREG(st_.st_mode) || (st_.st_mode & 0222) == 0))
      err = EACCES;
    if (err) return fail(FileCryptStatus::OpenFailed, "Unable to open the file " + quoted(in_));
    // Replaced between the lock and the open by a program that does not lock.
    if (lock_.held() && !lock_.sameFile(fin_.get()))
      return fail(FileCryptStatus::Busy, FileBusyMessage(in_) + " " + in_ + " was not changed.");
  }
  if (dir_ == Direction::Decrypt && static_cast<std::uint64_t>(st_.st_size) < kCheckBytes)
    return fail(FileCryptStatus::TooShort,
                "The file " + quoted(in_) + " is too short to be an encrypted file" + unchanged());
  ::posix_fadvise(fin_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  // Temporary output, replacing an old file of that name. A symbolic link
  // there is refused rather than followed, so no file elsewhere is
  // truncated. Private until complete; it gets F's permissions at the end.
  {
    int err = injected(FileCryptStep::CreateOutput);
    if (!err) {
      fout_.set(::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
      if (fout_.get() < 0) err = errno;
    }
    if (err) return fail(FileCryptStatus::CreateFailed, "Unable to open the file " + quoted(out_));
  }
  removeOutput_ = true;

  // Key and password check.
  struct Key32 {
    unsigned char b[kCheckBytes];
    ~Key32() { SecureFill(b, sizeof b, 0xFF); }
  } key;
  auto& k32 = key.b;
  makeKey32(password, k32);
  cipher_.Init(k32, std::min(cipher_.MaxKeySize(), 256), nullptr);
  cipher_.EncryptCBC(k32, k32, kCheckBytes);
  cipher_.ResetChain();
  if (dir_ == Direction::Encrypt) {
    if (!writeFull(fout_.get(), k32, kCheckBytes, FileCryptStep::WriteCheck)) return ioError("write", out_, errno);
  } else {
    unsigned char stored[kCheckBytes];
    const ssize_t got = readFull(fin_.get(), stored, kCheckBytes);
    const int err = errno;
    const bool match = got == static_cast<ssize_t>(kCheckBytes) && std::memcmp(stored, k32, kCheckBytes) == 0;
    if (got < 0) return ioError("read", in_, err);
    if (got < static_cast<ssize_t>(kCheckBytes))  // the file shrank since we looked
      return fail(FileCryptStatus::TooShort,
                  "The file " + quoted(in_) + " is too short to be an encrypted file" + unchanged());
    if (!match) {
      removeOutput_ = false;  // the empty F.dec stays, as it always has
      return fail(FileCryptStatus::WrongPassword, "Incorrect password !");
    }
  }

  if (FileCryptResult r = copy(); !r.ok()) return r;
  return replace();
}

FileCryptResult Worker::copy() {
  buf_.reset(new unsigned char[kPiece]);
  const std::uint64_t total = static_cast<std::uint64_t>(st_.st_size);
  std::uint64_t done = dir_ == Direction::Decrypt ? kCheckBytes : 0;
  std::uint64_t written = 0, handedToDisk = 0;
  for (;;) {
    const ssize_t n = readFull(fin_.get(), buf_.get(), kPiece);
    if (n < 0) return ioError("read", in_, errno);
    const auto len = static_cast<std::size_t>(n);
    if (dir_ == Direction::Encrypt)
      cipher_.EncryptCBC(buf_.get(), buf_.get(), len);
    else
      cipher_.DecryptCBC(buf_.get(), buf_.get(), len);
    if (len > 0 && !writeFull(fout_.get(), buf_.get(), len, FileCryptStep::WritePiece))
      return ioError("write", out_, errno);
    written += len;
    if (written - handedToDisk >= kWritebackStep) {
      ::sync_file_range(fout_.get(), static_cast<off_t>(handedToDisk),
                        static_cast<off_t>(written - handedToDisk), SYNC_FILE_RANGE_WRITE);
      handedToDisk = written;
    }
    done += len;
    if (progress_) progress_(done, total);
    if (len < kPiece) break;
  }
  cipher_.Wipe();

  // The output takes F's owner and permissions (the owner only when we may
  // set it), so a private file does not become readable to others.
  if (::fchown(fout_.get(), st_.st_uid, st_.st_gid) != 0) {
    // Not permitted for a file someone else owns; the output stays ours.
  }
  ::fchmod(fout_.get(), st_.st_mode & 0777);
  if (const int err = step(FileCryptStep::SyncOutput, [&] { return ::fsync(fout_.get()); }))
    return ioError("write", out_, err);
  if (const int err = step(FileCryptStep::CloseOutput, [&] { return fout_.close(); }))
    return ioError("write", out_, err);
  fin_.reset();
  return {};
}

FileCryptResult Worker::replace() {
  const std::string companion = in_ + (dir_ == Direction::Encrypt ? ".org" : ".enc");
  if (const int err = step(FileCryptStep::DeleteCompanion, [&] { return ::unlink(companion.c_str()); });
      err && err != ENOENT)
    return fail(FileCryptStatus::RenameFailed,
                "Unable to delete the file " + quoted(companion) + ": " + errorText(err) + unchanged());

  bool renamedOriginal = false;
  int err = step(FileCryptStep::KeepOriginal, [&] { return ::link(in_.c_str(), companion.c_str()); });
  if (err && noHardLinksHere(err)) {
    err = step(FileCryptStep::KeepOriginal, [&] { return ::rename(in_.c_str(), companion.c_str()); });
    renamedOriginal = err == 0;
  }
  if (err)
    return fail(FileCryptStatus::RenameFailed, "Unable to rename " + quoted(in_) + " to " + quoted(companion) +
                                                   ": " + errorText(err) + unchanged());

  if (const int e = step(FileCryptStep::ReplaceFile, [&] { return ::rename(out_.c_str(), in_.c_str()); })) {
    std::string message = "Unable to rename " + quoted(out_) + " to " + quoted(in_) + ": " + errorText(e);
    if (!renamedOriginal) {
      ::unlink(companion.c_str());  // a second name of the untouched F
      message += unchanged();
    } else if (::rename(companion.c_str(), in_.c_str()) == 0) {
      message += unchanged();
    } else {
      message += ". The original content of " + in_ + " is in " + quoted(companion) + ".";
    }
    return fail(FileCryptStatus::RenameFailed, message);
  }
  removeOutput_ = false;
  syncFolderOf(in_);
  return {FileCryptStatus::Done, in_ + (dir_ == Direction::Encrypt ? " encrypted !" : " decrypted !")};
}

}  // namespace

namespace {

// The file a command works on: a symbolic link stands for its target (the
// file the user means), so the target is encrypted in place with its
// companions beside it and the link stays a link. A temporary name made of
// the link's name and a suffix moves beside the target with the same suffix.
struct Names {
  std::string in, out;
};
Names resolveNames(const std::string& in, const std::string& out) {
  struct stat st {};
  if (::lstat(in.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {in, out};
  char* real = ::realpath(in.c_str(), nullptr);
  if (!real) return {in, out};  // dangling: the open reports it
  Names n{real, out};
  ::free(real);
  if (out.size() > in.size() && out.compare(0, in.size(), in) == 0) n.out = n.in + out.substr(in.size());
  return n;
}

FileCryptResult runWorker(Direction dir, TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
                          std::string_view password, const FileCryptProgress& progress) {
  const Names n = resolveNames(in, out);
  return Worker(dir, cipher, n.in, n.out, progress).run(password);
}

}  // namespace

FileCryptResult EncryptFile(TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
                            std::string_view password, const FileCryptProgress& progress) {
  return runWorker(Direction::Encrypt, cipher, in, out, password, progress);
}

FileCryptResult DecryptFile(TDCP_blockcipher& cipher, const std::string& in, const std::string& out,
                            std::string_view password, const FileCryptProgress& progress) {
  return runWorker(Direction::Decrypt, cipher, in, out, password, progress);
}

bool IsExistingFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string NotAFileMessage(const std::string& path) { return path + " is NOT a File. Please Select a File."; }

void SetFileCryptFaultHook(FileCryptFaultHook hook) { faultHook() = std::move(hook); }

}  // namespace tolvan
