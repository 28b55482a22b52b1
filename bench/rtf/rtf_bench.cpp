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
#include <map>
#include <random>

#include "rtf/rtf.h"

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

// A file whose font table defines many fonts, every one of them used: each
// word is in the next font ("\\fN word "), twelve words a paragraph; short
// English and TSCII words. 200,000 fonts make a file of about 5 MiB.
const Fixture& fontsFixture(int fonts) {
  static std::map<int, Fixture> made;
  if (auto it = made.find(fonts); it != made.end()) return it->second;
  app();
  Fixture& fx = made[fonts];
  std::mt19937 rng(11);
  QByteArray& rtf = fx.rtf;
  rtf.reserve(fonts * 30);
  rtf += "{\\rtf1\\ansi\\deff0{\\fonttbl";
  auto name = [](int i) {  // short distinct names: base 36
    QByteArray n;
    do {
      n.prepend("0123456789abcdefghijklmnopqrstuvwxyz"[i % 36]);
      i /= 36;
    } while (i);
    return n;
  };
  for (int i = 0; i < fonts; ++i) rtf += "{\\f" + QByteArray::number(i) + " " + name(i) + ";}";
  rtf += "}\r\n";
  for (int i = 0; i < fonts; ++i) {
    QByteArray w;
    const bool tamil = rng() % 10 < 3;
    const int n = 2 + static_cast<int>(rng() % 2);
    for (int k = 0; k < n; ++k)
      w += static_cast<char>(tamil ? 0xA1 + static_cast<int>(rng() % 0x5E) : 'a' + static_cast<int>(rng() % 26));
    rtf += "\\f" + QByteArray::number(i) + " ";
    for (char c : w) {
      if (static_cast<unsigned char>(c) >= 0x80) {
        static const char kHex[] = "0123456789abcdef";
        rtf += "\\'";
        rtf += kHex[static_cast<unsigned char>(c) >> 4];
        rtf += kHex[c & 15];
      } else {
        rtf += c;
      }
    }
    fx.text += w;
    if (i % 12 == 11) {
      rtf += "\\par\r\n";
      fx.text += '\n';
    } else {
      rtf += ' ';
      fx.text += ' ';
    }
  }
  rtf += "}\r\n";
  if (const char* out = std::getenv("TOLVAN_RTF_BENCH_OUT_FONTS")) {
    if (FILE* fp = std::fopen(out, "wb")) {
      std::fwrite(rtf.constData(), 1, static_cast<size_t>(rtf.size()), fp);
      std::fclose(fp);
    }
  }
  return fx;
}

// Documents by benchmark argument: 0 dense, 1 light, a larger number N the
// file with N fonts.
const Fixture& fixtureFor(int64_t arg) {
  return arg <= 1 ? fixture(static_cast<int>(arg)) : fontsFixture(static_cast<int>(arg));
}

// The editor's plain-text load: each byte one character, then the text into
// the document. With layout=1 the document is also laid out (page width 800
// px), as a window showing it must do before the user sees anything.
void BM_PlainTextLoad(benchmark::State& state) {
  const Fixture& f = fixtureFor(state.range(0));
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
  const Fixture& f = fixtureFor(state.range(0));
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
  const Fixture& f = fixtureFor(state.range(0));
  QTextDocument doc;
  QString err;
  tolvan::rtf::readRtf(f.rtf, &doc, &err);
  for (auto _ : state) {
    const QByteArray out = tolvan::rtf::writeRtf(&doc);
    benchmark::DoNotOptimize(out.size());
  }
  state.SetBytesProcessed(state.iterations() * f.rtf.size());
}

// Arguments: document (0 dense, 1 light formatting, N > 1 the file with N
// fonts), layout (0 no, 1 yes).
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
// Many fonts: reading must grow linearly with the number of fonts.
BENCHMARK(BM_PlainTextLoad)
    ->ArgNames({"fonts", "layout"})
    ->Args({10000, 0})
    ->Args({40000, 0})
    ->Args({200000, 0})
    ->Args({400000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRtf)
    ->ArgNames({"fonts", "layout"})
    ->Args({10000, 0})
    ->Args({40000, 0})
    ->Args({200000, 0})
    ->Args({400000, 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRtf)->ArgName("light")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
