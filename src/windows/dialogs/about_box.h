// The about box: a borderless star-shaped window with a black face showing
// the program's icon, name, version, author and web address. It doubles as
// the splash screen while the program starts. A click closes it.
#pragma once
#include <QDialog>
#include <QPolygon>

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;

  // The outline: 13 points from the client size at creation (the last equals
  // the first, closing the line).
  const QPolygon& Points() const { return points_; }
  static QPolygon starPoints(int w, int h);
  static QString hintText();

  // The splash shown while the program starts, if any. The frame hides it
  // before showing a start-up message so the message is not under it.
  static TAboutBox* splash();
  static void setSplash(TAboutBox* box);
  static void hideSplash();

 protected:
  void paintEvent(QPaintEvent*) override;
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent*) override;

 private:
  QPolygon points_;
};
