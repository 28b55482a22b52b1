// The frame's MDI area. With no document window covering it, its background
// shows the banner: the banner text centred at the top in the default font, in
// a colour picked at random from the pen colours at every repaint, and the
// program's icon below it.
#pragma once
#include <QMdiArea>
#include <functional>

class QMdiSubWindow;
class QProxyStyle;

class TFrameMdiArea : public QMdiArea {
  Q_OBJECT

 public:
  explicit TFrameMdiArea(QWidget* parent = nullptr);
  // Where the banner's face name and text are read at every repaint.
  void setBannerSource(std::function<QString()> face, std::function<QString()> text) {
    bannerFace_ = std::move(face);
    bannerText_ = std::move(text);
  }
  // Gives a document's sub-window its title drawing: a caption too long for
  // the title bar (a tiled or cascaded window showing a long path) is
  // shortened in the middle, keeping the start of the path and the file name.
  void adoptSubWindow(QMdiSubWindow* sub);
  // The banner colour as an index into the first 16 pen colours instead of
  // a random one (-1: random again); for tests and screenshots.
  void setBannerColorIndex(int index) { forcedColorIndex_ = index; }
  static double contrastRatio(const QColor& a, const QColor& b);
  // The colour the last repaint used (tests).
  QColor lastBannerColor() const { return lastColor_; }
  // The banner's font for a face name: cell height 30, average width 15, bold.
  static QFont bannerFont(const QString& face);

 signals:
  // The banner was painted for the first time: the window is up.
  void firstPainted();

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::function<QString()> bannerFace_, bannerText_;
  QProxyStyle* titleStyle_ = nullptr;
  QColor lastColor_;
  int forcedColorIndex_ = -1;
  bool painted_ = false;
};
