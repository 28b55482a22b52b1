// Banner painting of the empty frame.
#include "shell/frame_mdi_area.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include "shell/color_table.h"
#include "shell/main_form.h"

TFrameMdiArea::TFrameMdiArea(TMainForm* frame, QWidget* parent)
    : QMdiArea(parent), frame_(frame) {}

QFont TFrameMdiArea::bannerFont(const QString& face) {
  QFont f;
  if (!face.isEmpty()) f.setFamily(face);
  f.setBold(true);
  f.setItalic(false);
  f.setUnderline(false);
  f.setStrikeOut(false);
  // Scale so the line (cell) height is 30 pixels and the average character
  // 15 pixels wide.
  f.setPixelSize(30);
  QFontMetrics fm(f);
  if (fm.height() > 0) f.setPixelSize(qMax(1, 30 * 30 / fm.height()));
  QFontMetrics fm2(f);
  if (fm2.averageCharWidth() > 0)
    f.setStretch(qBound(1, 100 * 15 / fm2.averageCharWidth(), 4000));
  return f;
}

void TFrameMdiArea::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  // The whole inner area of the frame, bars included, as the banner's frame of
  // reference: the text is centred on the window, not on the free space.
  const QRect r(0, 0, frame_->width(), frame_->height());
  p.fillRect(viewport()->rect(), palette().color(QPalette::Button));
  p.setBackgroundMode(Qt::TransparentMode);
  p.setFont(bannerFont(frame_->FontDef));
  lastColor_ = TMainForm::ValueToColor(
      tolvan::kPenColors[QRandomGenerator::global()->bounded(16)].value);
  p.setPen(lastColor_);
  QString text = frame_->BannerText;
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  p.drawText(r, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
  TMainForm::AppIcon().paint(&p, QRect(r.width() / 2, 100, 32, 32));
  if (!painted_) {
    // The window is up: now the start-up work that could wait.
    painted_ = true;
    QTimer::singleShot(0, frame_, &TMainForm::FinishStartup);
  }
}
