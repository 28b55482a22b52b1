// Plain text between files and the editor, one character per byte: byte b is
// QChar(b) in the document and goes back to the same byte. Nothing here
// decodes or encodes through a character set. Paragraph breaks are the only
// translation: CR LF, LF or CR in a file become one break, and a save writes
// the line ending the file had.
//
// One exception, for display: byte 0xAD (the letter i in TSCII) is held as
// U+0B87, the same letter in Unicode, because text layout hides U+00AD as a
// soft hyphen. Every path between bytes and the editor goes through
// byteToChar/charToByte, so the bytes themselves are never affected. (Unicode
// Tamil entering the editor is always converted to TSCII first, so U+0B87 in
// a document can only stand for byte 0xAD.)
#pragma once
#include <QByteArray>
#include <QString>
#include <QTextFormat>
#include <memory>

class QPagedPaintDevice;
class QTextCursor;
class QTextDocument;

namespace tolvan {

// The editor's character for a byte, and the byte of an editor character (-1
// when one byte cannot hold it).
inline constexpr char16_t kDisplayedSoftHyphen = 0x0B87;
inline QChar byteToChar(unsigned char b) { return b == 0xAD ? QChar(kDisplayedSoftHyphen) : QChar(b); }
inline int charToByte(QChar c) {
  const char16_t u = c.unicode();
  if (u <= 0xFF) return u;
  return u == kDisplayedSoftHyphen ? 0xAD : -1;
}
// Bytes (one QChar per byte, as QString::fromLatin1 gives them) to the
// editor's characters, in place.
inline void bytesToEditorChars(QString& s) { s.replace(QChar(0xAD), QChar(kDisplayedSoftHyphen)); }

// The same exchange over a whole document (RTF loads and saves go through
// it): U+00AD to the displayed form, and back.
void documentBytesToEditorChars(QTextDocument* doc);
void documentEditorCharsToBytes(QTextDocument* doc);

// The first line ending in bytes ("\r\n", "\n" or "\r"); "\n" when it has none.
QByteArray detectLineEnding(const QByteArray& bytes);

// Each byte to one QChar; every CR LF, LF or CR becomes '\n'.
QString bytesToText(const QByteArray& bytes);

// Replaces the document's text with the plain text in bytes.
void setDocumentBytes(QTextDocument* doc, const QByteArray& bytes);

// Inserts bytes at the cursor so that documentToBytes with CR LF gives them
// back exactly: each CR LF, lone CR or lone LF is a paragraph break, and a
// paragraph whose break was a lone CR or a lone LF keeps that ending in its
// block format (kLineEndingProperty), which documentToBytes writes in place
// of the ending it is given (a CR LF break is the document's ending). Loading a file never marks a
// paragraph, so files keep their one line ending. The text commands go
// through here: noise that a wrong passphrase decrypted encrypts back to the
// same Base64.
void insertBytesExactly(QTextCursor& cursor, const QByteArray& bytes);
// The block-format property: '\r' or '\n' (as an int) for a paragraph
// that ends with that lone byte.
inline constexpr int kLineEndingProperty = QTextFormat::UserProperty + 0x7274;

// The document's text as bytes, paragraphs (and line breaks inside them)
// joined by lineEnding (a paragraph marked by insertBytesExactly with its own). Returns false when the document holds a character
// that one byte cannot hold (above U+00FF); *badIndex then gives the first
// such character's index in the document and *out is left unspecified.
bool documentToBytes(const QTextDocument* doc, const QByteArray& lineEnding, QByteArray* out,
                     int* badIndex = nullptr);

// True when every character of the document fits in one byte.
bool documentFitsBytes(const QTextDocument* doc, int* badIndex = nullptr);

// The selection as bytes: 0x0D for each paragraph break. Characters above
// U+00FF make it return false (nothing is dropped silently).
bool selectionToBytes(const QTextCursor& cursor, QByteArray* out);

// True for a character of the Tamil Unicode block (U+0B80..U+0BFF).
inline bool isUnicodeTamil(QChar c) { return c.unicode() >= 0x0B80 && c.unicode() <= 0x0BFF; }

// A copy of a document, as QTextDocument::clone makes it. Qt cannot copy an
// empty document whose paragraph is a list item (its copy points at a list
// the copy does not have, and using it crashes): that copy is an empty
// paragraph without the list. Printing, the PDF and the page picture go
// through here.
std::unique_ptr<QTextDocument> cloneDocument(const QTextDocument* doc);
// Prints the document (QTextDocument::print, which copies it).
void printDocument(const QTextDocument* doc, QPagedPaintDevice* printer);

}  // namespace tolvan
