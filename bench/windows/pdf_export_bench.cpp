// PDF export speed: a Unicode Tamil document (paragraphs of ordinary words,
// 1 MiB of UTF-8, and a quarter of that to show the time grows in step with
// the text) printed to a PDF file by the program's PDF printer, whose text
// reads back as written, against Qt's own PDF printer on the same document
// in the same run. The files' sizes are given too.
// Run: QT_QPA_PLATFORM=offscreen build/bench/pdf_export_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/byte_text.h"
#include "platform/pdf_printer.h"

namespace {

QTemporaryDir* g_dir = nullptr;

// Paragraphs of Tamil words of every shape, about 400 bytes each, `size`
// bytes of UTF-8 in all.
QString tamilParagraphs(qsizetype size) {
  static const char16_t* words[] = {u"கொடுக்கும்", u"தமிழ்",  u"பெண்கள்", u"வீட்டில்", u"மலை",
                                     u"ஸ்ரீ",        u"கௌரவம்", u"குருடு",  u"அம்மா",    u"படித்தேன்"};
  QString out;
  qsizetype bytes = 0, inPara = 0;
  for (int k = 0; bytes < size; ++k) {
    const QString word = QString::fromUtf16(words[k % 10]);
    out += word;
    bytes += word.toUtf8().size() + 1;
    inPara += word.toUtf8().size() + 1;
    if (inPara > 400) {
      out += QLatin1Char('\n');
      inPara = 0;
    } else {
      out += QLatin1Char(' ');
    }
  }
  return out;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Prints the document into `printer`'s file; milliseconds and the file's size.
double printMs(const QTextDocument& doc, QPrinter& printer, const QString& file, qint64* bytes) {
  printer.setOutputFileName(file);
  printer.setFontEmbeddingEnabled(true);
  QElapsedTimer t;
  t.start();
  tolvan::printDocument(&doc, &printer);
  const double ms = double(t.nsecsElapsed()) / 1e6;
  *bytes = QFileInfo(file).size();
  return ms;
}

void BM_ExportPdfVersusQt(benchmark::State& state) {
  const qsizetype size = state.range(0) * 1024;
  QTextDocument doc;
  doc.setDefaultFont(QFont(QStringLiteral("Lohit Tamil"), 12));
  doc.setPlainText(tamilParagraphs(size));
  std::vector<double> ours, qt;
  qint64 ourBytes = 0, qtBytes = 0;
  for (auto _ : state) {
    {
      QPrinter plain(QPrinter::HighResolution);
      plain.setOutputFormat(QPrinter::PdfFormat);
      qt.push_back(printMs(doc, plain, g_dir->filePath(QStringLiteral("qt.pdf")), &qtBytes));
    }
    {
      tolvan::PdfTextPrinter printer(QPrinter::HighResolution);
      ours.push_back(printMs(doc, printer, g_dir->filePath(QStringLiteral("ours.pdf")), &ourBytes));
    }
    state.SetIterationTime(ours.back() / 1000);
  }
  state.counters["ours_ms"] = median(ours);
  state.counters["qt_ms"] = median(qt);
  state.counters["ratio"] = median(ours) / median(qt);
  state.counters["ours_KiB"] = double(ourBytes) / 1024;
  state.counters["qt_KiB"] = double(qtBytes) / 1024;
}
BENCHMARK(BM_ExportPdfVersusQt)
    ->ArgName("KiB")
    ->Arg(256)
    ->Arg(1024)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
