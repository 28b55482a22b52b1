// Banner painting of the empty frame.
#include "windows/frame/frame_mdi_area.h"

#include <cmath>

#include <QFontMetrics>
#include <QMdiSubWindow>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionTitleBar>
#include <QRandomGenerator>
#include <QTimer>

#include "platform/icons.h"
#include "windows/color_names.h"
#include "core/settings/color_table.h"

namespace {

// Title bars of document windows: the caption elided in the middle rather
// than cut at its end, where the file name is.
class MiddleElidedTitleStyle : public QProxyStyle {
 public:
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget) const override {
    const auto* tb = qstyleoption_cast<const QStyleOptionTitleBar*>(option);
    if (control == CC_TitleBar && tb && widget && !widget->windowTitle().isEmpty()) {
      QStyleOptionTitleBar copy(*tb);
      copy.text = widget->windowTitle();
      // Measured in bold and with the margins styles keep around the label,
      // so the style does not shorten it a second time at its end.
      QFont bold = widget->font();
      bold.setBold(true);
      const int room =
          subControlRect(CC_TitleBar, &copy, SC_TitleBarLabel, widget).width() - 18;
      copy.text = QFontMetrics(bold).elidedText(widget->windowTitle(), Qt::ElideMiddle,
                                                qMax(room, 10));
      QProxyStyle::drawComplexControl(control, &copy, painter, widget);
      return;
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
  }
};

}  // namespace

TFrameMdiArea::TFrameMdiArea(QWidget* parent) : QMdiArea(parent) {
  titleStyle_ = new MiddleElidedTitleStyle;
  titleStyle_->setParent(this);
}

void TFrameMdiArea::adoptSubWindow(QMdiSubWindow* sub) {
  if (sub) sub->setStyle(titleStyle_);
}

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

double TFrameMdiArea::contrastRatio(const QColor& a, const QColor& b) {
  // Relative luminance of sRGB colours and their ratio (1 = the same, 21 =
  // black on white).
  auto lum = [](const QColor& c) {
    auto lin = [](double v) {
      return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
  };
  const double la = lum(a), lb = lum(b);
  return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

void TFrameMdiArea::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  // The text is centred on, and wrapped to, the area the documents get: with
  // the directory panel beside it, centring on the whole window would push
  // the end of a line past the right edge.
  // Half a character is kept free at either side, for the letters of a
  // slanted face that reach past their advance.
  const QFont font = bannerFont(bannerFace_ ? bannerFace_() : QString());
  const int side = QFontMetrics(font).averageCharWidth() / 2;
  const QRect r = viewport()->rect().adjusted(side, 0, -side, 0);
  p.fillRect(viewport()->rect(), palette().color(QPalette::Button));
  p.setBackgroundMode(Qt::TransparentMode);
  p.setFont(font);
  const int pick = forcedColorIndex_ >= 0 ? forcedColorIndex_ % 16
                                          : int(QRandomGenerator::global()->bounded(16));
  lastColor_ = tolvan::colorFromValue(tolvan::kPenColors[pick].value);
  QString text = bannerText_ ? bannerText_() : QString();
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  constexpr int kFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
  // Yellow, lime, aqua or white hardly show on the light background: such a
  // colour gets a one-pixel outline in whichever of black and white stands
  // out from the background, so every colour of the table reads.
  const QColor background = palette().color(QPalette::Button);
  if (contrastRatio(lastColor_, background) < 3.0) {
    const QColor outline =
        contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
            ? QColor(Qt::black)
            : QColor(Qt::white);
    p.setPen(outline);
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        if (dx || dy) p.drawText(r.translated(dx, dy), kFlags, text);
  }
  p.setPen(lastColor_);
  p.drawText(r, kFlags, text);
  // The icon goes below the text where the lines wrap and reach down to it.
  const int iconTop = qMax(100, p.boundingRect(r, kFlags, text).bottom() + 8);
  tolvan::appIcon().paint(&p, QRect(viewport()->width() / 2, iconTop, 32, 32));
  if (!painted_) {
    // The window is up: now the start-up work that could wait.
    painted_ = true;
    emit firstPainted();
  }
}
