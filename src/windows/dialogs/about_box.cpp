// The about box's shape and face.
#include "windows/dialogs/about_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>

#include "platform/icons.h"
#include "core/settings/product_info.h"

namespace {
constexpr int kWidth = 314;
constexpr int kHeight = 294;
TAboutBox* g_splash = nullptr;
}  // namespace

QPolygon TAboutBox::starPoints(int w, int h) {
  // Integer divisions, truncating, as the outline has always been computed.
  return QPolygon({QPoint(w / 2, 7), QPoint(2 * w / 3, h / 4), QPoint(w, h / 4),
                   QPoint(5 * w / 6, h / 2), QPoint(w, 3 * h / 4), QPoint(2 * w / 3, 3 * h / 4),
                   QPoint(w / 2, h), QPoint(w / 3, 3 * h / 4), QPoint(0, 3 * h / 4),
                   QPoint(w / 6, h / 2), QPoint(0, h / 4), QPoint(w / 3, h / 4),
                   QPoint(w / 2, 7)});
}

QString TAboutBox::hintText() {
  return QStringLiteral(
      "Thank you for using Tolvan.\n"
      "Please feel free to distibute it to your friends. \n"
      "We welcome your feedback and comments.");
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog) {
  setWindowTitle(QStringLiteral("Tolvan"));
  setFixedSize(kWidth, kHeight);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  QFont f(QStringLiteral("TAMILFIX"));
  f.setPixelSize(11);
  setFont(f);
  setToolTip(hintText());
  points_ = starPoints(width(), height());
  // The star: the first twelve points, alternate (odd-even) fill.
  setMask(QRegion(points_.mid(0, 12), Qt::OddEvenFill));
}

TAboutBox::~TAboutBox() {
  if (g_splash == this) g_splash = nullptr;
}

TAboutBox* TAboutBox::splash() { return g_splash; }
void TAboutBox::setSplash(TAboutBox* box) { g_splash = box; }
void TAboutBox::hideSplash() {
  if (g_splash) g_splash->hide();
}

void TAboutBox::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // Centred on the screen, whoever owns it.
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TAboutBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.fillRect(rect(), Qt::black);
  // 1. The program's icon.
  tolvan::appIcon().paint(&p, QRect(width() / 2 - 16, 30, 32, 32));
  // 2.-7. Text on a transparent background; positions are the text's top-left.
  p.setBackgroundMode(Qt::TransparentMode);
  auto text = [&p](int x, int y, const QString& s) {
    p.drawText(QRect(x, y, 400, 100), Qt::AlignLeft | Qt::AlignTop, s);
  };
  QFont f(QStringLiteral("MylaiTSC"));
  f.setBold(true);
  f.setPointSize(16);
  p.setFont(f);
  p.setPen(QColor(0, 255, 0));
  text(60, 80, QStringLiteral("Tolvan"));
  f.setPointSize(8);
  p.setFont(f);
  text(160, 90, QStringLiteral("(ver 2 Beta)"));
  p.setPen(QColor(0, 255, 255));
  text(80, 125, QStringLiteral("by"));
  f.setPointSize(14);
  p.setFont(f);
  text(120, 120, QStringLiteral("Veyran"));
  p.setPen(QColor(128, 128, 128));
  text(60, 160, QString::fromLatin1(tolvan::kWebSite));
  // 8. The yellow outline through all thirteen points.
  p.setPen(QPen(QColor(255, 255, 0), 2));
  p.drawPolyline(points_);
}

void TAboutBox::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    accept();  // hides the splash too; the start sequence frees it
    return;
  }
  QDialog::mousePressEvent(e);
}
