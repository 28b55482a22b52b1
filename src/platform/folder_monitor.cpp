// Folder monitor: QFileSystemWatcher on a folder and a file, plus a
// single-shot delay so one burst of changes gives one notification.
#include "platform/folder_monitor.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace tolvan {

FolderMonitor::FolderMonitor(QObject* parent) : QObject(parent) {
  delay_.setSingleShot(true);
  delay_.setInterval(500);
  connect(&delay_, &QTimer::timeout, this, &FolderMonitor::onDelay);
}

FolderMonitor::~FolderMonitor() = default;

void FolderMonitor::setFolder(const QString& folder, const QString& file) {
  const bool wasActive = active_;
  deactivate();
  folder_ = folder;
  file_ = file;
  if (wasActive) activate();
}

void FolderMonitor::activate() {
  deactivate();
  if (folder_.isEmpty()) return;
  // A fresh watcher each time: events queued for the old one are discarded
  // with it, so our own writes while inactive are never reported.
  watcher_ = std::make_unique<QFileSystemWatcher>();
  connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this,
          &FolderMonitor::onNotification);
  connect(watcher_.get(), &QFileSystemWatcher::fileChanged, this, &FolderMonitor::onNotification);
  watcher_->addPath(folder_);
  if (!file_.isEmpty() && QFileInfo::exists(file_)) watcher_->addPath(file_);
  active_ = true;
}

void FolderMonitor::deactivate() {
  delay_.stop();
  if (watcher_) {
    watcher_->disconnect(this);
    // The watcher may be the sender of the signal being handled right now.
    watcher_.release()->deleteLater();
  }
  active_ = false;
}

void FolderMonitor::onNotification() {
  if (!active_) return;
  // A file replaced by renaming another over it is no longer watched: watch
  // the new one.
  if (!file_.isEmpty() && watcher_ && !watcher_->files().contains(file_) &&
      QFileInfo::exists(file_))
    watcher_->addPath(file_);
  // Later notifications inside the delay belong to the same burst.
  if (!delay_.isActive()) delay_.start();
}

void FolderMonitor::onDelay() {
  if (active_) emit changed();
}

}  // namespace tolvan
