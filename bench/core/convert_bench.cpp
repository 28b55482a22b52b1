// Throughput of the text converters and of applying a font map, on a few MiB
// of realistic text, against memcpy of the same bytes in the same run.
//
// The text is made of Tamil words: written in the Roman scheme, converted to
// TSCII, and from TSCII back into Mylai keys and Anjal font bytes (each TSCII
// letter replaced by the shortest input that gives it), so that every
// converter sees the kind of text it is made for.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "convert_texts.h"

namespace {

constexpr size_t kTextSize = 4 << 20;

using tolvan::bench::inverse;
using tolvan::bench::reencode;

std::string romanText() { return tolvan::bench::romanText(kTextSize); }

struct Texts {
  std::string roman, tscii, mylai, anjal, fontMap;
  Texts() {
    roman = romanText();
    tscii = tolvan::RomanToTscii(roman);
    std::string mylaiKeys, anjalBytes;
    for (int c = 0x21; c < 0x7F; ++c) mylaiKeys += char(c);
    for (int c = 0x80; c < 0x100; ++c) anjalBytes += char(c);
    mylai = reencode(tscii, inverse([](const std::string& s) { return tolvan::MylaiToTscii(s); }, mylaiKeys));
    anjal = reencode(tscii, inverse([](const std::string& s) { return tolvan::AnjalToTscii(s); }, anjalBytes));
    // A map that re-codes every TSCII letter, some into two bytes.
    tolvan::FontMap m;
    m.sourceFont = "MylaiTSC";
    m.targetFont = "Other";
    for (unsigned c = 0x80; c < 0x100; ++c)
      m.cell(static_cast<unsigned char>(c)) = c % 5 ? std::string(1, char(c ^ 0x40)) : std::string{char(c), 'x'};
    fontMap = tolvan::WriteFontMap(m);
  }
};

const Texts& texts() {
  static const Texts t;
  return t;
}

void report(benchmark::State& state, const std::string& in) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void BM_Memcpy(benchmark::State& state) {
  const std::string& in = texts().tscii;
  std::string out(in.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  report(state, in);
}

void BM_TsciiToTab(benchmark::State& state) {
  const std::string& in = texts().tscii;
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::TsciiToTab(in));
  report(state, in);
}

void BM_MylaiToTscii(benchmark::State& state) {
  const std::string& in = texts().mylai;
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::MylaiToTscii(in));
  report(state, in);
}

void BM_AnjalToTscii(benchmark::State& state) {
  const std::string& in = texts().anjal;
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::AnjalToTscii(in));
  report(state, in);
}

void BM_RomanToTscii(benchmark::State& state) {
  const std::string& in = texts().roman;
  for (auto _ : state) benchmark::DoNotOptimize(tolvan::RomanToTscii(in));
  report(state, in);
}

void BM_FontMapApply(benchmark::State& state) {
  const std::string& in = texts().tscii;
  const tolvan::FontMapApplier map(texts().fontMap);
  for (auto _ : state) benchmark::DoNotOptimize(map.apply(in));
  report(state, in);
}

// The command-line tool's way: 64 KiB pieces through a ConvertStream.
void BM_RomanStream64K(benchmark::State& state) {
  const std::string& in = texts().roman;
  std::string out;
  for (auto _ : state) {
    tolvan::ConvertStream s(tolvan::Converter::RomanToTscii);
    for (size_t at = 0; at < in.size(); at += 1 << 16) {
      s.feed(std::string_view(in).substr(at, 1 << 16), out);
      out.clear();
    }
    s.finish(out);
    benchmark::DoNotOptimize(out.data());
  }
  report(state, in);
}

void BM_MylaiStream64K(benchmark::State& state) {
  const std::string& in = texts().mylai;
  std::string out;
  for (auto _ : state) {
    tolvan::ConvertStream s(tolvan::Converter::MylaiToTscii);
    for (size_t at = 0; at < in.size(); at += 1 << 16) {
      s.feed(std::string_view(in).substr(at, 1 << 16), out);
      out.clear();
    }
    s.finish(out);
    benchmark::DoNotOptimize(out.data());
  }
  report(state, in);
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_TsciiToTab);
BENCHMARK(BM_MylaiToTscii);
BENCHMARK(BM_AnjalToTscii);
BENCHMARK(BM_RomanToTscii);
BENCHMARK(BM_FontMapApply);
BENCHMARK(BM_RomanStream64K);
BENCHMARK(BM_MylaiStream64K);

}  // namespace

BENCHMARK_MAIN();
