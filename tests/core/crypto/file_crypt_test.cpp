// File encryption and decryption: the format against an independent
// implementation, the companion files and renames, the messages, and what
// is left on disk after every failure and every interruption.
#include "core/crypto/file_crypt.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <map>
#include <optional>
#include <sstream>

#include "core/crypto/crc32.h"
#include "core/crypto/file_lock.h"
#include "core/crypto/sha1.h"
#include "test_util.h"

using namespace tolvan;
using crypto_test::readFile;
using crypto_test::TempDir;
using crypto_test::writeFile;
using Names = std::vector<std::string>;

namespace {

// Clears the fault hook however a test ends.
struct HookGuard {
  explicit HookGuard(FileCryptFaultHook h) { SetFileCryptFaultHook(std::move(h)); }
  ~HookGuard() { SetFileCryptFaultHook(nullptr); }
};

// A hook that fails the n-th call (0-based) of one step with err.
FileCryptFaultHook failAt(FileCryptStep which, int n, int err) {
  auto count = std::make_shared<int>(0);
  return [=](FileCryptStep s) { return s == which && (*count)++ == n ? err : 0; };
}

std::string encryptedBy(const std::string& path, const std::string& plain, const std::string& pw) {
  TDCP_blowfish bf;
  writeFile(path, plain);
  const auto r = EncryptFile(bf, path, path + ".enc", pw);
  if (!r.ok()) throw std::runtime_error(r.message);
  return readFile(path);
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

}  // namespace

// Every known answer: encrypt gives the file the independent implementation
// gives (32 + n bytes), keeps the plaintext as F.org; decrypt gives the
// plaintext back and keeps the encrypted file as F.enc.
TEST(FileCrypt, MatchesIndependentImplementation) {
  TempDir dir;
  TDCP_blowfish bf;
  int count = 0;
  for (const auto& line : crypto_test::readLines(crypto_test::dataPath("known_answers.txt"))) {
    std::istringstream in(line);
    std::string kind, pwHex, expected;
    size_t n;
    in >> kind >> pwHex >> n >> expected;
    if (kind != "file") continue;
    ++count;
    const std::string pw = pwHex == "-" ? "" : crypto_test::fromHex(pwHex);
    const std::string f = dir.file("doc.txt"), plain = crypto_test::pattern(n);
    writeFile(f, plain);
    std::uint64_t lastDone = 0, lastTotal = 0;
    int calls = 0;
    auto r = EncryptFile(bf, f, f + ".enc", pw, [&](std::uint64_t done, std::uint64_t total) {
      EXPECT_GE(done, lastDone);
      lastDone = done;
      lastTotal = total;
      ++calls;
    });
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.message, f + " encrypted !");
    EXPECT_FALSE(bf.Initialized());
    const std::string enc = readFile(f);
    EXPECT_EQ(enc.size(), 32 + n);
    EXPECT_EQ(crypto_test::toHex(Sha1(enc)), crypto_test::toHex(crypto_test::fromHex(expected))) << line;
    EXPECT_EQ(readFile(f + ".org"), plain);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(lastDone, n);
    EXPECT_EQ(lastTotal, n);

    r = DecryptFile(bf, f, f + ".dec", pw);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.message, f + " decrypted !");
    EXPECT_EQ(readFile(f), plain) << line;
    EXPECT_EQ(readFile(f + ".enc"), enc);
    EXPECT_EQ(readFile(f + ".org"), plain);
    EXPECT_EQ(dir.names(), (Names{"doc.txt", "doc.txt.enc", "doc.txt.org"}));
    EXPECT_FALSE(bf.Initialized());
  }
  EXPECT_GE(count, 60);
}

// Encrypting again adds a layer and replaces the old F.org; the same
// content and password give the same file on every occasion.
TEST(FileCrypt, LayersAndRepeatability) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("a.txt"), plain = "some text\r\n";
  writeFile(f + ".org", "an old copy that is replaced");
  writeFile(f + ".enc", "an old temporary that is overwritten");
  const std::string once = encryptedBy(f, plain, "pw");
  EXPECT_EQ(readFile(f + ".org"), plain);
  ASSERT_TRUE(EncryptFile(bf, f, f + ".enc", "pw2").ok());
  EXPECT_EQ(readFile(f + ".org"), once);
  ASSERT_TRUE(DecryptFile(bf, f, f + ".dec", "pw2").ok());
  EXPECT_EQ(readFile(f), once);
  ASSERT_TRUE(DecryptFile(bf, f, f + ".dec", "pw").ok());
  EXPECT_EQ(readFile(f), plain);
  EXPECT_EQ(encryptedBy(f, plain, "pw"), once);
}

// The result keeps F's permission bits: a private file stays private.
TEST(FileCrypt, KeepsPermissions) {
  TempDir dir;
  TDCP_blowfish bf;
  for (mode_t mode : {0600, 0640, 0664, 0700}) {
    const std::string f = dir.file("p.txt");
    writeFile(f, "private");
    ASSERT_EQ(chmod(f.c_str(), mode), 0);
    ASSERT_TRUE(EncryptFile(bf, f, f + ".enc", "pw").ok());
    EXPECT_EQ(modeOf(f), mode);
    ASSERT_TRUE(DecryptFile(bf, f, f + ".dec", "pw").ok());
    EXPECT_EQ(modeOf(f), mode);
  }
}

// A wrong password changes nothing and leaves the empty F.dec, as users of
// the program have always seen.
TEST(FileCrypt, WrongPassword) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("s.txt");
  const std::string enc = encryptedBy(f, "secret", "right");
  ::unlink((f + ".org").c_str());
  const auto r = DecryptFile(bf, f, f + ".dec", "wrong");
  EXPECT_EQ(r.status, FileCryptStatus::WrongPassword);
  EXPECT_EQ(r.message, "Incorrect password !");
  EXPECT_EQ(readFile(f), enc);
  EXPECT_EQ(dir.names(), (Names{"s.txt", "s.txt.dec"}));
  EXPECT_EQ(readFile(f + ".dec"), "");
  EXPECT_FALSE(bf.Initialized());
  // A plain file fails the same check.
  writeFile(f, std::string(100, 'p'));
  EXPECT_EQ(DecryptFile(bf, f, f + ".dec", "").status, FileCryptStatus::WrongPassword);
}

// Failures before any output exists: nothing is created, F is untouched.
TEST(FileCrypt, RefusedInputs) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string ro = dir.file("ro.txt"), shortFile = dir.file("short.txt"), missing = dir.file("none");
  writeFile(ro, "read only");
  ASSERT_EQ(chmod(ro.c_str(), 0444), 0);  // no write bit: read-only even for root
  writeFile(shortFile, std::string(31, 'x'));
  struct Case {
    bool decrypt;
    std::string in;
    FileCryptStatus status;
    std::string message;
  };
  const Case cases[] = {
      {false, ro, FileCryptStatus::OpenFailed, "Unable to open the file \"" + ro + "\""},
      {true, ro, FileCryptStatus::OpenFailed, "Unable to open the file \"" + ro + "\""},
      {false, missing, FileCryptStatus::OpenFailed, "Unable to open the file \"" + missing + "\""},
      {false, dir.path().string(), FileCryptStatus::OpenFailed,
       "Unable to open the file \"" + dir.path().string() + "\""},
      {true, shortFile, FileCryptStatus::TooShort,
       "The file \"" + shortFile + "\" is too short to be an encrypted file. " + shortFile + " was not changed."},
  };
  for (const auto& c : cases) {
    const auto r = c.decrypt ? DecryptFile(bf, c.in, c.in + ".dec", "pw") : EncryptFile(bf, c.in, c.in + ".enc", "pw");
    EXPECT_EQ(r.status, c.status) << c.in;
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(dir.names(), (Names{"ro.txt", "short.txt"}));
  }
  EXPECT_EQ(readFile(ro), "read only");
  EXPECT_EQ(readFile(shortFile), std::string(31, 'x'));
}

// The temporary output cannot be made: a folder in the way, a missing
// folder, or a symbolic link (refused, so its target is not truncated).
TEST(FileCrypt, OutputCannotBeCreated) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("f.txt"), victim = dir.file("victim");
  writeFile(f, "content");
  writeFile(victim, "must survive");
  std::filesystem::create_directory(f + ".enc");
  const std::string outs[] = {f + ".enc", dir.file("no/such/folder.enc"), f + ".lnk"};
  std::filesystem::create_symlink(victim, f + ".lnk");
  for (const auto& out : outs) {
    const auto r = EncryptFile(bf, f, out, "pw");
    EXPECT_EQ(r.status, FileCryptStatus::CreateFailed) << out;
    EXPECT_EQ(r.message, "Unable to open the file \"" + out + "\"");
    EXPECT_EQ(readFile(f), "content");
    EXPECT_FALSE(bf.Initialized());
  }
  EXPECT_EQ(readFile(victim), "must survive");
  EXPECT_EQ(dir.names(), (Names{"f.txt", "f.txt.enc", "f.txt.lnk", "victim"}));
}

// Every step that can fail, failing: F keeps its bytes, the temporary output
// is gone, nothing is reported as done, the cipher is wiped.
TEST(FileCrypt, EveryFailingStepLeavesTheFileAlone) {
  struct Case {
    FileCryptStep step;
    int nth, err;
    FileCryptStatus status;
    const char* says;
  };
  const Case cases[] = {
      {FileCryptStep::OpenInput, 0, EACCES, FileCryptStatus::OpenFailed, "Unable to open the file"},
      {FileCryptStep::CreateOutput, 0, EACCES, FileCryptStatus::CreateFailed, "Unable to open the file"},
      {FileCryptStep::WriteCheck, 0, ENOSPC, FileCryptStatus::IoError, "Unable to write the file"},
      {FileCryptStep::ReadPiece, 0, EIO, FileCryptStatus::IoError, "Unable to read the file"},
      {FileCryptStep::ReadPiece, 1, EIO, FileCryptStatus::IoError, "Input/output error"},
      {FileCryptStep::WritePiece, 0, ENOSPC, FileCryptStatus::IoError, "No space left on device"},
      {FileCryptStep::WritePiece, 1, ENOSPC, FileCryptStatus::IoError, "Unable to write the file"},
      {FileCryptStep::SyncOutput, 0, EIO, FileCryptStatus::IoError, "Unable to write the file"},
      {FileCryptStep::CloseOutput, 0, EIO, FileCryptStatus::IoError, "Unable to write the file"},
      {FileCryptStep::DeleteCompanion, 0, EACCES, FileCryptStatus::RenameFailed, "Unable to delete the file"},
      {FileCryptStep::KeepOriginal, 0, EACCES, FileCryptStatus::RenameFailed, "Unable to rename"},
      {FileCryptStep::ReplaceFile, 0, EACCES, FileCryptStatus::RenameFailed, "Unable to rename"},
  };
  const std::string plain = crypto_test::pattern(600000);  // several pieces
  for (bool decrypt : {false, true}) {
    for (const auto& c : cases) {
      if (decrypt && c.step == FileCryptStep::WriteCheck) continue;  // decryption reads the check
      TempDir dir;
      TDCP_blowfish bf;
      const std::string f = dir.file("f.bin");
      const std::string original = decrypt ? encryptedBy(f, plain, "pw") : plain;
      writeFile(f, original);
      ::unlink((f + ".org").c_str());
      const std::string companion = f + (decrypt ? ".enc" : ".org");
      writeFile(companion, "old companion");
      HookGuard hook(failAt(c.step, c.nth, c.err));
      const auto r = decrypt ? DecryptFile(bf, f, f + ".dec", "pw") : EncryptFile(bf, f, f + ".enc", "pw");
      SCOPED_TRACE(testing::Message() << "decrypt=" << decrypt << " step " << int(c.step) << "/" << c.nth);
      EXPECT_EQ(r.status, c.status);
      EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
      if (c.status == FileCryptStatus::IoError || c.status == FileCryptStatus::RenameFailed) {
        EXPECT_NE(r.message.find(f + " was not changed."), std::string::npos) << r.message;
      }
      EXPECT_EQ(readFile(f), original);
      EXPECT_FALSE(std::filesystem::exists(f + (decrypt ? ".dec" : ".enc")));
      EXPECT_FALSE(bf.Initialized());
      // The old companion is kept unless it had already been deleted.
      if (c.step != FileCryptStep::KeepOriginal && c.step != FileCryptStep::ReplaceFile) {
        EXPECT_EQ(readFile(companion), "old companion");
      }
    }
  }
}

// Where the file system has no hard links the original is renamed to its
// companion instead; if the output then cannot take F's name, the original
// is renamed back.
TEST(FileCrypt, WithoutHardLinks) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("f.txt");
  writeFile(f, "plain");
  {
    HookGuard hook(failAt(FileCryptStep::KeepOriginal, 0, EPERM));
    ASSERT_TRUE(EncryptFile(bf, f, f + ".enc", "pw").ok());
    EXPECT_EQ(readFile(f + ".org"), "plain");
    EXPECT_EQ(dir.names(), (Names{"f.txt", "f.txt.org"}));
  }
  const std::string enc = readFile(f);
  {
    // The first KeepOriginal call is the hard link, the second the rename.
    auto keepCalls = std::make_shared<int>(0);
    HookGuard hook([=](FileCryptStep s) {
      if (s == FileCryptStep::KeepOriginal && (*keepCalls)++ == 0) return EXDEV;
      return s == FileCryptStep::ReplaceFile ? EIO : 0;
    });
    const auto r = DecryptFile(bf, f, f + ".dec", "pw");
    EXPECT_EQ(r.status, FileCryptStatus::RenameFailed);
    EXPECT_EQ(readFile(f), enc);
    EXPECT_EQ(dir.names(), (Names{"f.txt", "f.txt.org"}));
  }
}

// Interrupting the process at every step (the hook ends a child process
// there) never leaves the user without the original bytes: F holds them, or
// its companion does once F has been replaced.
TEST(FileCrypt, InterruptedAtEveryStep) {
  const std::string plain = crypto_test::pattern(300000);
  for (bool decrypt : {false, true}) {
    for (int stopAt = 0;; ++stopAt) {
      TempDir dir;
      const std::string f = dir.file("f.bin");
      const std::string original = decrypt ? encryptedBy(f, plain, "pw") : plain;
      writeFile(f, original);
      const std::string companion = f + (decrypt ? ".enc" : ".org");
      writeFile(companion, "old companion");
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        auto calls = std::make_shared<int>(0);
        SetFileCryptFaultHook([=](FileCryptStep) {
          if ((*calls)++ == stopAt) _exit(42);
          return 0;
        });
        TDCP_blowfish bf;
        const auto r = decrypt ? DecryptFile(bf, f, f + ".dec", "pw") : EncryptFile(bf, f, f + ".enc", "pw");
        _exit(r.ok() ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      const int code = WEXITSTATUS(status);
      SCOPED_TRACE(testing::Message() << "decrypt=" << decrypt << " stopped at call " << stopAt);
      ASSERT_NE(code, 1);
      const bool fIsOriginal = std::filesystem::exists(f) && readFile(f) == original;
      EXPECT_TRUE(fIsOriginal || readFile(companion) == original);
      if (code == 0) {  // ran to the end: every step has been interrupted once
        EXPECT_EQ(readFile(f), decrypt ? plain : encryptedBy(dir.file("again"), plain, "pw"));
        EXPECT_EQ(readFile(companion), original);
        EXPECT_GT(stopAt, 8);
        break;
      }
    }
  }
}

// A full disk: a small memory file system mounted for the test (needs root;
// skipped otherwise). Both directions report the error and lose nothing.
TEST(FileCrypt, FullDisk) {
  TempDir dir;
  const std::string mnt = dir.file("small");
  std::filesystem::create_directory(mnt);
  if (geteuid() != 0 || mount("tolvan-test", mnt.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): full-disk test skipped";
  struct Unmount {
    std::string at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{mnt};

  const std::string plain = crypto_test::pattern(700 * 1024);
  const std::string enc = encryptedBy(dir.file("outside"), plain, "pw");
  TDCP_blowfish bf;
  for (bool decrypt : {false, true}) {
    const std::string f = mnt + "/f.bin";
    writeFile(f, decrypt ? enc : plain);
    ASSERT_EQ(readFile(f), decrypt ? enc : plain) << "file did not fit";
    const auto r = decrypt ? DecryptFile(bf, f, f + ".dec", "pw") : EncryptFile(bf, f, f + ".enc", "pw");
    EXPECT_EQ(r.status, FileCryptStatus::IoError) << r.message;
    EXPECT_NE(r.message.find("No space left on device"), std::string::npos) << r.message;
    EXPECT_EQ(readFile(f), decrypt ? enc : plain);
    EXPECT_EQ(std::filesystem::directory_iterator(mnt)->path().filename(), "f.bin");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(mnt), std::filesystem::directory_iterator()), 1);
    std::filesystem::remove(f);
  }
}

TEST(FileCrypt, CommandTexts) {
  TempDir dir;
  writeFile(dir.file("f"), "");
  EXPECT_TRUE(IsExistingFile(dir.file("f")));
  for (const std::string& p : {dir.path().string(), dir.file("missing"), std::string(), std::string("/dev/null")})
    EXPECT_FALSE(IsExistingFile(p)) << p;
  EXPECT_EQ(NotAFileMessage("/home/u/docs"), "/home/u/docs is NOT a File. Please Select a File.");
  EXPECT_EQ(NotAFileMessage(""), " is NOT a File. Please Select a File.");
  EXPECT_STREQ(kFilePasswordCaption, "Password for encryption");
  EXPECT_STREQ(kFilePasswordPrompt, "Please enter the password");
}

// A progress callback that throws (the window's, say) leaves no temporary
// output, the file as it was and the cipher wiped.
TEST(FileCrypt, ThrowingProgressCleansUp) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("f.bin"), plain = crypto_test::pattern(700000);
  writeFile(f, plain);
  EXPECT_THROW(EncryptFile(bf, f, f + ".enc", "pw", [](std::uint64_t, std::uint64_t) { throw std::runtime_error("stop"); }),
               std::runtime_error);
  EXPECT_EQ(readFile(f), plain);
  EXPECT_EQ(dir.names(), (Names{"f.bin"}));
  EXPECT_FALSE(bf.Initialized());
}

// A real failure, not an injected one: a folder named like the companion
// cannot be deleted, so the output must not be renamed onto F.
TEST(FileCrypt, CompanionFolderBlocksTheReplacement) {
  TempDir dir;
  TDCP_blowfish bf;
  const std::string f = dir.file("f.txt");
  writeFile(f, "plain");
  std::filesystem::create_directories(f + ".org/inside");
  const auto r = EncryptFile(bf, f, f + ".enc", "pw");
  EXPECT_EQ(r.status, FileCryptStatus::RenameFailed);
  EXPECT_EQ(r.message.rfind("Unable to delete the file \"" + f + ".org\": ", 0), 0u) << r.message;
  EXPECT_EQ(readFile(f), "plain");
  EXPECT_EQ(dir.names(), (Names{"f.txt", "f.txt.org"}));
}

// Two commands on one file at once: while a command runs (at each step of
// its work), a second encrypt, decrypt or CRC of the same file is refused
// and changes nothing, and the first ends as if alone. The second command
// runs from inside the first one's hook, so the two overlap at exactly that
// step; the lock is per open file, so being on one thread does not help.
TEST(FileCrypt, OneCommandAtATimePerFile) {
  const std::string plain = crypto_test::pattern(600000);  // a few pieces
  enum class Second { Encrypt, Decrypt, Crc };
  for (bool decrypt : {false, true}) {
    for (FileCryptStep at : {FileCryptStep::CreateOutput, FileCryptStep::ReadPiece, FileCryptStep::WritePiece,
                             FileCryptStep::DeleteCompanion, FileCryptStep::KeepOriginal,
                             FileCryptStep::ReplaceFile}) {
      for (Second second : {Second::Encrypt, Second::Decrypt, Second::Crc}) {
        SCOPED_TRACE(testing::Message() << "decrypt=" << decrypt << " step=" << int(at) << " second=" << int(second));
        TempDir dir;
        const std::string f = dir.file("f.bin");
        const std::string original = decrypt ? encryptedBy(f, plain, "pw") : plain;
        writeFile(f, original);
        writeFile(f + (decrypt ? ".enc" : ".org"), "old companion");
        std::optional<FileCryptResult> inner;
        bool crcGiven = true;
        std::string why;
        std::vector<std::string> namesDuring;
        auto busy = std::make_shared<bool>(false);
        HookGuard guard([&, busy](FileCryptStep s) {
          if (s != at || *busy) return 0;
          *busy = true;
          namesDuring = dir.names();
          TDCP_blowfish other;
          std::uint32_t crc = 0;
          switch (second) {
            case Second::Encrypt: inner = EncryptFile(other, f, f + ".enc", "other"); break;
            case Second::Decrypt: inner = DecryptFile(other, f, f + ".dec", "pw"); break;
            case Second::Crc: crcGiven = FileCRC32(f, crc, &why); break;
          }
          EXPECT_EQ(dir.names(), namesDuring);  // the second command made and removed nothing
          return 0;
        });
        TDCP_blowfish bf;
        const auto r = decrypt ? DecryptFile(bf, f, f + ".dec", "pw") : EncryptFile(bf, f, f + ".enc", "pw");
        ASSERT_TRUE(*busy);
        EXPECT_TRUE(r.ok()) << r.message;
        if (second == Second::Crc) {
          EXPECT_FALSE(crcGiven);
          EXPECT_EQ(why, FileBusyMessage(f));
        } else {
          ASSERT_TRUE(inner.has_value());
          EXPECT_EQ(inner->status, FileCryptStatus::Busy);
          EXPECT_EQ(inner->message, FileBusyMessage(f) + " " + f + " was not changed.");
        }
        // The first command's result is whole: F and its companion as after a lone run.
        // (Compared as booleans: a difference of 600 KB is no use printed.)
        if (decrypt) {
          EXPECT_TRUE(readFile(f) == plain);
          EXPECT_TRUE(readFile(f + ".enc") == original);
        } else {
          EXPECT_TRUE(readFile(f + ".org") == plain);
          EXPECT_TRUE(readFile(f) == encryptedBy(dir.file("alone"), plain, "pw"));
        }
      }
    }
  }
}

// A command that dies while it holds the lock leaves nothing that blocks the
// next one, and a CRC is refused only while a command runs.
TEST(FileCrypt, LockEndsWithTheProcess) {
  TempDir dir;
  const std::string f = dir.file("f.txt");
  writeFile(f, std::string(300000, 'a'));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetFileCryptFaultHook([](FileCryptStep s) {
      if (s == FileCryptStep::WritePiece) ::kill(::getpid(), SIGKILL);
      return 0;
    });
    TDCP_blowfish bf;
    EncryptFile(bf, f, f + ".enc", "pw");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  std::uint32_t crc = 0;
  EXPECT_TRUE(FileCRC32(f, crc));
  TDCP_blowfish bf;
  const auto r = EncryptFile(bf, f, f + ".enc", "pw");
  EXPECT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(readFile(f + ".org"), std::string(300000, 'a'));
}

// A symbolic link stands for its target: the target is encrypted in place
// with its companion beside it, the link stays a link to it, and nothing is
// made beside the link. Decrypting through the link brings the text back.
TEST(FileCrypt, SymbolicLinkWorksOnItsTarget) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "real");
  const std::string target = dir.file("real/doc.txt"), link = dir.file("doc-link");
  writeFile(target, "plain words");
  std::filesystem::create_symlink("real/doc.txt", link);
  TDCP_blowfish bf;
  auto r = EncryptFile(bf, link, link + ".enc", "pw");
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.message, target + " encrypted !");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), "real/doc.txt");
  EXPECT_EQ(dir.names(), (Names{"doc-link", "real"}));
  EXPECT_EQ(readFile(target + ".org"), "plain words");
  EXPECT_EQ(readFile(target), encryptedBy(dir.file("alone"), "plain words", "pw"));
  r = DecryptFile(bf, link, link + ".dec", "pw");
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(readFile(link), "plain words");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::exists(target + ".enc"));
}
