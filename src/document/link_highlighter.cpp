// Links in the editor: marking, pointer and click.
#include "document/link_highlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include "document/shell_requests.h"
#include "platform/desktop.h"

namespace {

// The extra format of a link carries its address.
constexpr int kLinkTarget = QTextFormat::UserProperty + 1;

}  // namespace

TLinkHighlighter::TLinkHighlighter(QTextEdit* editor)
    : QSyntaxHighlighter(editor->document()), editor_(editor) {
  editor->viewport()->installEventFilter(this);
  editor->viewport()->setMouseTracking(true);
}

void TLinkHighlighter::highlightBlock(const QString& text) {
  const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()),
                                 size_t(text.size()));
  for (const tolvan::LinkSpan& link : tolvan::findLinks(view)) {
    QTextCharFormat f;
    f.setForeground(QColor(0, 0, 0xEE));
    f.setFontUnderline(true);
    f.setProperty(kLinkTarget, QString::fromStdString(link.target));
    setFormat(int(link.start), int(link.length), f);
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

bool TLinkHighlighter::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editor_->viewport()) return QSyntaxHighlighter::eventFilter(watched, event);
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
      if (me->button() == Qt::LeftButton && !pressed_.isEmpty() &&
          (me->position().toPoint() - pressPos_).manhattanLength() < 4 &&
          linkAt(me->position().toPoint()) == pressed_) {
        tolvan::Desktop::instance().openUrl(QUrl(pressed_));
      }
      pressed_.clear();
      break;
    }
    default:
      break;
  }
  return QSyntaxHighlighter::eventFilter(watched, event);
}
