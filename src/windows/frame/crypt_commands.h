// The frame's encryption commands: the text routines on the shared cipher,
// and the file commands (encrypt, decrypt, checksum) of the directory panel,
// which run on a worker thread each, with a progress bar and a Cancel button
// in the status bar. A cancelled or failed command leaves the file as it was
// (the file workers guarantee it; a cancel is an exception thrown out of
// their progress callback). While a command works on a file, every other
// command that would touch that file or one of its companions (F.enc, F.org,
// F.dec) is refused with a message.
#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/crypto/blowfish.h"

class QHBoxLayout;
class QStatusBar;
class QWidget;
class TLed;

class TCryptCommands : public QObject {
  Q_OBJECT

 public:
  enum class Kind { Encrypt, Decrypt, Crc };

  // window: the parent of the prompts and the owner of the commands;
  // statusBar gets the progress bars, light blinks while a file command
  // runs, and showMessage puts its outcome in the status bar.
  TCryptCommands(QWidget* window, QStatusBar* statusBar, TLed* light,
                 std::function<void(const QString&)> showMessage);
  // Cancels the running commands and waits for them: their files stay as
  // they were.
  ~TCryptCommands() override;

  // ---- Text (the document's Tools > Encrypt / Decrypt and the toolbar)
  // Ask for the passphrase; false when the dialog was cancelled (out is then
  // untouched). DecryptText throws tolvan::CryptoError for text that is not
  // whole Base64 groups.
  bool EncryptText(const QByteArray& text, QByteArray& out);
  bool DecryptText(const QByteArray& text, QByteArray& out);

  // ---- Files. selectedPath is the directory panel's path (ending in '/',
  // or "?" when nothing is selected); the file is that without its last
  // character.
  void Run(Kind kind, const QString& selectedPath);

  // The commands running now.
  int RunningCount() const { return int(jobs_.size()); }
  // The file names running commands work on (files and companions).
  QStringList BusyNames() const;
  // Stops every running command (as its Cancel button does).
  void CancelAll();
  // Before the program exits: asks, for each file being encrypted or
  // decrypted, whether to stop it ("F is still being encrypted. Stop it and
  // exit?"). False as soon as the user says No; nothing is stopped here.
  bool AskToStop(QWidget* parent);
  // The question above for one command.
  static QString MessageOfStop(Kind kind, const QString& file);
  // The status-bar area holding one progress bar and Cancel button per
  // running command.
  QWidget* ProgressArea() const { return area_; }

  // Passphrase bytes: Latin-1 when every character fits one byte (the
  // program's own text model, and what earlier versions used), else UTF-8.
  static std::string PasswordBytes(const QString& password);
  // The refusal of a second command on a file being worked on.
  static QString MessageOfBusy(const QString& file);
  // A progress bar's text: "123 of 1,024 MiB" (KiB below 10 MiB).
  static QString ProgressText(std::uint64_t done, std::uint64_t total);

 signals:
  // A file command has ended (after its message was shown).
  void finished(TCryptCommands::Kind kind, const QString& file, bool ok);

 private:
  struct Job;
  void start(Kind kind, const QString& file, std::string password);
  void finish(Job* job);
  void updateProgress();
  void updateLight();

  QWidget* window_;
  TLed* light_;
  std::function<void(const QString&)> showMessage_;
  // The one cipher of the text commands: keyed and wiped within each command.
  // The file commands each key their own on their worker thread, since two of
  // them may run at once beside a text command.
  tolvan::TDCP_blowfish DCP_blowfish1;
  std::vector<std::unique_ptr<Job>> jobs_;
  QWidget* area_ = nullptr;
  QHBoxLayout* areaLayout_ = nullptr;
  QTimer poll_;
};
