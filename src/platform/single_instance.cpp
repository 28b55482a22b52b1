// Local-socket hand-over between a second start and the running instance.
// Message: a QDataStream with a magic number and a QStringList of absolute
// paths; the reply is one byte as soon as the running instance has read it
// whole (it opens the files afterwards).
#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <unistd.h>

namespace tolvan {
namespace {
constexpr quint32 kMagic = 0x546f6c31;  // "Tol1"
constexpr char kAck = 'K';
}  // namespace

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), name_(serverName.isEmpty() ? defaultServerName() : std::move(serverName)) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
}

QString SingleInstance::defaultServerName() {
  QString base = QStringLiteral("tolvan-%1").arg(::getuid());
  const QByteArray ini = qgetenv("TOLVAN_INI");
  if (!ini.isEmpty()) {
    const QByteArray abs = QFileInfo(QString::fromLocal8Bit(ini)).absoluteFilePath().toUtf8();
    base += QLatin1Char('-') +
            QString::fromLatin1(
                QCryptographicHash::hash(abs, QCryptographicHash::Sha1).toHex().left(12));
  }
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
    return QDir(runtime).filePath(base + QStringLiteral(".sock"));
  return base;  // QLocalServer puts a bare name in the temp folder
}

bool SingleInstance::handOver(const QStringList& files, int timeoutMs) {
  QLocalSocket sock;
  sock.connectToServer(name_);
  if (!sock.waitForConnected(timeoutMs)) return false;
  QStringList abs;
  for (const QString& f : files)
    if (!f.isEmpty()) abs << QFileInfo(f).absoluteFilePath();
  QByteArray msg;
  {
    QDataStream out(&msg, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << abs;
  }
  QByteArray framed;
  {
    QDataStream out(&framed, QIODevice::WriteOnly);
    out << quint32(msg.size());
  }
  framed += msg;
  sock.write(framed);
  if (!sock.waitForBytesWritten(timeoutMs)) return true;  // it is there, even if slow
  // Wait until the running instance has the whole message. It answers before
  // it opens anything, so a box it shows never keeps this start waiting.
  sock.waitForReadyRead(timeoutMs);
  sock.disconnectFromServer();
  return true;
}

bool SingleInstance::listen() {
  if (!server_) {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
  }
  // Someone answering on the socket was there first (two starts at the same
  // moment): hand over to it. Listening would take the socket's name from
  // it, since the server is created aside and renamed into place.
  {
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(300)) {
      probe.abort();
      return false;
    }
  }
  // Nobody answers: whatever is left at the name is from a crash.
  QLocalServer::removeServer(name_);
  return server_->listen(name_);
}

void SingleInstance::onNewConnection() {
  while (QLocalSocket* sock = server_->nextPendingConnection()) {
    connect(sock, &QLocalSocket::disconnected, sock, &QObject::deleteLater);
    // A start that connects and never finishes its message is dropped.
    QTimer::singleShot(10000, sock, &QLocalSocket::abort);
    auto buffer = std::make_shared<QByteArray>();
    connect(sock, &QLocalSocket::readyRead, this, [this, sock, buffer] {
      *buffer += sock->readAll();
      if (buffer->size() < 4) return;
      quint32 len = 0;
      {
        QDataStream in(*buffer);
        in >> len;
      }
      if (len > 16u * 1024 * 1024) {  // not one of ours
        sock->abort();
        return;
      }
      if (quint32(buffer->size()) < 4 + len) return;
      QDataStream in(buffer->mid(4, len));
      in.setVersion(QDataStream::Qt_6_0);
      quint32 magic = 0;
      QStringList files;
      in >> magic >> files;
      buffer->clear();
      if (magic != kMagic || in.status() != QDataStream::Ok) {
        sock->abort();
        return;
      }
      // Answer first, then act. Opening the files may show a box whose event
      // loop sees the other start go away and deletes this socket; nothing
      // of the connection may be touched after this point, and the files are
      // opened later from the event loop with a copy of the list.
      sock->write(&kAck, 1);
      sock->flush();
      sock->disconnectFromServer();
      QMetaObject::invokeMethod(
          this, [this, files] { emit activated(files); }, Qt::QueuedConnection);
    });
  }
}

}  // namespace tolvan
