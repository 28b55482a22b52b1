// The hourglass (and the busy light) for the length of a command, restored on
// every way out.
#pragma once
#include <QApplication>
#include <functional>
#include <utility>

// The hourglass and the busy light; end() gives both back early.
class BusyScope {
 public:
  explicit BusyScope(std::function<void(bool)> setBusy) : setBusy_(std::move(setBusy)) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (setBusy_) setBusy_(true);
  }
  ~BusyScope() { end(); }
  void end() {
    if (done_) return;
    done_ = true;
    QApplication::restoreOverrideCursor();
    if (setBusy_) setBusy_(false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  std::function<void(bool)> setBusy_;
  bool done_ = false;
};

// The hourglass alone, when on: for a command that may touch the whole of a
// large document (undo, redo, cutting or deleting a selection).
class WaitCursorScope {
 public:
  explicit WaitCursorScope(bool on) : on_(on) {
    if (on_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~WaitCursorScope() {
    if (on_) QApplication::restoreOverrideCursor();
  }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  bool on_;
};
