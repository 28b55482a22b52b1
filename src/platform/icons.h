// Pictures for toolbar buttons, format-bar buttons and menu items: the
// desktop's icon theme when it has the icon, else a small drawing of our own,
// so every button always shows a picture.
#pragma once
#include <QIcon>

namespace tolvan {

enum class IconId {
  New, Open, Save, Print, Email, Cut, Copy, Paste, Delete, Undo, Redo, Find, Replace,
  Tamil, Keyboard, Dir, Pen, Paper, Font, Encrypt, Decrypt, Help,
  Bold, Italic, Underline, AlignLeft, AlignCenter, AlignRight, AlignJustify, Bullets,
  App,
};

// Picks an icon theme when the platform chose none (bare X sessions, Xvfb).
// Cheap; call once before the first icon() call.
void initIconTheme();

QIcon icon(IconId id);

// Our own drawing for id, never the theme's (tests, and the fallback itself).
QIcon builtinIcon(IconId id);

// The program's own icon (window, about box, banner): always our drawing.
QIcon appIcon();

}  // namespace tolvan
