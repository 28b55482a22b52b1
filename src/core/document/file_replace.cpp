#include "core/document/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace tolvan {

namespace {

ReplaceFaultHook& faultHook() {
  static ReplaceFaultHook hook;
  return hook;
}

// Runs a step that returns -1 with errno on failure; the test hook may fail
// it first. Returns 0 or the errno value.
template <class F>
int step(ReplaceStep s, F&& f) {
  if (faultHook())
    if (const int err = faultHook()(s)) return err;
  return std::forward<F>(f)() == 0 ? 0 : errno;
}

// The file a name stands for: a symbolic link's target (even one not made
// yet), any other name itself.
std::string targetOf(const std::string& path) {
  std::string name = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(name.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return name;
    std::string link(buf, static_cast<size_t>(n));
    if (link[0] != '/') {
      const size_t slash = name.rfind('/');
      link = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + link;
    }
    name = std::move(link);
  }
  return name;
}

// A new file beside target, readable and writable as the umask allows, as a
// newly made document would be. Returns the descriptor and its name, or -1.
int createBeside(const std::string& target, std::string& made) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 pick(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    made = target + ".saving-";
    for (int i = 0; i < 6; ++i) made += kLetters[pick() % (sizeof kLetters - 1)];
    const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

void SetReplaceFaultHook(ReplaceFaultHook hook) { faultHook() = std::move(hook); }

bool ReplaceFileContent(const std::string& path, std::string_view data, std::string* reason) {
  auto failed = [reason](int err) {
    if (reason) *reason = std::strerror(err);
    return false;
  };
  const std::string target = targetOf(path);
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;

  std::string made;
  int fd = -1;
  if (const int err = step(ReplaceStep::Create, [&] { return (fd = createBeside(target, made)) < 0 ? -1 : 0; }))
    return failed(err);
  struct Cleanup {
    int& fd;
    std::string& name;
    bool keep = false;
    ~Cleanup() {
      if (fd >= 0) ::close(fd);
      if (!keep) ::unlink(name.c_str());
    }
  } cleanup{fd, made};

  if (const int err = step(ReplaceStep::Write, [&] { return writeAll(fd, data) ? 0 : -1; })) return failed(err);
  if (existed) {
    // Owner and group first: changing them may clear the set-id bits, which
    // the mode then restores as far as they are allowed.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the administrator may give a file away; anyone else's save
      // leaves the new file theirs, with the old permissions.
    }
    ::fchmod(fd, old.st_mode & 07777);
  }
  if (const int err = step(ReplaceStep::Sync, [&] { return ::fsync(fd); })) return failed(err);
  const int closing = fd;
  fd = -1;
  if (::close(closing) != 0 && errno != EINTR) return failed(errno);
  if (const int err = step(ReplaceStep::Rename, [&] { return ::rename(made.c_str(), target.c_str()); }))
    return failed(err);
  cleanup.keep = true;
  return true;
}

}  // namespace tolvan
