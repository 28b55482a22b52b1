// RTF reading and writing of a 5 MiB document, against loading the same text
// as plain text into a QTextDocument (the editor's plain-text load: each byte
// one character). Set TOLVAN_RTF_BENCH_OUT (dense document) or
// TOLVAN_RTF_BENCH_OUT_LIGHT (light one) to a path to keep the RTF file, e.g.
// to time another program on it.
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

// Paragraphs of TSCII words (bytes 0x80-0xFF) mixed with English words, grown
// until the RTF reaches 5 MiB. Two kinds of document:
//   dense (kind 0): a bold and an italic word in every paragraph, a second
//                   font in every fourth, three bulleted paragraphs in ten;
//   light (kind 1): one bold word in every tenth paragraph and a short
//                   bulleted list now and then, like a letter or an article.
const Fixture& fixture(int kind) {
  static Fixture f[2];
  static bool made[2] = {false, false};
  if (made[kind]) return f[kind];
  made[kind] = true;
  app();
  Fixture& fx = f[kind];
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
  c.beginEditBlock();
  QByteArray rtf;
  for (int p = 0;; ++p) {
    if (p > 0) {
      c.insertBlock(QTextBlockFormat());
      fx.text.append('\n');
    }
    const bool bullet = kind == 0 ? p % 10 >= 7 : p % 40 >= 37;
    if (bullet) c.createList(list);
    for (int w = 0; w < 50; ++w) {
      const QString s = word(rng() % 10 < 7) + QLatin1Char(' ');
      const QTextCharFormat* fmt = &body;
      if (kind == 0)
        fmt = w == 10 ? &bold : w == 20 ? &italic : (p % 4 == 0 && w > 40) ? &other : &body;
      else if (p % 10 == 0 && w == 0)
        fmt = &bold;
      c.insertText(s, *fmt);
      fx.text.append(s.toLatin1());
    }
    if (p % 200 == 199) {
      rtf = tolvan::rtf::writeRtf(&doc);
      if (rtf.size() >= kTargetRtfBytes) break;
    }
  }
  c.endEditBlock();
  fx.rtf = rtf;
  if (const char* out = std::getenv(kind == 0 ? "TOLVAN_RTF_BENCH_OUT" : "TOLVAN_RTF_BENCH_OUT_LIGHT")) {
    if (FILE* fp = std::fopen(out, "wb")) {
      std::fwrite(rtf.constData(), 1, static_cast<size_t>(rtf.size()), fp);
      std::fclose(fp);
    }
  }
  return fx;
}

// The editor's plain-text load: each byte one character, then the text into
// the document. With layout=1 the document is also laid out (page width 800
// px), as a window showing it must do before the user sees anything.
void BM_PlainTextLoad(benchmark::State& state) {
  const Fixture& f = fixture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QTextDocument doc;
    doc.setPlainText(QString::fromLatin1(f.text));
    if (state.range(1)) {
      doc.setTextWidth(800);
      benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    benchmark::DoNotOptimize(doc.characterCount());
  }
  state.SetBytesProcessed(state.iterations() * f.text.size());
  state.counters["text_MiB"] = static_cast<double>(f.text.size()) / (1 << 20);
}

void BM_ReadRtf(benchmark::State& state) {
  const Fixture& f = fixture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QTextDocument doc;
    QString err;
    if (!tolvan::rtf::readRtf(f.rtf, &doc, &err)) state.SkipWithError("read failed");
    if (state.range(1)) {
      doc.setTextWidth(800);
      benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    benchmark::DoNotOptimize(doc.characterCount());
  }
  state.SetBytesProcessed(state.iterations() * f.rtf.size());
  state.counters["rtf_MiB"] = static_cast<double>(f.rtf.size()) / (1 << 20);
}

void BM_WriteRtf(benchmark::State& state) {
  const Fixture& f = fixture(static_cast<int>(state.range(0)));
  QTextDocument doc;
  QString err;
  tolvan::rtf::readRtf(f.rtf, &doc, &err);
  for (auto _ : state) {
    const QByteArray out = tolvan::rtf::writeRtf(&doc);
    benchmark::DoNotOptimize(out.size());
  }
  state.SetBytesProcessed(state.iterations() * f.rtf.size());
}

// Arguments: document kind (0 dense, 1 light formatting), layout (0 no, 1 yes).
BENCHMARK(BM_PlainTextLoad)
    ->ArgNames({"light", "layout"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_ReadRtf)
    ->ArgNames({"light", "layout"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_WriteRtf)->ArgName("light")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
