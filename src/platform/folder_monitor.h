// Watches one folder (not its subfolders) and one file in it for changes of
// size or last-write time. Notifications arrive on the user-interface thread;
// the first one of a burst starts a single-shot delay (500 ms), and changed()
// fires once when it runs out, whatever else happened meanwhile.
#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QFileSystemWatcher;

namespace tolvan {

class FolderMonitor : public QObject {
  Q_OBJECT

 public:
  explicit FolderMonitor(QObject* parent = nullptr);
  ~FolderMonitor() override;

  // The folder to watch and, optionally, the file of interest inside it
  // (watched directly too, since rewriting a file in place does not touch
  // its folder's entry list).
  void setFolder(const QString& folder, const QString& file = QString());
  QString folder() const { return folder_; }
  void setDelay(int ms) { delay_.setInterval(ms); }

  // Starts watching. Notifications that arrived while inactive are gone.
  void activate();
  // Stops watching and drops a pending notification.
  void deactivate();
  bool isActive() const { return active_; }

 signals:
  void changed();

 private:
  void onNotification();
  void onDelay();

  QString folder_, file_;
  std::unique_ptr<QFileSystemWatcher> watcher_;
  QTimer delay_;
  bool active_ = false;
};

}  // namespace tolvan
