// The Tamil (TSCII) fonts: Debian hides the fonts of fonts-taml-tscu from
// fontconfig's Tamil matching, so the program registers their files itself and
// makes "MylaiTSC" (the name the program uses for its Tamil interface font)
// and "TAMILFIX" substitutes for the first TSCII family found.
#pragma once
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <string>

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

// True for a family that draws TSCII bytes rather than Unicode letters:
// "MylaiTSC", "TAMILFIX", the families registered from the TSCII font
// folders and Debian's TSCu_ families (with or without a foundry).
bool isTsciiFamily(const QString& family);

// The families that draw Unicode Tamil: those the font database lists for
// the Tamil writing system (fontconfig's Tamil fonts), TSCII fonts left out,
// sorted without regard to case.
QStringList unicodeTamilFamilies();

// The family Unicode documents are drawn in: Lohit Tamil (Debian's
// fonts-lohit-taml, which the package depends on) when installed, else Noto
// Sans Tamil, else the first of unicodeTamilFamilies(); empty when the
// system has no Unicode Tamil font (Qt's fallback then finds what it can).
QString unicodeTamilFamily();

// The family a document is drawn in by default, from the program's default
// family (what a TSCII document uses): a Unicode document is drawn in the
// Unicode Tamil font where that is a TSCII font; a family the user chose
// stays.
QString documentFamily(const QString& defaultFamily, bool unicode);

// The family name documents and Tamil interface text use.
inline QString tamilUiFontName() { return QStringLiteral("MylaiTSC"); }

// A family name as documents, files and the font box hold it. Qt names a
// family that several foundries make "Family [Foundry]" ("TSCu_Paranar
// [MACR]", "Nimbus Sans [UKWN]"); such a name picks that foundry's faces
// alone (Debian's MACR Paranar is italic only) and no other program knows
// it. The foundry is dropped, so the font's own regular face is used.
inline QString familyWithoutFoundry(const QString& name) {
  const QString n = name.trimmed();
  if (!n.endsWith(QLatin1Char(']'))) return n;
  const qsizetype open = n.lastIndexOf(QLatin1String(" ["));
  return open > 0 ? n.left(open).trimmed() : n;
}

// A family name as the settings file keeps it: UTF-8, so a family named in
// Tamil or Chinese survives. Files written by earlier versions hold the name
// in Latin-1; a value that is not valid UTF-8 is read that way.
inline std::string fontNameToSetting(const QString& name) { return name.toUtf8().toStdString(); }
inline QString fontNameFromSetting(const std::string& bytes) {
  const QByteArray raw(bytes.data(), qsizetype(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString name = utf8.decode(raw);
  if (utf8.hasError()) name = QString::fromLatin1(raw);
  return name;
}

// The installed font families for the font box: each family once, without
// foundry, no empty name, sorted without regard to case. The TSCII families
// and the Unicode Tamil families are always among them.
QStringList installedFontFamilies();

}  // namespace tolvan
