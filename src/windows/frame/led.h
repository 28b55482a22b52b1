// The status bar's busy light: green when idle, red while the program loads,
// saves or converts, alternating red and green every 200 ms while a file is
// encrypted or decrypted.
#pragma once
#include <QTimer>
#include <QWidget>

class TLed : public QWidget {
  Q_OBJECT

 public:
  explicit TLed(QWidget* parent = nullptr);
  bool isLit() const { return lit_; }
  bool isBlinking() const { return timer_.isActive(); }
  QColor currentColor() const;

 public slots:
  void setLit(bool on);
  // Switching blinking on or off leaves the light unlit.
  void setBlinking(bool on);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool lit_ = false;
  QTimer timer_;
};
