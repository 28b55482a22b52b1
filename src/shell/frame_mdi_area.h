// The frame's MDI area. With no document window covering it, its background
// shows the banner: the banner text centred at the top in the default font, in
// a colour picked at random from the pen colours at every repaint, and the
// program's icon below it.
#pragma once
#include <QMdiArea>

class TMainForm;

class TFrameMdiArea : public QMdiArea {
  Q_OBJECT

 public:
  explicit TFrameMdiArea(TMainForm* frame, QWidget* parent = nullptr);
  // The colour the last repaint used (tests).
  QColor lastBannerColor() const { return lastColor_; }
  // The banner's font for a face name: cell height 30, average width 15, bold.
  static QFont bannerFont(const QString& face);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TMainForm* frame_;
  QColor lastColor_;
  bool painted_ = false;
};
