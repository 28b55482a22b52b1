// One running Tolvan per user (and per settings file): the first start listens
// on a local socket; a later start connects, hands over its file names (made
// absolute against its own working folder) and exits once the running
// instance has received them. Only a channel of the same user is used: the
// socket lives in a folder private to the user, and each end checks that the
// other runs as the same user; otherwise a start runs on its own.
#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace tolvan {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // serverName empty: defaultServerName().
  explicit SingleInstance(QString serverName = QString(), QObject* parent = nullptr);
  ~SingleInstance() override;

  // The socket for this user: in $XDG_RUNTIME_DIR when set and private, else
  // in a folder of the temp folder named after the user id; a TOLVAN_INI
  // setting gives its own instance (tests run beside a real session).
  static QString defaultServerName();

  // When another instance of this user is listening, sends it the files (may
  // be empty: it then only comes to the front), waits until it has handled
  // them and returns true. Otherwise returns false, having sent nothing: no
  // one listening, the socket's folder not private to this user, or the one
  // listening another user.
  bool handOver(const QStringList& files, int timeoutMs = 3000);

  // Starts listening (making the socket's folder, private, when missing, and
  // removing a stale socket left by a crash). False when another instance
  // started listening first (hand over to it), the folder is not private to
  // this user, or listening failed.
  bool listen();

  QString serverName() const { return name_; }

 signals:
  // A later start asked us to come forward and open these files. Emitted
  // from the event loop after that start has had its answer, so it may have
  // gone by the time a handler runs.
  void activated(const QStringList& files);

 private:
  void onNewConnection();
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace tolvan
