// RTF reader and writer for the editor's documents. One character is one
// byte: a byte b is QChar(b); characters above U+00FF are kept as they are.
#pragma once
#include <QByteArray>
#include <QString>

class QTextDocument;

namespace tolvan::rtf {

// Replaces doc's content with the RTF document in bytes. On error leaves doc
// untouched, sets *error to a one-line message and returns false.
bool readRtf(const QByteArray& bytes, QTextDocument* doc, QString* error);

// The RTF bytes of doc.
QByteArray writeRtf(const QTextDocument* doc);

// Cheap check of the signature ("{\rtf").
bool canRead(const QByteArray& head);

}  // namespace tolvan::rtf
