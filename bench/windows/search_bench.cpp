// Search speed in a document window, each figure against a reference in the
// same run:
//  - Find Next in a 10 MiB document with the match near the end, against
//    QTextDocument::find of the same text from the same place;
//  - Replace All of 100,000 matches in a 10 MiB document, until laid out and
//    painted, against setPlainText of the resulting text plus a paint.
// Run: QT_QPA_PLATFORM=offscreen build/bench/search_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <vector>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/document/tamil_line_edit.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"

namespace {

TMainForm* g_frame = nullptr;

// Paragraphs of TSCII words about 400 bytes long; `marker` every `every`
// bytes (0: never).
QByteArray text(qsizetype size, const QByteArray& marker, qsizetype every) {
  static const char* words[] = {"\xA7\xB8\xA1", "\xC5\xBD\xB8\xCD\xB8\xC1", "\xBE\xC1\xC6\xF5",
                                "\xAB\xC1\xC1\xA1", "\xC0\xA1\xCE", "hello", "\xB8\xC6\xA2"};
  QByteArray out;
  out.reserve(size + 512);
  int k = 0, inPara = 0;
  qsizetype next = every;
  while (out.size() < size) {
    if (every && out.size() >= next) {
      out.append(marker);
      next += every;
    } else {
      out.append(words[k++ % 7]);
    }
    inPara += 8;
    if (inPara > 400) {
      out.append('\n');
      inPara = 0;
    } else {
      out.append(' ');
    }
  }
  return out;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

TEditForm* documentWith(const QByteArray& bytes) {
  g_frame->New1Click();
  TEditForm* form = g_frame->ActiveEditForm();
  tolvan::setDocumentBytes(form->Editor->document(), bytes);
  form->Editor->moveCursor(QTextCursor::Start);
  form->Editor->viewport()->repaint();
  QCoreApplication::processEvents();
  return form;
}

void closeDocument(TEditForm* form) {
  form->Editor->document()->setModified(false);
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_FindNextVersusQTextDocumentFind(benchmark::State& state) {
  const QByteArray needle = "\xC9\xA4\xB8\xBF";  // a word the filler never has
  QByteArray bytes = text(10 << 20, {}, 0);
  bytes.insert(bytes.size() - 1000, " " + needle + " ");
  TEditForm* form = documentWith(bytes);
  form->Find1Click();
  TFindDialog* d = form->findDialog(false);
  d->FindField->setBytes(needle);
  d->hide();
  QString needleChars = QString::fromLatin1(needle);
  tolvan::bytesToEditorChars(needleChars);
  QTextDocument* doc = form->Editor->document();
  std::vector<double> ours, ref;
  QElapsedTimer t;
  for (auto _ : state) {
    form->Editor->moveCursor(QTextCursor::Start);
    t.start();
    const QTextCursor found = doc->find(needleChars, 0, QTextDocument::FindCaseSensitively);
    ref.push_back(t.nsecsElapsed() / 1e6);
    benchmark::DoNotOptimize(found.position());
    t.start();
    const bool ok = d->FindNext();
    const double ms = t.nsecsElapsed() / 1e6;
    if (!ok || form->Editor->textCursor().selectionStart() != found.selectionStart())
      state.SkipWithError("not the same match");
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
  }
  state.counters["find_next_median_ms"] = median(ours);
  state.counters["qtextdocument_find_median_ms"] = median(ref);
  state.counters["ratio_median"] = median(ours) / median(ref);
  closeDocument(form);
}
BENCHMARK(BM_FindNextVersusQTextDocumentFind)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllVersusSetPlainText(benchmark::State& state) {
  const QByteArray needle = "\xC9\xA4\xB8\xBF", replacement = "\xC5\xBD";
  // 100,000 matches in 10 MiB: one every 104 bytes or so.
  QByteArray bytes = text(10 << 20, needle, (10 << 20) / 100000);
  for (qsizetype extra = bytes.count(needle) - 100000, at = bytes.size(); extra > 0; --extra) {
    at = bytes.lastIndexOf(needle, at - 1);
    bytes.replace(at, needle.size(), "word");
  }
  QByteArray result = bytes;
  result.replace(needle, replacement);
  QString resultChars = QString::fromLatin1(result);
  tolvan::bytesToEditorChars(resultChars);
  std::vector<double> ours, ref;
  QElapsedTimer t;
  int count = 0;
  for (auto _ : state) {
    {
      QTextEdit edit;
      edit.resize(g_frame->MdiArea()->size());
      edit.show();
      QCoreApplication::processEvents();
      t.start();
      edit.setPlainText(resultChars);
      edit.viewport()->repaint();
      QCoreApplication::processEvents();
      ref.push_back(t.nsecsElapsed() / 1e6);
    }
    TEditForm* form = documentWith(bytes);
    form->Replace1Click();
    TFindDialog* d = form->findDialog(true);
    d->FindField->setBytes(needle);
    d->ReplaceField->setBytes(replacement);
    d->hide();
    t.start();
    count = d->ReplaceAll();
    form->Editor->viewport()->repaint();
    QCoreApplication::processEvents();
    const double ms = t.nsecsElapsed() / 1e6;
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
    closeDocument(form);
  }
  state.counters["matches"] = count;
  state.counters["replace_all_median_ms"] = median(ours);
  state.counters["setPlainText_median_ms"] = median(ref);
  state.counters["ratio_median"] = median(ours) / median(ref);
}
BENCHMARK(BM_ReplaceAllVersusSetPlainText)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
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
