// The real desktop: Qt's URL handler (xdg-open underneath) and detached
// processes.
#include "platform/desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace tolvan {
namespace {

class RealDesktop final : public Desktop {
 public:
  void openUrl(const QUrl& url) override { QDesktopServices::openUrl(url); }
  void run(const QString& program, const QStringList& args) override {
    if (QStandardPaths::findExecutable(program).isEmpty()) return;
    QProcess::startDetached(program, args);
  }
};

Desktop* g_desktop = nullptr;

}  // namespace

Desktop& Desktop::instance() {
  static RealDesktop real;
  return g_desktop ? *g_desktop : real;
}

void Desktop::setInstance(Desktop* d) { g_desktop = d; }

}  // namespace tolvan
