// Speed of the cipher and checksum against reference libraries, measured in
// the same run: our Blowfish CBC against OpenSSL's, our CRC-32 against
// zlib's and libdeflate's. Before timing, each reference also checks that
// our output is byte-identical to its own.
//
//   cmake --build <build> --target crypto_bench
//   <build>/bench/crypto_bench --benchmark_min_time=1
//
// The last lines printed are the ratios (ours / reference, higher is better).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/crypto/blowfish.h"
#include "core/crypto/crc32.h"
#include "core/crypto/sha1.h"

#ifdef TOLVAN_HAVE_OPENSSL
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#endif
#ifdef TOLVAN_HAVE_ZLIB
#include <zlib.h>
#endif
#ifdef TOLVAN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

constexpr std::size_t kCipherBuffer = 256 * 1024;  // the file commands' piece
constexpr std::size_t kCrcBuffer = 256 * 1024;     // the file checksum's piece

std::vector<unsigned char> data(std::size_t n) {
  std::vector<unsigned char> v(n);
  std::uint32_t x = 12345;
  for (auto& b : v) {
    x = x * 1103515245 + 12345;
    b = static_cast<unsigned char>(x >> 16);
  }
  return v;
}

// The file commands' key: SHA-1 of the password and twelve 0xFF bytes.
std::string key32() {
  return tolvan::Sha1("benchmark password") + std::string(12, '\xFF');
}

void keyed(tolvan::TDCP_blowfish& bf) {
  const std::string k = key32();
  bf.Init(k.data(), 256, nullptr);
}

void BM_BlowfishCbcEncrypt(benchmark::State& state) {
  tolvan::TDCP_blowfish bf;
  keyed(bf);
  auto buf = data(kCipherBuffer);
  for (auto _ : state) {
    bf.EncryptCBC(buf.data(), buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_BlowfishCbcEncrypt);

void BM_BlowfishCbcDecrypt(benchmark::State& state) {
  tolvan::TDCP_blowfish bf;
  keyed(bf);
  auto buf = data(kCipherBuffer);
  for (auto _ : state) {
    bf.DecryptCBC(buf.data(), buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_BlowfishCbcDecrypt);

void BM_BlowfishCfb8Encrypt(benchmark::State& state) {
  tolvan::TDCP_blowfish bf;
  bf.InitFromPassphrase("benchmark password");
  auto buf = data(16 * 1024);  // a document's text
  for (auto _ : state) {
    bf.EncryptCFB8(buf.data(), buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_BlowfishCfb8Encrypt);

#ifdef TOLVAN_HAVE_OPENSSL
struct OpenSslBf {
  BF_KEY key;
  unsigned char iv[8];
  OpenSslBf() {
    const std::string k = key32();
    BF_set_key(&key, static_cast<int>(k.size()), reinterpret_cast<const unsigned char*>(k.data()));
    std::memset(iv, 0xFF, 8);
    BF_ecb_encrypt(iv, iv, &key, BF_ENCRYPT);  // the same derived IV as ours
  }
};

void BM_OpenSSL_BlowfishCbcEncrypt(benchmark::State& state) {
  OpenSslBf ref;
  auto buf = data(kCipherBuffer);
  for (auto _ : state) {
    BF_cbc_encrypt(buf.data(), buf.data(), static_cast<long>(buf.size()), &ref.key, ref.iv, BF_ENCRYPT);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_OpenSSL_BlowfishCbcEncrypt);

void BM_OpenSSL_BlowfishCbcDecrypt(benchmark::State& state) {
  OpenSslBf ref;
  auto buf = data(kCipherBuffer);
  for (auto _ : state) {
    BF_cbc_encrypt(buf.data(), buf.data(), static_cast<long>(buf.size()), &ref.key, ref.iv, BF_DECRYPT);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_OpenSSL_BlowfishCbcDecrypt);

bool sameAsOpenSsl() {
  OpenSslBf ref;
  tolvan::TDCP_blowfish bf;
  keyed(bf);
  auto plain = data(kCipherBuffer), ours = plain, theirs = plain;
  bf.EncryptCBC(ours.data(), ours.data(), ours.size());
  unsigned char iv[8];
  std::memcpy(iv, ref.iv, 8);
  BF_cbc_encrypt(theirs.data(), theirs.data(), static_cast<long>(theirs.size()), &ref.key, iv, BF_ENCRYPT);
  if (ours != theirs) return false;
  bf.ResetChain();
  bf.DecryptCBC(ours.data(), ours.data(), ours.size());
  return ours == plain;
}
#endif

void BM_Crc32(benchmark::State& state) {
  auto buf = data(kCrcBuffer);
  std::uint32_t crc = 0;
  for (auto _ : state) benchmark::DoNotOptimize(crc = tolvan::UpdateCRC32(crc, buf.data(), buf.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
  state.SetLabel(tolvan::Crc32MethodName(tolvan::ChosenCrc32Method()));
}
BENCHMARK(BM_Crc32);

void BM_Crc32Clmul128(benchmark::State& state) {
  const auto methods = tolvan::AvailableCrc32Methods();
  if (std::find(methods.begin(), methods.end(), tolvan::Crc32Method::Clmul) == methods.end()) {
    state.SkipWithError("no PCLMULQDQ on this processor");
    return;
  }
  auto buf = data(kCrcBuffer);
  std::uint32_t crc = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(crc = tolvan::UpdateCRC32With(tolvan::Crc32Method::Clmul, crc, buf.data(), buf.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_Crc32Clmul128);

void BM_Crc32Clmul128Avx(benchmark::State& state) {
  const auto methods = tolvan::AvailableCrc32Methods();
  if (std::find(methods.begin(), methods.end(), tolvan::Crc32Method::ClmulAvx) == methods.end()) {
    state.SkipWithError("no AVX on this processor");
    return;
  }
  auto buf = data(kCrcBuffer);
  std::uint32_t crc = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(crc = tolvan::UpdateCRC32With(tolvan::Crc32Method::ClmulAvx, crc, buf.data(), buf.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_Crc32Clmul128Avx);

void BM_Crc32Portable(benchmark::State& state) {
  auto buf = data(kCrcBuffer);
  std::uint32_t crc = 0;
  for (auto _ : state) benchmark::DoNotOptimize(crc = tolvan::UpdateCRC32Portable(crc, buf.data(), buf.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_Crc32Portable);

#ifdef TOLVAN_HAVE_ZLIB
void BM_Zlib_Crc32(benchmark::State& state) {
  auto buf = data(kCrcBuffer);
  uLong crc = 0;
  for (auto _ : state) benchmark::DoNotOptimize(crc = crc32(crc, buf.data(), static_cast<uInt>(buf.size())));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_Zlib_Crc32);
#endif

#ifdef TOLVAN_HAVE_LIBDEFLATE
void BM_Libdeflate_Crc32(benchmark::State& state) {
  auto buf = data(kCrcBuffer);
  std::uint32_t crc = 0;
  for (auto _ : state) benchmark::DoNotOptimize(crc = libdeflate_crc32(crc, buf.data(), buf.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_Libdeflate_Crc32);
#endif

bool crcAgrees() {
  auto buf = data(kCrcBuffer + 13);
  const std::uint32_t ours = ~tolvan::UpdateCRC32(0xFFFFFFFF, buf.data(), buf.size());
  bool ok = ours == ~tolvan::UpdateCRC32Portable(0xFFFFFFFF, buf.data(), buf.size());
#ifdef TOLVAN_HAVE_ZLIB
  ok = ok && ours == crc32(0, buf.data(), static_cast<uInt>(buf.size()));
#endif
#ifdef TOLVAN_HAVE_LIBDEFLATE
  ok = ok && ours == libdeflate_crc32(0, buf.data(), buf.size());
#endif
  return ok;
}

// Prints the usual table, then ours/reference ratios of the throughputs.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) rate_[r.benchmark_name()] = it->second.value;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    ratio("Blowfish CBC encrypt / OpenSSL", "BM_BlowfishCbcEncrypt", "BM_OpenSSL_BlowfishCbcEncrypt");
    ratio("Blowfish CBC decrypt / OpenSSL", "BM_BlowfishCbcDecrypt", "BM_OpenSSL_BlowfishCbcDecrypt");
    ratio("CRC-32 / zlib", "BM_Crc32", "BM_Zlib_Crc32");
    ratio("CRC-32 / libdeflate", "BM_Crc32", "BM_Libdeflate_Crc32");
    ratio("CRC-32 128-bit clmul / libdeflate", "BM_Crc32Clmul128", "BM_Libdeflate_Crc32");
    ratio("CRC-32 128-bit clmul AVX / libdeflate", "BM_Crc32Clmul128Avx", "BM_Libdeflate_Crc32");
    ratio("CRC-32 tables / zlib", "BM_Crc32Portable", "BM_Zlib_Crc32");
  }

 private:
  void ratio(const char* what, const std::string& ours, const std::string& ref) {
    if (!rate_.count(ours) || !rate_.count(ref)) return;
    std::printf("%-38s %6.2fx  (%.0f MB/s vs %.0f MB/s)\n", what, rate_[ours] / rate_[ref], rate_[ours] / 1e6,
                rate_[ref] / 1e6);
  }
  std::map<std::string, double> rate_;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef TOLVAN_HAVE_OPENSSL
  if (!sameAsOpenSsl()) {
    std::fprintf(stderr, "Blowfish CBC output differs from OpenSSL's\n");
    return 1;
  }
#endif
  if (!crcAgrees()) {
    std::fprintf(stderr, "CRC-32 differs from the reference\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
