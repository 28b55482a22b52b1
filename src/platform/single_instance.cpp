// Local-socket hand-over between a second start and the running instance.
// Message: a QDataStream with a magic number and a QStringList of absolute
// paths; the reply is one byte as soon as the running instance has read it
// whole (it opens the files afterwards).
#include "platform/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {
namespace {
constexpr quint32 kMagic = 0x546f6c31;  // "Tol1"
constexpr char kAck = 'K';

// A folder only this user can enter: a real folder (not a link to one), ours,
// with no access at all for group or others. Anyone else able to create a
// file in it could listen there first and be handed our file names.
bool isPrivateFolder(const QString& dir) {
  struct stat st {};
  if (::lstat(QFile::encodeName(dir).constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// The user id of the process on the other end of a local socket (the one
// that listened, or the one that connected), or -1 when it cannot be told.
long peerUid(qintptr fd) {
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (fd < 0 || ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
  return long(cred.uid);
}

bool peerIsThisUser(qintptr fd) { return peerUid(fd) == long(::getuid()); }

QString folderOf(const QString& socketPath) { return QFileInfo(socketPath).absolutePath(); }

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
  base += QStringLiteral(".sock");
  // The session's runtime folder is the user's own; when there is none (or
  // it is not private), a folder of the user's own in the temp folder (named
  // apart from the bare socket earlier versions left there).
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && isPrivateFolder(runtime)) return QDir(runtime).filePath(base);
  const QString own =
      QDir(QDir::tempPath()).filePath(QStringLiteral("tolvan-runtime-%1").arg(::getuid()));
  return QDir(own).filePath(base);
}

bool SingleInstance::handOver(const QStringList& files, int timeoutMs) {
  // Only a Tolvan of this user gets the file names: the socket must be in a
  // folder nobody else can enter, and the one listening must be this user.
  if (!isPrivateFolder(folderOf(name_))) return false;
  QLocalSocket sock;
  sock.connectToServer(name_);
  if (!sock.waitForConnected(timeoutMs)) return false;
  if (!peerIsThisUser(sock.socketDescriptor())) {
    sock.abort();
    return false;
  }
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
  // The socket's folder is made private, or, when someone else made it or
  // opened it up, no socket is made at all: this start then runs on its own.
  const QString dir = folderOf(name_);
  if (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST) return false;
  if (!isPrivateFolder(dir)) return false;
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
    // Files are taken from this user's starts only.
    if (!peerIsThisUser(sock->socketDescriptor())) {
      sock->abort();
      continue;
    }
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
