// Recognising a file's encoding: the whole-file UTF-8 check on 64 MiB of
// Tamil prose and of ASCII, and the decision on the same buffers, against
// memchr for a byte that is not there (a plain read of the same memory) in
// the same run. Bytes per second are in the bytes_per_second column.
// Run: build/bench/encoding_sniff_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "core/document/encoding_sniff.h"

namespace {

const char* const kWords[] = {
    "தமிழ்", "மொழி", "உலகம்", "கணினி", "எழுத்து", "அரசு", "பள்ளி", "மாணவர்கள்", "வீடு", "நாடு",
    "கோயில்", "பொங்கல்", "திருவள்ளுவர்", "குறள்", "அன்பு", "நன்றி", "வணக்கம்", "செய்தி", "ஆசிரியர்",
    "புத்தகம்", "ஸ்ரீ", "க்ஷேத்திரம்", "ஔவையார்", "2026", "மக்கள்", "வேலை", "நேரம்", "என்று",
};

std::string tamil() {
  std::string s;
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
  int inLine = 0;
  while (s.size() < (size_t(64) << 20)) {
    s += kWords[word(rng)];
    s += ++inLine % 12 == 0 ? "\n" : " ";
  }
  return s;
}

std::string ascii() {
  std::string s;
  while (s.size() < (size_t(64) << 20)) s += "The quick brown fox jumps over the lazy dog, 2026.\n";
  return s;
}

const std::string& text(int which) {
  static const std::string t = tamil();
  static const std::string a = ascii();
  return which == 0 ? t : a;
}

void BM_Utf8Check(benchmark::State& state) {
  const std::string& s = text(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::Utf8InvalidAt(s));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.size()));
  state.SetLabel(state.range(0) == 0 ? "Tamil UTF-8" : "ASCII");
}
BENCHMARK(BM_Utf8Check)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SniffWholeFile(benchmark::State& state) {
  const std::string& s = text(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::SniffEncoding(s));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.size()));
  state.SetLabel(state.range(0) == 0 ? "Tamil UTF-8" : "ASCII");
}
BENCHMARK(BM_SniffWholeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The reference: one pass reading the same memory.
void BM_MemchrReference(benchmark::State& state) {
  const std::string& s = text(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(std::memchr(s.data(), '\x01', s.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.size()));
  state.SetLabel(state.range(0) == 0 ? "Tamil UTF-8" : "ASCII");
}
BENCHMARK(BM_MemchrReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
