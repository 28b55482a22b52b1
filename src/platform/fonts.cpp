// Registration of the TSCII font files and the "MylaiTSC" substitution.
#include "platform/fonts.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>

#include <algorithm>

namespace tolvan {
namespace {
bool g_done = false;
QString g_family;
QStringList g_tsciiFamilies;  // every family registered from the TSCII folders

void sortUnique(QStringList& names) {
  names.sort(Qt::CaseInsensitive);
  // Neighbours after sorting; two spellings differing in case are one family
  // to the font matcher, so they are one entry too.
  names.erase(std::unique(names.begin(), names.end(),
                          [](const QString& a, const QString& b) {
                            return a.compare(b, Qt::CaseInsensitive) == 0;
                          }),
              names.end());
}
}  // namespace

QStringList tsciiFontDirs(const QString& programDir) {
  QStringList dirs;
  const QString env = qEnvironmentVariable("TOLVAN_FONT_DIR");
  if (!env.isEmpty()) dirs << env;
  if (!programDir.isEmpty()) dirs << QDir(programDir).filePath(QStringLiteral("fonts"));
  dirs << QStringLiteral("/usr/share/fonts/truetype/fonts-taml-tscu")
       << QStringLiteral("/usr/local/share/fonts/fonts-taml-tscu")
       << QDir::homePath() + QStringLiteral("/.local/share/fonts/fonts-taml-tscu");
  return dirs;
}

QString registerTsciiFonts(const QString& programDir) {
  if (g_done) return g_family;
  g_done = true;
  QStringList families;
  for (const QString& d : tsciiFontDirs(programDir)) {
    QDir dir(d);
    const QStringList files =
        dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf"), QStringLiteral("*.TTF")},
                      QDir::Files, QDir::Name);
    for (const QString& f : files) {
      const int id = QFontDatabase::addApplicationFont(dir.filePath(f));
      if (id >= 0) families << QFontDatabase::applicationFontFamilies(id);
    }
    if (!families.isEmpty()) break;
  }
  g_tsciiFamilies = families;
  // Paranar is the plainest of Debian's TSCII faces; prefer it when present.
  for (const QString& f : families) {
    if (f.compare(QLatin1String("TSCu_Paranar"), Qt::CaseInsensitive) == 0) {
      g_family = f;
      break;
    }
  }
  if (g_family.isEmpty() && !families.isEmpty()) g_family = families.first();
  if (!g_family.isEmpty()) {
    QFont::removeSubstitutions(tamilUiFontName());
    QFont::removeSubstitutions(QStringLiteral("TAMILFIX"));
    QFont::insertSubstitution(tamilUiFontName(), g_family);
    QFont::insertSubstitution(QStringLiteral("TAMILFIX"), g_family);
  }
  return g_family;
}

void installTsciiSubstitutions(const QString& programDir) {
  if (g_done) return;
  for (const QString& d : tsciiFontDirs(programDir)) {
    if (QFile::exists(QDir(d).filePath(QStringLiteral("TSCu_Paranar.ttf")))) {
      QFont::insertSubstitution(tamilUiFontName(), QStringLiteral("TSCu_Paranar"));
      QFont::insertSubstitution(QStringLiteral("TAMILFIX"), QStringLiteral("TSCu_Paranar"));
      return;
    }
  }
}

QString tsciiFamily() { return g_family; }

bool isTsciiFamily(const QString& family) {
  const QString name = familyWithoutFoundry(family);
  if (name.isEmpty()) return false;
  for (const QString& t : {tamilUiFontName(), QStringLiteral("TAMILFIX"), g_family})
    if (!t.isEmpty() && name.compare(t, Qt::CaseInsensitive) == 0) return true;
  for (const QString& t : g_tsciiFamilies)
    if (name.compare(familyWithoutFoundry(t), Qt::CaseInsensitive) == 0) return true;
  return name.startsWith(QLatin1String("TSCu_"), Qt::CaseInsensitive);
}

QStringList unicodeTamilFamilies() {
  QStringList out;
  for (const QString& f : QFontDatabase::families(QFontDatabase::Tamil)) {
    const QString name = familyWithoutFoundry(f);
    if (!name.isEmpty() && !isTsciiFamily(name)) out << name;
  }
  sortUnique(out);
  return out;
}

QString unicodeTamilFamily() {
  static QString chosen;  // the fonts installed do not change while the program runs
  if (!chosen.isEmpty()) return chosen;
  const QStringList families = unicodeTamilFamilies();
  for (const QString& preferred : {QStringLiteral("Lohit Tamil"), QStringLiteral("Noto Sans Tamil")}) {
    for (const QString& f : families)
      if (f.compare(preferred, Qt::CaseInsensitive) == 0) return chosen = f;
  }
  if (!families.isEmpty()) chosen = families.first();
  return chosen;
}

QString documentFamily(const QString& defaultFamily, bool unicode) {
  if (!unicode || !isTsciiFamily(defaultFamily)) return defaultFamily;
  const QString family = unicodeTamilFamily();
  return family.isEmpty() ? defaultFamily : family;
}

QStringList installedFontFamilies() {
  QStringList out;
  for (const QString& f : QFontDatabase::families()) {
    const QString name = familyWithoutFoundry(f);
    if (!name.isEmpty()) out << name;
  }
  // The Tamil families, should the database list them apart.
  out << unicodeTamilFamilies();
  for (const QString& f : g_tsciiFamilies) out << familyWithoutFoundry(f);
  out.removeAll(QString());
  sortUnique(out);
  return out;
}

}  // namespace tolvan
