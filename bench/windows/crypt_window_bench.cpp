// Encrypting a large file from the window against `tolvan-cli encrypt` of the
// same file in the same run. The window run is the real command: the frame
// with its directory panel showing the file's folder, Encrypt2Click on the
// selected file, the password from a script, until the command reports its
// end. Measured meanwhile: the longest gap between two paints of the status
// bar's progress bar, the longest gap between ticks of a 10 ms timer on the
// user-interface thread (how long the window could not react), and the
// process's resident memory (sampled every 50 ms) above what it was before.
// The two take turns going first, so neither always meets a disk still busy
// with the other's writes.
//
//   QT_QPA_PLATFORM=offscreen build/bench/crypt_window_bench [MiB, default 1024] [tolvan-cli]
//
// GAPS=1 prints every gap over 60 ms with its time since the start.
// RUNS (default 2) runs of each, best time kept. The file is made in a fresh
// folder under ${TMPDIR:-/tmp} and removed at the end; both read it from the
// page cache.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/prompts.h"
#include "windows/frame/crypt_commands.h"
#include "windows/panels/dir_panel.h"
#include "windows/frame/main_form.h"

namespace {

long rssKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return 0;
}

// Records the time of every paint of the widgets it watches.
class PaintClock : public QObject {
 public:
  QElapsedTimer clock;
  qint64 last = -1, longest = 0;
  int paints = 0;
  bool trace = qEnvironmentVariableIsSet("GAPS");
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && qobject_cast<QProgressBar*>(o)) {
      const qint64 now = clock.elapsed();
      if (last >= 0) longest = std::max(longest, now - last);
      if (trace && last >= 0 && now - last > 60)
        std::printf("  paint gap %lld ms, %lld..%lld ms, bar at %d\n", static_cast<long long>(now - last),
                    static_cast<long long>(last), static_cast<long long>(now),
                    static_cast<QProgressBar*>(o)->value());
      last = now;
      ++paints;
    }
    return false;
  }
};

bool makeFile(const QString& path, qint64 mib) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QByteArray piece(1 << 20, Qt::Uninitialized);
  quint64 x = 0x9E3779B97F4A7C15ull;
  for (qint64 k = 0; k < mib; ++k) {
    auto* w = reinterpret_cast<quint64*>(piece.data());
    for (qsizetype i = 0; i < piece.size() / 8; ++i) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      w[i] = x;
    }
    if (f.write(piece) != piece.size()) return false;
  }
  return true;
}

// After an encryption: the plaintext back under its own name.
bool restore(const QString& file) {
  QFile::remove(file);
  return QFile::rename(file + ".org", file);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 1024;
  const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2])
                               : QCoreApplication::applicationDirPath() + "/../bin/tolvan-cli";
  const int runs = qEnvironmentVariableIsSet("RUNS") ? std::max(1, qEnvironmentVariableIntValue("RUNS")) : 2;

  QTemporaryDir dir(QDir::tempPath() + "/tolvan-window-XXXXXX");
  const QString file = dir.filePath("plain.bin");
  const QString pwFile = dir.filePath("pw");
  std::printf("making a %lld MiB file in %s\n", static_cast<long long>(mib), qPrintable(dir.path()));
  if (!makeFile(file, mib)) return 1;
  {
    QFile pw(pwFile);
    pw.open(QIODevice::WriteOnly);
    pw.write("benchmark password\n");
  }
  QFile ini(dir.filePath("Tolvan.ini"));
  ini.open(QIODevice::WriteOnly);
  // NO_PANEL=1: the directory panel hidden (to see what watching the folder costs).
  ini.write("[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\nViewer=" +
            QByteArray(qEnvironmentVariableIsSet("NO_PANEL") ? "11110" : "11111") + "\r\nWorkDir=" + QFile::encodeName(dir.path()) +
            "\r\n");
  ini.close();
  qputenv("TOLVAN_INI", QFile::encodeName(ini.fileName()));

  tolvan::ScriptedPrompts prompts;
  tolvan::Prompts::setInstance(&prompts);
  TMainForm frame(dir.path());
  frame.resize(1000, 700);
  frame.show();
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 500) app.processEvents(QEventLoop::AllEvents, 50);

  double bestCli = 1e18, bestWin = 1e18;
  qint64 worstPaintGap = 0, worstTickGap = 0;
  long rssGrowth = 0, rssBefore = 0;
  int paints = 0;
  for (int r = 0; r < runs; ++r) {
    auto runCli = [&]() -> bool {
      QElapsedTimer t;
      t.start();
      QProcess p;
      p.start(cli, {"encrypt", "--password-file", pwFile, file});
      if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "tolvan-cli failed: %s\n", p.readAllStandardError().constData());
        return false;
      }
      bestCli = std::min(bestCli, t.elapsed() / 1000.0);
      return restore(file);
    };
    if (r % 2 == 0 && !runCli()) return 1;
    // The window.
    PaintClock paintsClock;
    paintsClock.clock.start();
    app.installEventFilter(&paintsClock);
    qint64 lastTick = -1, longestTick = 0;
    QTimer heart;
    heart.setInterval(10);
    QObject::connect(&heart, &QTimer::timeout, [&] {
      const qint64 now = paintsClock.clock.elapsed();
      if (lastTick >= 0) longestTick = std::max(longestTick, now - lastTick);
      if (paintsClock.trace && lastTick >= 0 && now - lastTick > 60)
        std::printf("  timer gap %lld ms, %lld..%lld ms\n", static_cast<long long>(now - lastTick),
                    static_cast<long long>(lastTick), static_cast<long long>(now));
      lastTick = now;
    });
    rssBefore = rssKiB();
    long rssPeak = rssBefore;
    QTimer mem;
    mem.setInterval(50);
    QObject::connect(&mem, &QTimer::timeout, [&] { rssPeak = std::max(rssPeak, rssKiB()); });
    // A real event loop, as the program runs: it sleeps until something
    // happens (processEvents with a time limit would spin).
    QEventLoop loop;
    bool ok = false;
    auto conn = QObject::connect(frame.CryptCommands, &TCryptCommands::finished, &loop,
                                 [&](TCryptCommands::Kind, const QString&, bool success) {
                                   ok = success;
                                   loop.quit();
                                 });
    frame.DirTree->SelectPath(file);
    prompts.inputs = {QStringLiteral("benchmark password")};
    QElapsedTimer t;
    t.start();
    heart.start();
    mem.start();
    frame.Encrypt2Click();
    if (frame.CryptCommands->RunningCount() > 0) loop.exec();
    QObject::disconnect(conn);
    const double secs = t.elapsed() / 1000.0;
    if (paintsClock.trace)
      std::printf("  window run: %lld ms, last paint at %lld ms\n", static_cast<long long>(paintsClock.clock.elapsed()),
                  static_cast<long long>(paintsClock.last));
    heart.stop();
    mem.stop();
    app.removeEventFilter(&paintsClock);
    if (!ok) {
      std::fprintf(stderr, "window command failed: %s\n", qPrintable(prompts.shown.join(" | ")));
      return 1;
    }
    bestWin = std::min(bestWin, secs);
    worstPaintGap = std::max(worstPaintGap, paintsClock.longest);
    worstTickGap = std::max(worstTickGap, longestTick);
    rssGrowth = std::max(rssGrowth, rssPeak - rssBefore);
    paints += paintsClock.paints;
    if (!restore(file)) return 1;
    if (r % 2 == 1 && !runCli()) return 1;
  }

  std::printf("tolvan-cli encrypt      %8.2f s\n", bestCli);
  std::printf("window Encrypt          %8.2f s   (%.2fx the command line)\n", bestWin, bestWin / bestCli);
  std::printf("progress bar paints     %8d, longest gap %lld ms\n", paints, static_cast<long long>(worstPaintGap));
  std::printf("event loop, 10 ms timer longest gap %lld ms\n", static_cast<long long>(worstTickGap));
  std::printf("resident memory         %8.1f MiB before, +%.1f MiB at peak\n", rssBefore / 1024.0,
              rssGrowth / 1024.0);
  tolvan::Prompts::setInstance(nullptr);
  return 0;
}
