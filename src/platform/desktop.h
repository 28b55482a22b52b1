// What the program asks of the desktop: opening a URL (mail, web) in the
// user's program for it, and running a desktop command (setting the
// wallpaper, marking a launcher trusted). Behind one small interface so tests
// record the requests instead of acting on the machine.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tolvan {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Failures are not reported (the callers say nothing either).
  virtual void openUrl(const QUrl& url) = 0;
  // Starts program with args and does not wait for it.
  virtual void run(const QString& program, const QStringList& args) = 0;

  // The real desktop unless a test set another.
  static Desktop& instance();
  // Not owned; nullptr restores the real desktop.
  static void setInstance(Desktop* d);
};

// Records every request, for tests.
class RecordingDesktop : public Desktop {
 public:
  QList<QUrl> urls;
  QList<QStringList> commands;  // program first, then its arguments
  void openUrl(const QUrl& url) override { urls << url; }
  void run(const QString& program, const QStringList& args) override {
    commands << (QStringList{program} + args);
  }
};

}  // namespace tolvan
