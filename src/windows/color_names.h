// Colours as the settings file and the colour tables write them: a name
// ("clBlack", "clRed", ...), a decimal or hex number in 0x00BBGGRR form, or a
// system colour taken from the application's palette.
#pragma once
#include <QColor>
#include <QString>

namespace tolvan {

// A 0x00BBGGRR number or system colour as a QColor (clNone, clDefault: an
// invalid QColor).
QColor colorFromValue(quint32 value);
// A colour as its 0x00BBGGRR number.
quint32 valueOfColor(const QColor& c);
// "clBlack", "clRed", ... or a number; an unreadable text gives an invalid
// QColor.
QColor colorFromName(const QString& text);
// The name of a table colour, else its number.
QString nameOfColor(const QColor& c);

}  // namespace tolvan
