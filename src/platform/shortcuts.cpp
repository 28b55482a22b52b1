// Launchers and the file managers' "open in Tolvan" entries.
#include "platform/shortcuts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/desktop.h"

namespace tolvan {

const char kShortcutMark[] = "X-Tolvan-Shortcut=true";
const char kThunarId[] = "X-Tolvan-Shortcut";

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

QString configHome() {
  const QString d = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return d.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : d;
}

// A desktop-entry value: backslash, tab, newline and carriage return as
// their escapes.
QString escapeValue(const QString& s) {
  QString e;
  e.reserve(s.size());
  for (QChar c : s) {
    switch (c.unicode()) {
      case u'\\': e += QStringLiteral("\\\\"); break;
      case u'\t': e += QStringLiteral("\\t"); break;
      case u'\n': e += QStringLiteral("\\n"); break;
      case u'\r': e += QStringLiteral("\\r"); break;
      default: e += c;
    }
  }
  return e;
}

// Whether path is a plain file (not a link) holding the mark line, as a
// key or as a shell comment. A file too big to be one of ours is not read.
bool writtenHere(const QString& path) {
  const QFileInfo info(path);
  if (info.isSymLink() || !info.isFile() || info.size() > 64 * 1024) return false;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray mark(kShortcutMark);
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
    if (l == mark || l == "# " + mark) return true;
  }
  return false;
}

// Single quotes for a shell script: ' becomes '\''.
QString shellQuote(const QString& s) {
  QString q = s;
  q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + q + QLatin1Char('\'');
}

}  // namespace

QString shortcutPath(ShortcutPlace place) { return shortcutPaths(place).value(0); }

QStringList shortcutPaths(ShortcutPlace place) {
  switch (place) {
    case ShortcutPlace::Desktop:
      return {QDir(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))
                  .filePath(QStringLiteral("tolvan.desktop"))};
    case ShortcutPlace::StartMenu:
      return {QDir(dataHome()).filePath(QStringLiteral("applications/tolvan.desktop"))};
    case ShortcutPlace::SendTo: {
      const QDir data(dataHome());
      return {data.filePath(QStringLiteral("nautilus/scripts/Tolvan")),
              QDir(configHome()).filePath(QStringLiteral("caja/scripts/Tolvan")),
              data.filePath(QStringLiteral("nemo/actions/tolvan.nemo_action")),
              data.filePath(QStringLiteral("kio/servicemenus/tolvan.desktop"))};
    }
  }
  return {};
}

bool desktopValueCanHold(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
        ++i;
        continue;
      }
      return false;
    }
    if (QChar::isLowSurrogate(c)) return false;
    if (c == u'\t' || c == u'\n' || c == u'\r') continue;
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

QString quoteExecArgument(const QString& arg) {
  // Inside double quotes ", `, $ and \ take a backslash and % is doubled;
  // the key's value then escapes every backslash once more, and a tab,
  // newline or carriage return is written as its escape.
  QString q;
  for (QChar c : arg) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
        c == QLatin1Char('\\'))
      q += QLatin1Char('\\');
    q += c;
  }
  q.replace(QLatin1Char('%'), QStringLiteral("%%"));
  return QLatin1Char('"') + escapeValue(q) + QLatin1Char('"');
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
             "MimeType=text/plain;text/rtf;\n"
             "%3\n")
      .arg(quoteExecArgument(exe), escapeValue(icon), QLatin1String(kShortcutMark));
}

QString sendToScriptText(const QString& exe) {
  return QStringLiteral(
             "#!/bin/sh\n"
             "# Opens the files selected in the file manager in Tolvan.\n"
             "# %2\n"
             "for f do\n"
             "  case $f in /*) ;; *) f=$PWD/$f ;; esac\n"
             "  set -- \"$@\" \"$f\"\n"
             "  shift\n"
             "done\n"
             "exec %1 \"$@\"\n")
      .arg(shellQuote(exe), QLatin1String(kShortcutMark));
}

QString nemoActionText(const QString& exe, const QString& icon) {
  return QStringLiteral(
             "[Nemo Action]\n"
             "Name=Open in Tolvan\n"
             "Comment=Open the selected files in Tolvan\n"
             "Exec=%1 %F\n"
             "Icon-Name=%2\n"
             "Selection=notnone\n"
             "Extensions=any;\n"
             "%3\n")
      .arg(quoteExecArgument(exe), escapeValue(icon), QLatin1String(kShortcutMark));
}

QString dolphinServiceMenuText(const QString& exe, const QString& icon) {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Service\n"
             "MimeType=all/allfiles;\n"
             "Actions=openInTolvan;\n"
             "%3\n"
             "\n"
             "[Desktop Action openInTolvan]\n"
             "Name=Open in Tolvan\n"
             "Icon=%2\n"
             "Exec=%1 %F\n")
      .arg(quoteExecArgument(exe), escapeValue(icon), QLatin1String(kShortcutMark));
}

QString thunarActionsPath() {
  return QDir(configHome()).filePath(QStringLiteral("Thunar/uca.xml"));
}

QString thunarActionText(const QString& exe, const QString& icon) {
  // XML text: a carriage return would be read back as a line feed, so it
  // goes in as a character reference.
  auto xml = [](const QString& s) {
    return s.toHtmlEscaped().replace(QLatin1Char('\r'), QStringLiteral("&#13;"));
  };
  return QStringLiteral(
             "\t<action>\n"
             "\t\t<icon>%2</icon>\n"
             "\t\t<name>Open in Tolvan</name>\n"
             "\t\t<unique-id>%3</unique-id>\n"
             "\t\t<command>%1 %F</command>\n"
             "\t\t<description>Open the selected files in Tolvan</description>\n"
             "\t\t<patterns>*</patterns>\n"
             "\t\t<audio-files/>\n"
             "\t\t<image-files/>\n"
             "\t\t<other-files/>\n"
             "\t\t<text-files/>\n"
             "\t\t<video-files/>\n"
             "\t</action>\n")
      .arg(xml(shellQuote(exe)), xml(icon), QLatin1String(kThunarId));
}

namespace {

const char kEmptyThunarActions[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

// Thunar's action of ours within the text of its actions file, with its
// indentation and line break.
const QRegularExpression& thunarActionPattern() {
  static const QRegularExpression re(
      QStringLiteral("[ \\t]*<action>(?:(?!</action>)[\\s\\S])*<unique-id>") +
      QRegularExpression::escape(QLatin1String(kThunarId)) +
      QStringLiteral("</unique-id>(?:(?!</action>)[\\s\\S])*</action>[ \\t]*\\n?"));
  return re;
}

// Thunar keeps every custom action of the user in one file, so ours is
// put in (or taken out of) its text and the rest stays byte for byte. A
// user without the file of their own starts from the system's, which
// Thunar would otherwise show. A file that is not a list of actions is left
// alone.
bool addThunarAction(const QString& exe, const QString& icon) {
  const QString path = thunarActionsPath();
  QString from = path;
  if (!QFileInfo::exists(path)) {
    from = QStandardPaths::locate(QStandardPaths::GenericConfigLocation,
                                  QStringLiteral("Thunar/uca.xml"));
    if (from == path) from.clear();
  }
  QString text;
  if (!from.isEmpty()) {
    QFile f(from);
    if (!f.open(QIODevice::ReadOnly) || f.size() > (4 << 20)) return false;
    text = QString::fromUtf8(f.readAll());
  } else {
    text = QLatin1String(kEmptyThunarActions);
  }
  text.remove(thunarActionPattern());
  const qsizetype end = text.lastIndexOf(QStringLiteral("</actions>"));
  if (end < 0) return false;
  QString action = thunarActionText(exe, icon);
  if (end > 0 && text[end - 1] != QLatin1Char('\n')) action.prepend(QLatin1Char('\n'));
  text.insert(end, action);
  return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFile(path, text, false);
}

void removeThunarAction() {
  const QString path = thunarActionsPath();
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() > (4 << 20)) return;
  QString text = QString::fromUtf8(f.readAll());
  f.close();
  const qsizetype before = text.size();
  text.remove(thunarActionPattern());
  if (text.size() == before) return;
  // A file that held only ours goes, so Thunar shows the system's again.
  if (text == QLatin1String(kEmptyThunarActions))
    QFile::remove(path);
  else
    writeFile(path, text, false);
}

}  // namespace

bool createShortcut(ShortcutPlace place, const QString& exe, const QString& icon) {
  if (!desktopValueCanHold(exe) || !desktopValueCanHold(icon)) return false;
  const QStringList paths = shortcutPaths(place);
  if (place == ShortcutPlace::Desktop) {
    // The user's desktop folder is theirs to make.
    if (!QFileInfo(QFileInfo(paths[0]).absolutePath()).isDir()) return false;
  } else {
    for (const QString& path : paths)
      if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  }
  switch (place) {
    case ShortcutPlace::Desktop:
      if (!writeFile(paths[0], launcherText(exe, icon), true)) return false;
      // GNOME shows a desktop file as a launcher once it is marked trusted.
      Desktop::instance().run(QStringLiteral("gio"),
                              {QStringLiteral("set"), paths[0],
                               QStringLiteral("metadata::trusted"), QStringLiteral("true")});
      return true;
    case ShortcutPlace::StartMenu:
      return writeFile(paths[0], launcherText(exe, icon), false);
    case ShortcutPlace::SendTo: {
      // Dolphin runs a service menu outside the system folders only when it
      // is executable.
      const bool ok = writeFile(paths[0], sendToScriptText(exe), true) &&
                      writeFile(paths[1], sendToScriptText(exe), true) &&
                      writeFile(paths[2], nemoActionText(exe, icon), false) &&
                      writeFile(paths[3], dolphinServiceMenuText(exe, icon), true) &&
                      addThunarAction(exe, icon);
      return ok;
    }
  }
  return false;
}

void removeShortcuts() {
  for (ShortcutPlace p : {ShortcutPlace::Desktop, ShortcutPlace::StartMenu, ShortcutPlace::SendTo})
    for (const QString& path : shortcutPaths(p))
      if (writtenHere(path)) QFile::remove(path);
  removeThunarAction();
}

}  // namespace tolvan
