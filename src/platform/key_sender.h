// Synthetic keystrokes: one byte delivered to a widget as a key press and a
// key release, synchronously, through the widget's event filters (a window's
// key preview) and its key handler exactly like a typed key.
#pragma once
#include <QKeyEvent>

class QWidget;

namespace tolvan {

// The key event a keyboard would give for the byte ch: 0x08 is Backspace,
// 0x09 Tab, 0x0D Return, 0x1B Escape; letters carry their key code (and
// Shift for capitals); every byte carries itself as the event's text.
QKeyEvent makeByteKeyEvent(QEvent::Type type, unsigned char ch);

// Sends the press and the release of ch to target; both have been handled
// when this returns.
void sendByteKey(QWidget* target, unsigned char ch);

}  // namespace tolvan
