// Fuzz target for file decryption. The input is the file, tried twice: as
// it is with the password "not the password", and behind the right password
// check for "pw" so the data path runs. Checks: a wrong password leaves the file alone
// with the empty ".dec" beside it; with the right one the result has 32
// bytes fewer, the file it came from is kept as ".enc", and encrypting the
// result again gives that file back byte for byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/crypto/blowfish.h"
#include "core/crypto/file_crypt.h"
#include "core/crypto/sha1.h"

namespace {

namespace fs = std::filesystem;

void check(bool ok) {
  if (!ok) std::abort();
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A private folder for this process, removed at exit. Never destroyed, so
// it is still there when the exit handler runs.
const fs::path& workDir() {
  static const fs::path* dir = [] {
    auto* d = new fs::path(fs::temp_directory_path() / ("tolvan-fuzz-file-" + std::to_string(getpid())));
    fs::create_directories(*d);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(workDir(), ec);
    });
    return d;
  }();
  return *dir;
}

// The password check an encrypted file starts with.
std::string checkFor(tolvan::TDCP_blowfish& cipher, const std::string& password) {
  std::string k = tolvan::Sha1(password) + std::string(12, '\xFF');
  cipher.Init(k.data(), 256, nullptr);
  cipher.EncryptCBC(k.data(), k.data(), k.size());
  cipher.Wipe();
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  static tolvan::TDCP_blowfish cipher;
  static const std::string verifier = checkFor(cipher, "pw");
  static const std::string otherVerifier = checkFor(cipher, "not the password");
  const std::string input(reinterpret_cast<const char*>(data), size);
  const fs::path f = workDir() / "f";
  const std::string fs_ = f.string();
  for (const auto& name : {fs_, fs_ + ".dec", fs_ + ".enc", fs_ + ".org"}) ::unlink(name.c_str());

  // As it is, with another password: it decrypts only if the input starts
  // with that password's check (the fuzzer does find it).
  writeFile(f, input);
  auto r = tolvan::DecryptFile(cipher, fs_, fs_ + ".dec", "not the password");
  check(!cipher.Initialized());
  check(r.ok() == (size >= 32 && input.compare(0, 32, otherVerifier) == 0));
  if (r.ok()) {
    check(readFile(fs_ + ".enc") == input);
    check(readFile(f).size() == size - 32);
  } else if (r.status == tolvan::FileCryptStatus::WrongPassword) {
    check(readFile(f) == input);
    check(readFile(fs_ + ".dec").empty());
  } else if (r.status == tolvan::FileCryptStatus::TooShort) {
    check(size < 32 && readFile(f) == input && !fs::exists(fs_ + ".dec"));
  }

  // Behind the right check.
  const std::string encrypted = verifier + input;
  writeFile(f, encrypted);
  r = tolvan::DecryptFile(cipher, fs_, fs_ + ".dec", "pw");
  check(r.ok());
  check(!cipher.Initialized());
  const std::string plain = readFile(f);
  check(plain.size() == input.size());
  check(readFile(fs_ + ".enc") == encrypted);
  check(!fs::exists(fs_ + ".dec"));
  r = tolvan::EncryptFile(cipher, fs_, fs_ + ".enc", "pw");
  check(r.ok());
  check(readFile(f) == encrypted);
  check(readFile(fs_ + ".org") == plain);
  return 0;
}
