// tolvan-cli's crypto commands: messages on the right stream, exit status,
// password files, and text through standard input and output.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "core/crypto/blowfish.h"
#include "core/crypto/file_crypt.h"
#include "test_util.h"

using crypto_test::readFile;
using crypto_test::TempDir;
using crypto_test::writeFile;

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

// Runs tolvan-cli with the arguments (already shell-quoted where needed),
// standard input from a file holding `input`, and no terminal.
CliRun cli(const TempDir& dir, const std::string& arguments, const std::string& input = "") {
  const std::string in = dir.file(".stdin"), out = dir.file(".stdout"), err = dir.file(".stderr");
  writeFile(in, input);
  const std::string cmd = "setsid " + std::string(TOLVAN_CLI_PATH) + " " + arguments + " <'" + in + "' >'" + out +
                          "' 2>'" + err + "'";
  const int raw = std::system(cmd.c_str());
  CliRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
  for (const auto& f : {in, out, err}) std::remove(f.c_str());
  return r;
}

std::string q(const std::string& s) { return "'" + s + "'"; }

}  // namespace

TEST(CliCrypto, EncryptAndDecryptFile) {
  TempDir dir;
  const std::string f = dir.file("my doc.txt"), pw = dir.file("pw");
  writeFile(f, "Tamil text\r\n\xA6\xB8\xA1\r\n");
  writeFile(pw, "s3cret\r\nignored second line\n");
  CliRun r = cli(dir, "encrypt --password-file " + q(pw) + " " + q(f));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, f + " encrypted !\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(f).size(), 32u + 17u);
  EXPECT_EQ(readFile(f + ".org"), "Tamil text\r\n\xA6\xB8\xA1\r\n");

  // The password line's ending is not part of it; --password-file=PATH works too.
  writeFile(pw, "s3cret");
  r = cli(dir, "decrypt --password-file=" + q(pw) + " " + q(f));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, f + " decrypted !\n");
  EXPECT_EQ(readFile(f), "Tamil text\r\n\xA6\xB8\xA1\r\n");
  EXPECT_TRUE(std::filesystem::exists(f + ".enc"));
}

TEST(CliCrypto, FileCommandFailures) {
  TempDir dir;
  const std::string f = dir.file("f.txt"), pw = dir.file("pw"), ro = dir.file("ro.txt");
  writeFile(pw, "right\n");
  writeFile(f, std::string(40, 'x'));
  writeFile(ro, "read only");
  chmod(ro.c_str(), 0444);
  struct Case {
    std::string args, err;
  };
  const std::string folder = dir.path().string();
  const Case cases[] = {
      {"encrypt --password-file " + q(pw) + " " + q(folder), folder + " is NOT a File. Please Select a File."},
      {"decrypt --password-file " + q(pw) + " " + q(dir.file("none")),
       dir.file("none") + " is NOT a File. Please Select a File."},
      {"decrypt --password-file " + q(pw) + " " + q(f), "Incorrect password !"},
      {"encrypt --password-file " + q(pw) + " " + q(ro), "Unable to open the file \"" + ro + "\""},
      {"crc " + q(folder), folder + " is NOT a File. Please Select a File."},
      {"encrypt --password-file " + q(folder) + " " + q(f), "cannot read " + folder + ": it is a folder, not a file"},
      {"encrypt --password-file /dev/zero " + q(f),
       "the first line of the password file /dev/zero is longer than 64 KiB"},
  };
  for (const auto& c : cases) {
    const CliRun r = cli(dir, c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "tolvan-cli: " + c.err + "\n");
  }
  EXPECT_EQ(readFile(f), std::string(40, 'x'));
  // Without a password file and without a terminal there is nobody to ask.
  const CliRun r = cli(dir, "encrypt " + q(f));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("--password-file"), std::string::npos) << r.err;
  EXPECT_EQ(readFile(f), std::string(40, 'x'));
  // Usage errors.
  for (const char* args : {"encrypt", "crc a b", "encrypt --bogus x", "encrypt-text somefile"})
    EXPECT_EQ(cli(dir, args).status, 2) << args;
}

TEST(CliCrypto, Crc) {
  TempDir dir;
  const std::string f = dir.file("digits"), empty = dir.file("empty"), ro = dir.file("ro");
  writeFile(f, "123456789");
  writeFile(empty, "");
  writeFile(ro, "123456789");
  chmod(ro.c_str(), 0444);
  CliRun r = cli(dir, "crc " + q(f));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "CRC of " + f + " is CBF43926\n");
  r = cli(dir, "crc " + q(empty));
  EXPECT_EQ(r.out, "CRC of " + empty + " is 00000000\n");
  r = cli(dir, "crc " + q(ro));  // read-only: the CRC all the same, as in the window
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "CRC of " + ro + " is CBF43926\n");
}

// Standard input to standard output: exactly the Base64 line (no line break
// when not on a terminal), and back to the same bytes.
TEST(CliCrypto, Text) {
  TempDir dir;
  const std::string pw = dir.file("pw");
  writeFile(pw, "pass phrase\n");
  std::string doc = "line one\r\nline two\r\n";
  for (int i = 0; i < 256; ++i) doc += static_cast<char>(i);
  CliRun enc = cli(dir, "encrypt-text --password-file " + q(pw), doc);
  ASSERT_EQ(enc.status, 0) << enc.err;
  EXPECT_EQ(enc.out.size(), (doc.size() + 2) / 3 * 4);
  EXPECT_EQ(enc.out.find('\n'), std::string::npos);
  CliRun dec = cli(dir, "decrypt-text --password-file " + q(pw), enc.out);
  ASSERT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out, doc);
  // A trailing line break on the input is forgiven.
  dec = cli(dir, "decrypt-text --password-file " + q(pw), enc.out + "\r\n");
  EXPECT_EQ(dec.out, doc);
  // Whole Base64 quads are decoded exactly as given, line breaks and all
  // (lenient decoding reads them as digits), as the editor's command does.
  dec = cli(dir, "decrypt-text --password-file " + q(pw), "AAAA\n\n\n\n");
  EXPECT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out.size(), 6u);
  // Not whole Base64 groups: the Base64 error, nothing on standard output.
  dec = cli(dir, "decrypt-text --password-file " + q(pw), "abcde");
  EXPECT_EQ(dec.status, 1);
  EXPECT_EQ(dec.out, "");
  EXPECT_EQ(dec.err, "tolvan-cli: Base64: Incorrect string format\n");
  // The empty text stays empty.
  EXPECT_EQ(cli(dir, "encrypt-text --password-file " + q(pw), "").out, "");
}

// Encrypting never uses an empty password from a file: an empty file or an
// empty first line is refused, and nothing is encrypted.
TEST(CliCrypto, EmptyPasswordFromAFileEncryptsNothing) {
  TempDir dir;
  const std::string f = dir.file("f.txt"), pw = dir.file("pw");
  writeFile(f, "words");
  for (const std::string& content : {std::string(), std::string("\n"), std::string("\r\nsecond line\n")}) {
    writeFile(pw, content);
    const std::string refused =
        "tolvan-cli: the password file " + pw + " gives an empty password; nothing was encrypted\n";
    struct Case {
      std::string args, input;
    };
    const Case cases[] = {{"encrypt --password-file " + q(pw) + " " + q(f), ""},
                          {"encrypt-text --password-file " + q(pw), "words"}};
    for (const auto& c : cases) {
      const CliRun r = cli(dir, c.args, c.input);
      EXPECT_EQ(r.status, 1) << c.args;
      EXPECT_EQ(r.out, "") << c.args;
      EXPECT_EQ(r.err, refused) << c.args;
    }
    EXPECT_EQ(readFile(f), "words");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"f.txt", "pw"}));
  }
}

// A password FIFO whose writer comes only after tolvan-cli has started:
// tolvan-cli waits for it and encrypts with the password it writes. The
// writer opens the FIFO once tolvan-cli is seen blocked opening it.
TEST(CliCrypto, PasswordFifoWaitsForItsWriter) {
  TempDir dir;
  const std::string f = dir.file("f.txt"), fifo = dir.file("pw.fifo"), out = dir.file("out"), err = dir.file("err");
  writeFile(f, "words");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string a0 = TOLVAN_CLI_PATH, a1 = "encrypt", a2 = "--password-file", a3 = fifo, a4 = f;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int raw = 0;
  bool wrote = false, exited = false;
  while (!wrote && !exited) {
    exited = waitpid(pid, &raw, WNOHANG) == pid;
    if (exited) break;
    // Blocked in open (2) or openat (257) on x86-64; elsewhere just try.
    const std::string call = readFile("/proc/" + std::to_string(pid) + "/syscall");
    const bool opening = call.empty() || call.rfind("257 ", 0) == 0 || call.rfind("2 ", 0) == 0;
    const int w = opening ? ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (w >= 0) {
      EXPECT_EQ(::write(w, "right\n", 6), 6);
      ::close(w);
      wrote = true;
    } else {
      ::usleep(1000);
    }
  }
  if (!exited) {
    ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  }
  EXPECT_TRUE(wrote) << "tolvan-cli ended before the password was written: " << readFile(out) << readFile(err);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << readFile(err);
  tolvan::TDCP_blowfish bf;
  const auto back = tolvan::DecryptFile(bf, f, f + ".dec", "right");
  EXPECT_TRUE(back.ok()) << back.message;
  EXPECT_EQ(readFile(f), "words");
}

// Two processes on one file: while this process encrypts F (held at its
// first piece), tolvan-cli's encrypt, decrypt and crc of F are refused with
// one line and change nothing; this process's command then ends as if alone.
TEST(CliCrypto, FileInUseByAnotherProcess) {
  TempDir dir;
  const std::string f = dir.file("f.txt"), pw = dir.file("pw");
  writeFile(pw, "pw\n");
  const std::string plain = crypto_test::pattern(300000);
  writeFile(f, plain);
  const std::string busy = "tolvan-cli: The file \"" + f + "\" is in use by another command (encryption, decryption or CRC).";
  struct Run {
    std::string args, err;
  };
  const Run runs[] = {
      {"encrypt --password-file " + q(pw) + " " + q(f), busy + " " + f + " was not changed.\n"},
      {"decrypt --password-file " + q(pw) + " " + q(f), busy + " " + f + " was not changed.\n"},
      {"crc " + q(f), busy + "\n"},
  };
  bool ran = false;
  tolvan::SetFileCryptFaultHook([&](tolvan::FileCryptStep s) {
    if (s != tolvan::FileCryptStep::ReadPiece || ran) return 0;
    ran = true;
    for (const auto& run : runs) {
      const CliRun r = cli(dir, run.args);
      EXPECT_EQ(r.status, 1) << run.args;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, run.err);
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"f.txt", "f.txt.enc", "pw"}));
    return 0;
  });
  tolvan::TDCP_blowfish bf;
  const auto result = tolvan::EncryptFile(bf, f, f + ".enc", "pw");
  tolvan::SetFileCryptFaultHook(nullptr);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(result.ok()) << result.message;
  EXPECT_TRUE(readFile(f + ".org") == plain);
  // And afterwards the file is free again.
  const CliRun r = cli(dir, "decrypt --password-file " + q(pw) + " " + q(f));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(f) == plain);
}

// A symbolic link: the file it points to is encrypted, the link stays.
TEST(CliCrypto, EncryptThroughASymbolicLink) {
  TempDir dir;
  const std::string target = dir.file("doc.txt"), link = dir.file("link"), pw = dir.file("pw");
  writeFile(pw, "pw\n");
  writeFile(target, "words");
  std::filesystem::create_symlink(target, link);
  const CliRun r = cli(dir, "encrypt --password-file " + q(pw) + " " + q(link));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, target + " encrypted !\n");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readFile(target + ".org"), "words");
  EXPECT_EQ(readFile(link).size(), 32u + 5u);
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"doc.txt", "doc.txt.org", "link", "pw"}));
}
