// Synthetic keystrokes for the editor (engines and the character map).
#include "platform/key_sender.h"

#include <QCoreApplication>
#include <QWidget>

namespace tolvan {

QKeyEvent makeByteKeyEvent(QEvent::Type type, unsigned char ch) {
  int key = Qt::Key_unknown;
  Qt::KeyboardModifiers mods = Qt::NoModifier;
  switch (ch) {
    case 0x08: key = Qt::Key_Backspace; break;
    case 0x09: key = Qt::Key_Tab; break;
    case 0x0D: key = Qt::Key_Return; break;
    case 0x1B: key = Qt::Key_Escape; break;
    default:
      if (ch >= 'a' && ch <= 'z') {
        key = Qt::Key_A + (ch - 'a');
      } else if (ch >= 'A' && ch <= 'Z') {
        key = Qt::Key_A + (ch - 'A');
        mods = Qt::ShiftModifier;
      } else if ((ch >= 0x20 && ch < 0x7F) || ch >= 0xA0) {
        key = ch;  // Qt's key codes equal Latin-1 here
      }
  }
  return QKeyEvent(type, key, mods, QString(QChar(ch)));
}

void sendByteKey(QWidget* target, unsigned char ch) {
  QKeyEvent press = makeByteKeyEvent(QEvent::KeyPress, ch);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release = makeByteKeyEvent(QEvent::KeyRelease, ch);
  QCoreApplication::sendEvent(target, &release);
}

}  // namespace tolvan
