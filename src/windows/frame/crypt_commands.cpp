// The frame's encryption commands: text routines and the file commands'
// worker threads, progress bars and messages.
#include "windows/frame/crypt_commands.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <atomic>
#include <thread>

#include "core/crypto/crc32.h"
#include "core/crypto/file_crypt.h"
#include "core/crypto/text_crypt.h"
#include "core/crypto/wipe.h"
#include "platform/prompts.h"
#include "windows/frame/led.h"

namespace {

const QString kTextPrompt = QStringLiteral("Please enter the passphrase");

std::string nameBytes(const QString& path) {
  const QByteArray b = QFile::encodeName(path);
  return std::string(b.constData(), size_t(b.size()));
}
QString nameText(const std::string& bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
}

// Thrown out of a worker's progress callback when the user cancels; the
// workers then remove their temporary output and leave the file alone.
struct Cancelled {};

// A password string that is wiped when it goes.
struct Secret {
  std::string bytes;
  ~Secret() {
    if (!bytes.empty()) tolvan::SecureFill(bytes.data(), bytes.size(), 0);
  }
};

// The names a command on file touches: its own and its companions', under
// the name given and under the file's real path (a symbolic link reaches the
// same file by another name).
QStringList namesOf(TCryptCommands::Kind kind, const QString& file) {
  QFileInfo fi(file);
  QStringList bases{fi.absoluteFilePath()};
  if (!fi.canonicalFilePath().isEmpty() && fi.canonicalFilePath() != bases.first())
    bases << fi.canonicalFilePath();
  QStringList out;
  for (const QString& b : bases) {
    out << b;
    if (kind == TCryptCommands::Kind::Encrypt) out << b + ".enc" << b + ".org";
    if (kind == TCryptCommands::Kind::Decrypt) out << b + ".dec" << b + ".enc";
  }
  return out;
}

}  // namespace

struct TCryptCommands::Job {
  Kind kind = Kind::Crc;
  QString file;
  QStringList names;
  std::thread thread;
  std::atomic<std::uint64_t> done{0}, total{0};
  std::atomic<bool> cancel{false};
  // Written by the worker, read after it has been joined.
  bool cancelled = false;
  tolvan::FileCryptResult result;
  bool crcOk = false;
  std::uint32_t crc = 0;
  std::string crcError;
  // In the status bar.
  QPointer<QWidget> box;
  QProgressBar* bar = nullptr;
};

TCryptCommands::TCryptCommands(QWidget* window, QStatusBar* statusBar, TLed* light,
                               std::function<void(const QString&)> showMessage)
    : QObject(window), window_(window), light_(light), showMessage_(std::move(showMessage)) {
  setObjectName(QStringLiteral("CryptCommands"));
  area_ = new QWidget();
  area_->setObjectName(QStringLiteral("CryptProgress"));
  areaLayout_ = new QHBoxLayout(area_);
  areaLayout_->setContentsMargins(0, 0, 0, 0);
  areaLayout_->setSpacing(4);
  if (statusBar) statusBar->addPermanentWidget(area_);
  area_->hide();
  // Repaints of the bars come from this timer, not from the workers, so a
  // fast worker cannot flood the window with updates. A bar can stand still
  // for the interval plus however long the thread waited for a core (on a
  // busy machine, tens of milliseconds), so the interval is kept well under
  // the 100 ms in which a bar should move; a repaint of the bars is cheap.
  poll_.setInterval(25);
  connect(&poll_, &QTimer::timeout, this, &TCryptCommands::updateProgress);
}

TCryptCommands::~TCryptCommands() {
  CancelAll();
  for (auto& j : jobs_)
    if (j->thread.joinable()) j->thread.join();
}

std::string TCryptCommands::PasswordBytes(const QString& password) {
  bool oneByte = true;
  for (QChar c : password) oneByte = oneByte && c.unicode() <= 0xFF;
  const QByteArray b = oneByte ? password.toLatin1() : password.toUtf8();
  return std::string(b.constData(), size_t(b.size()));
}

QString TCryptCommands::MessageOfBusy(const QString& file) {
  return file + QStringLiteral(" is being worked on by another command. Please wait until it has finished.");
}

QStringList TCryptCommands::BusyNames() const {
  QStringList out;
  for (const auto& j : jobs_) out += j->names;
  return out;
}

void TCryptCommands::CancelAll() {
  for (auto& j : jobs_) j->cancel = true;
}

QString TCryptCommands::MessageOfStop(Kind kind, const QString& file) {
  return file + (kind == Kind::Encrypt ? QStringLiteral(" is still being encrypted. Stop it and exit?")
                                       : QStringLiteral(" is still being decrypted. Stop it and exit?"));
}

bool TCryptCommands::AskToStop(QWidget* parent) {
  // A checksum changes nothing on disk: it is stopped without a question.
  // The list is taken first, since a question runs the event loop and a
  // command may end (and leave jobs_) while it is up.
  std::vector<std::pair<Kind, QString>> asks;
  for (const auto& j : jobs_)
    if (j->kind != Kind::Crc) asks.emplace_back(j->kind, j->file);
  for (const auto& [kind, file] : asks) {
    bool running = false;
    for (const auto& j : jobs_) running = running || (j->kind == kind && j->file == file);
    if (!running) continue;
    if (tolvan::Prompts::instance().yesNo(parent, MessageOfStop(kind, file)) != tolvan::Prompts::Answer::Yes)
      return false;
  }
  return true;
}

// ---------------------------------------------------------------- text

bool TCryptCommands::EncryptText(const QByteArray& text, QByteArray& out) {
  QString pw;
  if (!tolvan::Prompts::instance().inputQuery(window_, QString::fromLatin1(tolvan::kFilePasswordCaption),
                                              kTextPrompt, pw, true))
    return false;
  Secret p{PasswordBytes(pw)};
  pw.fill(QChar(0));
  const std::string r =
      tolvan::EncryptText(DCP_blowfish1, std::string_view(text.constData(), size_t(text.size())), p.bytes);
  out = QByteArray(r.data(), qsizetype(r.size()));
  return true;
}

bool TCryptCommands::DecryptText(const QByteArray& text, QByteArray& out) {
  QString pw;
  if (!tolvan::Prompts::instance().inputQuery(window_, QString::fromLatin1(tolvan::kFilePasswordCaption),
                                              kTextPrompt, pw, true))
    return false;
  Secret p{PasswordBytes(pw)};
  pw.fill(QChar(0));
  std::string r =
      tolvan::DecryptText(DCP_blowfish1, std::string_view(text.constData(), size_t(text.size())), p.bytes);
  out = QByteArray(r.data(), qsizetype(r.size()));
  tolvan::SecureFill(r.data(), r.size(), 0);
  return true;
}

// ---------------------------------------------------------------- files

void TCryptCommands::Run(Kind kind, const QString& selectedPath) {
  auto& prompts = tolvan::Prompts::instance();
  const QString file = selectedPath.isEmpty() ? QString() : selectedPath.chopped(1);
  if (!tolvan::IsExistingFile(nameBytes(file))) {
    prompts.information(window_, nameText(tolvan::NotAFileMessage(nameBytes(file))));
    return;
  }
  auto busy = [&] {
    const QStringList mine = namesOf(kind, file);
    const QStringList taken = BusyNames();
    for (const QString& n : mine)
      if (taken.contains(n)) return true;
    return false;
  };
  if (busy()) {
    prompts.information(window_, MessageOfBusy(file));
    return;
  }
  Secret password;
  if (kind != Kind::Crc) {
    QString pw;
    if (!prompts.inputQuery(window_, QString::fromLatin1(tolvan::kFilePasswordCaption),
                            QString::fromLatin1(tolvan::kFilePasswordPrompt), pw, true))
      return;
    password.bytes = PasswordBytes(pw);
    pw.fill(QChar(0));
    // A command may have started on a companion while the dialog was up.
    if (busy()) {
      prompts.information(window_, MessageOfBusy(file));
      return;
    }
    showMessage_((kind == Kind::Encrypt ? QStringLiteral("Encrypting ") : QStringLiteral("Decrypting ")) +
                                file);
  }
  start(kind, file, std::move(password.bytes));
}

void TCryptCommands::start(Kind kind, const QString& file, std::string password) {
  auto owned = std::make_unique<Job>();
  Job* job = owned.get();
  job->kind = kind;
  job->file = file;
  job->names = namesOf(kind, file);

  auto* box = new QWidget(area_);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  auto* bar = new QProgressBar(box);
  bar->setObjectName(QStringLiteral("CryptProgressBar"));
  bar->setRange(0, 1000);
  bar->setValue(0);
  bar->setFixedWidth(150);
  const QString verb = kind == Kind::Encrypt   ? QStringLiteral("Encrypting")
                       : kind == Kind::Decrypt ? QStringLiteral("Decrypting")
                                               : QStringLiteral("CRC of");
  bar->setFormat(QString());
  bar->setToolTip(verb + QLatin1Char(' ') + file);
  auto* cancel = new QToolButton(box);
  cancel->setObjectName(QStringLiteral("CryptCancel"));
  cancel->setText(QStringLiteral("Cancel"));
  cancel->setToolTip(QStringLiteral("Stop; the file stays as it was"));
  connect(cancel, &QToolButton::clicked, this, [job, cancel] {
    job->cancel = true;
    cancel->setEnabled(false);
  });
  row->addWidget(bar);
  row->addWidget(cancel);
  areaLayout_->addWidget(box);
  job->box = box;
  job->bar = bar;
  area_->show();
  jobs_.push_back(std::move(owned));
  if (!poll_.isActive()) poll_.start();
  updateLight();

  const std::string in = nameBytes(file);
  job->thread = std::thread([this, job, in, pw = Secret{std::move(password)}] {
    auto progress = [job](std::uint64_t done, std::uint64_t total) {
      job->done = done;
      job->total = total;
      if (job->cancel) throw Cancelled{};
    };
    try {
      if (job->kind == Kind::Crc) {
        job->crcOk = tolvan::ReadFileCRC32(in, job->crc, job->crcError, progress);
      } else {
        // A cipher of the command's own, keyed and wiped by the worker.
        tolvan::TDCP_blowfish cipher;
        job->result = job->kind == Kind::Encrypt
                          ? tolvan::EncryptFile(cipher, in, in + ".enc", pw.bytes, progress)
                          : tolvan::DecryptFile(cipher, in, in + ".dec", pw.bytes, progress);
      }
    } catch (const Cancelled&) {
      job->cancelled = true;
    } catch (const std::exception& e) {
      job->result = {tolvan::FileCryptStatus::IoError, e.what()};
      job->crcError = e.what();
    }
    QMetaObject::invokeMethod(this, [this, job] { finish(job); }, Qt::QueuedConnection);
  });
}

QString TCryptCommands::ProgressText(std::uint64_t done, std::uint64_t total) {
  // The bytes done, in a unit that moves at every tick on a large file.
  const bool mib = total >= (10u << 20);
  const std::uint64_t unit = mib ? (1u << 20) : 1024u;
  return QStringLiteral("%1 of %2 %3")
      .arg(QLocale().toString(qulonglong(done / unit)), QLocale().toString(qulonglong((total + unit - 1) / unit)),
           mib ? QStringLiteral("MiB") : QStringLiteral("KiB"));
}

void TCryptCommands::updateProgress() {
  for (const auto& j : jobs_) {
    const std::uint64_t total = j->total, done = j->done;
    if (total == 0) continue;
    j->bar->setValue(int(done * 1000 / total));
    j->bar->setFormat(ProgressText(done, total));
  }
}

void TCryptCommands::updateLight() {
  bool crypting = false;
  for (const auto& j : jobs_) crypting = crypting || j->kind != Kind::Crc;
  if (light_ && light_->isBlinking() != crypting) light_->setBlinking(crypting);
}

void TCryptCommands::finish(Job* job) {
  // Out of the list before any message box: a box runs the event loop, and
  // other commands may end meanwhile.
  std::unique_ptr<Job> owned;
  for (auto it = jobs_.begin(); it != jobs_.end(); ++it)
    if (it->get() == job) {
      owned = std::move(*it);
      jobs_.erase(it);
      break;
    }
  if (!owned) return;
  owned->thread.join();
  delete owned->box.data();
  if (jobs_.empty()) {
    area_->hide();
    poll_.stop();
  }

  auto& prompts = tolvan::Prompts::instance();
  const QString& file = job->file;
  bool ok = false;
  if (job->kind == Kind::Crc) {
    if (job->cancelled) {
      showMessage_(QStringLiteral("CRC of %1 cancelled").arg(file));
    } else if (job->crcOk) {
      ok = true;
      prompts.information(window_, nameText(tolvan::CrcMessage(nameBytes(file), job->crc)));
    } else {
      prompts.error(window_, nameText(job->crcError));
    }
  } else {
    const bool encrypt = job->kind == Kind::Encrypt;
    using tolvan::FileCryptStatus;
    const QString message = nameText(job->result.message);
    if (job->cancelled) {
      showMessage_((encrypt ? QStringLiteral("Encryption of ") : QStringLiteral("Decryption of ")) +
                                  file + QStringLiteral(" cancelled; the file was not changed"));
    } else if (job->result.ok()) {
      ok = true;
      QApplication::beep();
      prompts.information(window_, message);
      showMessage_((encrypt ? QStringLiteral("Encrypted ") : QStringLiteral("Decrypted ")) + file);
    } else {
      switch (job->result.status) {
        case FileCryptStatus::OpenFailed:
        case FileCryptStatus::CreateFailed:
        case FileCryptStatus::WrongPassword:
          prompts.information(window_, message);
          break;
        default:
          prompts.error(window_, message);
          break;
      }
      showMessage_(message);
    }
  }
  updateLight();
  emit finished(job->kind, file, ok);
}
