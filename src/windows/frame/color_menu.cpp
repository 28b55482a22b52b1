// Drawing of the colour menus.
#include "windows/frame/color_menu.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kCheckWidth = 18;  // the check-mark column
constexpr int kSampleGap = 6;    // between the check column and the sample
constexpr int kSampleWidth = 20;
constexpr int kTextOffset = 17;  // text starts this far after the sample
}  // namespace

TColorMenu::TColorMenu(QWidget* parent) : QMenu(parent) {}

QAction* TColorMenu::addColorItem(const QString& caption, quint32 value, const QColor& sample) {
  QAction* a = addAction(caption);
  a->setCheckable(true);
  a->setData(QVariant::fromValue(value));
  a->setProperty("sample", sample);
  return a;
}

QSize TColorMenu::sizeHint() const {
  QSize s = QMenu::sizeHint();
  const int textWidth = fontMetrics().horizontalAdvance(QStringLiteral("Fuchsia")) + 20;
  s.setWidth(qMax(s.width(), kCheckWidth + kSampleGap + kSampleWidth + kTextOffset + textWidth));
  return s;
}

void TColorMenu::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  p.fillRect(e->rect(), palette().color(QPalette::Window));
  const QColor menuText = palette().color(QPalette::WindowText);
  for (QAction* a : actions()) {
    const QRect r = actionGeometry(a);
    if (!r.intersects(e->rect())) continue;
    const bool active = activeAction() == a;
    if (active) p.fillRect(r, palette().color(QPalette::Highlight));
    const QColor fg = active ? palette().color(QPalette::HighlightedText) : menuText;
    if (a->isChecked()) {
      QPainterPath tick;
      const int cy = r.center().y();
      tick.moveTo(r.left() + 4, cy);
      tick.lineTo(r.left() + 8, cy + 4);
      tick.lineTo(r.left() + 14, cy - 5);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(fg, 2));
      p.drawPath(tick);
      p.setRenderHint(QPainter::Antialiasing, false);
    }
    // The sample: a frame in the menu text colour, the colour inside it.
    QRect sample(r.left() + kCheckWidth + kSampleGap, r.top() + 3, kSampleWidth, r.height() - 6);
    p.fillRect(sample, menuText);
    p.fillRect(sample.adjusted(1, 1, -1, -1), a->property("sample").value<QColor>());
    p.setPen(fg);
    QRect text = r.adjusted(sample.right() + kTextOffset - r.left(), 0, 0, 0);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, a->text());
  }
}
