// The pen and paper colour menus: each item shows its check mark, a colour
// sample framed in the menu text colour, and the colour's name.
#pragma once
#include <QMenu>

class TColorMenu : public QMenu {
  Q_OBJECT

 public:
  explicit TColorMenu(QWidget* parent = nullptr);
  // One item per row; the colour number is the item's data (its Tag).
  QAction* addColorItem(const QString& caption, quint32 value, const QColor& sample);

 protected:
  void paintEvent(QPaintEvent* e) override;
  QSize sizeHint() const override;
};
