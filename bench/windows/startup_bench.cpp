// Start-up speed: the main frame made, shown and painted (everything the
// program does before its first paint except the splash's 200 ms pause),
// against a bare QMainWindow holding a QMdiArea measured in the same run.
// Start-up is a cold path, so each timed start runs in a fresh process (this
// program started again with --child): the time is from the start of main()
// (QApplication included) to the first paint of the window's MDI area. The
// warm figures (a second window in the same process) are reported as well.
// Run: QT_QPA_PLATFORM=offscreen build/bench/startup_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/fonts.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"

namespace {

QTemporaryDir* g_dir = nullptr;
tolvan::ScriptedPrompts* g_prompts = nullptr;

// Sets *painted when the watched widget gets its first paint.
class PaintWatch : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void waitPainted(QWidget* viewport, PaintWatch& watch) {
  viewport->installEventFilter(&watch);
  QElapsedTimer guard;
  guard.start();
  while (!watch.painted && guard.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  viewport->removeEventFilter(&watch);
}

void BM_WarmBareMainWindowWithMdiArea(benchmark::State& state) {
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    {
      QMainWindow w;
      auto* mdi = new QMdiArea(&w);
      w.setCentralWidget(mdi);
      w.resize(800, 600);
      w.show();
      PaintWatch watch;
      waitPainted(mdi->viewport(), watch);
      state.SetIterationTime(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_WarmBareMainWindowWithMdiArea)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_WarmTolvanFrame(benchmark::State& state) {
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    {
      TMainForm frame(g_dir->path());
      frame.show();
      PaintWatch watch;
      waitPainted(frame.MdiArea()->viewport(), watch);
      state.SetIterationTime(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_WarmTolvanFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

// One cold start in a child process: its wall-clock and CPU milliseconds from
// main() to the first paint (wall negative on failure). On a busy machine the
// CPU figure is the steadier one.
std::pair<double, double> coldStart(const char* what) {
  QProcess p;
  p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), QLatin1String(what)});
  if (!p.waitForFinished(30000)) return {-1, -1};
  const QStringList f = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char(' '));
  bool ok1 = false, ok2 = false;
  const double wall = f.value(0).toDouble(&ok1), cpu = f.value(1).trimmed().toDouble(&ok2);
  return ok1 && ok2 ? std::make_pair(wall, cpu) : std::make_pair(-1.0, -1.0);
}

void coldBench(benchmark::State& state, const char* what) {
  double cpu = 0;
  for (auto _ : state) {
    const auto [wall, c] = coldStart(what);
    if (wall < 0) {
      state.SkipWithError("child start failed");
      break;
    }
    cpu += c;
    state.SetIterationTime(wall / 1000.0);
  }
  state.counters["child_cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}
void BM_ColdBareMainWindowWithMdiArea(benchmark::State& state) { coldBench(state, "bare"); }
void BM_ColdTolvanFrame(benchmark::State& state) { coldBench(state, "tolvan"); }
BENCHMARK(BM_ColdBareMainWindowWithMdiArea)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_ColdTolvanFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// The child: what the program does up to its first paint, without the splash.
int child(int argc, char** argv, const QByteArray& what) {
  const auto t0 = std::chrono::steady_clock::now();
  QApplication app(argc, argv);
  PaintWatch watch;
  if (what == "bare") {
    QMainWindow w;
    auto* mdi = new QMdiArea(&w);
    w.setCentralWidget(mdi);
    w.resize(800, 600);
    w.show();
    waitPainted(mdi->viewport(), watch);
  } else {
    tolvan::ScriptedPrompts prompts;
    tolvan::Prompts::setInstance(&prompts);
    // As the program starts: the font substitution now, the files later.
    tolvan::installTsciiSubstitutions(QCoreApplication::applicationDirPath());
    TMainForm frame(QCoreApplication::applicationDirPath());
    frame.show();
    waitPainted(frame.MdiArea()->viewport(), watch);
    tolvan::Prompts::setInstance(nullptr);
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  std::printf("%.3f %.3f\n", watch.painted ? ms : -1.0, cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6);
  std::fflush(stdout);
  std::_Exit(0);  // the teardown is not part of start-up
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && QByteArray(argv[1]) == "--child") {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return child(argc, argv, argv[2]);
  }
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                   : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  const QString ini = dir.filePath(QStringLiteral("Tolvan.ini"));
  {
    // A usual later start: a font chosen, a few documents in the list.
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[Tolvan]\r\nTimes=7\r\nFontDef=TSCu_Paranar\r\nViewer=11110\r\n"
            "[Tolvan\\TMainForm.RecentFiles]\r\nItem_0=/tmp/a.txt\r\nUser_0=1001\r\n"
            "Item_1=/tmp/b.rtf\r\nUser_1=1001\r\n");
  }
  qputenv("TOLVAN_INI", QFile::encodeName(ini));
  tolvan::ScriptedPrompts prompts;  // the thank-you box every hundredth start
  g_prompts = &prompts;
  tolvan::Prompts::setInstance(&prompts);

  QElapsedTimer fonts;
  fonts.start();
  tolvan::registerTsciiFonts(QCoreApplication::applicationDirPath());
  const double fontMs = fonts.nsecsElapsed() / 1e6;

  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("tscii_font_registration_ms", std::to_string(fontMs));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tolvan::Prompts::setInstance(nullptr);
  return 0;
}
