// RTF reader and writer for the editor's documents. In a TSCII document one
// character is one byte: a byte b is QChar(b); characters above U+00FF are
// kept as they are. In a Unicode document every character is the Unicode
// character it is: written as \uN (with a fallback for readers without \u)
// and read back exactly, the file's bytes decoded as Windows-1252.
//
// How a document is held in the QTextDocument:
// - character formats: font family, point size, bold, italic, underline,
//   strike-out, foreground and background colour;
// - block formats: alignment, left/right margin and first-line indent in
//   pixels at 96 dpi (1 px = 15 twips);
// - a bulleted paragraph is a block in a QTextList (ListDisc, indent 1). The
//   list's own indentation (indent x the document's indentWidth) counts as part
//   of the left indent, so such a block's leftMargin may be negative; its text
//   starts at the left indent and the bullet hangs before it. The RTF first-line
//   indent of a bulleted paragraph (the hanging offset, negative) travels in
//   the block property kBulletHangProperty, in twips.
#pragma once
#include <QByteArray>
#include <QString>
#include <QTextFormat>

#include <functional>

#include "core/document/text_encoding.h"

class QTextDocument;

namespace tolvan::rtf {

// Font family given to text that arrived as Unicode Tamil and was turned into
// TSCII bytes: a TSCII display font, so the bytes read as Tamil.
inline constexpr char kTsciiFontFamily[] = "TSCu_Paranar";

// Hanging offset of a bulleted paragraph in twips (see above).
inline constexpr int kBulletHangProperty = QTextFormat::UserProperty + 0x7271;

// The font family of a character format again, as a plain string. Qt's
// format collection hashes the family list (a QStringList) by its type
// alone, so formats that differ only in family all share one hash and each
// new one is compared with every one before it: a file using many fonts
// loaded in quadratic time (40,000 fonts: 25 s). This property makes the
// hashes differ. Nothing reads it, so it may go stale when the editor later
// changes a run's family.
inline constexpr int kFamilyHashProperty = QTextFormat::UserProperty + 0x7273;

// Bounds on what the reader accepts (larger input is refused with an error).
inline constexpr qsizetype kMaxInputBytes = qsizetype(512) << 20;  // 512 MiB
inline constexpr int kMaxGroupDepth = 1000;  // nesting of { } groups

// Character sizes the reader gives text, in points: the range of the format
// bar's size box. Sizes outside it are brought to the nearer bound.
inline constexpr int kMinPointSize = 8;
inline constexpr int kMaxPointSize = 100;

// Replaces doc's content with the RTF document in bytes. On error leaves doc
// untouched, sets *error to a one-line message and returns false.
//
// With damage given, a damaged file (truncated, unbalanced braces, nesting too
// deep, \bin data past the end) is read as far as it goes instead: doc gets
// what was read before the damage, *damage says what is wrong as a clause
// ("it ends inside 2 unclosed groups (truncated, or unbalanced braces)") and
// the result is true. *damage is empty for a sound file. Input that is not
// RTF at all, or too large, is still refused.
//
// encoding is the document's: TSCII keeps bytes as bytes and turns Unicode
// Tamil into TSCII; Unicode keeps \uN characters as they are and decodes the
// file's bytes (\'hh and raw text) as Windows-1252.
//
// softHyphen is the character a TSCII document gets for byte 0xAD: the
// editor holds that letter as U+0B87, since text layout hides U+00AD (see
// platform/byte_text.h). A Unicode document keeps U+00AD whatever is given.
//
// show, when given, lets a window paint the document's start before the
// whole of a large document is formatted: formatting a run costs the
// document about a microsecond, some 70 ms for a densely formatted 13 MB
// file, while the first screen needs a few hundred runs. The document is
// then built in two steps: its text, every paragraph format and the
// character formats of its first kShownFirstChars characters; show() (the
// document holds all the text, its start in its final formats, the rest in
// the most used format, and is not modified); the character formats of the
// rest. show() is called only when at least kShownRestRuns runs to format
// start beyond those characters (a run that starts before is formatted
// whole first; fewer are formatted sooner than a second paint and the
// layout's second pass cost), and before readRtf returns, so nothing else
// ever sees the document part-formatted.
bool readRtf(const QByteArray& bytes, QTextDocument* doc, QString* error, QString* damage = nullptr,
             TextEncoding encoding = TextEncoding::Tscii, char16_t softHyphen = 0x00AD,
             const std::function<void()>& show = nullptr);

// Characters formatted before readRtf's show(): more than the largest window
// shows at once.
inline constexpr qsizetype kShownFirstChars = qsizetype(1) << 16;
inline constexpr size_t kShownRestRuns = 10'000;

// The RTF bytes of doc, a document in the given encoding: TSCII writes
// characters up to U+00FF as their bytes; Unicode writes every character
// beyond ASCII as \uN with a fallback.
QByteArray writeRtf(const QTextDocument* doc, TextEncoding encoding = TextEncoding::Tscii);

// Cheap check of the signature ("{\rtf").
bool canRead(const QByteArray& head);

}  // namespace tolvan::rtf
