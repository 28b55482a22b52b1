// What a document window may know of the window that holds it. The window
// reads its defaults here (colours, font, working folder, the number of a new
// untitled document, the settings store) and asks for the services that are
// not its own (new, open, exit, help, the busy light, the recent-files list,
// the text cipher). Everything else goes the other way: the document window
// tells its holder what changed through its signals (see TEditForm), and the
// holder updates its own bars and menus from them.
//
// A window without a host works alone: defaults of its own, settings from
// $TOLVAN_INI, no selector button, and the commands that need a host do
// nothing.
#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class QWidget;
class TEditForm;

namespace tolvan {
class Settings;
}

class TDocumentHost {
 public:
  // ---- Defaults and state the document reads
  // The settings store (section [Tolvan]).
  virtual tolvan::Settings& settings() = 0;
  // Pen and paper of a new document, as colour names ("clBlack", ...).
  virtual QString defaultForeColor() const = 0;
  virtual QString defaultBackColor() const = 0;
  // Font family and point size of a new document.
  virtual QString defaultFontFamily() const = 0;
  virtual int defaultFontSize() const = 0;
  // The folder the open and save dialogs start in (with a trailing '/').
  virtual QString workDir() const = 0;
  // The number of the untitled document being made ("Tolvan<n>").
  virtual int untitledNumber() const = 0;
  // The window that owns the dialogs shared by all documents (find, replace)
  // and the bar the documents' selector buttons sit on.
  virtual QWidget* hostWindow() = 0;
  virtual QWidget* selectorBar() = 0;
  // The document the user sees (nullptr: none), and all of them in the order
  // they were made.
  virtual TEditForm* activeDocument() const = 0;
  virtual QList<TEditForm*> documents() const = 0;

  // ---- Services the document asks for
  // A file was loaded from folder dir: the dialogs start there next time.
  virtual void setWorkDir(const QString& dir) = 0;
  // A file was opened or saved: it goes to the top of the recent-files list.
  virtual void addRecentFile(const QString& path) = 0;
  // File > New: a new untitled document window, returned (nullptr: none).
  virtual TEditForm* newDocument() = 0;
  // File > Open, File > Exit, Help > Contents.
  virtual void openDocument() = 0;
  virtual void exitProgram() = 0;
  virtual void showHelp() = 0;
  // Close All: every document, each asked first; false when one refused.
  virtual bool closeAllDocuments() = 0;
  // The busy light, on while a file is loaded or saved or text converted.
  virtual void setBusy(bool on) = 0;
  // The text cipher of Tools > Encrypt / Decrypt: asks for the passphrase;
  // false when cancelled. decryptText throws tolvan::CryptoError for text
  // that is not whole Base64.
  virtual bool encryptText(const QByteArray& text, QByteArray& out) = 0;
  virtual bool decryptText(const QByteArray& text, QByteArray& out) = 0;

 protected:
  ~TDocumentHost() = default;
};
