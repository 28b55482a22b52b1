// Fuzz target for tolvan-cli's command line and input handling: the input is
// the arguments after the program name, each ended by a NUL byte, then an
// empty argument (a second NUL), then the bytes of standard input. The
// command runs in-process in a fresh folder holding a few files (text, a font
// map, a password file, an encrypted file, an empty file and a subfolder),
// with standard input, output and error on temporary files. It must return
// 0, 1 or 2; a failure must say why; everything on standard error starts with
// "tolvan-cli: ".
//
// Kept out: arguments naming paths with '/' (the commands change files in
// place, so they stay inside the folder), the rtf command (it replaces the
// process with tolvan-rtf), and asking for a password on the terminal (the
// crypto commands always get --password-file first; a later one the input
// gives can only name a file in the folder).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli.h"

extern "C" __attribute__((weak)) void __sanitizer_set_report_fd(void* fd);

namespace {

constexpr size_t kMaxInput = 16 * 1024;
constexpr size_t kMaxArgs = 16;

const char kText[] = "vaNakkam thamiz\n\xA6\xBE\xA1\xF8\xC5\xFD\r\nline three\n";
const char kMap[] =
    "Fontmap Created by Tolvan\r\nDo NOT change the contents of this file\r\n"
    "SourceFont=MylaiTSC\r\nTargetFont=Xyz\r\na=\xC0\xA1\r\nb=\r\n"
    "Tolvan written by Veyran Olmast\r\nhttp://www.tolvan.org\r\n";
const char kPassword[] = "secret\n";

int gStderr = -1;  // the fuzzer's own standard error, for reports

void check(bool ok, const char* what, const std::string& err) {
  if (ok) return;
  dprintf(gStderr, "cli_fuzz: %s\n--- standard error:\n%s\n", what, err.c_str());
  std::abort();
}

void writeFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
  ::close(fd);
}

std::string readFd(int fd) {
  std::string out;
  ::lseek(fd, 0, SEEK_SET);
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
  return out;
}

int tempFd(const std::string& folder, const char* name) {
  const int fd = ::open((folder + "/" + name).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  return fd;
}

// Runs the command line in `folder` with `in` as standard input; gives the
// status and what it wrote on standard error.
int run(std::vector<std::string> args, const std::string& folder, std::string_view in, std::string& err) {
  const std::string io = folder + ".io";
  ::mkdir(io.c_str(), 0700);
  const int inFd = tempFd(io, "in"), outFd = tempFd(io, "out"), errFd = tempFd(io, "err");
  if (!in.empty() && ::write(inFd, in.data(), in.size()) != ssize_t(in.size())) std::abort();
  ::lseek(inFd, 0, SEEK_SET);

  std::vector<char*> argv;
  static char program[] = "tolvan-cli";
  argv.push_back(program);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::fflush(stdout);
  const int saved[3] = {::dup(0), ::dup(1), ::dup(2)};
  ::dup2(inFd, 0);
  ::dup2(outFd, 1);
  ::dup2(errFd, 2);
  if (::chdir(folder.c_str()) != 0) std::abort();
  const int status = cli::runCli(int(argv.size() - 1), argv.data());
  std::fflush(stdout);
  std::clearerr(stdout);
  if (::fchdir(here) != 0) std::abort();
  for (int fd = 0; fd < 3; ++fd) {
    ::dup2(saved[fd], fd);
    ::close(saved[fd]);
  }
  ::close(here);
  err = readFd(errFd);
  ::close(inFd);
  ::close(outFd);
  ::close(errFd);
  std::filesystem::remove_all(io);
  return status;
}

// A fresh folder with the files the commands can be pointed at.
std::string makeFolder(const std::string& encrypted) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tolvan-cli-fuzz-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) std::abort();
  writeFile(tmpl + "/a.txt", kText);
  writeFile(tmpl + "/map.tol", std::string_view(kMap, sizeof kMap - 1));
  writeFile(tmpl + "/pw", kPassword);
  writeFile(tmpl + "/empty", "");
  if (!encrypted.empty()) writeFile(tmpl + "/a.enc", encrypted);
  ::mkdir((tmpl + "/dir").c_str(), 0700);
  return tmpl;
}

bool isCrypto(const std::string& command) {
  return command == "encrypt" || command == "decrypt" || command == "encrypt-text" || command == "decrypt-text";
}

// The text file encrypted with the password file's password, made once by
// the command itself.
const std::string& encryptedFixture() {
  static const std::string bytes = [] {
    const std::string folder = makeFolder({});
    std::string err;
    const int status = run({"encrypt", "--password-file", "pw", "a.txt"}, folder, {}, err);
    check(status == 0, "encrypting the fixture failed", err);
    std::string out;
    const int fd = ::open((folder + "/a.txt").c_str(), O_RDONLY | O_CLOEXEC);
    out = readFd(fd);
    ::close(fd);
    std::filesystem::remove_all(folder);
    return out;
  }();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (gStderr < 0) {
    gStderr = ::dup(2);
    // Sanitizer reports go to the real standard error even while the
    // command's is a file.
    if (__sanitizer_set_report_fd) __sanitizer_set_report_fd(reinterpret_cast<void*>(intptr_t(gStderr)));
  }
  if (size > kMaxInput) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::vector<std::string> args;
  size_t pos = 0;
  for (;;) {
    const size_t nul = input.find('\0', pos);
    if (nul == std::string_view::npos) {
      // No end mark: all of it is arguments (the last one ends with the input).
      if (pos < input.size()) args.emplace_back(input.substr(pos));
      pos = input.size();
      break;
    }
    if (nul == pos) {  // the empty argument: standard input follows
      ++pos;
      break;
    }
    args.emplace_back(input.substr(pos, nul - pos));
    pos = nul + 1;
  }
  if (args.size() > kMaxArgs) return 0;
  bool lineBreakInArgs = false;
  for (const auto& a : args) {
    if (a.find('/') != std::string::npos) return 0;
    if (a.find('\n') != std::string::npos) lineBreakInArgs = true;
  }
  if (!args.empty() && args[0] == "rtf") return 0;
  if (!args.empty() && isCrypto(args[0])) args.insert(args.begin() + 1, {"--password-file", "pw"});

  const std::string folder = makeFolder(encryptedFixture());
  std::string err;
  const int status = run(args, folder, input.substr(pos), err);
  std::filesystem::remove_all(folder);

  // CLI_FUZZ_SHOW=1 shows what each input does (for writing saved inputs).
  static const bool show = std::getenv("CLI_FUZZ_SHOW") != nullptr;
  if (show) {
    std::string line;
    for (const auto& a : args) line += " " + a;
    dprintf(gStderr, "[%d]%s\n%s", status, line.c_str(), err.c_str());
  }
  check(status == 0 || status == 1 || status == 2, "exit status other than 0, 1 or 2", err);
  if (status != 0) check(!err.empty(), "failed without a message", err);
  if (args.empty()) return 0;  // the help text, on standard error
  if (!err.empty()) {
    check(err.back() == '\n', "standard error does not end with a line break", err);
    // A file name with a line break is echoed as given, so only then may a
    // line start otherwise.
    for (size_t at = 0; at < err.size(); at = err.find('\n', at) + 1) {
      check(err.compare(at, 12, "tolvan-cli: ") == 0 || lineBreakInArgs,
            "a line on standard error does not start with \"tolvan-cli: \"", err);
      if (lineBreakInArgs) break;
    }
  }
  return 0;
}
