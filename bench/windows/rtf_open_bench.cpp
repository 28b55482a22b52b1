// Opening a densely formatted RTF file in a document window against opening
// the same text as a plain text file, each until the window is painted, in
// pairs in the same run (the order alternates from pair to pair).
//
// The RTF file is LibreOffice's: the benchmark writes an HTML page of TSCII
// prose (Tamil words from the Roman converter, one English word in four) with
// the format changing every two to five words (bold, italic, both, 10 / 14 /
// 16 pt, red / green / blue, underline), a paragraph of about 80 words, one
// paragraph in eight centred and a short bulleted list now and then, and has
// `soffice --headless --convert-to rtf` write it (about 13 MB; it takes
// LibreOffice a minute or two). The plain file is the text our reader takes
// from that RTF file, one byte a character, a line a paragraph, so both
// windows hold the same characters.
//
// TOLVAN_RTF_OPEN_FILE=path: use that RTF file, or keep the one made there
// when it does not exist yet (saves LibreOffice's minute on later runs). The
// windows open a copy of it made beside the plain file.
// TOLVAN_RTF_OPEN_PAIRS: number of pairs (default 5).
//
// Printed: each pair's wall and thread CPU times, then the medians and the
// median of the pair-by-pair ratios RTF / plain, twice: until the document's
// first paint has ended (a large RTF file's start is painted before the
// rest of the file is read), and until the open has returned and the window
// is painted (the whole document in its formats, the window ready for input).
// Run: QT_QPA_PLATFORM=offscreen build/bench/rtf_open_bench
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "../core/convert_texts.h"
#include "core/convert/converters.h"
#include "platform/prompts.h"
#include "rtf/rtf.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/frame/main_form.h"

namespace {

constexpr size_t kHtmlTextBytes = size_t(2'000'000);  // text bytes of the page: about 13 MB of RTF

double threadCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A TSCII byte as HTML: its Windows-1252 character, or for the five bytes
// Windows-1252 leaves undefined the private-use character LibreOffice itself
// writes for them.
std::string htmlByte(unsigned char b) {
  static constexpr char16_t k1252[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (b < 0x80) {
    if (b == '<') return "&lt;";
    if (b == '>') return "&gt;";
    if (b == '&') return "&amp;";
    return std::string(1, char(b));
  }
  unsigned u = b;
  if (b < 0xA0) u = k1252[b - 0x80] ? k1252[b - 0x80] : 0xF100 + b;
  return "&#" + std::to_string(u) + ";";
}

std::string htmlPage(size_t textBytes) {
  std::mt19937 rng(19);
  std::vector<std::string> tamil;
  for (const char* w : tolvan::bench::kRomanWords) tamil.push_back(tolvan::RomanToTscii(w));
  static const char* const english[] = {"the", "letter", "school", "Chennai", "song", "morning",
                                        "evening", "thanks", "world", "book", "river", "2026,"};
  static const char* const opens[] = {"<b>", "<i>", "<b><i>", "<span style=\"font-size:10pt\">",
                                      "<span style=\"font-size:14pt\">", "<span style=\"font-size:16pt\">",
                                      "<span style=\"color:#c00000\">", "<span style=\"color:#007000\">",
                                      "<span style=\"color:#0000c0\">", "<u>"};
  static const char* const closes[] = {"</b>", "</i>", "</i></b>", "</span>", "</span>", "</span>",
                                       "</span>", "</span>", "</span>", "</u>"};
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Tolvan</title>\n"
      "<style>p, li { font-family: TSCu_Paranar; font-size: 12pt }</style></head>\n<body>\n";
  size_t text = 0;
  int para = 0;
  auto words = [&](int n) {
    std::string s;
    for (int k = 0; k < n; ++k) {
      if (k > 0) s += ' ';
      const bool en = rng() % 4 == 0;
      const std::string w = en ? english[rng() % std::size(english)] : tamil[rng() % tamil.size()];
      for (unsigned char b : w) s += htmlByte(b);
      text += w.size() + 1;
    }
    return s;
  };
  auto formattedLine = [&](int count) {
    std::string s;
    int done = 0;
    bool plain = true;
    while (done < count) {
      const int n = 2 + int(rng() % 4);
      if (plain) {
        s += words(n);
      } else {
        const size_t f = rng() % std::size(opens);
        s += opens[f] + words(n) + closes[f];
      }
      s += ' ';
      plain = !plain;
      done += n;
    }
    return s;
  };
  while (text < textBytes) {
    ++para;
    if (para % 40 == 0) {
      html += "<ul>\n";
      for (int k = 0; k < 3; ++k) html += "<li>" + formattedLine(10) + "</li>\n";
      html += "</ul>\n";
    } else {
      html += para % 8 == 0 ? "<p align=\"center\">" : "<p>";
      html += formattedLine(80) + "</p>\n";
    }
  }
  html += "</body></html>\n";
  return html;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Writes the HTML page and has LibreOffice turn it into rtfPath.
bool makeRtfWithLibreOffice(const QString& rtfPath, const QString& workDir) {
  const QString html = QDir(workDir).filePath(QFileInfo(rtfPath).completeBaseName() + ".html");
  const std::string page = htmlPage(kHtmlTextBytes);
  if (!writeFile(html, QByteArray::fromStdString(page))) return false;
  QProcess soffice;
  // A profile of its own, so a LibreOffice already running elsewhere does not
  // take the job.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QDir(workDir).filePath("lo-home"));
  soffice.setProcessEnvironment(env);
  std::fprintf(stderr, "LibreOffice converts %.1f MB of HTML to RTF...\n", page.size() / 1e6);
  soffice.start("soffice", {"--headless", "--convert-to", "rtf:Rich Text Format", "--outdir",
                            QFileInfo(rtfPath).absolutePath(), html});
  if (!soffice.waitForFinished(-1) || soffice.exitCode() != 0) return false;
  QFile::remove(html);
  return QFileInfo::exists(rtfPath);
}

// Times the end of the first paint of an editor's viewport that shows a
// document (the empty window may paint before): that paint event is delivered
// from here, once, and the clocks read when it returns.
class FirstPaint : public QObject {
 public:
  FirstPaint(QTextEdit* editor, const QElapsedTimer& clock, double cpu0)
      : editor_(editor), clock_(clock), cpu0_(cpu0) {
    editor->viewport()->installEventFilter(this);
  }
  double wallMs = -1, cpuMs = -1;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::Paint || editor_->document()->isEmpty()) return false;
    o->removeEventFilter(this);
    QCoreApplication::sendEvent(o, e);
    wallMs = clock_.nsecsElapsed() / 1e6;
    cpuMs = threadCpuMs() - cpu0_;
    return true;
  }

 private:
  QTextEdit* editor_;
  const QElapsedTimer& clock_;
  double cpu0_;
};

struct Opened {
  double wallMs = 0, cpuMs = 0;
  double paintedWallMs = 0, paintedCpuMs = 0;  // until the document's first paint has ended
  tolvan::TextEncoding encoding = tolvan::TextEncoding::Tscii;
  QString text;  // the document's text (kept only when asked for)
  int blocks = 0;
};

// Opens file in a new window and paints it.
Opened openToPainted(TMainForm* frame, const QString& file, bool keepText) {
  Opened r;
  QElapsedTimer t;
  const double cpu0 = threadCpuMs();
  t.start();
  TEditForm* form = frame->CreateEditForm();
  FirstPaint first(form->Editor, t, cpu0);
  form->OpenDocumentFile(file);
  form->subWindow()->repaint();
  form->Editor->viewport()->repaint();
  r.wallMs = t.nsecsElapsed() / 1e6;
  r.cpuMs = threadCpuMs() - cpu0;
  r.paintedWallMs = first.wallMs;
  r.paintedCpuMs = first.cpuMs;
  r.encoding = form->encoding();
  r.blocks = form->Editor->document()->blockCount();
  if (keepText) r.text = form->Editor->document()->toPlainText();
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  qputenv("TOLVAN_INI", dir.filePath(QStringLiteral("Tolvan.ini")).toLocal8Bit());
  tolvan::ScriptedPrompts prompts;
  tolvan::Prompts::setInstance(&prompts);

  QString rtfFile = qEnvironmentVariable("TOLVAN_RTF_OPEN_FILE");
  if (rtfFile.isEmpty()) rtfFile = dir.filePath(QStringLiteral("formatted.rtf"));
  if (!QFileInfo::exists(rtfFile) && !makeRtfWithLibreOffice(rtfFile, dir.path())) {
    std::fprintf(stderr, "LibreOffice (soffice) did not write %s: is it installed?\n", qPrintable(rtfFile));
    return 1;
  }
  QFile in(rtfFile);
  if (!in.open(QIODevice::ReadOnly)) return 1;
  const QByteArray rtf = in.readAll();
  // Both files are opened from the same folder: the window watches the
  // folder of its file, and watching a big one such as /tmp costs several
  // milliseconds the plain file's open would not pay.
  const QString sameFolderRtf = dir.filePath(QStringLiteral("same-text.rtf"));
  if (!writeFile(sameFolderRtf, rtf)) return 1;

  // The plain text of the same document: our reader's text, a byte a
  // character, paragraphs ended by LF (the last one by nothing, as it opens
  // with no empty paragraph after it).
  QByteArray plain;
  {
    QTextDocument doc;
    QString error;
    if (!tolvan::rtf::readRtf(rtf, &doc, &error)) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(rtfFile), qPrintable(error));
      return 1;
    }
    const QString text = doc.toPlainText();
    plain.reserve(text.size() + 1);
    for (QChar c : text) {
      if (c.unicode() > 0xFF) {
        std::fprintf(stderr, "The RTF file holds a character beyond one byte (U+%04X)\n", c.unicode());
        return 1;
      }
      plain.append(char(c.unicode()));
    }
  }
  const QString plainFile = dir.filePath(QStringLiteral("same-text.txt"));
  if (!writeFile(plainFile, plain)) return 1;

  TMainForm frame(dir.path());
  frame.resize(1024, 768);
  frame.show();
  QCoreApplication::processEvents();

  // A warm-up of each, which also checks both windows hold the same text.
  const Opened warmRtf = openToPainted(&frame, sameFolderRtf, true);
  const Opened warmPlain = openToPainted(&frame, plainFile, true);
  if (warmRtf.encoding != tolvan::TextEncoding::Tscii || warmPlain.encoding != tolvan::TextEncoding::Tscii) {
    std::fprintf(stderr, "A file did not open as a TSCII document\n");
    return 1;
  }
  if (warmRtf.text != warmPlain.text) {
    std::fprintf(stderr, "The two windows hold different text (%lld and %lld characters)\n",
                 static_cast<long long>(warmRtf.text.size()), static_cast<long long>(warmPlain.text.size()));
    return 1;
  }
  std::printf("RTF %s: %.2f MB, %d paragraphs; plain text %.2f MiB\n", qPrintable(rtfFile), rtf.size() / 1e6,
              warmRtf.blocks, plain.size() / double(1 << 20));

  const int asked = qEnvironmentVariableIntValue("TOLVAN_RTF_OPEN_PAIRS");
  const int pairs = asked > 0 ? asked : 5;
  // One measure of both opens over the pairs, and their ratio pair by pair.
  struct Paired {
    std::vector<double> rtf, plain, ratio;
    void add(double r, double p) {
      rtf.push_back(r);
      plain.push_back(p);
      ratio.push_back(r / p);
    }
  };
  Paired wall, cpu, firstWall, firstCpu;
  for (int i = 0; i < pairs; ++i) {
    Opened r, p;
    if (i % 2 == 0) {
      r = openToPainted(&frame, sameFolderRtf, false);
      p = openToPainted(&frame, plainFile, false);
    } else {
      p = openToPainted(&frame, plainFile, false);
      r = openToPainted(&frame, sameFolderRtf, false);
    }
    wall.add(r.wallMs, p.wallMs);
    cpu.add(r.cpuMs, p.cpuMs);
    firstWall.add(r.paintedWallMs, p.paintedWallMs);
    firstCpu.add(r.paintedCpuMs, p.paintedCpuMs);
    std::printf("pair %d: first paint: RTF %.0f ms (CPU %.0f), plain %.0f ms (CPU %.0f), ratio %.2f (CPU %.2f); "
                "opened and painted: RTF %.0f ms (CPU %.0f), plain %.0f ms (CPU %.0f), ratio %.2f (CPU %.2f)\n",
                i + 1, r.paintedWallMs, r.paintedCpuMs, p.paintedWallMs, p.paintedCpuMs, firstWall.ratio.back(),
                firstCpu.ratio.back(), r.wallMs, r.cpuMs, p.wallMs, p.cpuMs, wall.ratio.back(), cpu.ratio.back());
  }
  auto printMedians = [](const char* what, const Paired& w, const Paired& c) {
    std::printf("median, %s: RTF %.0f ms (CPU %.0f), plain %.0f ms (CPU %.0f), ratio %.2f (CPU %.2f)\n", what,
                median(w.rtf), median(c.rtf), median(w.plain), median(c.plain), median(w.ratio), median(c.ratio));
  };
  printMedians("first paint", firstWall, firstCpu);
  printMedians("opened and painted", wall, cpu);
  tolvan::Prompts::setInstance(nullptr);
  return 0;
}
