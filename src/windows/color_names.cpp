#include "windows/color_names.h"

#include <QApplication>
#include <QPalette>

#include "core/settings/color_table.h"

namespace tolvan {

QColor colorFromValue(quint32 value) {
  if ((value & 0xFF000000u) == kSystemColorFlag) {
    const QPalette pal = QApplication::palette();
    switch (value & 0xFF) {
      case 4: return pal.color(QPalette::Button);          // menu
      case 5: return pal.color(QPalette::Base);            // window
      case 7: return pal.color(QPalette::ButtonText);      // menu text
      case 8: return pal.color(QPalette::Text);            // window text
      case 13: return pal.color(QPalette::Highlight);
      case 14: return pal.color(QPalette::HighlightedText);
      case 15: return pal.color(QPalette::Button);
      case 17: return pal.color(QPalette::Disabled, QPalette::Text);
      case 18: return pal.color(QPalette::ButtonText);
      case 24: return pal.color(QPalette::ToolTipBase);
      default: return pal.color(QPalette::Window);
    }
  }
  if (value == clNone || value == clDefault) return QColor();
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 valueOfColor(const QColor& c) {
  return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

QColor colorFromName(const QString& text) {
  const QByteArray b = text.toLatin1();
  const auto v = StringToColorValue(std::string_view(b.constData(), size_t(b.size())));
  if (!v) return QColor();
  return colorFromValue(*v);
}

QString nameOfColor(const QColor& c) {
  return QString::fromStdString(ColorValueToString(valueOfColor(c)));
}

}  // namespace tolvan
