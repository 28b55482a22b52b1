// The document's editor: character keys through the key dispatch, Unicode
// Tamil converted to TSCII where it enters a TSCII document and taken as it
// is into a Unicode one.
#include "windows/document/editor.h"

#include <algorithm>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextBoundaryFinder>
#include <QtMath>
#include <QTextDocumentFragment>

#include "core/convert/unicode_bridge.h"
#include "windows/document/convert_commands.h"
#include "windows/document/busy_scope.h"
#include "windows/document/document_layout.h"
#include "windows/document/key_dispatch.h"
#include "platform/byte_text.h"

namespace {

// Converts the Tamil runs of text to TSCII, one byte per character. A run the
// bridge cannot map completely is kept as it is, so no character is lost (a
// plain-text save then asks what to do with it).
QString tamilToTscii(const QString& text) {
  QString out;
  out.reserve(text.size());
  qsizetype k = 0;
  const qsizetype n = text.size();
  while (k < n) {
    // Zero-width joiners belong to the Tamil run around them.
    auto inRun = [&](qsizetype i) {
      const char16_t u = text[i].unicode();
      return tolvan::isUnicodeTamil(text[i]) || u == 0x200C || u == 0x200D;
    };
    if (!tolvan::isUnicodeTamil(text[k])) {
      out.append(text[k]);
      ++k;
      continue;
    }
    qsizetype e = k;
    while (e < n && inRun(e)) ++e;
    const QString run = text.mid(k, e - k);
    bool lost = false;
    const std::string tscii = tolvan::UnicodeToTscii(
        run.toStdString(), [&](size_t, const std::string&) { lost = true; },
        tolvan::Unmappable::Drop);
    if (lost) {
      out.append(run);
    } else {
      QString bytes = QString::fromLatin1(tscii.data(), static_cast<qsizetype>(tscii.size()));
      tolvan::bytesToEditorChars(bytes);
      out.append(bytes);
    }
    k = e;
  }
  return out;
}

// Dependent vowel signs and the pulli: they complete the consonant before them.
bool isTamilSign(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x0BBE && u <= 0x0BCD) || u == 0x0BD7;
}

// Consonants (live forms) in TSCII: what a sign arriving on its own attaches to.
bool isTsciiConsonant(char16_t b) { return (b >= 0xB8 && b <= 0xC9) || (b >= 0x83 && b <= 0x87); }

// The local files a drag carries (none for text, or for web addresses).
QStringList localFiles(const QMimeData* md) {
  QStringList files;
  if (!md || !md->hasUrls()) return files;
  for (const QUrl& u : md->urls())
    if (u.isLocalFile()) files << u.toLocalFile();
  return files;
}

QString normaliseBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

}  // namespace

TEditor::TEditor(TKeyDispatch* keys, QWidget* parent)
    : QTextEdit(parent), Keys_(keys), layout_(new TDocumentLayout(document())) {
  // Tamil and everything else this editor holds runs left to right. Said once
  // for the document, the layout need not scan each paragraph for it.
  QTextOption option = document()->defaultTextOption();
  option.setTextDirection(Qt::LeftToRight);
  document()->setDefaultTextOption(option);
  document()->setDocumentLayout(layout_);
  auto forgetTyping = [this] {
    if (!inTypedKey_) typing_.forget();
  };
  connect(document(), &QTextDocument::contentsChanged, this, forgetTyping);
  connect(this, &QTextEdit::cursorPositionChanged, this, forgetTyping);
  layoutTimer_.setInterval(0);
  connect(&layoutTimer_, &QTimer::timeout, this, &TEditor::layoutSlice);
  connect(layout_, &TDocumentLayout::measuringNeeded, this, &TEditor::wakeLayout);
  layoutTimer_.start();
  layoutHoldTimer_.setSingleShot(true);
  layoutHoldTimer_.setInterval(kPaintWaitMs);
  connect(&layoutHoldTimer_, &QTimer::timeout, this, &TEditor::resumeLayout);
  // What a scroll brings into view is laid out before it is painted, with the
  // line at the top of the view kept where it is on screen.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { settleView(); });
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] { settleView(); });
  // QTextEdit scrolls to the caret, and repaints it as it blinks, at the
  // place Qt's cursor code finds; in a paragraph our layout lays out in
  // pieces that place is only known to the layout. The editor's text control
  // asks for both through two signals, which come here instead.
  for (QObject* o : children()) {
    if (!o->inherits("QWidgetTextControl")) continue;
    disconnect(o, SIGNAL(visibilityRequest(QRectF)), this, nullptr);
    connect(o, SIGNAL(visibilityRequest(QRectF)), this, SLOT(showRect(QRectF)));
    connect(o, SIGNAL(updateRequest(QRectF)), this, SLOT(caretUpdate()));
    // Its caret blink asks Qt's code for the caret's place, which analyses a
    // long paragraph in full each time: there the caret stays on instead.
    o->installEventFilter(this);
    textControl_ = o;
    break;
  }
}

void TEditor::showRect(const QRectF& requested) {
  QRectF wanted = requested;
  const QTextCursor c = textCursor();
  // The caret's surroundings, a view's height each way, are laid out first:
  // the view then lands where it stays (Ctrl+End at the real end of the
  // text, with nothing estimated left on screen to move it when painted).
  const qreal before = layout_->caretRect(c.position()).top();
  {
    const QScopedValueRollback<bool> guard(settling_, true);
    const int h = viewport()->height();
    for (int i = 0; i < kSettleRounds; ++i) {
      const qreal y = layout_->caretRect(c.position()).top();
      if (!layout_->measureSpan(y - h, y + h)) break;
    }
  }
  wanted.translate(0, layout_->caretRect(c.position()).top() - before);
  if (TDocumentLayout::isLong(c.block())) wanted = layout_->caretRect(c.position()).adjusted(-5, 0, 5, 0);
  const QRect r = wanted.toRect();
  QScrollBar* h = horizontalScrollBar();
  QScrollBar* v = verticalScrollBar();
  if (v->maximum() < r.bottom() - viewport()->height() || h->maximum() < r.right() - viewport()->width()) {
    // The document grew with this edit; its new size is not reported yet.
    const QSizeF size = layout_->documentSize();
    v->setRange(0, qMax(0, qCeil(size.height()) - viewport()->height()));
    if (lineWrapMode() == NoWrap) h->setRange(0, qMax(0, qCeil(size.width()) - viewport()->width()));
  }
  const int width = viewport()->width();
  const int height = viewport()->height();
  if (r.x() < h->value())
    h->setValue(r.x() - r.width());
  else if (r.x() + r.width() > h->value() + width)
    h->setValue(r.x() + r.width() - width);
  if (r.y() < v->value())
    v->setValue(r.y());
  else if (r.y() + r.height() > v->value() + height)
    v->setValue(r.y() + r.height() - height);
}

bool TEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == textControl_ && event->type() == QEvent::Timer && TDocumentLayout::isLong(textCursor().block()))
    return true;
  return QTextEdit::eventFilter(watched, event);
}

void TEditor::caretUpdate() {
  const QTextCursor c = textCursor();
  if (!TDocumentLayout::isLong(c.block())) return;
  const QRectF r = layout_->caretRect(c.position())
                       .translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  viewport()->update(r.toAlignedRect().adjusted(-2, -2, 2, 2));
}

namespace {

// The text around position in its paragraph (at most reach characters each
// way): what caret movement and input methods look at in a long paragraph.
// Where the text around position begins in its paragraph (at most reach
// characters before it).
int aroundStart(QTextDocument* doc, int position, int reach) {
  return qMax(doc->findBlock(position).position(), position - reach);
}

QString textAround(const TDocumentLayout* layout, QTextDocument* doc, int position, int reach,
                   int* windowStart) {
  const QTextBlock block = doc->findBlock(position);
  const int from = aroundStart(doc, position, reach);
  const int to = qMin(block.position() + block.length() - 1, position + reach);
  *windowStart = from;
  return layout->textIn(block, from - block.position(), to - from);
}

// The next (or previous) caret place after position by graphemes or, with
// words, the next start of a word, found in the text around it.
int stepFrom(const TDocumentLayout* layout, QTextDocument* doc, int position, bool forward, bool words) {
  int start = 0;
  const QString text = textAround(layout, doc, position, words ? 256 : 16, &start);
  QTextBoundaryFinder f(words ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Grapheme, text);
  f.setPosition(position - start);
  for (;;) {
    const qsizetype k = forward ? f.toNextBoundary() : f.toPreviousBoundary();
    if (k < 0) return forward ? start + int(text.size()) : start;
    if (!words || (f.boundaryReasons() & QTextBoundaryFinder::StartOfItem)) return start + int(k);
  }
}

}  // namespace

bool TEditor::moveInLongParagraph(QKeyEvent* e) {
  QTextCursor c = textCursor();
  const QTextBlock block = c.block();
  if (!TDocumentLayout::isLong(block)) {
    wantedX_ = -1;
    return false;
  }
  const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  const bool ctrl = mods == Qt::ControlModifier;
  if (mods != Qt::NoModifier && !ctrl) return false;
  const auto mode = (e->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
  const int pos = c.position();
  const int first = block.position();
  const int last = first + block.length() - 1;
  int target = -1;
  bool vertical = false;
  switch (e->key()) {
    case Qt::Key_Left:
      if (pos == first) return false;
      target = stepFrom(layout_, document(), pos, false, ctrl);
      break;
    case Qt::Key_Right:
      if (pos == last) return false;
      target = stepFrom(layout_, document(), pos, true, ctrl);
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
      if (ctrl) return false;
      const QRectF r = layout_->caretRect(pos);
      if (wantedX_ < 0) wantedX_ = r.left();
      const bool up = e->key() == Qt::Key_Up || e->key() == Qt::Key_PageUp;
      const bool page = e->key() == Qt::Key_PageUp || e->key() == Qt::Key_PageDown;
      const qreal step = page ? viewport()->height() : r.height() / 2 + 1;
      const qreal y = up ? r.top() - step : r.bottom() + step;
      const int top = layout_->blockTop(block);
      // Leaving the paragraph is Qt's business (the paragraph beside is
      // an ordinary one, or is entered at its edge).
      if (!page && (y < top || y >= top + block.lineCount())) return false;
      target = layout_->hitTest(QPointF(wantedX_, y), Qt::FuzzyHit);
      if (page) verticalScrollBar()->setValue(verticalScrollBar()->value() + int(up ? -step : step));
      vertical = true;
      break;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
      if (ctrl) return false;
      target = e->key() == Qt::Key_Home ? layout_->lineAt(pos).first : layout_->lineAt(pos).second;
      break;
    case Qt::Key_Delete:
      if (ctrl || mode == QTextCursor::KeepAnchor) return false;
      if (!c.hasSelection()) {
        if (pos == last) return false;
        c.setPosition(stepFrom(layout_, document(), pos, true, false), QTextCursor::KeepAnchor);
      }
      c.removeSelectedText();
      setTextCursor(c);
      ensureCursorVisible();
      return true;
    default:
      return false;
  }
  if (!vertical) wantedX_ = -1;
  if (target < 0) return false;
  c.setPosition(target, mode);
  setTextCursor(c);
  ensureCursorVisible();
  return true;
}

QVariant TEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
  const QTextCursor c = textCursor();
  if (!TDocumentLayout::isLong(c.block())) return QTextEdit::inputMethodQuery(query);
  // A long paragraph is not handed over whole: the text around the caret.
  int start = 0;
  switch (query) {
    case Qt::ImSurroundingText:
      return textAround(layout_, document(), c.position(), 256, &start);
    case Qt::ImCursorPosition:
      return c.position() - aroundStart(document(), c.position(), 256);
    case Qt::ImAnchorPosition:
      return qBound(0, c.anchor() - aroundStart(document(), c.position(), 256), 512);
    case Qt::ImTextBeforeCursor: {
      const QString t = textAround(layout_, document(), c.position(), 256, &start);
      return t.left(c.position() - start);
    }
    case Qt::ImTextAfterCursor: {
      const QString t = textAround(layout_, document(), c.position(), 256, &start);
      return t.mid(c.position() - start);
    }
    case Qt::ImCursorRectangle:
      return layout_->caretRect(c.position())
          .translated(viewport()->pos() - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()))
          .toAlignedRect();
    default:
      return QTextEdit::inputMethodQuery(query);
  }
}

bool TEditor::layoutComplete() const { return layout_->complete(); }

// What stays in place on screen while heights change: the line at the top of
// the view, or the end of the text when the view is scrolled to the end.
TEditor::ViewAnchor TEditor::viewAnchor() const {
  const QScrollBar* bar = verticalScrollBar();
  const int top = bar->value();
  ViewAnchor a;
  if (top > 0 && top >= bar->maximum()) {
    a.atEnd = true;
  } else {
    a.block = layout_->blockAt(top);
    // In a paragraph laid out in pieces, the line at the top of the view is
    // what stays (pieces above it may be measured now).
    if (TDocumentLayout::isLong(a.block) && top > 0) a.position = layout_->hitTest(QPointF(0, top), Qt::FuzzyHit);
  }
  a.offset = top - placeOf(a);
  return a;
}

int TEditor::placeOf(const ViewAnchor& a) const {
  if (a.atEnd) return qCeil(layout_->documentSize().height()) - viewport()->height();
  if (a.position >= 0) return qRound(layout_->caretRect(a.position).top());
  return layout_->blockTop(a.block);
}

void TEditor::keepAnchor(const ViewAnchor& a) {
  QScrollBar* bar = verticalScrollBar();
  const int wanted = qMax(0, placeOf(a) + a.offset);
  if (bar->value() > 0 && wanted != bar->value()) {
    if (wanted > bar->maximum()) bar->setMaximum(wanted);
    bar->setValue(wanted);
  }
}

// The view and a view's height above and below it laid out, so that neither
// painting what is shown nor the next scroll finds an estimate to replace on
// screen. While the scroll bar's slider is dragged, only the view and what is
// below it (what is above is laid out when the slider is let go).
void TEditor::settleView() {
  if (settling_) return;
  const QScopedValueRollback<bool> guard(settling_, true);
  const ViewAnchor a = viewAnchor();
  const int h = viewport()->height();
  const bool above = !verticalScrollBar()->isSliderDown();
  for (int i = 0; i < kSettleRounds; ++i) {
    const int top = placeOf(a) + a.offset;
    if (!layout_->measureSpan(above ? top - h : top, top + 2 * h)) break;
  }
  keepAnchor(a);
}

// One slice of the background measuring. Paragraphs above the view may turn
// out taller or shorter than estimated: what is on screen stays where it is.
void TEditor::layoutSlice() {
  const ViewAnchor a = viewAnchor();
  if (layout_->measureSome(kLayoutSliceMs)) layoutTimer_.stop();
  const QScopedValueRollback<bool> guard(settling_, true);
  keepAnchor(a);
}

void TEditor::wakeLayout() {
  if (layoutHeld_)
    layoutWanted_ = true;
  else
    layoutTimer_.start();
}

void TEditor::holdLayoutForPaint() {
  if (!layoutHeld_) layoutWanted_ = layoutTimer_.isActive();
  layoutHeld_ = true;
  layoutTimer_.stop();
  layoutHoldTimer_.start();
}

void TEditor::resumeLayout() {
  if (!layoutHeld_) return;
  layoutHeld_ = false;
  layoutHoldTimer_.stop();
  if (layoutWanted_) layoutTimer_.start();
  layoutWanted_ = false;
}

void TEditor::paintEvent(QPaintEvent* e) {
  QTextEdit::paintEvent(e);
  // The slices go on once this paint is on its way to the screen.
  resumeLayout();
}

// Edits go through a copy of the editor's cursor: the editor's own cursor
// moves with the text, and nothing is laid out or scrolled until the whole key
// is done (setTextCursor would do both for every character an engine sends).
void TEditor::insertByte(unsigned char b, bool paragraph) {
  flushStretch();
  QTextCursor c = textCursor();
  if (paragraph) {
    c.insertBlock();
  } else {
    if (overwriteMode() && !c.hasSelection() && !c.atBlockEnd()) c.deleteChar();
    // A Unicode document takes a byte typed in English mode as the Latin-1
    // letter it is.
    c.insertText(isUnicode() ? QString(QChar(b)) : QString(tolvan::byteToChar(b)));
  }
}

namespace {

// The length in UTF-16 code units of valid UTF-8.
int utf16Length(const std::string& s, size_t n) {
  int k = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) k += b >= 0xF0 ? 2 : 1;
  }
  return k;
}

// Characters (not bytes) of UTF-8 from..to.
size_t charsIn(const std::string& s, size_t from, size_t to) {
  size_t k = 0;
  for (size_t i = from; i < to; ++i) k += (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
  return k;
}

}  // namespace

// The text around the caret, within its paragraph: enough for an operation
// and for what the last ones kept (a few letters each way), with room for
// the few operations one key makes.
void TEditor::readStretch() {
  QTextDocument* doc = document();
  const QTextCursor c = textCursor();
  constexpr int kStretch = 4 * static_cast<int>(tolvan::UnicodeTyping::kReach);
  const QTextBlock block = c.block();
  const int blockStart = block.position(), blockEnd = blockStart + block.length() - 1;
  const int pos = c.position();
  int from = std::max(blockStart, pos - kStretch), to = std::min(blockEnd, pos + kStretch);
  if (from > blockStart && doc->characterAt(from).isLowSurrogate()) ++from;
  if (to < blockEnd && doc->characterAt(to).isLowSurrogate()) --to;
  // Only the stretch is read, in one go (block.text() copies the whole
  // paragraph; a character at a time looks each one up in the document).
  QTextCursor range(doc);
  range.setPosition(from);
  range.setPosition(to, QTextCursor::KeepAnchor);
  const QString both = range.selectedText();
  const QString before = both.left(pos - from);
  const QString after = both.mid(pos - from);
  const QByteArray b8 = before.toUtf8();
  const QByteArray a8 = after.toUtf8();
  stretch_.active = true;
  stretch_.from = from;
  stretch_.startsParagraph = from == blockStart;
  stretch_.endsParagraph = to == blockEnd;
  stretch_.old = before + after;
  stretch_.text.assign(b8.constData(), static_cast<size_t>(b8.size()));
  stretch_.text.append(a8.constData(), static_cast<size_t>(a8.size()));
  stretch_.caret = static_cast<size_t>(b8.size());
}

void TEditor::flushStretch() {
  if (!stretch_.active) return;
  stretch_.active = false;
  // Only what differs is replaced, so the rest keeps its formatting (and
  // the layout redoes only the paragraph it is in).
  const QString& old = stretch_.old;
  const std::string& text = stretch_.text;
  const QString now = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  qsizetype p = 0;
  while (p < old.size() && p < now.size() && old[p] == now[p]) ++p;
  qsizetype tail = 0;
  while (tail < old.size() - p && tail < now.size() - p && old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
    ++tail;
  const int from = stretch_.from;
  if (p < old.size() - tail || p < now.size() - tail) {
    QTextCursor e(document());
    e.setPosition(from + static_cast<int>(p));
    e.setPosition(from + static_cast<int>(old.size() - tail), QTextCursor::KeepAnchor);
    e.insertText(now.mid(p, now.size() - tail - p));
  }
  const int target = from + utf16Length(text, stretch_.caret);
  if (textCursor().position() != target) {
    QTextCursor m = textCursor();
    m.setPosition(target);
    setTextCursor(m);
  }
}

bool TEditor::typeUnicode(unsigned char op) {
  bool replaced = false;  // a selection was taken out for this operation
  if (stretch_.active) {
    // Re-read when the caret has come near an end of the copy that is not
    // its paragraph's (an operation looks kReach characters each way, and
    // what was kept may reach as far again).
    constexpr size_t kMargin = 2 * tolvan::UnicodeTyping::kReach;
    const std::string& t = stretch_.text;
    if ((!stretch_.startsParagraph && charsIn(t, 0, stretch_.caret) < kMargin) ||
        (!stretch_.endsParagraph && charsIn(t, stretch_.caret, t.size()) < kMargin))
      flushStretch();
  }
  if (!stretch_.active) {
    QTextCursor c = textCursor();
    if (c.hasSelection()) {
      c.removeSelectedText();
      typing_.forget();
      replaced = true;
      if (op == 0x08) op = 0;  // the deleting is done; what met is joined below
    }
    readStretch();
  }
  if (op == 0x08 && !typing_.byteBefore(stretch_.text, stretch_.caret)) {
    flushStretch();
    return false;
  }
  // In Overwrite each character typed takes the place of the letter after
  // the caret (none at the paragraph's end), as in TSCII, unless it replaces
  // a selection.
  const bool overwrite = overwriteMode() && !replaced;
  stretch_.caret = typing_.apply(stretch_.text, stretch_.caret, op, overwrite);
  return true;
}

void TEditor::keyPressEvent(QKeyEvent* e) {
  holdLayoutForPaint();
  const bool command = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
  const int key = e->key();
  const QString text = e->text();

  unsigned char byte = 0;
  bool isChar = false;
  if (!command) {
    if (key == Qt::Key_Backspace) {
      byte = 0x08, isChar = true;
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      byte = 0x0D, isChar = true;
    } else if (key == Qt::Key_Tab) {
      byte = 0x09, isChar = true;
    } else if (key == Qt::Key_Escape) {
      byte = 0x1B, isChar = true;
    } else if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() <= 0xFF &&
               text[0].unicode() != 0x7F) {
      byte = static_cast<unsigned char>(text[0].unicode()), isChar = true;
    } else if (!text.isEmpty() && text[0].unicode() > 0xFF) {
      // A system keyboard layout typing Unicode (a Tamil layout, say).
      insertPlainBytesText(text);
      e->accept();
      return;
    }
  }
  if (!isChar) {
    // Insert on its own switches between inserting and overwriting, as in
    // other word processors (Shift+Insert and Ctrl+Insert stay paste and copy).
    if (key == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
      setOverwriteMode(!overwriteMode());
      e->accept();
      return;
    }
    if (moveInLongParagraph(e)) {
      e->accept();
      return;
    }
    // Undo, redo and taking out a large selection can take a moment in a
    // large document: the pointer says so meanwhile.
    WaitCursorScope busy(isLarge() &&
                         (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo) ||
                          e->matches(QKeySequence::Cut) ||
                          (textCursor().hasSelection() && (key == Qt::Key_Delete || key == Qt::Key_Backspace))));
    QTextEdit::keyPressEvent(e);
    return;
  }

  // One typed key is one undo step, however many characters its engine
  // deletes and sends before the result is inserted.
  QTextCursor block = textCursor();
  const bool outermost = !inTypedKey_;
  inTypedKey_ = true;
  block.beginEditBlock();
  ++depth_;
  // A Unicode document in Tamil mode: the engines' bytes are applied through
  // the bridge, so the text is always what the same keys give in TSCII.
  const bool bridged = isUnicode() && Keys_ && Keys_->typesTamil();
  if (!bridged) {
    flushStretch();
    typing_.forget();
  }
  if (byte == 0x08 && bridged) {
    if (!typeUnicode(0x08)) {
      // At the start of a paragraph: joined to the one before (or a bullet
      // taken off) as in TSCII, then the letters that met are joined.
      if (e->spontaneous())
        QTextEdit::keyPressEvent(e);
      else
        textCursor().deletePreviousChar();
      typing_.forget();
      typeUnicode(0);
    }
  } else if (byte == 0x08) {
    // The key-down deletes. A keystroke sent by an engine deletes exactly the
    // one character before the caret (or the selection); a typed one keeps
    // the editor's own handling (it also takes a bullet off a paragraph).
    if (e->spontaneous()) {
      QTextEdit::keyPressEvent(e);
    } else {
      QTextCursor c = textCursor();
      if (c.hasSelection())
        c.removeSelectedText();
      else
        c.deletePreviousChar();
    }
  }
  // The character message, through the dispatch (which may send keys back
  // into this editor before returning).
  const unsigned char out = Keys_ ? Keys_->EditorKeyPress(byte) : byte;
  // Nothing is inserted for 0, for the backspace character (its key-down did
  // the work) or for other control characters.
  if (out == 0x0D) {
    typing_.forget();
    insertByte(out, true);
  }
  else if (bridged && (out == 0x09 || (out >= 0x20 && out != 0x7F)))
    typeUnicode(out);
  else if (out == 0x09 || (out >= 0x20 && out != 0x7F))
    insertByte(out, false);
  if (outermost) flushStretch();
  --depth_;
  block.endEditBlock();
  if (outermost) inTypedKey_ = false;
  if (depth_ == 0) {
    // In a long paragraph straight from the layout (Qt's cursor code would
    // analyse the whole paragraph to find the caret).
    if (TDocumentLayout::isLong(textCursor().block()))
      showRect(QRectF());
    else
      ensureCursorVisible();
    emit keyHandled();
  }
  e->accept();
}

void TEditor::insertPlainBytesText(const QString& text) {
  QTextCursor c = textCursor();
  c.beginEditBlock();
  QString t = normaliseBreaks(text);
  if (isUnicode()) {
    // Unicode text in a Unicode document: nothing to convert, nothing to
    // reorder (a sign after its consonant is Unicode's own order).
    c.insertText(t);
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
    return;
  }
  // A vowel sign or pulli arriving on its own (an input method sends the
  // consonant and its sign one by one) is joined to the consonant before the
  // caret, so the TSCII comes out in its visual order.
  if (!t.isEmpty() && isTamilSign(t[0]) && !c.hasSelection() && c.position() > 0) {
    const QChar prev = document()->characterAt(c.position() - 1);
    if (isTsciiConsonant(prev.unicode())) {
      const char p = static_cast<char>(prev.unicode());
      const std::string u = tolvan::TsciiToUnicode(std::string_view(&p, 1));
      c.deletePreviousChar();
      t.prepend(QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size())));
    }
  }
  QString converted = tamilToTscii(t);
  // Characters that arrive as bytes (U+00AD from a Latin-1 source) take the
  // editor's form too.
  tolvan::bytesToEditorChars(converted);
  c.insertText(converted);
  c.endEditBlock();
  setTextCursor(c);
  ensureCursorVisible();
}

void TEditor::inputMethodEvent(QInputMethodEvent* e) {
  holdLayoutForPaint();
  // A Unicode document takes what the input method commits as it is.
  if (isUnicode()) {
    QTextEdit::inputMethodEvent(e);
    return;
  }
  const QString commit = e->commitString();
  bool tamil = false;
  for (QChar ch : commit)
    if (tolvan::isUnicodeTamil(ch)) tamil = true;
  if (!tamil) {
    QTextEdit::inputMethodEvent(e);
    return;
  }
  // Let the editor handle the preedit part with an empty commit, then insert
  // the converted text ourselves.
  QInputMethodEvent rest(e->preeditString(), e->attributes());
  rest.setCommitString(QString(), e->replacementStart(), e->replacementLength());
  QTextEdit::inputMethodEvent(&rest);
  insertPlainBytesText(commit);
  e->accept();
}

QMimeData* TEditor::createMimeDataFromSelection() const {
  // TSCII for Tolvan, Unicode Tamil for every other program; a Unicode
  // document's text as it is for both.
  return TConvertCommands::selectionMimeData(textCursor(), isUnicode());
}

void TEditor::insertFromMimeData(const QMimeData* source) {
  if (!source) return;
  if (isUnicode()) {
    QTextCursor c = textCursor();
    if (TConvertCommands::insertIntoUnicode(c, source, acceptRichText(),
                                            c.charFormat().fontFamilies().toStringList())) {
      setTextCursor(c);
      ensureCursorVisible();
    } else {
      QTextEdit::insertFromMimeData(source);
    }
    return;
  }
  {
    QTextCursor c = textCursor();
    if (TConvertCommands::insertTolvanMimeData(c, source)) {
      setTextCursor(c);
      ensureCursorVisible();
      return;
    }
  }
  // Text from another program is Unicode: its Tamil goes through the bridge
  // and what TSCII has no code for is named in one box, as Import Unicode
  // Text does. HTML keeps its formatting; plain text has its line breaks
  // made paragraph breaks.
  QStringList unmapped;
  if (source->hasHtml() && acceptRichText()) {
    const QTextDocumentFragment fragment = TConvertCommands::htmlToEditorFragment(
        source->html(), document(), textCursor().charFormat().fontFamilies().toStringList(),
        &unmapped);
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.insertFragment(fragment);
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
  } else if (source->hasText()) {
    insertPlainBytesText(TConvertCommands::utf8ToEditorText(source->text().toUtf8(), &unmapped));
  } else {
    QTextEdit::insertFromMimeData(source);
  }
  TConvertCommands::reportPastedUnmapped(this, unmapped);
}

void TEditor::dragEnterEvent(QDragEnterEvent* e) {
  if (localFiles(e->mimeData()).isEmpty()) {
    QTextEdit::dragEnterEvent(e);
    return;
  }
  e->acceptProposedAction();
}

void TEditor::dragMoveEvent(QDragMoveEvent* e) {
  if (localFiles(e->mimeData()).isEmpty()) {
    QTextEdit::dragMoveEvent(e);
    return;
  }
  e->acceptProposedAction();
}

void TEditor::dropEvent(QDropEvent* e) {
  const QStringList files = localFiles(e->mimeData());
  if (files.isEmpty()) {
    QTextEdit::dropEvent(e);
    return;
  }
  e->acceptProposedAction();
  emit filesDropped(files);
}
