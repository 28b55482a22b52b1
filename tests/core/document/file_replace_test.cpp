// Replacing a file's content: the whole content or nothing, the file's owner,
// group and permissions kept, and the system's reason for a failure.
#include "core/document/file_replace.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tolvan::ReplaceFileContent;
using tolvan::ReplaceStep;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "tolvan-replace-XXXXXX").string();
    path_ = ::mkdtemp(t.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(path_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string path_;
};

std::string readFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void writeFile(const std::string& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

struct stat statOf(const std::string& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st;
}

struct HookGuard {
  explicit HookGuard(tolvan::ReplaceFaultHook h) { tolvan::SetReplaceFaultHook(std::move(h)); }
  ~HookGuard() { tolvan::SetReplaceFaultHook(nullptr); }
};

}  // namespace

// The file keeps its owner, group and mode; saved by the administrator, a
// private file of another user stays that user's.
TEST(FileReplace, KeepsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs the administrator";
  struct Case {
    uid_t uid;
    gid_t gid;
    mode_t mode;
  };
  const Case cases[] = {{1234, 2345, 0600}, {4321, 0, 0640}, {0, 777, 0604}, {1234, 1234, 0751}};
  TempDir dir;
  const std::string f = dir.file("doc.txt");
  for (const auto& c : cases) {
    writeFile(f, "old content");
    ASSERT_EQ(::chown(f.c_str(), c.uid, c.gid), 0);
    ASSERT_EQ(::chmod(f.c_str(), c.mode), 0);
    const ino_t before = statOf(f).st_ino;
    std::string reason;
    ASSERT_TRUE(ReplaceFileContent(f, "new", &reason)) << reason;
    const struct stat st = statOf(f);
    EXPECT_NE(st.st_ino, before);  // a new file, renamed over the old one
    EXPECT_EQ(st.st_uid, c.uid);
    EXPECT_EQ(st.st_gid, c.gid);
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    EXPECT_EQ(readFile(f), "new");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"doc.txt"});
  }
}

// A new file is made as the umask says; a symbolic link stays a link and the
// file it points to gets the content.
TEST(FileReplace, NewFilesAndLinks) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  const std::string fresh = dir.file("fresh.txt");
  std::string reason;
  ASSERT_TRUE(ReplaceFileContent(fresh, "made", &reason)) << reason;
  ::umask(mask);
  EXPECT_EQ(readFile(fresh), "made");
  EXPECT_EQ(statOf(fresh).st_mode & 07777, 0644u);

  const std::string target = dir.file("target.txt"), link = dir.file("link.txt");
  writeFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  fs::create_symlink("target.txt", link);
  ASSERT_TRUE(ReplaceFileContent(link, "through the link", &reason)) << reason;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(target), "through the link");
  EXPECT_EQ(statOf(target).st_mode & 07777, 0600u);
}

// A failure at any step (a full disk while writing or syncing, no room for
// a new name, a refused rename) leaves the file as it was, leaves nothing
// behind, and gives the system's reason.
TEST(FileReplace, FailureKeepsTheFileAndGivesTheReason) {
  struct Case {
    ReplaceStep at;
    int err;
  };
  const Case cases[] = {{ReplaceStep::Create, ENOSPC},
                        {ReplaceStep::Write, ENOSPC},
                        {ReplaceStep::Sync, EIO},
                        {ReplaceStep::Rename, EXDEV}};
  TempDir dir;
  const std::string f = dir.file("doc.txt");
  writeFile(f, "the original");
  ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
  for (const auto& c : cases) {
    HookGuard hook([&](ReplaceStep s) { return s == c.at ? c.err : 0; });
    std::string reason;
    EXPECT_FALSE(ReplaceFileContent(f, "the new content", &reason)) << int(c.at);
    EXPECT_EQ(reason, std::strerror(c.err)) << int(c.at);
    EXPECT_EQ(readFile(f), "the original");
    EXPECT_EQ(statOf(f).st_mode & 07777, 0640u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"doc.txt"}) << int(c.at);
  }
}

// A folder that is not there: the system's own reason.
TEST(FileReplace, MissingFolderGivesTheReason) {
  std::string reason;
  EXPECT_FALSE(ReplaceFileContent("/proc/tolvan-no-such-folder/doc.txt", "x", &reason));
  EXPECT_EQ(reason, std::strerror(ENOENT));
}

// A real full disk where the system lets this test make one: a 16 KiB tmpfs
// in a mount namespace of a child process (the administrator's, in a
// container that allows it; skipped elsewhere). The save of a larger
// document fails with the system's reason and the old file stays whole.
TEST(FileReplace, RealFullDisk) {
  TempDir dir;
  const std::string mnt = dir.file("small"), report = dir.file("report");
  ASSERT_EQ(::mkdir(mnt.c_str(), 0700), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=16k") != 0)
      ::_exit(77);
    const std::string f = mnt + "/doc.txt";
    writeFile(f, "the original");
    std::string reason;
    const bool ok = ReplaceFileContent(f, std::string(64 * 1024, 'x'), &reason);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(mnt)) names.push_back(e.path().filename().string());
    writeFile(report, std::string(ok ? "saved" : "failed") + "|" + reason + "|" + readFile(f) + "|" +
                          std::to_string(names.size()));
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no tmpfs can be mounted here";
  EXPECT_EQ(readFile(report), "failed|" + std::string(std::strerror(ENOSPC)) + "|the original|1");
}
