// The character map panel.
#include "input/char_map.h"

#include <QEvent>
#include <QLabel>
#include <QToolButton>

#include "platform/byte_text.h"

namespace {

// A button's caption: the character itself ('&' doubled, as a caption would
// otherwise take it for a mnemonic marker).
QString captionOf(int code) {
  const QString c(tolvan::byteToChar(static_cast<unsigned char>(code)));
  return code == '&' ? QStringLiteral("&&") : c;
}

}  // namespace

TCharMap::TCharMap(const QString& fontName, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Fontpanel"));
  setFixedHeight(142);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setFont(QFont(fontName));
  setToolTip(fontName);

  CharLabel = new QLabel(this);
  CharLabel->setObjectName(QStringLiteral("CharLabel"));
  CharLabel->setGeometry(672, 48, 49, 41);
  CharLabel->setAlignment(Qt::AlignCenter);
  CharLabel->setAutoFillBackground(true);
  QPalette lp = CharLabel->palette();
  lp.setColor(QPalette::Window, Qt::white);
  lp.setColor(QPalette::WindowText, Qt::black);
  CharLabel->setPalette(lp);
  setLabelFont(fontName);

  for (int code = kFirstCode; code <= kLastCode; ++code) {
    const int i = code - kFirstCode;
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("CharButton%1").arg(code));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);  // the document keeps the keyboard
    b->setGeometry(20 * (i % 32), 20 * (i / 32) + 1, 20, 20);
    b->setText(captionOf(code));
    b->setToolTip(QString(tolvan::byteToChar(static_cast<unsigned char>(code))));
    b->setProperty("flatSpeedButton", true);  // large tooltips
    QFont f(fontName);
    f.setPointSize(10);
    b->setFont(f);
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, QColor(0, 0, 0x80));  // navy
    b->setPalette(p);
    b->setMouseTracking(true);
    b->installEventFilter(this);
    connect(b, &QToolButton::clicked, this, [this, code] { emit charClicked(static_cast<unsigned char>(code)); });
    Buttons_[i] = b;
  }
  hide();
}

QToolButton* TCharMap::button(int code) const {
  if (code < kFirstCode || code > kLastCode) return nullptr;
  return Buttons_[code - kFirstCode];
}

void TCharMap::setLabelFont(const QString& fontName) {
  QFont f(fontName);
  f.setPointSize(20);
  CharLabel->setFont(f);
}

void TCharMap::setMapFont(const QString& fontName) {
  setLabelFont(fontName);
  for (int code = kFirstCode; code <= kLastCode; ++code) {
    QToolButton* b = Buttons_[code - kFirstCode];
    QFont f = b->font();
    f.setFamily(fontName);
    b->setFont(f);
    b->setText(captionOf(code));
  }
}

void TCharMap::BtnFMouseMove(int code) {
  CharLabel->setText(QString(tolvan::byteToChar(static_cast<unsigned char>(code))));
}

bool TCharMap::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    for (int code = kFirstCode; code <= kLastCode; ++code)
      if (Buttons_[code - kFirstCode] == watched) {
        BtnFMouseMove(code);
        break;
      }
  }
  return QFrame::eventFilter(watched, event);
}
