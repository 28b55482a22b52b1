#include "windows/document/undo_limit.h"

#include <QObject>
#include <QTextDocument>
// Qt has no public way to drop the oldest undo steps or to give back the
// text they held, so this reaches into the document's piece table. Its undo
// history was checked against Qt 6.4: a list of commands with the index of
// the next one to redo and the index at which the document was saved; the
// commands of one step (an edit block) carry block_part, and the step's last
// one block_end; removed and inserted text stays in one growing buffer that
// the commands and the document's fragments point into. Check these again
// before building with another Qt.
#include <QtGui/private/qtextdocument_p.h>

#include <algorithm>
#include <cstring>
#include <vector>

static_assert(QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(6, 9, 0),
              "the undo limit reads Qt's private text document; check its layout for this Qt");

namespace {

// The document's private members, reached through an explicit template
// instantiation (which may name private members; nothing else here does).
template <typename Tag, typename Tag::type Member>
struct Expose {
  friend typename Tag::type member(Tag) { return Member; }
};

struct TextBuffer {
  using type = QString QTextDocumentPrivate::*;
  friend type member(TextBuffer);
};
struct UndoStack {
  using type = QList<QTextUndoCommand> QTextDocumentPrivate::*;
  friend type member(UndoStack);
};
struct UndoState {
  using type = int QTextDocumentPrivate::*;
  friend type member(UndoState);
};
struct SavedState {
  using type = int QTextDocumentPrivate::*;
  friend type member(SavedState);
};

template struct Expose<TextBuffer, &QTextDocumentPrivate::text>;
template struct Expose<UndoStack, &QTextDocumentPrivate::undoStack>;
template struct Expose<UndoState, &QTextDocumentPrivate::undoState>;
template struct Expose<SavedState, &QTextDocumentPrivate::modifiedState>;

using Command = QTextUndoCommand;
using Commands = QList<Command>;

// Command i belongs to the same step as command i - 1 (how Qt's undo walks
// an edit block).
bool continuesStep(const Commands& s, qsizetype i) {
  return s[i].block_part && s[i - 1].block_part && !s[i - 1].block_end;
}

// How many characters of the buffer a command points at (0: none).
qint64 stringLength(const Command& c) {
  switch (c.command) {
    case Command::Inserted:
    case Command::Removed:
      return c.length;
    case Command::BlockInserted:
    case Command::BlockRemoved:
    case Command::BlockAdded:
    case Command::BlockDeleted:
      return 1;  // the paragraph separator
    default:
      return 0;
  }
}

// Text that only the history holds: what a command took out of the
// document (an undone insertion is stored as a removal, an undone removal
// as an insertion of text that is back in the document).
qint64 removedLength(const Command& c) {
  switch (c.command) {
    case Command::Removed:
      return c.length;
    case Command::BlockRemoved:
    case Command::BlockDeleted:
      return 1;
    default:
      return 0;
  }
}

struct Steps {
  std::vector<qsizetype> starts;  // index of each step's first command
  std::vector<qint64> removed;    // removed text each step holds
};

// Rewrites the buffer with only what the document and its history point at,
// in the same order, and moves every pointer into it. Pieces that touched
// before touch after, so Qt still merges neighbouring fragments and typed
// characters as it did.
void compact(QTextDocumentPrivate* d) {
  QString& text = d->*member(TextBuffer{});
  Commands& stack = d->*member(UndoStack{});
  auto& fragments = d->fragmentMap();

  struct Span {
    qint64 from, to;
  };
  std::vector<Span> spans;
  spans.reserve(size_t(fragments.numNodes()) + size_t(stack.size()));
  for (auto it = fragments.begin(); !it.atEnd(); ++it)
    spans.push_back({it->stringPosition, it->stringPosition + qint64(it->size_array[0])});
  for (const Command& c : std::as_const(stack))
    if (const qint64 n = stringLength(c)) spans.push_back({qint64(c.strPos), qint64(c.strPos) + n});
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.from < b.from; });

  // Runs of the old buffer that are kept, and where each starts anew.
  struct Run {
    qint64 from, to, at;
  };
  std::vector<Run> runs;
  for (const Span& s : spans) {
    if (!runs.empty() && s.from <= runs.back().to)
      runs.back().to = std::max(runs.back().to, s.to);
    else
      runs.push_back({s.from, s.to, 0});
  }
  qint64 size = 0;
  for (Run& r : runs) {
    r.at = size;
    size += r.to - r.from;
  }
  if (size == text.size()) return;

  QString kept;
  kept.reserve(size);
  for (const Run& r : runs) kept.append(QStringView(text).sliced(r.from, r.to - r.from));
  auto moved = [&runs](qint64 pos) {
    auto r = std::upper_bound(runs.begin(), runs.end(), pos,
                              [](qint64 p, const Run& run) { return p < run.from; });
    --r;
    return r->at + (pos - r->from);
  };
  for (auto it = fragments.begin(); !it.atEnd(); ++it)
    it->stringPosition = int(moved(it->stringPosition));
  for (Command& c : stack)
    if (stringLength(c)) c.strPos = quint32(moved(c.strPos));
  text = kept;
}

// Garbage in the buffer worth a compaction: at least a mebicharacter, and at
// least half of what is kept, so that copying stays a small share of the
// editing that made the garbage.
constexpr qint64 kMinGarbage = qint64(1) << 20;

// What the last trim learnt of the oldest steps, so that the next one walks
// only the commands added since: one step of a large document (replacing
// the whole text, say) can be millions of commands. The steps below `end`
// stay as they were unless undo went below `end` and new edits replaced
// what was undone (then `lowest` is below `end`, and the command before
// `end` most likely differs too), or the history was cleared.
struct Known {
  Steps steps;         // the whole steps below end
  qsizetype end = 0;   // where the newest step started
  Command last{};      // a copy of command end - 1
  int lowest = 0;      // the lowest undo state since
};

bool stillKnown(const Known& k, const Commands& stack) {
  return k.end > 0 && k.lowest >= k.end && stack.size() >= k.end &&
         std::memcmp(&stack[k.end - 1], &k.last, sizeof(Command)) == 0;
}

void trim(QTextDocument* doc, int maxSteps, qint64 maxRemoved, Known& known) {
  QTextDocumentPrivate* d = QTextDocumentPrivate::get(doc);
  if (d->isInEditBlock() || !d->isUndoRedoEnabled()) return;
  Commands& stack = d->*member(UndoStack{});
  int& state = d->*member(UndoState{});
  int& saved = d->*member(SavedState{});
  const Commands& commands = stack;  // read without detaching

  Steps steps;
  qsizetype from = 0;
  if (stillKnown(known, commands)) {
    steps = std::move(known.steps);
    from = known.end;
  }
  for (qsizetype i = from; i < commands.size(); ++i) {
    if (i == 0 || !continuesStep(commands, i)) {
      steps.starts.push_back(i);
      steps.removed.push_back(0);
    }
    steps.removed.back() += removedLength(commands[i]);
  }
  known = Known();

  // Only undoable steps go; a step never splits.
  const qsizetype undoable =
      std::upper_bound(steps.starts.begin(), steps.starts.end(), qsizetype(state) - 1) - steps.starts.begin();
  qint64 removed = 0;
  for (qint64 r : steps.removed) removed += r;
  qsizetype drop = 0;
  while (drop < undoable - 1 && (undoable - drop > maxSteps || removed > maxRemoved))
    removed -= steps.removed[size_t(drop++)];

  qsizetype n = 0;
  if (drop > 0) {
    n = steps.starts[size_t(drop)];
    for (qsizetype i = 0; i < n; ++i)
      if (commands[i].command & Command::Custom) delete commands[i].custom;
    stack.remove(0, n);
    state -= int(n);
    // The saved state moves down with the rest; dropped, it is out of reach.
    if (saved >= n)
      saved -= int(n);
    else if (saved >= 0)
      saved = -1;
  }

  const qint64 kept = d->length() + removed;
  const qint64 garbage = d->buffer().size() - kept;
  if (garbage > std::max(kMinGarbage, kept / 2)) compact(d);

  // Keep what is known of all but the newest step for the next time.
  if (steps.starts.size() > size_t(drop) + 1) {
    for (size_t i = size_t(drop); i + 1 < steps.starts.size(); ++i) {
      known.steps.starts.push_back(steps.starts[i] - n);
      known.steps.removed.push_back(steps.removed[i]);
    }
    known.end = steps.starts.back() - n;
    std::memcpy(&known.last, &commands[known.end - 1], sizeof(Command));
    known.lowest = state;
  }
}

// The limits of one document, kept on it.
class UndoLimit : public QObject {
 public:
  explicit UndoLimit(QTextDocument* doc) : QObject(doc) {
    setObjectName(QStringLiteral("tolvanUndoLimit"));
    connect(doc, &QTextDocument::undoCommandAdded, this, [this, doc] { trim(doc, steps, removed, known); });
    // Every undo and redo ends with contentsChanged: the lowest state undo
    // reached tells which of the known steps may have been replaced.
    connect(doc, &QTextDocument::contentsChanged, this, [this, doc] {
      const QTextDocumentPrivate* d = QTextDocumentPrivate::get(doc);
      known.lowest = std::min(known.lowest, d->*member(UndoState{}));
    });
  }
  int steps = tolvan::document::kUndoSteps;
  qint64 removed = tolvan::document::kUndoRemovedChars;
  Known known;
};

}  // namespace

namespace tolvan::document {

void limitUndoHistory(QTextDocument* doc, int steps, qint64 removedChars) {
  auto* limit = static_cast<UndoLimit*>(
      doc->findChild<QObject*>(QStringLiteral("tolvanUndoLimit"), Qt::FindDirectChildrenOnly));
  if (!limit) limit = new UndoLimit(doc);
  limit->steps = std::max(1, steps);
  limit->removed = std::max<qint64>(0, removedChars);
  limit->known = Known();
  trim(doc, limit->steps, limit->removed, limit->known);
}

int undoStepCount(const QTextDocument* doc) {
  if (!doc->isUndoRedoEnabled()) return 0;
  const QTextDocumentPrivate* d = QTextDocumentPrivate::get(doc);
  const Commands& stack = d->*member(UndoStack{});
  const int state = d->*member(UndoState{});
  int n = 0;
  for (qsizetype i = 0; i < state; ++i)
    if (i == 0 || !continuesStep(stack, i)) ++n;
  return n;
}

qint64 heldCharacters(const QTextDocument* doc) { return QTextDocumentPrivate::get(doc)->buffer().size(); }

}  // namespace tolvan::document
