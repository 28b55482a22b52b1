// The TSCII input field of the find and replace dialogs.
#include "windows/document/tamil_line_edit.h"

#include <QKeyEvent>

#include "core/convert/unicode_bridge.h"
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

TTamilLineEdit::TTamilLineEdit(QWidget* parent) : QLineEdit(parent) {
  auto forget = [this] {
    if (!typingEdit_) typing_.forget();
  };
  connect(this, &QLineEdit::textChanged, this, forget);
  connect(this, &QLineEdit::cursorPositionChanged, this, forget);
}

void TTamilLineEdit::setUnicode(bool unicode) {
  if (unicode == unicode_) return;
  if (unicode) {
    const QByteArray b = bytes();
    const std::string u = tolvan::TsciiToUnicode(std::string_view(b.constData(), static_cast<size_t>(b.size())));
    unicode_ = true;
    setText(QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size())));
  } else {
    const QByteArray u = text().toUtf8();
    const std::string b =
        tolvan::UnicodeToTscii(std::string_view(u.constData(), static_cast<size_t>(u.size())), {},
                               tolvan::Unmappable::Drop);
    unicode_ = false;
    setBytes(QByteArray(b.data(), static_cast<qsizetype>(b.size())));
  }
}

void TTamilLineEdit::typeUnicode(unsigned char op) {
  if (hasSelectedText()) {
    del();
    typing_.forget();
    if (op == 0x08) op = 0;
  }
  const QString t = text();
  const int pos = cursorPosition();
  const QByteArray before = t.left(pos).toUtf8();
  std::string s = before.toStdString() + t.mid(pos).toStdString();
  if (op == 0x08 && !typing_.byteBefore(s, static_cast<size_t>(before.size()))) return;
  const size_t caret = typing_.apply(s, static_cast<size_t>(before.size()), op);
  typingEdit_ = true;
  setText(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
  setCursorPosition(static_cast<int>(QString::fromUtf8(s.data(), static_cast<qsizetype>(caret)).size()));
  typingEdit_ = false;
}

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
  const Mode m = mode_ ? mode_() : Mode{};
  setUnicode(m.unicode);
  // In Tamil mode a Unicode field edits through the bridge.
  const bool bridged = unicode_ && m.tamil;
  // Key-down: backspace deletes before the caret (or the selection).
  if (b == 0x08) {
    if (bridged)
      typeUnicode(0x08);
    else
      backspace();
  }
  FieldSink sink(this);
  ++depth_;
  const unsigned char out = tolvan::EditorKeyPress(m.tamil, m.layout, b, state_, sink);
  --depth_;
  // As in the editor: nothing for 0, for backspace's character, or for other
  // control characters (a one-line field takes no tab or line break).
  if (out < 0x20 || out == 0x7F) return;
  if (bridged)
    typeUnicode(out);
  else
    insert(unicode_ ? QString(QChar(out)) : QString(tolvan::byteToChar(out)));
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
