// The TSCII input field of the find and replace dialogs.
#include "windows/document/tamil_line_edit.h"

#include <QKeyEvent>

#include "platform/byte_text.h"

namespace {

class FieldSink final : public tolvan::KeySink {
 public:
  explicit FieldSink(TTamilLineEdit* field) : field_(field) {}
  void SendKeyToEditor(unsigned char ch) override { field_->typeByte(ch); }

 private:
  TTamilLineEdit* field_;
};

}  // namespace

TTamilLineEdit::TTamilLineEdit(QWidget* parent) : QLineEdit(parent) {}

QByteArray TTamilLineEdit::bytes() const {
  QByteArray out;
  const QString t = text();
  out.reserve(t.size());
  for (QChar c : t) {
    const int b = tolvan::charToByte(c);
    // The field only ever holds bytes; anything wider (a paste from another
    // program) cannot be in a TSCII document either and is left out.
    if (b >= 0) out.append(static_cast<char>(b));
  }
  return out;
}

void TTamilLineEdit::setBytes(const QByteArray& bytes) {
  QString s = QString::fromLatin1(bytes);
  tolvan::bytesToEditorChars(s);
  setText(s);
}

void TTamilLineEdit::typeByte(unsigned char b) {
  // Key-down: backspace deletes before the caret (or the selection).
  if (b == 0x08) backspace();
  const Mode m = mode_ ? mode_() : Mode{};
  FieldSink sink(this);
  ++depth_;
  const unsigned char out = tolvan::EditorKeyPress(m.tamil, m.layout, b, state_, sink);
  --depth_;
  // As in the editor: nothing for 0, for backspace's character, or for other
  // control characters (a one-line field takes no tab or line break).
  if (out >= 0x20 && out != 0x7F) insert(QString(tolvan::byteToChar(out)));
}

void TTamilLineEdit::keyPressEvent(QKeyEvent* e) {
  const bool command = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier);
  const QString text = e->text();
  if (!command) {
    if (e->key() == Qt::Key_Backspace) {
      typeByte(0x08);
      e->accept();
      return;
    }
    if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() <= 0xFF &&
        text[0].unicode() != 0x7F) {
      typeByte(static_cast<unsigned char>(text[0].unicode()));
      e->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}
