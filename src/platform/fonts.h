// The Tamil (TSCII) fonts: Debian hides the fonts of fonts-taml-tscu from
// fontconfig's Tamil matching, so the program registers their files itself and
// makes "MylaiTSC" (the name the program uses for its Tamil interface font)
// and "TAMILFIX" substitutes for the first TSCII family found.
#pragma once
#include <QString>
#include <QStringList>

namespace tolvan {

// Folders searched for TSCII font files, in order: $TOLVAN_FONT_DIR when set,
// the program's "fonts" folder, then the system's fonts-taml-tscu folders.
QStringList tsciiFontDirs(const QString& programDir);

// Registers every *.ttf/*.otf of the first folder that has any, once per run,
// and installs the substitutions. Returns the TSCII family used for
// "MylaiTSC" (empty when no TSCII font was found; the names then fall back to
// the default font).
QString registerTsciiFonts(const QString& programDir);

// Installs the substitutions alone, without loading any font file, when the
// system's TSCII fonts are where Debian puts them; registerTsciiFonts can
// then wait until after the first paint. Cheap.
void installTsciiSubstitutions(const QString& programDir);

// The family registered by registerTsciiFonts (empty before or when none).
QString tsciiFamily();

// The family name documents and Tamil interface text use.
inline QString tamilUiFontName() { return QStringLiteral("MylaiTSC"); }

}  // namespace tolvan
