// How much undo history a document keeps. QTextDocument keeps every step
// and every character ever typed or removed for as long as the document
// lives; a document window keeps its most recent steps only, and within a
// budget of removed text, so that a long session or a large document that
// is replaced again and again does not grow without bound.
#pragma once
#include <QtGlobal>

class QTextDocument;

namespace tolvan::document {

// The most undo steps a document window keeps.
inline constexpr int kUndoSteps = 200;

// The most removed text (in characters) the kept steps may hold between
// them; older steps go while they hold more. The most recent step is always
// kept, however large, so the last command can always be undone.
inline constexpr qint64 kUndoRemovedChars = qint64(128) << 20;

// Keeps doc's history within the limits from now on: after each completed
// step (a typed key, a command's edit block, a formatting change) the
// oldest steps beyond them are dropped, and the text only they held is
// given back. Undoing back to the saved state still clears the modified
// flag; once that state is dropped, undo can no longer reach it. Limits
// are per document; calling it again only changes them.
void limitUndoHistory(QTextDocument* doc, int steps = kUndoSteps,
                      qint64 removedChars = kUndoRemovedChars);

// The number of steps doc can undo now (for tests and diagnostics).
int undoStepCount(const QTextDocument* doc);

// The characters doc's piece table holds: the text, what its history holds,
// and what is no longer reachable until the next compaction.
qint64 heldCharacters(const QTextDocument* doc);

}  // namespace tolvan::document
