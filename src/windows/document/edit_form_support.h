// Small helpers shared by the document window's source files.
#pragma once
#include <QColor>
#include <QPalette>
#include <QString>
#include <QToolButton>

class TDocumentHost;

namespace tolvan {
class Settings;
namespace document {

// The application's title, shown in a window's caption while Tamil mode is
// being switched.
QString applicationTitle();

// The settings store: the host's, or for a window without a host the file
// named by $TOLVAN_INI (or the usual place).
Settings& settingsFor(TDocumentHost* host);

// Whether the clipboard holds text (kept current from the clipboard's signal).
bool clipboardHasText();

inline void setButtonTextColor(QToolButton* b, const QColor& c) {
  QPalette p = b->palette();
  if (p.color(QPalette::ButtonText) == c && p.color(QPalette::WindowText) == c) return;
  p.setColor(QPalette::ButtonText, c);
  p.setColor(QPalette::WindowText, c);
  b->setPalette(p);
}

}  // namespace document
}  // namespace tolvan
