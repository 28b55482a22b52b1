// The hourglass and the busy light for the length of a command, restored on
// every way out.
#pragma once
#include <QApplication>
#include <functional>

class BusyScope {
 public:
  explicit BusyScope(const std::function<void(bool)>& setBusy) : setBusy_(setBusy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (setBusy_) setBusy_(true);
  }
  ~BusyScope() {
    QApplication::restoreOverrideCursor();
    if (setBusy_) setBusy_(false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  const std::function<void(bool)>& setBusy_;
};
