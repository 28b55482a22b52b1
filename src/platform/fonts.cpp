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

QStringList installedFontFamilies() {
  QStringList out;
  for (const QString& f : QFontDatabase::families()) {
    const QString name = familyWithoutFoundry(f);
    if (!name.isEmpty()) out << name;
  }
  out.sort(Qt::CaseInsensitive);
  // Neighbours after sorting; two spellings differing in case are one family
  // to the font matcher, so they are one entry too.
  out.erase(std::unique(out.begin(), out.end(),
                        [](const QString& a, const QString& b) {
                          return a.compare(b, Qt::CaseInsensitive) == 0;
                        }),
            out.end());
  return out;
}

}  // namespace tolvan
