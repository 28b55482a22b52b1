// TSCII <-> Unicode codec throughput on a few MiB of Tamil prose, against
// glibc iconv's TSCII charset converting the same text in the same run. The
// x_iconv counter is our speed divided by iconv's, both in CPU time of this
// thread (iconv's measured once per direction, best of five, before our
// loop); x_best divides our fastest conversion by iconv's fastest, so other
// load on the machine skews the ratio as little as it can.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "core/convert/unicode_stream.h"
#include "core/convert/unicode_simd.h"

namespace {

using tolvan::unicode_simd::BridgeLevel;

BridgeLevel best() { return tolvan::unicode_simd::AvailableBridgeLevels().back(); }

// Everyday words, grantha letters and the two-part vowels included.
const char* const kWords[] = {
    "தமிழ்", "மொழி", "உலகம்", "கணினி", "எழுத்து", "அரசு", "பள்ளி", "மாணவர்கள்", "வீடு", "நாடு",
    "கோயில்", "பொங்கல்", "திருவள்ளுவர்", "குறள்", "அன்பு", "நன்றி", "வணக்கம்", "செய்தி", "ஆசிரியர்",
    "புத்தகம்", "கைபேசி", "பௌர்ணமி", "ஜனவரி", "ஸ்ரீ", "க்ஷேத்திரம்", "ஹரி", "ஷேக்", "ஔவையார்",
    "ஒளி", "ஈழம்", "ஊர்", "ஏரி", "ஐந்து", "டிசம்பர்", "டீ", "பூமி", "கூட்டம்", "நூல்", "சென்னை",
    "மதுரை", "கோவை", "இந்தியா", "மக்கள்", "வேலை", "நேரம்", "பெண்", "தொழில்", "சொல்", "கொடி",
    "போராட்டம்", "நிலையம்", "ஞாயிறு", "ஙனம்", "முதல்", "இரண்டு", "மூன்று", "பத்து", "எங்கள்",
    "அவர்கள்", "இருந்தது", "வருகிறார்", "சொன்னார்", "கூறினார்", "என்று", "ஆகும்", "உள்ளது",
};

struct Texts {
  std::string tscii;
  std::string utf8;
};

const Texts& texts() {
  static const Texts t = [] {
    Texts r;
    std::mt19937 rng(42);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> punct(0, 19);
    int inLine = 0;
    while (r.utf8.size() < (6u << 20)) {
      r.utf8 += kWords[word(rng)];
      const int p = punct(rng);
      if (p == 0) r.utf8 += ",";
      if (p == 1) r.utf8 += ".";
      if (p == 2) r.utf8 += " 2026";
      r.utf8 += ++inLine == 12 ? "\n" : " ";
      if (inLine == 12) inLine = 0;
    }
    r.tscii = tolvan::UnicodeToTscii(r.utf8);
    return r;
  }();
  return t;
}

// One conversion through iconv; returns the output size (0 on failure).
size_t iconvOnce(iconv_t cd, const std::string& in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = out.data();
  size_t ol = out.size();
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) return 0;
  return out.size() - ol;
}

double threadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Input bytes per second that iconv manages for one direction, best of five.
double iconvRate(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  std::string out(in.size() * 4 + 64, '\0');
  double best = 0;
  for (int k = 0; k < 5; ++k) {
    const double t0 = threadSeconds();
    const size_t n = iconvOnce(cd, in, out);
    const double s = threadSeconds() - t0;
    if (n == 0) {
      std::fprintf(stderr, "iconv %s -> %s failed on the sample text\n", from, to);
      break;
    }
    best = std::max(best, in.size() / s);
  }
  iconv_close(cd);
  return best;
}

// Our input bytes per CPU second over the timed loop, divided by iconv's
// (x_iconv); and our best single conversion against iconv's best (x_best),
// which moves least when other programs share the processor.
void reportVsIconv(benchmark::State& state, size_t bytes, double seconds, double best, double iconvBytesPerSecond) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  if (iconvBytesPerSecond > 0 && seconds > 0) {
    state.counters["x_iconv"] = static_cast<double>(state.iterations()) * bytes / seconds / iconvBytesPerSecond;
    state.counters["x_best"] = bytes / best / iconvBytesPerSecond;
  }
}

void BM_TsciiToUnicode(benchmark::State& state) {
  const std::string& in = texts().tscii;
  static const double ref = iconvRate("UTF-8", "TSCII", in);
  const double t0 = threadSeconds();
  double best = 1e9, last = t0;
  for (auto _ : state) {
    std::string out = tolvan::TsciiToUnicode(in);
    benchmark::DoNotOptimize(out.data());
    const double now = threadSeconds();
    best = std::min(best, now - last);
    last = now;
  }
  reportVsIconv(state, in.size(), threadSeconds() - t0, best, ref);
}
BENCHMARK(BM_TsciiToUnicode)->Unit(benchmark::kMillisecond);

// The same at each level of vector code this processor has (0 scalar, 1 SSE2,
// 2 AVX2, 3 AVX-512, 4 AVX-512 VBMI2); the plain benchmark above runs the
// level chosen at run time.
void BM_TsciiToUnicodeAt(benchmark::State& state) {
  const auto level = static_cast<BridgeLevel>(state.range(0));
  if (tolvan::unicode_simd::SetBridgeLevel(level) != level && tolvan::unicode_simd::ActiveBridgeLevel() != level) {
    state.SkipWithError("level not available on this processor");
    return;
  }
  state.SetLabel(tolvan::unicode_simd::BridgeLevelName(level));
  BM_TsciiToUnicode(state);
  tolvan::unicode_simd::SetBridgeLevel(best());
}
BENCHMARK(BM_TsciiToUnicodeAt)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_UnicodeToTscii(benchmark::State& state) {
  const std::string& in = texts().utf8;
  static const double ref = iconvRate("TSCII", "UTF-8", in);
  const double t0 = threadSeconds();
  double best = 1e9, last = t0;
  for (auto _ : state) {
    std::string out = tolvan::UnicodeToTscii(in);
    benchmark::DoNotOptimize(out.data());
    const double now = threadSeconds();
    best = std::min(best, now - last);
    last = now;
  }
  reportVsIconv(state, in.size(), threadSeconds() - t0, best, ref);
}
BENCHMARK(BM_UnicodeToTscii)->Unit(benchmark::kMillisecond);

// A 128 MiB text in memory converted whole (the editor's and the library's
// way) beside the same text in 64 KiB pieces through the streams (the
// command line's way, output thrown away after each piece): the difference is
// the cost of holding the whole result.
const std::string& largeText(bool tscii) {
  static const std::array<std::string, 2> t = [] {
    std::string u, s;
    while (u.size() < (128u << 20)) u += texts().utf8;
    u.resize(128u << 20);
    u.resize(u.rfind(' '));  // whole letters only
    while (s.size() < (128u << 20)) s += texts().tscii;
    s.resize(128u << 20);
    return std::array<std::string, 2>{u, s};
  }();
  return t[tscii];
}

template <class Stream>
void streamInPieces(const std::string& in) {
  Stream stream;
  std::string out;
  for (size_t at = 0; at < in.size(); at += 1 << 16) {
    stream.feed(std::string_view(in).substr(at, 1 << 16), out);
    benchmark::DoNotOptimize(out.data());
    out.clear();
  }
  stream.finish(out);
  benchmark::DoNotOptimize(out.data());
}

void BM_Large(benchmark::State& state) {
  const bool toUnicode = state.range(0) == 0, whole = state.range(1) == 0;
  const std::string& in = largeText(toUnicode);
  state.SetLabel(std::string(toUnicode ? "TSCII->Unicode" : "Unicode->TSCII") + (whole ? ", whole" : ", 64 KiB pieces"));
  for (auto _ : state) {
    if (whole) {
      std::string out = toUnicode ? tolvan::TsciiToUnicode(in) : tolvan::UnicodeToTscii(in);
      benchmark::DoNotOptimize(out.data());
    } else if (toUnicode) {
      streamInPieces<tolvan::TsciiToUnicodeStream>(in);
    } else {
      streamInPieces<tolvan::UnicodeToTsciiStream>(in);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Large)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->MinTime(2);

// And at each level, as for TSCII -> Unicode.
void BM_UnicodeToTsciiAt(benchmark::State& state) {
  const auto level = static_cast<BridgeLevel>(state.range(0));
  if (tolvan::unicode_simd::SetBridgeLevel(level) != level && tolvan::unicode_simd::ActiveBridgeLevel() != level) {
    state.SkipWithError("level not available on this processor");
    return;
  }
  state.SetLabel(tolvan::unicode_simd::BridgeLevelName(level));
  BM_UnicodeToTscii(state);
  tolvan::unicode_simd::SetBridgeLevel(best());
}
BENCHMARK(BM_UnicodeToTsciiAt)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The references themselves, so the report shows their throughput too.
void BM_IconvTsciiToUtf8(benchmark::State& state) {
  const std::string& in = texts().tscii;
  iconv_t cd = iconv_open("UTF-8", "TSCII");
  std::string out(in.size() * 4 + 64, '\0');
  for (auto _ : state) benchmark::DoNotOptimize(iconvOnce(cd, in, out));
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_IconvTsciiToUtf8)->Unit(benchmark::kMillisecond);

void BM_IconvUtf8ToTscii(benchmark::State& state) {
  const std::string& in = texts().utf8;
  iconv_t cd = iconv_open("TSCII", "UTF-8");
  std::string out(in.size() + 64, '\0');
  for (auto _ : state) benchmark::DoNotOptimize(iconvOnce(cd, in, out));
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_IconvUtf8ToTscii)->Unit(benchmark::kMillisecond);

// English text: the ASCII fast path.
void BM_AsciiBothWays(benchmark::State& state) {
  std::string in;
  while (in.size() < (4u << 20)) in += "The quick brown fox jumps over the lazy dog, 1234567890 times.\n";
  for (auto _ : state) {
    benchmark::DoNotOptimize(tolvan::TsciiToUnicode(in).size());
    benchmark::DoNotOptimize(tolvan::UnicodeToTscii(in).size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size() * 2));
}
BENCHMARK(BM_AsciiBothWays)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
