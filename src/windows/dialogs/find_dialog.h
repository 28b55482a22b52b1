// The find and replace dialogs of the document windows: modeless, searching
// an editor's text byte for byte (match case folds ASCII letters only; whole
// word counts Tamil letters as word characters). The editor is asked for at
// every command, so the dialog acts on the document the user sees. Replace
// All is one undo step and edits the document in one pass.
//
// A Unicode document is searched for Unicode text: its fields hold Unicode
// while they serve one. When the document searched changes between TSCII
// and Unicode, the text in the fields is converted through the bridge
// before the search, so a word typed for one document finds itself in the
// other.
#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/document/text_search.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QTextEdit;
class TTamilLineEdit;

class TFindDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Kind { Find, Replace };
  // editor: the document it searches until setTarget() says otherwise.
  TFindDialog(Kind kind, QTextEdit* editor, QWidget* parent);
  // Where each command finds the editor it acts on (nullptr: none, and the
  // commands do nothing).
  using Target = std::function<QTextEdit*()>;
  void setTarget(Target target) { target_ = std::move(target); }
  QTextEdit* target() const;

  Kind kind() const { return kind_; }
  TTamilLineEdit* FindField = nullptr;
  TTamilLineEdit* ReplaceField = nullptr;  // Replace only
  QCheckBox* WholeWord = nullptr;
  QCheckBox* MatchCase = nullptr;
  QRadioButton* Up = nullptr;    // Find only
  QRadioButton* Down = nullptr;  // Find only
  QPushButton *FindNextBtn = nullptr, *ReplaceBtn = nullptr, *ReplaceAllBtn = nullptr,
              *CancelBtn = nullptr;

  // Sets the text to find (bytes; the part before the first line break) and
  // empties the replacement; then shows and raises the dialog.
  void open(const QByteArray& findBytes);
  // The same for a Unicode document: the text to find is Unicode (the part
  // before the first paragraph or line break).
  void openUnicode(const QString& findText);
  // Whether the fields hold Unicode (they last served a Unicode document).
  bool fieldsUnicode() const { return fieldsUnicode_; }

  // The dialog's commands. Each returns whether something was found.
  bool FindNext();
  bool Replace();
  // Replaces every match in the document; the number replaced.
  int ReplaceAll();
  // Whether this dialog has searched since it was made (Find Next again),
  // and when: a later search has a greater number, across all dialogs.
  bool hasSearched() const { return searchSerial_ != 0; }
  std::uint64_t searchSerial() const { return searchSerial_; }

  tolvan::SearchOptions options() const;

 signals:
  // A search ran (Find Next repeats the dialog that searched last).
  void searched(TFindDialog* dialog);

 private:
  void markSearched();
  void present();
  // Converts the fields' text to the encoding of the document searched.
  void matchFieldsTo(const QTextEdit* ed);
  void notFound();
  QString needleChars() const;
  QString replacementChars() const;

  Kind kind_;
  QPointer<QTextEdit> editor_;
  Target target_;
  std::uint64_t searchSerial_ = 0;
  bool fieldsUnicode_ = false;
};
