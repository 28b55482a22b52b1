// Shortcuts to the program the freedesktop way: a launcher (.desktop file) on
// the desktop and in the applications menu, and a script in the file
// manager's scripts menu (its "Send to") that opens the selected files in the
// program. Each points at the running executable. Nothing here shows a
// message: a folder that is missing or not writable leaves things as they were.
#pragma once
#include <QString>

namespace tolvan {

enum class ShortcutPlace { Desktop, StartMenu, SendTo };

// The file a place's shortcut is written to: the desktop folder of the
// user's XDG user-dirs, $XDG_DATA_HOME/applications and the file manager's
// scripts folder ($XDG_DATA_HOME/nautilus/scripts).
QString shortcutPath(ShortcutPlace place);

// The launcher's text for the executable exe with the icon (a theme name or
// an absolute file).
QString launcherText(const QString& exe, const QString& icon);
// The send-to script's text: opens its arguments (made absolute) in exe.
QString sendToScriptText(const QString& exe);
// exe quoted for a launcher's Exec key.
QString quoteExecArgument(const QString& arg);

// Writes the shortcut of place (replacing an existing one); false when it
// could not be written. The desktop folder is never created; the other two
// folders are.
bool createShortcut(ShortcutPlace place, const QString& exe, const QString& icon);
// Removes the three shortcuts, where present.
void removeShortcuts();

}  // namespace tolvan
