// Keeps the selector bar's document buttons reachable. The document windows
// place their own buttons on the bar in one row, 80 pixels apart; while they
// fit, that row is left as it is. When there are more than the bar's width
// holds, the buttons wrap into further rows (same order, left to right, then
// down) and the bar grows to show them all. A caption longer than its button
// is shortened in the middle; the tooltip keeps the whole path.
#pragma once
#include <QObject>
#include <QPointer>

class QProxyStyle;
class QWidget;

class TSelectorBarLayout : public QObject {
  Q_OBJECT

 public:
  static constexpr int kButtonWidth = 80;
  static constexpr int kButtonHeight = 20;
  static constexpr int kRowPitch = 22;  // 2 pixels between rows, as above the first

  // Watches bar (the frame's FileTab) for buttons coming and going and for
  // its own resizing.
  explicit TSelectorBarLayout(QWidget* bar);

  // Where the k-th of n buttons goes on a bar this wide.
  static QPoint buttonPos(int k, int n, int barWidth);
  static int rowsFor(int n, int barWidth);

  // Lays the buttons out now (it otherwise happens once the event loop runs).
  void relayout();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void schedule();

  QPointer<QWidget> bar_;
  QProxyStyle* style_ = nullptr;
  bool scheduled_ = false;
};
