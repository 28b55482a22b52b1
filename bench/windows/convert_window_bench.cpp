// Conversion in the document window, each figure against a reference
// measured in the same run:
//  - "TSCII to TAB" on a 10 MiB selection, against replacing the same
//    selection with the same converted text (the editor's insertion alone);
//  - Export as Unicode Text of a 10 MiB document, against tolvan-cli convert
//    of the same file plus a plain save of the document;
//  - Import Unicode Text of that 10 MiB Unicode file, against tolvan-cli
//    convert of it plus opening the TSCII result in a window.
// Every timing includes a repaint where a window shows the result.
// Run: QT_QPA_PLATFORM=offscreen build/bench/convert_window_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <vector>

#include "core/convert/converters.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"

namespace {

QTemporaryDir* g_dir = nullptr;
TMainForm* g_frame = nullptr;
tolvan::ScriptedPrompts* g_prompts = nullptr;

// Ordinary paragraphs of Tamil (TSCII) words, about 400 bytes each.
QByteArray paragraphs(qsizetype size) {
  static const char* words[] = {"\xA7\xB8\xA1", "\xC5\xBD\xB8\xCD\xB8\xC1", "\xBE\xC1\xC6\xF5",
                                "\xAB\xC1\xC1\xA1", "\xC0\xA1\xCE", "\xAD\xC6\xA2", "\xB8\xC6\xA2"};
  QByteArray out;
  out.reserve(size + 512);
  int k = 0, inPara = 0;
  while (out.size() < size) {
    out.append(words[k++ % 7]);
    inPara += 8;
    if (inPara > 400) {
      out.append('\n');
      inPara = 0;
    } else {
      out.append(' ');
    }
  }
  out.truncate(size);
  return out;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

QString writeTemp(const QString& name, const QByteArray& bytes) {
  const QString path = g_dir->filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  f.write(bytes);
  return path;
}

QString cliPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/tolvan-cli"); }

// tolvan-cli convert FROM TO in > out, in milliseconds.
double timeCli(const char* from, const char* to, const QString& in, const QString& out) {
  QProcess p;
  p.setStandardOutputFile(out);
  QElapsedTimer t;
  t.start();
  p.start(cliPath(), {"convert", "--from", from, "--to", to, in});
  p.waitForFinished(-1);
  return t.nsecsElapsed() / 1e6;
}

void closeForm(TEditForm* form) {
  form->Editor->document()->setModified(false);
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_ConvertSelection10MiBVersusReplace(benchmark::State& state) {
  const QByteArray bytes = paragraphs(10 << 20);
  TEditForm* form = g_frame->CreateEditForm();
  form->InitNewDocument();
  QTextEdit* ed = form->Editor;
  auto reset = [&] {
    tolvan::setDocumentBytes(ed->document(), bytes);
    ed->selectAll();
    QCoreApplication::processEvents();
  };
  reset();
  const QString converted = TConvertCommands::convertEditorText(
      ed->textCursor().selectedText(), [](std::string_view in) { return tolvan::TsciiToTab(in); });
  std::vector<double> ours, ref;
  QElapsedTimer t;
  for (auto _ : state) {
    reset();
    t.start();
    QTextCursor c = ed->textCursor();
    c.beginEditBlock();
    c.insertText(converted);
    c.endEditBlock();
    ed->setTextCursor(c);
    ed->viewport()->repaint();
    ref.push_back(t.nsecsElapsed() / 1e6);

    reset();
    t.start();
    form->ConvertCommands->TSCIItoTAB2->trigger();
    ed->viewport()->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
  }
  state.counters["convert_median_ms"] = median(ours);
  state.counters["replace_median_ms"] = median(ref);
  state.counters["ratio_median"] = median(ours) / median(ref);
  closeForm(form);
}
BENCHMARK(BM_ConvertSelection10MiBVersusReplace)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Export10MiBVersusCliPlusSave(benchmark::State& state) {
  const QString file = writeTemp(QStringLiteral("export-src.txt"), paragraphs(10 << 20));
  TEditForm* form = g_frame->CreateEditForm();
  form->OpenDocumentFile(file);
  QCoreApplication::processEvents();
  const QString out = g_dir->filePath(QStringLiteral("exported.txt"));
  std::vector<double> ours, ref;
  QElapsedTimer t;
  for (auto _ : state) {
    const double cli = timeCli("tscii", "unicode", file, g_dir->filePath(QStringLiteral("cli.txt")));
    form->Editor->document()->setModified(true);
    t.start();
    form->Save1Click();
    ref.push_back(cli + t.nsecsElapsed() / 1e6);

    QFile::remove(out);
    g_prompts->files.push_back({out});
    t.start();
    form->ConvertCommands->ExportUnicode1Click();
    const double ms = t.nsecsElapsed() / 1e6;
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
  }
  state.counters["export_median_ms"] = median(ours);
  state.counters["cli_plus_save_median_ms"] = median(ref);
  state.counters["ratio_median"] = median(ours) / median(ref);
  closeForm(form);
}
BENCHMARK(BM_Export10MiBVersusCliPlusSave)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Import10MiBVersusCliPlusOpen(benchmark::State& state) {
  const QString tscii = writeTemp(QStringLiteral("import-src.txt"), paragraphs(10 << 20));
  const QString uni = g_dir->filePath(QStringLiteral("import-unicode.txt"));
  timeCli("tscii", "unicode", tscii, uni);
  const QString back = g_dir->filePath(QStringLiteral("import-back.txt"));
  auto newDocument = []() -> QTextEdit* {
    g_frame->New1Click();
    return g_frame->ActiveEditForm()->Editor;
  };
  std::vector<double> ours, ref;
  QElapsedTimer t;
  for (auto _ : state) {
    const double cli = timeCli("unicode", "tscii", uni, back);
    t.start();
    TEditForm* opened = g_frame->CreateEditForm();
    opened->OpenDocumentFile(back);
    opened->Editor->viewport()->repaint();
    ref.push_back(cli + t.nsecsElapsed() / 1e6);
    closeForm(opened);

    t.start();
    TConvertCommands::importUnicodeFile(g_frame, uni, newDocument);
    TEditForm* imported = g_frame->ActiveEditForm();
    imported->Editor->viewport()->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
    closeForm(imported);
  }
  state.counters["import_median_ms"] = median(ours);
  state.counters["cli_plus_open_median_ms"] = median(ref);
  state.counters["ratio_median"] = median(ours) / median(ref);
}
BENCHMARK(BM_Import10MiBVersusCliPlusOpen)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  qputenv("TOLVAN_INI", dir.filePath(QStringLiteral("Tolvan.ini")).toLocal8Bit());
  tolvan::ScriptedPrompts prompts;
  g_prompts = &prompts;
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
