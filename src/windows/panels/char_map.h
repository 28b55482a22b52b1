// The character map: a panel along the bottom of the main window with one
// flat button for each character code 32..255 (7 rows of 32) drawn in the
// current Tamil font, and a label beside the grid that shows the character
// under the mouse enlarged. A click asks for the character to be typed into
// the active document (the frame delivers it as a keystroke). Where the
// panel is narrower than the grid (an 800-pixel frame, or the directory
// panel beside it) the grid scrolls sideways and the label stays in view.
#pragma once
#include <QFrame>
#include <QString>

class QLabel;
class QScrollArea;
class QToolButton;

class TCharMap : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kFirstCode = 32;
  static constexpr int kLastCode = 255;

  // fontName: the Tamil display font of the panel and its buttons.
  explicit TCharMap(const QString& fontName, QWidget* parent = nullptr);

  QLabel* CharLabel = nullptr;
  // The button of a code 32..255 (nullptr outside).
  QToolButton* button(int code) const;

  // The font change: the label gets the font at size 20, every button the
  // font and its caption again.
  void setMapFont(const QString& fontName);
  // The label alone (start-up sets it to the default font).
  void setLabelFont(const QString& fontName);

 signals:
  // A button was clicked: the byte to type.
  void charClicked(unsigned char code);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BtnFMouseMove(int code);
  void placeGrid();
  QToolButton* Buttons_[kLastCode - kFirstCode + 1] = {};
  QScrollArea* Scroller_ = nullptr;
  QWidget* Grid_ = nullptr;
};
