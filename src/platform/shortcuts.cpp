// Launchers and the send-to script.
#include "platform/shortcuts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/desktop.h"

namespace tolvan {
namespace {

QString dataHome() {
  const QString d = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return d.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : d;
}

bool writeFile(const QString& path, const QString& text, bool executable) {
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(text.toUtf8());
  if (!f.commit()) return false;
  if (executable) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
  }
  return true;
}

// Single quotes for a shell script: ' becomes '\''.
QString shellQuote(const QString& s) {
  QString q = s;
  q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + q + QLatin1Char('\'');
}

}  // namespace

QString shortcutPath(ShortcutPlace place) {
  switch (place) {
    case ShortcutPlace::Desktop:
      return QDir(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))
          .filePath(QStringLiteral("tolvan.desktop"));
    case ShortcutPlace::StartMenu:
      return QDir(dataHome()).filePath(QStringLiteral("applications/tolvan.desktop"));
    case ShortcutPlace::SendTo:
      return QDir(dataHome()).filePath(QStringLiteral("nautilus/scripts/Tolvan"));
  }
  return QString();
}

QString quoteExecArgument(const QString& arg) {
  // Inside double quotes ", `, $ and \ take a backslash; the key's value
  // then escapes every backslash once more, and % is doubled.
  QString q;
  for (QChar c : arg) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
        c == QLatin1Char('\\'))
      q += QLatin1Char('\\');
    q += c;
  }
  q.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  q.replace(QLatin1Char('%'), QStringLiteral("%%"));
  return QLatin1Char('"') + q + QLatin1Char('"');
}

QString launcherText(const QString& exe, const QString& icon) {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Version=1.0\n"
             "Name=Tolvan\n"
             "Comment=Write Tamil (TSCII) with an ordinary keyboard: Anjal, Mylai, Typewriter and "
             "Romanised layouts\n"
             "Exec=%1 %F\n"
             "Icon=%2\n"
             "Terminal=false\n"
             "Categories=Office;WordProcessor;\n"
             "MimeType=text/plain;text/rtf;\n")
      .arg(quoteExecArgument(exe), icon);
}

QString sendToScriptText(const QString& exe) {
  return QStringLiteral(
             "#!/bin/sh\n"
             "# Opens the files selected in the file manager in Tolvan.\n"
             "for f do\n"
             "  case $f in /*) ;; *) f=$PWD/$f ;; esac\n"
             "  set -- \"$@\" \"$f\"\n"
             "  shift\n"
             "done\n"
             "exec %1 \"$@\"\n")
      .arg(shellQuote(exe));
}

bool createShortcut(ShortcutPlace place, const QString& exe, const QString& icon) {
  const QString path = shortcutPath(place);
  const QString dir = QFileInfo(path).absolutePath();
  if (place == ShortcutPlace::Desktop) {
    // The user's desktop folder is theirs to make.
    if (!QFileInfo(dir).isDir()) return false;
  } else if (!QDir().mkpath(dir)) {
    return false;
  }
  switch (place) {
    case ShortcutPlace::Desktop:
      if (!writeFile(path, launcherText(exe, icon), true)) return false;
      // GNOME shows a desktop file as a launcher once it is marked trusted.
      Desktop::instance().run(QStringLiteral("gio"),
                              {QStringLiteral("set"), path, QStringLiteral("metadata::trusted"),
                               QStringLiteral("true")});
      return true;
    case ShortcutPlace::StartMenu:
      return writeFile(path, launcherText(exe, icon), false);
    case ShortcutPlace::SendTo:
      return writeFile(path, sendToScriptText(exe), true);
  }
  return false;
}

void removeShortcuts() {
  for (ShortcutPlace p : {ShortcutPlace::Desktop, ShortcutPlace::StartMenu, ShortcutPlace::SendTo}) {
    const QString path = shortcutPath(p);
    if (QFileInfo::exists(path)) QFile::remove(path);
  }
}

}  // namespace tolvan
