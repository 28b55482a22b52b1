// RTF reading and writing of a 5 MiB document, against loading the same text
// as plain text into a QTextDocument (the editor's plain-text load: each byte
// one character). Set TOLVAN_RTF_BENCH_OUT to a path to keep the RTF file,
// e.g. to time another program on it.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/rtf/rtf.h"

namespace {

constexpr qsizetype kTargetRtfBytes = 5 << 20;

struct Fixture {
  QByteArray text;  // the document's text as bytes, paragraphs separated by '\n'
  QByteArray rtf;   // our RTF of the formatted document (about 5 MiB)
};

QGuiApplication* app() {
  static QGuiApplication* a = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_bench";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  return a;
}

// Paragraphs of TSCII words (bytes 0x80-0xFF) mixed with English words, with a
// bold and an italic run in each, a second font in every fourth paragraph and
// a bulleted list now and then; grown until its RTF reaches 5 MiB.
const Fixture& fixture() {
  static Fixture f = [] {
    app();
    Fixture fx;
    std::mt19937 rng(7);
    auto word = [&](bool tamil) {
      QString w;
      const int n = 2 + static_cast<int>(rng() % 6);
      for (int i = 0; i < n; ++i)
        w.append(QChar(tamil ? 0xA1 + static_cast<int>(rng() % 0x5E) : 'a' + static_cast<int>(rng() % 26)));
      return w;
    };
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat body;
    body.setFontFamilies({QStringLiteral("TSCu_Paranar")});
    body.setFontPointSize(12);
    QTextCharFormat bold = body, italic = body, other = body;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    other.setFontFamilies({QStringLiteral("Liberation Serif")});
    QTextListFormat list;
    list.setStyle(QTextListFormat::ListDisc);
    QByteArray rtf;
    for (int p = 0;; ++p) {
      if (p > 0) {
        c.insertBlock(QTextBlockFormat());
        fx.text.append('\n');
      }
      if (p % 10 >= 7) c.createList(list);
      for (int w = 0; w < 50; ++w) {
        const QString s = word(rng() % 10 < 7) + QLatin1Char(' ');
        const QTextCharFormat& f = w == 10 ? bold : w == 20 ? italic : (p % 4 == 0 && w > 40) ? other : body;
        c.insertText(s, f);
        fx.text.append(s.toLatin1());
      }
      if (p % 200 == 199) {
        rtf = tolvan::rtf::writeRtf(&doc);
        if (rtf.size() >= kTargetRtfBytes) break;
      }
    }
    fx.rtf = rtf;
    if (const char* out = std::getenv("TOLVAN_RTF_BENCH_OUT")) {
      if (FILE* fp = std::fopen(out, "wb")) {
        std::fwrite(rtf.constData(), 1, static_cast<size_t>(rtf.size()), fp);
        std::fclose(fp);
      }
    }
    return fx;
  }();
  return f;
}

// The editor's plain-text load: each byte one character, then the text into
// the document. With layout=1 the document is also laid out (page width 800
// px), as a window showing it must do before the user sees anything.
void BM_PlainTextLoad(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    QTextDocument doc;
    doc.setPlainText(QString::fromLatin1(f.text));
    if (state.range(0)) {
      doc.setTextWidth(800);
      benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    benchmark::DoNotOptimize(doc.characterCount());
  }
  state.SetBytesProcessed(state.iterations() * f.text.size());
  state.counters["text_MiB"] = static_cast<double>(f.text.size()) / (1 << 20);
}

void BM_ReadRtf(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    QTextDocument doc;
    QString err;
    if (!tolvan::rtf::readRtf(f.rtf, &doc, &err)) state.SkipWithError("read failed");
    if (state.range(0)) {
      doc.setTextWidth(800);
      benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    benchmark::DoNotOptimize(doc.characterCount());
  }
  state.SetBytesProcessed(state.iterations() * f.rtf.size());
  state.counters["rtf_MiB"] = static_cast<double>(f.rtf.size()) / (1 << 20);
}

void BM_WriteRtf(benchmark::State& state) {
  const Fixture& f = fixture();
  QTextDocument doc;
  QString err;
  tolvan::rtf::readRtf(f.rtf, &doc, &err);
  for (auto _ : state) {
    const QByteArray out = tolvan::rtf::writeRtf(&doc);
    benchmark::DoNotOptimize(out.size());
  }
  state.SetBytesProcessed(state.iterations() * f.rtf.size());
}

BENCHMARK(BM_PlainTextLoad)->ArgName("layout")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadRtf)->ArgName("layout")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
