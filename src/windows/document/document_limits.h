// How much text a document window holds, and the one message that refuses a
// command whose result would be more. Open enforces the limit on files; the
// commands that make text (converters, font maps, paste) check the size of
// what they would make before making it, so that no command can run the
// program out of memory and take every open document with it.
#pragma once
#include <QString>
#include <QtGlobal>

namespace tolvan {

// The largest plain-text document a window holds: far beyond any real
// document, and well within what the editor and the machine can hold.
inline constexpr qint64 kMaxDocumentBytes = qint64(256) << 20;

// "The result would be too large: ..." for a command refused by size.
inline QString tooLargeResultMessage(qint64 bytes) {
  return QStringLiteral("The result would be too large: %1 MiB, and a document holds at most %2 MiB.\n"
                        "The document was not changed.")
      .arg(bytes >> 20)
      .arg(kMaxDocumentBytes >> 20);
}

// What a command says when the machine ran out of memory part way.
inline QString outOfMemoryMessage() {
  return QStringLiteral("There is not enough memory for this command.\nThe document was not changed.");
}

}  // namespace tolvan
