// tolvan-cli encrypt, decrypt, encrypt-text, decrypt-text and crc: the file
// and text encryption and the file checksum from the command line, with the
// messages the program shows (success on standard output, failure on
// standard error after "tolvan-cli: ", exit status 1; 2 for bad usage).
//
// The password comes from --password-file PATH (its first line, without the
// line ending) or, without that option, is asked on the terminal with echo
// off. It is never read from standard input, which carries the text for the
// text commands.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "cli.h"
#include "core/crypto/blowfish.h"
#include "core/crypto/crc32.h"
#include "core/crypto/crypto_error.h"
#include "core/crypto/file_crypt.h"
#include "core/crypto/text_crypt.h"
#include "core/crypto/wipe.h"

namespace cli {
namespace {

struct Options {
  bool hasPasswordFile = false;
  std::string passwordFile;
  Args files;
};

Options parse(const Args& args, const char* command, size_t wantFiles) {
  Options o;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsDone && a == "--") {
      optionsDone = true;
    } else if (!optionsDone && a == "--password-file") {
      if (i + 1 >= args.size()) throw UsageError("--password-file needs a file name");
      o.hasPasswordFile = true;
      o.passwordFile = args[++i];
    } else if (!optionsDone && a.rfind("--password-file=", 0) == 0) {
      o.hasPasswordFile = true;
      o.passwordFile = a.substr(16);
    } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
      throw UsageError(std::string(command) + ": unknown option '" + a + "' (try --help)");
    } else {
      o.files.push_back(a);
    }
  }
  if (o.files.size() != wantFiles)
    throw UsageError(std::string(command) + (wantFiles ? " needs one FILE" : " takes no file: it reads standard input") +
                     " (try --help)");
  return o;
}

// Holds the password and overwrites it when done.
class Password {
 public:
  Password() = default;
  ~Password() { tolvan::SecureFill(value_.data(), value_.size(), 0); }
  Password(const Password&) = delete;
  Password& operator=(const Password&) = delete;
  std::string& value() { return value_; }

 private:
  std::string value_;
};

void stripLineEnd(std::string& s) {
  if (!s.empty() && s.back() == '\n') s.pop_back();
  if (!s.empty() && s.back() == '\r') s.pop_back();
}

// The first line of the file, which may be a pipe (a shell's <(...)); read
// no further than the line, and no more than kMaxPasswordLine of it, so a
// file without line breaks (a device, a large file named by mistake) cannot
// fill memory.
constexpr size_t kMaxPasswordLine = 64 * 1024;
void readPasswordFile(const std::string& path, std::string& out) {
  if (path.empty() || path == "-")
    throw UsageError("the password is never read from standard input; --password-file needs a file");
  // A FIFO's writer may come after us (a script that starts tolvan-cli, then
  // writes the password): wait for it rather than read an end at once.
  Input in(path, true);
  char c;
  for (;;) {
    ssize_t n;
    do n = ::read(in.fd(), &c, 1);
    while (n < 0 && errno == EINTR);
    if (n < 0) throw std::runtime_error("cannot read the password file " + path + ": " + std::strerror(errno));
    if (n == 0 || c == '\n') break;
    if (out.size() == kMaxPasswordLine)
      throw std::runtime_error("the first line of the password file " + path + " is longer than " +
                               sizeText(kMaxPasswordLine));
    out += c;
  }
  tolvan::SecureFill(&c, 1, 0);
  stripLineEnd(out);
}

void askPassword(std::string& out) {
  std::FILE* tty = std::fopen("/dev/tty", "r+");
  if (!tty) throw std::runtime_error("no terminal to ask for the password; use --password-file PATH");
  const int fd = fileno(tty);
  termios saved{};
  const bool haveTermios = tcgetattr(fd, &saved) == 0;
  if (haveTermios) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::fputs("Please enter the password: ", tty);
  std::fflush(tty);
  int c;
  while ((c = std::fgetc(tty)) != EOF && c != '\n') out += static_cast<char>(c);
  if (haveTermios) tcsetattr(fd, TCSAFLUSH, &saved);
  std::fclose(tty);
  stripLineEnd(out);
}

// What the password is wanted for: encrypting refuses an empty password
// from a file, which is far more likely a file that was not ready (or the
// wrong file) than a password anyone chose.
enum class Purpose { Encrypt, Decrypt };

void getPassword(const Options& o, Password& pw, Purpose purpose) {
  if (o.hasPasswordFile) {
    readPasswordFile(o.passwordFile, pw.value());
    if (purpose == Purpose::Encrypt && pw.value().empty())
      throw std::runtime_error("the password file " + o.passwordFile +
                               " gives an empty password; nothing was encrypted");
  } else {
    askPassword(pw.value());
  }
}

int succeed(const std::string& message) {
  writeOut(message + "\n");
  return 0;
}


// The text commands hold the whole text (and its Base64) in memory, as the
// editor does; this bounds what standard input may bring.
constexpr std::uint64_t kMaxTextBytes = std::uint64_t(128) << 20;

using FileWorker = tolvan::FileCryptResult (*)(tolvan::TDCP_blockcipher&, const std::string&, const std::string&,
                                               std::string_view, const tolvan::FileCryptProgress&);

int fileCommand(const Args& args, const char* command, FileWorker worker, const char* tempSuffix, Purpose purpose) {
  const Options o = parse(args, command, 1);
  const std::string& f = o.files[0];
  if (!tolvan::IsExistingFile(f)) return fail(tolvan::NotAFileMessage(f));
  Password pw;
  getPassword(o, pw, purpose);
  tolvan::TDCP_blowfish cipher;
  const auto r = worker(cipher, f, f + tempSuffix, pw.value(), {});
  return r.ok() ? succeed(r.message) : fail(r.message);
}

}  // namespace

int cmdEncrypt(const Args& args) {
  return fileCommand(args, "encrypt", tolvan::EncryptFile, ".enc", Purpose::Encrypt);
}

int cmdDecrypt(const Args& args) {
  return fileCommand(args, "decrypt", tolvan::DecryptFile, ".dec", Purpose::Decrypt);
}

int cmdEncryptText(const Args& args) {
  const Options o = parse(args, "encrypt-text", 0);
  Password pw;
  getPassword(o, pw, Purpose::Encrypt);
  std::string text = readWhole("", kMaxTextBytes, "the text");
  tolvan::TDCP_blowfish cipher;
  std::string line = tolvan::EncryptText(cipher, text, pw.value());
  tolvan::SecureFill(text.data(), text.size(), 0);
  // Exactly the Base64 line; a line break only for a person at a terminal.
  if (isatty(STDOUT_FILENO)) line += '\n';
  writeOut(line);
  return 0;
}

int cmdDecryptText(const Args& args) {
  const Options o = parse(args, "decrypt-text", 0);
  Password pw;
  getPassword(o, pw, Purpose::Decrypt);
  std::string text = readWhole("", kMaxTextBytes, "the text");
  // A line break after the Base64 (from echo, an editor or encrypt-text on a
  // terminal) is not part of it. Only a text whose length is not a whole
  // number of Base64 quads is trimmed: one that is decodes exactly as given,
  // since lenient decoding reads any other character as a digit.
  while (text.size() % 4 != 0 && !text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  tolvan::TDCP_blowfish cipher;
  try {
    std::string bytes = tolvan::DecryptText(cipher, text, pw.value());
    writeOut(bytes);
    tolvan::SecureFill(bytes.data(), bytes.size(), 0);
  } catch (const tolvan::CryptoError& e) {
    return fail(e.what());
  }
  return 0;
}

int cmdCrc(const Args& args) {
  const Options o = parse(args, "crc", 1);
  const std::string& f = o.files[0];
  if (!tolvan::IsExistingFile(f)) return fail(tolvan::NotAFileMessage(f));
  std::uint32_t crc = 0;
  std::string why;
  if (!tolvan::FileCRC32(f, crc, &why)) return fail(why);
  return succeed(tolvan::CrcMessage(f, crc));
}

}  // namespace cli
