// Opening a Unicode document against a TSCII one: 50 MiB of UTF-8 Tamil
// prose, and the same text in TSCII (made from it by the bridge), each opened
// in a document window until the window is painted, in the same run. The
// ratio counter is the UTF-8 time over the TSCII time (the goal: within 2).
// Run: QT_QPA_PLATFORM=offscreen build/bench/unicode_open_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "platform/prompts.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/frame/main_form.h"

namespace {

QTemporaryDir* g_dir = nullptr;
TMainForm* g_frame = nullptr;

const char* const kWords[] = {
    "தமிழ்", "மொழி", "உலகம்", "கணினி", "எழுத்து", "அரசு", "பள்ளி", "மாணவர்கள்", "வீடு", "நாடு",
    "கோயில்", "பொங்கல்", "திருவள்ளுவர்", "குறள்", "அன்பு", "நன்றி", "வணக்கம்", "செய்தி", "ஆசிரியர்",
    "புத்தகம்", "கைபேசி", "பௌர்ணமி", "ஜனவரி", "ஸ்ரீ", "க்ஷேத்திரம்", "ஹரி", "ஔவையார்", "2026,",
    "மக்கள்", "வேலை", "நேரம்", "பெண்", "தொழில்", "சொல்", "என்று", "ஆகும்", "உள்ளது.",
};

// Paragraphs of about 400 bytes of UTF-8, lines ended by LF, size bytes.
std::string tamilProse(size_t size) {
  std::string s;
  s.reserve(size + 64);
  std::mt19937 rng(42);
  std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
  size_t inPara = 0;
  while (s.size() < size) {
    const char* w = kWords[word(rng)];
    s += w;
    inPara += std::char_traits<char>::length(w);
    if (inPara > 400) {
      s += '\n';
      inPara = 0;
    } else {
      s += ' ';
    }
  }
  // Cut after a whole line, so the text stays valid UTF-8.
  s.resize(s.rfind('\n', size) + 1);
  return s;
}

QString writeTemp(const QString& name, const std::string& bytes) {
  const QString path = g_dir->filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(bytes.data(), qint64(bytes.size()));
  return path;
}

// Opens file in a new window and paints it; the time taken, in ms.
double openToPainted(const QString& file, tolvan::TextEncoding* encoding) {
  QElapsedTimer t;
  t.start();
  TEditForm* form = g_frame->CreateEditForm();
  form->OpenDocumentFile(file);
  form->subWindow()->repaint();
  form->Editor->viewport()->repaint();
  const double ms = t.nsecsElapsed() / 1e6;
  *encoding = form->encoding();
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  return ms;
}

void BM_OpenUtf8VersusTscii50MiB(benchmark::State& state) {
  const std::string utf8 = tamilProse(size_t(50) << 20);
  const std::string tscii = tolvan::UnicodeToTscii(utf8);
  const QString utf8File = writeTemp(QStringLiteral("tamil-utf8.txt"), utf8);
  const QString tsciiFile = writeTemp(QStringLiteral("tamil-tscii.txt"), tscii);
  std::vector<double> u, t;
  for (auto _ : state) {
    tolvan::TextEncoding e1, e2;
    t.push_back(openToPainted(tsciiFile, &e1));
    u.push_back(openToPainted(utf8File, &e2));
    if (e1 != tolvan::TextEncoding::Tscii || e2 != tolvan::TextEncoding::Unicode) {
      state.SkipWithError("a file was not recognised as expected");
      return;
    }
    state.SetIterationTime(u.back() / 1e3);
  }
  const double mu = *std::min_element(u.begin(), u.end());
  const double mt = *std::min_element(t.begin(), t.end());
  state.counters["utf8_MiB"] = double(utf8.size()) / (1 << 20);
  state.counters["tscii_MiB"] = double(tscii.size()) / (1 << 20);
  state.counters["utf8_best_ms"] = mu;
  state.counters["tscii_best_ms"] = mt;
  state.counters["ratio"] = mu / mt;
}
BENCHMARK(BM_OpenUtf8VersusTscii50MiB)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  qputenv("TOLVAN_INI", dir.filePath(QStringLiteral("Tolvan.ini")).toLocal8Bit());
  tolvan::ScriptedPrompts prompts;
  tolvan::Prompts::setInstance(&prompts);
  TMainForm frame(dir.path());
  frame.resize(1024, 768);
  frame.show();
  QCoreApplication::processEvents();
  g_frame = &frame;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tolvan::Prompts::setInstance(nullptr);
  return 0;
}
