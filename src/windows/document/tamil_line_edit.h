// A one-line field that takes text the way a document does: it shows the
// document's Tamil font and in Tamil mode sends every typed character through
// the document window's keyboard layout, so a word typed here is the same
// text as the word typed in the document. For a TSCII document it holds one
// character per byte (with the editor's stand-in for byte 0xAD); for a
// Unicode document, Unicode (text()), typed through the TSCII bridge as the
// document types.
#pragma once
#include <QByteArray>
#include <QLineEdit>
#include <QPointer>
#include <functional>

#include "core/input/keyboard.h"
#include "core/input/unicode_typing.h"

class TTamilLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  // How keys are typed: Tamil mode on or off, and the layout (asked at every
  // key, so the field follows the window's Keyboard menu).
  struct Mode {
    bool tamil = false;
    tolvan::Layout layout = tolvan::Layout::Anjal;
    bool unicode = false;  // the document is a Unicode document
  };
  using ModeSource = std::function<Mode()>;

  explicit TTamilLineEdit(QWidget* parent = nullptr);
  void setModeSource(ModeSource source) { mode_ = std::move(source); }

  // Whether the field holds Unicode. Changing it converts the text the field
  // holds through the bridge. A key follows the mode source's `unicode`.
  void setUnicode(bool unicode);
  bool isUnicode() const { return unicode_; }

  // The field's text as bytes, and set from bytes (TSCII).
  QByteArray bytes() const;
  void setBytes(const QByteArray& bytes);

  // One byte as a complete keystroke, through the layout like a typed key.
  void typeByte(unsigned char b);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  ModeSource mode_;
  // The field's own typing context: what is typed here does not change the
  // context of the documents, and theirs does not leak into the field.
  tolvan::TamilState state_;
  int depth_ = 0;
  bool unicode_ = false;
  // Typing into Unicode; anything else that changes the text or moves the
  // caret makes it start afresh.
  void typeUnicode(unsigned char op);
  tolvan::UnicodeTyping typing_;
  bool typingEdit_ = false;
};
