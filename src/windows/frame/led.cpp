// The busy light.
#include "windows/frame/led.h"

#include <QPainter>
#include <QRadialGradient>

TLed::TLed(QWidget* parent) : QWidget(parent) {
  setFixedSize(15, 15);
  timer_.setInterval(200);
  connect(&timer_, &QTimer::timeout, this, [this] {
    lit_ = !lit_;
    // The light must change on screen even while a long command keeps the
    // event loop busy between timer ticks.
    repaint();
  });
}

QColor TLed::currentColor() const { return lit_ ? QColor(255, 0, 0) : QColor(0, 200, 0); }

void TLed::setLit(bool on) {
  if (lit_ == on) return;
  lit_ = on;
  // Long loads and saves run on this thread: paint now, not after them.
  if (isVisible()) repaint();
}

void TLed::setBlinking(bool on) {
  if (on)
    timer_.start();
  else
    timer_.stop();
  lit_ = false;
  if (isVisible()) repaint();
}

void TLed::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = currentColor();
  QRadialGradient g(QPointF(5.5, 5.5), 8);
  g.setColorAt(0, c.lighter(170));
  g.setColorAt(1, c.darker(130));
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(g);
  p.drawEllipse(QRectF(1, 1, 13, 13));
}
