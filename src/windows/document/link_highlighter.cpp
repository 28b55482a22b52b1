// Links in the editor: marking, pointer and click.
#include "windows/document/link_highlighter.h"

#include "windows/document/document_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include "core/document/shell_requests.h"
#include "platform/desktop.h"
#include "platform/prompts.h"

namespace {

// The extra format of a link carries its address.
constexpr int kLinkTarget = QTextFormat::UserProperty + 1;

}  // namespace

TLinkHighlighter::TLinkHighlighter(QTextEdit* editor) : QObject(editor), editor_(editor) {
  editor->viewport()->installEventFilter(this);
  editor->viewport()->setMouseTracking(true);
  connect(editor->document(), &QTextDocument::contentsChange, this, &TLinkHighlighter::schedule);
  connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this, &TLinkHighlighter::schedule);
  connect(editor->horizontalScrollBar(), &QScrollBar::valueChanged, this,
          &TLinkHighlighter::schedule);
  schedule();
}

void TLinkHighlighter::schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    scheduled_ = false;
    markVisible();
  });
}

void TLinkHighlighter::markBlock(QTextBlock& block) {
  // A paragraph is looked at again only when its text changed (its revision
  // is kept in the block's user state, which nothing else uses).
  if (block.userState() == block.revision()) return;
  block.setUserState(block.revision());
  // A paragraph the layout draws in pieces is not searched for links: that
  // would read all of it after every key.
  if (TDocumentLayout::isLong(block)) return;
  QTextLayout* layout = block.layout();
  if (!layout) return;
  const QString text = block.text();
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()),
                                 size_t(text.size()));
  QList<QTextLayout::FormatRange> ranges;
  for (const tolvan::LinkSpan& link : tolvan::findLinks(view)) {
    QTextLayout::FormatRange r;
    r.start = int(link.start);
    r.length = int(link.length);
    r.format.setForeground(QColor(0, 0, 0xEE));
    r.format.setFontUnderline(true);
    r.format.setProperty(kLinkTarget, QString::fromStdString(link.target));
    ranges << r;
  }
  if (ranges.isEmpty() && layout->formats().isEmpty()) return;
  layout->setFormats(ranges);
  // Lay the paragraph out again with its marks; no edit, no undo step.
  editor_->document()->markContentsDirty(block.position(), block.length());
}

void TLinkHighlighter::markVisible() {
  QTextDocument* doc = editor_->document();
  const int top = editor_->verticalScrollBar()->value();
  const int bottom = top + editor_->viewport()->height();
  // The paragraph at the top of the view, from the layout (a cursor placed
  // there would make Qt analyse a long paragraph in full).
  QTextBlock block = doc->findBlock(qMax(0, doc->documentLayout()->hitTest(QPointF(0, top), Qt::FuzzyHit)));
  // A little before the first visible paragraph too (a partly shown one).
  if (block.previous().isValid()) block = block.previous();
  auto* layout = doc->documentLayout();
  for (int n = 0; block.isValid() && n < 1000; block = block.next(), ++n) {
    const QRectF r = layout->blockBoundingRect(block);
    if (r.top() > bottom) break;
    markBlock(block);
  }
}

QString TLinkHighlighter::linkAt(const QPoint& viewportPos) const {
  const QPoint docPos = viewportPos + QPoint(editor_->horizontalScrollBar()->value(),
                                             editor_->verticalScrollBar()->value());
  const int pos = editor_->document()->documentLayout()->hitTest(docPos, Qt::ExactHit);
  if (pos < 0) return QString();
  const QTextBlock block = editor_->document()->findBlock(pos);
  if (!block.isValid() || !block.layout()) return QString();
  const int inBlock = pos - block.position();
  for (const QTextLayout::FormatRange& r : block.layout()->formats())
    if (inBlock >= r.start && inBlock < r.start + r.length && r.format.hasProperty(kLinkTarget))
      return r.format.property(kLinkTarget).toString();
  return QString();
}

void TLinkHighlighter::openLink(const QString& target) {
  // Web, ftp and mail addresses open at once. Anything else (a file above
  // all: the desktop may run a program or a launcher instead of showing it)
  // only once the user has seen what it is and agreed.
  if (!tolvan::linkOpensWithoutAsking(target.toStdString())) {
    const QString text =
        QStringLiteral("Open %1?\n\nThis is not a web or mail address. The desktop opens it with "
                       "the program it chooses, which may run it as a program.")
            .arg(target);
    if (tolvan::Prompts::instance().yesNo(editor_, text) != tolvan::Prompts::Answer::Yes) return;
  }
  tolvan::Desktop::instance().openUrl(QUrl(target));
}

bool TLinkHighlighter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_->viewport()) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(event);
      const bool over = !linkAt(me->position().toPoint()).isEmpty();
      if (over != handCursor_) {
        handCursor_ = over;
        editor_->viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
      }
      break;
    }
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      pressed_ = me->button() == Qt::LeftButton ? linkAt(me->position().toPoint()) : QString();
      pressPos_ = me->position().toPoint();
      break;
    }
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      // A click, not a drag that selects text, opens the link.
      const QString clicked =
          me->button() == Qt::LeftButton && !pressed_.isEmpty() &&
                  (me->position().toPoint() - pressPos_).manhattanLength() < 4 &&
                  linkAt(me->position().toPoint()) == pressed_
              ? pressed_
              : QString();
      pressed_.clear();
      if (!clicked.isEmpty()) openLink(clicked);
      break;
    }
    default:
      break;
  }
  if (event->type() == QEvent::Resize) schedule();
  return QObject::eventFilter(watched, event);
}
