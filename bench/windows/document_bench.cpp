// Document window speed, each figure against a reference measured in the
// same run:
//  - a key typed in Tamil mode (the second o of "koo", which deletes three
//    characters and sends two) in a 1 MiB document, against a plain key typed
//    into the same document; both include the repaint;
//  - the same Tamil key in a 1 MiB Unicode document (the same text through
//    the bridge), against the TSCII document in the same run;
//  - opening a 10 MiB TSCII text file until the window is painted, against
//    QTextEdit::setPlainText of the same text plus a paint;
//  - a 50 MiB TSCII file (paragraphs, or short lines) opened at 16 pt in an
//    800-pixel frame: how long a
//    key takes from reaching the event loop until it is painted, straight
//    after the open, while the layout runs in the background, and after it;
//  - one line of 100 MiB opened until painted, against the same text in
//    paragraphs, and keys typed at its start, middle and end;
//  - Select All and Delete in 50 MiB, then Undo, each until painted,
//    beside opening the same file;
//  - a plain key typed at the start, middle and end of 1 MiB of paragraphs
//    and of short lines, until the event loop has painted it, against a bare
//    QTextEdit holding the same text.
// Run: QT_QPA_PLATFORM=offscreen build/bench/document_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <limits>
#include <algorithm>
#include <vector>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/convert/unicode_bridge.h"
#include "windows/document/document_layout.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"

namespace {

QTemporaryDir* g_dir = nullptr;
TMainForm* g_frame = nullptr;

// Ordinary paragraphs: Tamil (TSCII) words and spaces, about 400 bytes each.
QByteArray paragraphs(qsizetype size) {
  static const char* words[] = {"\xA7\xB8\xA1", "\xC5\xBD\xB8\xCD\xB8\xC1", "\xBE\xC1\xC6\xF5",
                                "\xAB\xC1\xC1\xA1", "\xC0\xA1\xCE", "hello", "\xB8\xC6\xA2"};
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

// A typed key: press and release with its text, as the keyboard gives them.
void typeKey(QWidget* w, char c) {
  const int key = (c >= 'a' && c <= 'z') ? Qt::Key_A + (c - 'a') : c;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c)));
  QCoreApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(QChar(c)));
  QCoreApplication::sendEvent(w, &release);
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
  return v[i];
}

QString writeTemp(const QString& name, const QByteArray& bytes) {
  const QString path = g_dir->filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

void BM_TamilKeyVersusPlainKey(benchmark::State& state) {
  const QString file = writeTemp(QStringLiteral("typing.txt"), paragraphs(1 << 20));
  TEditForm* form = g_frame->CreateEditForm();
  form->OpenDocumentFile(file);
  form->mmAnjalKBClick();
  if (!form->isTamilMode()) form->mmTamilKBClick();
  QTextEdit* ed = form->Editor;
  QTextCursor c = ed->textCursor();
  c.setPosition(ed->document()->characterCount() / 2);
  ed->setTextCursor(c);
  QCoreApplication::processEvents();

  // A bare QTextEdit holding the same text, for scale: what Qt's own editor
  // costs per key on this machine.
  QTextEdit bare;
  bare.resize(ed->size());
  bare.setPlainText(ed->document()->toRawText());
  bare.show();
  QTextCursor bc = bare.textCursor();
  bc.setPosition(bare.document()->characterCount() / 2);
  bare.setTextCursor(bc);
  QCoreApplication::processEvents();

  std::vector<double> tamil, plain, qt;
  QElapsedTimer t;
  for (auto _ : state) {
    t.start();
    typeKey(&bare, 'x');
    bare.viewport()->repaint();
    qt.push_back(t.nsecsElapsed() / 1e6);
    // Reference: a plain key (Tamil mode off) with its repaint.
    form->mmTamilKBClick();
    t.start();
    typeKey(ed, 'x');
    ed->viewport()->repaint();
    plain.push_back(t.nsecsElapsed() / 1e6);
    form->mmTamilKBClick();
    // " ko" first, untimed; then the second o.
    typeKey(ed, ' ');
    typeKey(ed, 'k');
    typeKey(ed, 'o');
    t.start();
    typeKey(ed, 'o');
    ed->viewport()->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    tamil.push_back(ms);
    state.SetIterationTime(ms / 1e3);
  }
  const double mt = percentile(tamil, 0.5), mp = percentile(plain, 0.5);
  state.counters["tamil_median_ms"] = mt;
  state.counters["tamil_p99_ms"] = percentile(tamil, 0.99);
  state.counters["plain_median_ms"] = mp;
  state.counters["ratio_median"] = mt / mp;
  state.counters["bare_qtextedit_median_ms"] = percentile(qt, 0.5);
  form->Editor->document()->setModified(false);
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_TamilKeyVersusPlainKey)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

// Watches an editor for a key's event (its press or release: keyEvent) and
// then for the first paint of its view, noting when each came on clock.
struct KeyPaintWatch : QObject {
  KeyPaintWatch(QTextEdit* editor, const QElapsedTimer& clock, QEvent::Type keyEvent)
      : editor_(editor), viewport_(editor->viewport()), clock_(clock), keyEvent_(keyEvent) {
    viewport_->installEventFilter(this);
    editor_->installEventFilter(this);
  }
  ~KeyPaintWatch() override {
    viewport_->removeEventFilter(this);
    editor_->removeEventFilter(this);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == keyEvent_ && !painted) {
      handled = true;
      handledAt = clock_.nsecsElapsed();
    }
    if (e->type() == QEvent::Paint && o == viewport_ && handled && !painted) {
      painted = true;
      paintedAt = clock_.nsecsElapsed();
    }
    return false;
  }
  bool handled = false, painted = false;
  qint64 handledAt = 0, paintedAt = 0;

 private:
  QTextEdit* editor_;
  QWidget* viewport_;
  const QElapsedTimer& clock_;
  QEvent::Type keyEvent_;
};

// Time from a key reaching the event loop until the editor has handled it and
// painted, with everything else the event loop has queued (timers included)
// running meanwhile, as a user's key would. The key counts as handled when
// its release reaches the editor (the press before it is done by then); that
// time goes to *handledMs when asked for.
double keyToPaintMs(QTextEdit* editor, char c, double* handledMs = nullptr) {
  // The time is taken when the paint arrives: the event loop may go on with
  // other work (the background layout) before it returns to this loop.
  QElapsedTimer t;
  // Keys an engine sends back into the editor arrive (and are released)
  // within the press; the last release seen is the posted one.
  KeyPaintWatch watch(editor, t, QEvent::KeyRelease);
  t.start();
  const int key = (c >= 'a' && c <= 'z') ? Qt::Key_A + (c - 'a') : c;
  QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c))));
  QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(QChar(c))));
  while (!watch.painted && t.elapsed() < 600000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double ms = (watch.painted ? watch.paintedAt : t.nsecsElapsed()) / 1e6;
  if (handledMs) *handledMs = watch.handledAt / 1e6;
  return ms;
}

double keyToPaintMs(TEditForm* form, char c) { return keyToPaintMs(form->Editor, c); }

// The Tamil key of BM_TamilKeyVersusPlainKey in a Unicode document holding
// the same 1 MiB of text, beside the TSCII document: each key posted to the
// event loop and timed until the editor has painted it, as a user types.
void BM_TamilKeyUnicodeVersusTscii(benchmark::State& state) {
  const QByteArray bytes = paragraphs(1 << 20);
  const QString file = writeTemp(QStringLiteral("typing-u.txt"), bytes);
  TEditForm* tscii = g_frame->CreateEditForm();
  tscii->OpenDocumentFile(file);
  TEditForm* unicode = g_frame->CreateEditForm();
  unicode->setEncoding(tolvan::TextEncoding::Unicode);
  const std::string u = tolvan::TsciiToUnicode(std::string_view(bytes.constData(), size_t(bytes.size())));
  unicode->Editor->setPlainText(QString::fromUtf8(u.data(), qsizetype(u.size())));
  // Windows are shown maximized, and activating one restores the other to
  // its normal size: switching between them per key would give both a new
  // width each time, so every key would land in a document being measured
  // afresh. Both stand at the same place and size instead, not maximized.
  const QRect place = g_frame->MdiArea()->viewport()->rect();
  for (TEditForm* f : {tscii, unicode}) {
    f->subWindow()->showNormal();
    f->subWindow()->setGeometry(place);
  }
  for (TEditForm* f : {tscii, unicode}) {
    f->mmAnjalKBClick();
    if (!f->isTamilMode()) f->mmTamilKBClick();
    QTextCursor c = f->Editor->textCursor();
    c.setPosition(f->Editor->document()->characterCount() / 2);
    f->Editor->setTextCursor(c);
  }
  // Keys while the layout measures in the background have a row of their
  // own: these are timed once both documents are measured.
  while (!tscii->Editor->layoutComplete() || !unicode->Editor->layoutComplete())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::processEvents();

  std::vector<double> times[2], handled[2];
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      TEditForm* f = k ? unicode : tscii;
      g_frame->MdiArea()->setActiveSubWindow(f->subWindow());
      QTextEdit* ed = f->Editor;
      typeKey(ed, ' ');
      typeKey(ed, 'k');
      typeKey(ed, 'o');
      // What those keys left to paint is painted before the timed key.
      QCoreApplication::processEvents();
      double keyMs = 0;
      times[k].push_back(keyToPaintMs(ed, 'o', &keyMs));
      handled[k].push_back(keyMs);
    }
    state.SetIterationTime(times[1].back() / 1e3);
  }
  const double mt = percentile(times[0], 0.5), mu = percentile(times[1], 0.5);
  state.counters["tscii_median_ms"] = mt;
  state.counters["tscii_p99_ms"] = percentile(times[0], 0.99);
  state.counters["unicode_median_ms"] = mu;
  state.counters["unicode_p99_ms"] = percentile(times[1], 0.99);
  state.counters["ratio_median"] = mu / mt;
  // The key alone, before the repaint.
  state.counters["tscii_key_median_ms"] = percentile(handled[0], 0.5);
  state.counters["unicode_key_median_ms"] = percentile(handled[1], 0.5);
  for (TEditForm* f : {tscii, unicode}) {
    f->Editor->document()->setModified(false);
    f->Close1Click();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_TamilKeyUnicodeVersusTscii)->UseManualTime()->Iterations(300)->Unit(benchmark::kMillisecond);

void BM_Open10MiBVersusSetPlainText(benchmark::State& state) {
  const QByteArray bytes = paragraphs(10 << 20);
  const QString file = writeTemp(QStringLiteral("big.txt"), bytes);
  std::vector<double> ours, ref;
  QElapsedTimer t;
  for (auto _ : state) {
    {
      // Reference: the same text set into a bare QTextEdit of the same size,
      // then painted.
      QTextEdit edit;
      edit.resize(g_frame->MdiArea()->size());
      edit.show();
      QCoreApplication::processEvents();
      t.start();
      edit.setPlainText(QString::fromLatin1(bytes));
      edit.viewport()->repaint();
      ref.push_back(t.nsecsElapsed() / 1e6);
    }
    t.start();
    TEditForm* form = g_frame->CreateEditForm();
    form->OpenDocumentFile(file);
    form->subWindow()->repaint();
    form->Editor->viewport()->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    ours.push_back(ms);
    state.SetIterationTime(ms / 1e3);
    form->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  const double mo = percentile(ours, 0.5), mr = percentile(ref, 0.5);
  state.counters["open_median_ms"] = mo;
  state.counters["setPlainText_median_ms"] = mr;
  state.counters["ratio_median"] = mo / mr;
}
BENCHMARK(BM_Open10MiBVersusSetPlainText)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);



// Lets the event loop run for ms milliseconds.
void runEventLoop(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

QByteArray shortLines(qsizetype size);

// A key that arrives while the event loop may be busy (with a slice of the
// background layout, say), as a user's key arrives at any moment: posted from
// another thread after delayUs, timed from its posting until the editor has
// painted it.
double keyArrivingAfterMs(QTextEdit* editor, int delayUs) {
  QElapsedTimer t;
  // From the press: the window may paint what it did before the release is
  // posted (it is posted from the other thread), and the next paint would be
  // the caret's blink.
  KeyPaintWatch watch(editor, t, QEvent::KeyPress);
  std::atomic<qint64> postedAt{-1};
  t.start();
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    postedAt = t.nsecsElapsed();
    QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
    QCoreApplication::postEvent(editor, new QKeyEvent(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
  });
  while (!watch.painted && t.elapsed() < 600000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  poster.join();
  return (watch.paintedAt - postedAt) / 1e6;
}

// This row alone: --benchmark_filter=BM_KeyAfterOpening50MiB/lines:0 (paragraphs)
// or /lines:1 (short lines).
void BM_KeyAfterOpening50MiB(benchmark::State& state) {
  const QByteArray bytes = state.range(0) == 1 ? shortLines(50 << 20) : paragraphs(50 << 20);
  const QString file = writeTemp(QStringLiteral("huge.txt"), bytes);
  const QSize oldSize = g_frame->size();
  const int oldFont = g_frame->FontSize->value();
  g_frame->resize(800, 600);
  g_frame->FontSize->setValue(16);
  // The folder panel lists the file just written and scrolls to it: that is
  // over before a user opens a file, so it is over here before the open.
  runEventLoop(1000);
  std::vector<double> keys, done, anyTime;
  double openMs = 0, firstKey = 0, layoutMs = 0;
  QElapsedTimer t;
  for (auto _ : state) {
    t.start();
    TEditForm* form = g_frame->CreateEditForm();
    form->OpenDocumentFile(file);
    form->Editor->viewport()->repaint();
    openMs = t.nsecsElapsed() / 1e6;
    // A document this large is measured only as far as asked: all of it here
    // (as the line count at its end would ask), to time keys while the
    // background pass runs.
    form->Editor->textLayout()->setMeasureAllLimit(std::numeric_limits<int>::max());
    // Keys straight after the open, then every 200 ms while the layout goes
    // on in the background, then once it is complete.
    for (int i = 0; i < 5; ++i) {
      const double ms = keyToPaintMs(form, 'x');
      if (i == 0) firstKey = ms;
      keys.push_back(ms);
      runEventLoop(200);
    }
    // Keys arriving at any moment of a slice while the layout measures.
    for (int i = 0; i < 20 && !form->Editor->layoutComplete(); ++i) {
      anyTime.push_back(keyArrivingAfterMs(form->Editor, 500 * i));
      runEventLoop(30);
    }
    while (!form->Editor->layoutComplete()) runEventLoop(100);
    layoutMs = t.nsecsElapsed() / 1e6;
    for (int i = 0; i < 5; ++i) {
      done.push_back(keyToPaintMs(form, 'x'));
      runEventLoop(100);
    }
    state.SetIterationTime(percentile(keys, 1.0) / 1e3);
    form->Editor->document()->setModified(false);
    form->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["open_ms"] = openMs;
  state.counters["first_key_ms"] = firstKey;
  state.counters["key_median_ms"] = percentile(keys, 0.5);
  state.counters["key_max_ms"] = percentile(keys, 1.0);
  state.counters["key_any_moment_median_ms"] = percentile(anyTime, 0.5);
  state.counters["key_any_moment_max_ms"] = percentile(anyTime, 1.0);
  state.counters["layout_done_s"] = layoutMs / 1e3;
  state.counters["key_after_layout_median_ms"] = percentile(done, 0.5);
  g_frame->FontSize->setValue(oldFont);
  g_frame->resize(oldSize);
}
BENCHMARK(BM_KeyAfterOpening50MiB)->ArgName("lines")->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);


// Short lines of about 70 characters (Tamil and Latin words).
QByteArray shortLines(qsizetype size) {
  QByteArray out = paragraphs(size);
  int col = 0;
  for (qsizetype i = 0; i < out.size(); ++i) {
    if (out[i] == '\n') out[i] = ' ';
    if (++col > 64 && out[i] == ' ') {
      out[i] = '\n';
      col = 0;
    }
  }
  return out;
}

// A plain key typed at the start, middle or end of a 1 MiB document of
// paragraphs (about 400 characters) or of 70-character lines, from reaching
// the event loop until the event loop has painted it; beside a bare
// QTextEdit holding the same text in the same run. The key is taken out
// again (untimed) so the paragraph keeps its length from key to key.
void BM_KeyWhereItIsTyped1MiB(benchmark::State& state) {
  const bool lines = state.range(0) == 1;
  const int place = static_cast<int>(state.range(1));
  const QByteArray bytes = lines ? shortLines(1 << 20) : paragraphs(1 << 20);
  const QString file = writeTemp(QStringLiteral("where.txt"), bytes);
  TEditForm* form = g_frame->CreateEditForm();
  form->OpenDocumentFile(file);
  if (form->isTamilMode()) form->mmTamilKBClick();
  QTextEdit* ed = form->Editor;
  while (!form->Editor->layoutComplete()) runEventLoop(50);

  QTextEdit bare;
  bare.setWindowFlag(Qt::FramelessWindowHint);
  bare.resize(ed->size());
  bare.setPlainText(ed->document()->toRawText());
  bare.show();
  runEventLoop(200);
  for (QTextEdit* e : {ed, &bare}) {
    const int n = e->document()->characterCount() - 1;
    QTextCursor c = e->textCursor();
    c.setPosition(place == 0 ? 0 : place == 1 ? n / 2 : n);
    e->setTextCursor(c);
    e->ensureCursorVisible();
  }
  runEventLoop(200);

  std::vector<double> ours, qt;
  auto takeBack = [](QTextEdit* e) {
    QTextCursor c = e->textCursor();
    c.deletePreviousChar();
    runEventLoop(5);
  };
  for (auto _ : state) {
    const double q = keyToPaintMs(&bare, 'x');
    qt.push_back(q);
    takeBack(&bare);
    const double ms = keyToPaintMs(ed, 'x');
    ours.push_back(ms);
    takeBack(ed);
    state.SetIterationTime(ms / 1e3);
  }
  state.counters["tolvan_median_ms"] = percentile(ours, 0.5);
  state.counters["tolvan_p90_ms"] = percentile(ours, 0.9);
  state.counters["bare_qtextedit_median_ms"] = percentile(qt, 0.5);
  state.counters["bare_qtextedit_p90_ms"] = percentile(qt, 0.9);
  form->Editor->document()->setModified(false);
  form->Close1Click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
BENCHMARK(BM_KeyWhereItIsTyped1MiB)
    ->ArgNames({"lines", "place"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->UseManualTime()
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

// One line of 100 MiB (Tamil and Latin words, no line break) against the
// same 100 MiB in ordinary paragraphs: opening until the window is painted,
// each in its own window; then plain keys in the one line at its start, its
// middle and its end, from reaching the event loop until painted.
void BM_OneLine100MiBVersusParagraphs(benchmark::State& state) {
  QByteArray line = paragraphs(100 << 20);
  const QString paraFile = writeTemp(QStringLiteral("para100.txt"), line);
  line.replace('\n', ' ');
  const QString lineFile = writeTemp(QStringLiteral("line100.txt"), line);
  line.clear();
  auto open = [](const QString& file, double* ms) {
    QElapsedTimer t;
    t.start();
    TEditForm* form = g_frame->CreateEditForm();
    form->OpenDocumentFile(file);
    form->Editor->viewport()->repaint();
    *ms = t.nsecsElapsed() / 1e6;
    return form;
  };
  double lineMs = 0, paraMs = 0;
  std::vector<double> keys;
  for (auto _ : state) {
    TEditForm* para = open(paraFile, &paraMs);
    para->Editor->document()->setModified(false);
    para->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TEditForm* form = open(lineFile, &lineMs);
    if (form->isTamilMode()) form->mmTamilKBClick();
    QTextEdit* ed = form->Editor;
    const int n = ed->document()->characterCount() - 1;
    for (int place : {0, n / 2, n}) {
      QTextCursor c = ed->textCursor();
      c.setPosition(place);
      ed->setTextCursor(c);
      ed->ensureCursorVisible();
      runEventLoop(300);
      for (int i = 0; i < 10; ++i) {
        keys.push_back(keyToPaintMs(ed, 'x'));
        runEventLoop(20);
      }
    }
    state.SetIterationTime(lineMs / 1e3);
    ed->document()->setModified(false);
    form->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["one_line_open_ms"] = lineMs;
  state.counters["paragraphs_open_ms"] = paraMs;
  state.counters["key_median_ms"] = percentile(keys, 0.5);
  state.counters["key_max_ms"] = percentile(keys, 1.0);
}
BENCHMARK(BM_OneLine100MiBVersusParagraphs)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Select All and Delete in 50 MiB of paragraphs, then Undo, each from the
// key reaching the event loop until the window is painted; beside opening
// the same file (the time the same text takes to come in).
double commandToPaintMs(QTextEdit* editor, const std::function<void()>& command) {
  QElapsedTimer t;
  struct Watch : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) painted = true;
      return false;
    }
  } watch;
  t.start();
  QTimer::singleShot(0, editor, [&] {
    command();
    editor->viewport()->installEventFilter(&watch);
  });
  while (!watch.painted && t.elapsed() < 600000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double ms = t.nsecsElapsed() / 1e6;
  editor->viewport()->removeEventFilter(&watch);
  return ms;
}

void BM_DeleteAllAndUndo50MiB(benchmark::State& state) {
  const QString file = writeTemp(QStringLiteral("delete50.txt"), paragraphs(50 << 20));
  double openMs = 0, deleteMs = 0, undoMs = 0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    TEditForm* form = g_frame->CreateEditForm();
    form->OpenDocumentFile(file);
    form->Editor->viewport()->repaint();
    openMs = t.nsecsElapsed() / 1e6;
    runEventLoop(300);
    QTextEdit* ed = form->Editor;
    deleteMs = commandToPaintMs(ed, [&] {
      form->Selectall1Click();
      QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
      QCoreApplication::sendEvent(ed, &del);
    });
    runEventLoop(300);
    undoMs = commandToPaintMs(ed, [&] { ed->undo(); });
    state.SetIterationTime(deleteMs / 1e3);
    ed->document()->setModified(false);
    form->Close1Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.counters["open_ms"] = openMs;
  state.counters["delete_all_ms"] = deleteMs;
  state.counters["undo_ms"] = undoMs;
}
BENCHMARK(BM_DeleteAllAndUndo50MiB)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

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
