// Theme icons with drawn fallbacks. The drawings are deliberately simple
// pictograms on a 32x32 grid; they only have to be recognisable at 16 pixels.
#include "platform/icons.h"

#include <QApplication>
#include <QDir>
#include <QIconEngine>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <array>

namespace tolvan {
namespace {

struct IconInfo {
  IconId id;
  const char* theme;  // freedesktop icon name, or nullptr when none fits
};

constexpr std::array<IconInfo, 31> kIcons{{
    {IconId::New, "document-new"},
    {IconId::Open, "document-open"},
    {IconId::Save, "document-save"},
    {IconId::Print, "document-print"},
    {IconId::Email, "mail-send"},
    {IconId::Cut, "edit-cut"},
    {IconId::Copy, "edit-copy"},
    {IconId::Paste, "edit-paste"},
    {IconId::Delete, "edit-delete"},
    {IconId::Undo, "edit-undo"},
    {IconId::Redo, "edit-redo"},
    {IconId::Find, "edit-find"},
    {IconId::Replace, "edit-find-replace"},
    {IconId::Tamil, nullptr},
    {IconId::Keyboard, "accessories-character-map"},
    {IconId::Dir, "folder"},
    {IconId::Pen, nullptr},
    {IconId::Paper, nullptr},
    {IconId::Font, "preferences-desktop-font"},
    {IconId::Encrypt, "changes-prevent"},
    {IconId::Decrypt, "changes-allow"},
    {IconId::Help, "help-contents"},
    {IconId::Bold, "format-text-bold"},
    {IconId::Italic, "format-text-italic"},
    {IconId::Underline, "format-text-underline"},
    {IconId::AlignLeft, "format-justify-left"},
    {IconId::AlignCenter, "format-justify-center"},
    {IconId::AlignRight, "format-justify-right"},
    {IconId::AlignJustify, "format-justify-fill"},
    {IconId::Bullets, "format-list-unordered"},
    {IconId::App, nullptr},
}};

const char* themeName(IconId id) {
  for (const auto& i : kIcons)
    if (i.id == id) return i.theme;
  return nullptr;
}

void drawPage(QPainter& p, const QColor& fill = Qt::white) {
  QPolygonF page{{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}};
  p.setPen(QPen(QColor(60, 60, 60), 1.5));
  p.setBrush(fill);
  p.drawPolygon(page);
  p.drawLine(QPointF(20, 3), QPointF(20, 9));
  p.drawLine(QPointF(20, 9), QPointF(26, 9));
}

void drawLines(QPainter& p, const std::array<std::pair<int, int>, 4>& spans) {
  p.setPen(QPen(QColor(30, 30, 30), 2.5));
  int y = 7;
  for (auto [x0, x1] : spans) {
    p.drawLine(x0, y, x1, y);
    y += 6;
  }
}

void drawLetter(QPainter& p, const QString& text, const QFont& f, const QColor& c) {
  p.setFont(f);
  p.setPen(c);
  p.drawText(QRect(0, 0, 32, 30), Qt::AlignCenter, text);
}

QFont letterFont(bool bold, bool italic, bool underline) {
  QFont f(QStringLiteral("DejaVu Serif"));
  f.setPixelSize(24);
  f.setBold(bold);
  f.setItalic(italic);
  f.setUnderline(underline);
  return f;
}

void drawPicture(IconId id, QPainter& p) {
  const QColor dark(40, 40, 40);
  switch (id) {
    case IconId::New:
      drawPage(p);
      p.setPen(QPen(QColor(230, 160, 0), 2.5));
      p.drawLine(2, 6, 10, 6);
      p.drawLine(6, 2, 6, 10);
      break;
    case IconId::Open:
      p.setPen(QPen(QColor(120, 80, 10), 1.5));
      p.setBrush(QColor(240, 200, 90));
      p.drawPolygon(QPolygonF{{2, 8}, {11, 8}, {14, 11}, {28, 11}, {28, 27}, {2, 27}});
      p.setBrush(QColor(250, 220, 120));
      p.drawPolygon(QPolygonF{{6, 15}, {31, 15}, {28, 27}, {2, 27}});
      break;
    case IconId::Save:
      p.setPen(QPen(QColor(20, 40, 90), 1.5));
      p.setBrush(QColor(60, 100, 180));
      p.drawRect(QRectF(4, 4, 24, 24));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(9, 4, 14, 9));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(8, 18, 16, 10));
      break;
    case IconId::Print:
      p.setPen(QPen(dark, 1.5));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(9, 3, 14, 10));
      p.setBrush(QColor(170, 170, 170));
      p.drawRoundedRect(QRectF(3, 12, 26, 12), 2, 2);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(9, 20, 14, 9));
      break;
    case IconId::Email:
      p.setPen(QPen(dark, 1.5));
      p.setBrush(QColor(250, 245, 220));
      p.drawRect(QRectF(3, 8, 26, 17));
      p.drawPolyline(QPolygonF{{3, 8}, {16, 18}, {29, 8}});
      break;
    case IconId::Cut:
      p.setPen(QPen(dark, 2));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(4, 20, 8, 8));
      p.drawEllipse(QRectF(20, 20, 8, 8));
      p.drawLine(11, 21, 22, 3);
      p.drawLine(21, 21, 10, 3);
      break;
    case IconId::Copy:
      p.translate(-3, -1);
      drawPage(p);
      p.translate(6, 4);
      drawPage(p, QColor(235, 240, 255));
      break;
    case IconId::Paste:
      p.setPen(QPen(QColor(90, 60, 20), 1.5));
      p.setBrush(QColor(190, 140, 70));
      p.drawRoundedRect(QRectF(4, 5, 20, 24), 2, 2);
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(9, 2, 10, 6));
      p.translate(7, 6);
      p.scale(0.75, 0.8);
      drawPage(p);
      break;
    case IconId::Delete:
      p.setPen(QPen(QColor(200, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(7, 7, 25, 25);
      p.drawLine(25, 7, 7, 25);
      break;
    case IconId::Undo:
    case IconId::Redo: {
      if (id == IconId::Redo) {
        p.translate(32, 0);
        p.scale(-1, 1);
      }
      p.setPen(QPen(QColor(30, 80, 160), 3));
      p.setBrush(Qt::NoBrush);
      QPainterPath arc;
      arc.moveTo(8, 13);
      arc.cubicTo(16, 4, 30, 10, 24, 26);
      p.drawPath(arc);
      p.setBrush(QColor(30, 80, 160));
      p.setPen(Qt::NoPen);
      p.drawPolygon(QPolygonF{{2, 8}, {12, 6}, {9, 17}});
      break;
    }
    case IconId::Find:
    case IconId::Replace:
      if (id == IconId::Replace) {
        drawPage(p);
      }
      p.setPen(QPen(dark, 3));
      p.setBrush(QColor(200, 225, 255, 200));
      p.drawEllipse(QRectF(4, 4, 15, 15));
      p.drawLine(17, 17, 27, 27);
      break;
    case IconId::Tamil: {
      // TSCII 0xBE is the letter ta in the program's Tamil font.
      QFont f(QStringLiteral("MylaiTSC"));
      f.setPixelSize(26);
      f.setBold(true);
      drawLetter(p, QString(QChar(0xBE)), f, QColor(150, 0, 0));
      break;
    }
    case IconId::Keyboard:
      p.setPen(QPen(dark, 1.5));
      p.setBrush(QColor(230, 230, 230));
      p.drawRoundedRect(QRectF(2, 8, 28, 17), 2, 2);
      p.setBrush(Qt::white);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 5; ++c) p.drawRect(QRectF(5 + c * 5, 11 + r * 5, 3, 3));
      p.drawRect(QRectF(9, 21, 14, 2));
      break;
    case IconId::Dir:
      p.setPen(QPen(QColor(120, 80, 10), 1.5));
      p.setBrush(QColor(240, 200, 90));
      p.drawPolygon(QPolygonF{{2, 7}, {12, 7}, {15, 10}, {30, 10}, {30, 27}, {2, 27}});
      break;
    case IconId::Pen:
      drawLetter(p, QStringLiteral("A"), letterFont(true, false, false), dark);
      p.fillRect(QRect(4, 25, 24, 5), QColor(220, 0, 0));
      break;
    case IconId::Paper:
      p.setPen(QPen(dark, 1.5));
      p.setBrush(QColor(255, 255, 0));
      p.drawRect(QRectF(4, 4, 24, 24));
      p.setBrush(QColor(0, 160, 255));
      p.drawRect(QRectF(10, 10, 12, 12));
      break;
    case IconId::Font:
      drawLetter(p, QStringLiteral("F"), letterFont(true, true, false), QColor(20, 20, 120));
      break;
    case IconId::Encrypt:
    case IconId::Decrypt:
      p.setPen(QPen(dark, 3));
      p.setBrush(Qt::NoBrush);
      if (id == IconId::Encrypt)
        p.drawArc(QRectF(9, 3, 14, 16), 0, 180 * 16);
      else
        p.drawArc(QRectF(15, 1, 14, 16), 0, 180 * 16);
      if (id == IconId::Encrypt) {
        p.drawLine(9, 11, 9, 16);
        p.drawLine(23, 11, 23, 16);
      } else {
        p.drawLine(29, 9, 29, 13);
      }
      p.setPen(QPen(QColor(120, 90, 0), 1.5));
      p.setBrush(QColor(230, 180, 30));
      p.drawRoundedRect(QRectF(5, 15, 22, 14), 2, 2);
      break;
    case IconId::Help:
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(40, 100, 200));
      p.drawEllipse(QRectF(2, 2, 28, 28));
      drawLetter(p, QStringLiteral("?"), letterFont(true, false, false), Qt::white);
      break;
    case IconId::Bold:
      drawLetter(p, QStringLiteral("B"), letterFont(true, false, false), dark);
      break;
    case IconId::Italic:
      drawLetter(p, QStringLiteral("I"), letterFont(false, true, false), dark);
      break;
    case IconId::Underline:
      drawLetter(p, QStringLiteral("U"), letterFont(false, false, true), dark);
      break;
    case IconId::AlignLeft:
      drawLines(p, {{{4, 28}, {4, 20}, {4, 28}, {4, 16}}});
      break;
    case IconId::AlignCenter:
      drawLines(p, {{{4, 28}, {9, 23}, {4, 28}, {11, 21}}});
      break;
    case IconId::AlignRight:
      drawLines(p, {{{4, 28}, {12, 28}, {4, 28}, {16, 28}}});
      break;
    case IconId::AlignJustify:
      drawLines(p, {{{4, 28}, {4, 28}, {4, 28}, {4, 28}}});
      break;
    case IconId::Bullets:
      p.setPen(Qt::NoPen);
      p.setBrush(dark);
      for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(3, 5 + i * 9, 5, 5));
      p.setPen(QPen(dark, 2.5));
      for (int i = 0; i < 3; ++i) p.drawLine(12, 8 + i * 9, 29, 8 + i * 9);
      break;
    case IconId::App: {
      // A black star with a yellow rim and the letter ta, like the about box.
      QPolygonF star;
      const double pts[12][2] = {{16, 1}, {21, 8}, {31, 8}, {26, 16}, {31, 24}, {21, 24},
                                 {16, 31}, {11, 24}, {1, 24}, {6, 16}, {1, 8}, {11, 8}};
      for (const auto& pt : pts) star << QPointF(pt[0], pt[1]);
      p.setPen(QPen(QColor(255, 255, 0), 1.5));
      p.setBrush(Qt::black);
      p.drawPolygon(star);
      QFont f(QStringLiteral("MylaiTSC"));
      f.setPixelSize(14);
      f.setBold(true);
      p.setFont(f);
      p.setPen(QColor(0, 255, 0));
      p.drawText(QRect(0, 2, 32, 28), Qt::AlignCenter, QString(QChar(0xBE)));
      break;
    }
  }
}

}  // namespace

void initIconTheme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  for (const char* name : {"Adwaita", "breeze", "Tango", "oxygen"}) {
    for (const QString& base : QIcon::themeSearchPaths()) {
      if (QFile::exists(base + QLatin1Char('/') + QLatin1String(name) +
                        QLatin1String("/index.theme"))) {
        QIcon::setThemeName(QLatin1String(name));
        return;
      }
    }
  }
}

namespace {

// Draws the picture when a size is first asked for, so making the toolbar
// costs nothing until it paints, and only the sizes shown are drawn.
class BuiltinIconEngine : public QIconEngine {
 public:
  explicit BuiltinIconEngine(IconId id) : id_(id) {}
  QIconEngine* clone() const override { return new BuiltinIconEngine(id_); }
  void paint(QPainter* p, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    p->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    const int side = qMin(size.width(), size.height());
    return QSize(side, side);
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    return {QSize(16, 16), QSize(22, 22), QSize(32, 32)};
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    const int side = qMax(1, qMin(size.width(), size.height()));
    const QString key = QStringLiteral("tolvan-icon-%1-%2-%3")
                            .arg(int(id_))
                            .arg(side)
                            .arg(int(mode));
    QPixmap pm;
    if (QPixmapCache::find(key, &pm)) return pm;
    pm = QPixmap(side, side);
    pm.fill(Qt::transparent);
    {
      QPainter p(&pm);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      p.scale(side / 32.0, side / 32.0);
      drawPicture(id_, p);
    }
    if (mode != QIcon::Normal && qApp) {
      QStyleOption opt;
      pm = QApplication::style()->generatedIconPixmap(mode, pm, &opt);
    }
    QPixmapCache::insert(key, pm);
    return pm;
  }

 private:
  IconId id_;
};

}  // namespace

QIcon builtinIcon(IconId id) { return QIcon(new BuiltinIconEngine(id)); }

QIcon appIcon() {
  static const QIcon icon = builtinIcon(IconId::App);
  return icon;
}

QIcon icon(IconId id) {
  if (const char* name = themeName(id)) {
    const QString n = QLatin1String(name);
    if (QIcon::hasThemeIcon(n)) return QIcon::fromTheme(n);
  }
  return builtinIcon(id);
}

}  // namespace tolvan
