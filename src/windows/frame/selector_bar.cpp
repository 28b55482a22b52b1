// The selector bar's wrapping rows and shortened captions.
#include "windows/frame/selector_bar.h"

#include <QEvent>
#include <QProxyStyle>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <QWidget>

namespace {

QList<QToolButton*> barButtons(QWidget* bar) {
  return bar->findChildren<QToolButton*>(QStringLiteral("BtnSpeed"), Qt::FindDirectChildrenOnly);
}

// Draws a tool button's caption shortened with an ellipsis when it does not
// fit beside the icon, instead of cut off at the button's edge. The ellipsis
// goes in the middle: the start and the end of a name are kept, so
// "Tolvan1" and "Tolvan2" still read apart on a narrow button.
class ElidingButtonStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_ToolButtonLabel) {
      if (const auto* tb = qstyleoption_cast<const QStyleOptionToolButton*>(option)) {
        QStyleOptionToolButton copy(*tb);
        // The label's own rectangle, less the icon and its gap as the common
        // style lays them out, and a pixel for the shift of a pressed button.
        int room = tb->rect.width() - 1;
        if (!tb->icon.isNull() && tb->toolButtonStyle == Qt::ToolButtonTextBesideIcon)
          room -= tb->iconSize.width() + 4;
        copy.text = tb->fontMetrics.elidedText(tb->text, Qt::ElideMiddle, qMax(room, 8));
        QProxyStyle::drawControl(element, &copy, painter, widget);
        return;
      }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }
};

}  // namespace

TSelectorBarLayout::TSelectorBarLayout(QWidget* bar) : QObject(bar), bar_(bar) {
  style_ = new ElidingButtonStyle;
  style_->setParent(this);
  bar->installEventFilter(this);
}

int TSelectorBarLayout::rowsFor(int n, int barWidth) {
  const int perRow = qMax(1, barWidth / kButtonWidth);
  return n <= perRow ? 1 : (n + perRow - 1) / perRow;
}

QPoint TSelectorBarLayout::buttonPos(int k, int n, int barWidth) {
  const int perRow = qMax(1, barWidth / kButtonWidth);
  if (n <= perRow) return QPoint(k * kButtonWidth, 2);
  return QPoint((k % perRow) * kButtonWidth, 2 + (k / perRow) * kRowPitch);
}

bool TSelectorBarLayout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == bar_) {
    switch (event->type()) {
      case QEvent::ChildPolished:
        // Fully made by now (at ChildAdded it is still being constructed).
        if (auto* b = qobject_cast<QToolButton*>(static_cast<QChildEvent*>(event)->child()))
          if (b->style() != style_) b->setStyle(style_);
        schedule();
        break;
      case QEvent::ChildAdded:
      case QEvent::ChildRemoved:
      case QEvent::Resize:
        schedule();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void TSelectorBarLayout::schedule() {
  // A document window places or closes up its buttons right after the bar
  // hears of the change: lay out once it is done.
  if (scheduled_) return;
  scheduled_ = true;
  QMetaObject::invokeMethod(this, &TSelectorBarLayout::relayout, Qt::QueuedConnection);
}

void TSelectorBarLayout::relayout() {
  scheduled_ = false;
  if (!bar_) return;
  const auto buttons = barButtons(bar_);
  const int n = int(buttons.size());
  const int w = bar_->width();
  for (int k = 0; k < n; ++k) {
    QToolButton* b = buttons[k];
    if (b->style() != style_) b->setStyle(style_);
    b->setGeometry(QRect(buttonPos(k, n, w), QSize(kButtonWidth, kButtonHeight)));
  }
  const int height = rowsFor(n, w) * kRowPitch + 2;
  if (bar_->height() != height || bar_->minimumHeight() != height) bar_->setFixedHeight(height);
}
