// Shortcuts to the program the freedesktop way: a launcher (.desktop file) on
// the desktop and in the applications menu, and "open in Tolvan" entries in
// the file managers' context menus (GNOME Files and Caja scripts, a Nemo
// action, a Dolphin service menu, a Thunar custom action) that open the selected files in the
// program. Each points at the running executable and carries a mark line, so
// that clearing them removes only files this program wrote. Nothing here
// shows a message: a folder that is missing or not writable leaves things as
// they were.
#pragma once
#include <QString>
#include <QStringList>

namespace tolvan {

enum class ShortcutPlace { Desktop, StartMenu, SendTo };

// The file a place's shortcut is written to: the desktop folder of the
// user's XDG user-dirs, $XDG_DATA_HOME/applications and GNOME Files' scripts
// folder ($XDG_DATA_HOME/nautilus/scripts).
QString shortcutPath(ShortcutPlace place);
// Every file a place writes: for SendTo the GNOME Files script first, then
// Caja's script ($XDG_CONFIG_HOME/caja/scripts), Nemo's action
// ($XDG_DATA_HOME/nemo/actions) and Dolphin's service menu
// ($XDG_DATA_HOME/kio/servicemenus).
QStringList shortcutPaths(ShortcutPlace place);

// The line every file written here carries.
extern const char kShortcutMark[];
// Thunar keeps all the user's custom actions in one file
// ($XDG_CONFIG_HOME/Thunar/uca.xml); Send To adds an action with this
// unique id to it, and clearing takes that action out again.
extern const char kThunarId[];
QString thunarActionsPath();
QString thunarActionText(const QString& exe, const QString& icon);

// The launcher's text for the executable exe with the icon (a theme name or
// an absolute file).
QString launcherText(const QString& exe, const QString& icon);
// The send-to script's text: opens its arguments (made absolute) in exe.
QString sendToScriptText(const QString& exe);
// Nemo's action and Dolphin's service menu for exe.
QString nemoActionText(const QString& exe, const QString& icon);
QString dolphinServiceMenuText(const QString& exe, const QString& icon);
// exe quoted for a launcher's Exec key, written as the key's value.
QString quoteExecArgument(const QString& arg);
// Whether text can be written in a desktop-entry value: tab, newline and
// carriage return are escaped; any other control character (and a broken
// UTF-16 pair) cannot be held.
bool desktopValueCanHold(const QString& text);

// Writes the shortcut of place (replacing an existing one); false when it
// could not be written, or when exe or icon cannot be held in a launcher.
// The desktop folder is never created; the others are.
bool createShortcut(ShortcutPlace place, const QString& exe, const QString& icon);
// Removes the shortcuts of every place that carry the mark; a file of the
// same name without it (the user's own, say) stays.
void removeShortcuts();

}  // namespace tolvan
