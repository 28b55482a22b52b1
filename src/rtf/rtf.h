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
// show, when given with damage, lets a window paint a large document's
// start long before the whole file is read: the parse and the build cost
// about 6 and 2 microseconds a run, 130 ms for a densely formatted 13 MB
// file, while the first screen needs a few hundred runs. A file of
// kShownFromBytes or more is then read in two steps: once the parse has
// kShownFirstChars characters in finished paragraphs, those paragraphs are
// built into doc, in their formats, and show() is called; then the rest is
// read and its paragraphs added after them. The document is the same as
// read in one step (if a font or colour table comes after the part shown,
// it is built again whole), show() is called before readRtf returns, so
// nothing else ever sees the document part-read, and doc is not modified
// when show() is called.
bool readRtf(const QByteArray& bytes, QTextDocument* doc, QString* error, QString* damage = nullptr,
             TextEncoding encoding = TextEncoding::Tscii, char16_t softHyphen = 0x00AD,
             const std::function<void()>& show = nullptr);

// Characters read before readRtf's show(): more than the largest window
// shows at once.
inline constexpr qsizetype kShownFirstChars = qsizetype(1) << 16;
inline constexpr qsizetype kShownFromBytes = qsizetype(2) << 20;

// The RTF bytes of doc, a document in the given encoding: TSCII writes
// characters up to U+00FF as their bytes; Unicode writes every character
// beyond ASCII as \uN with a fallback.
QByteArray writeRtf(const QTextDocument* doc, TextEncoding encoding = TextEncoding::Tscii);

// Cheap check of the signature ("{\rtf").
bool canRead(const QByteArray& head);

}  // namespace tolvan::rtf
