// The character map panel.
#include "windows/panels/char_map.h"

#include <QEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "platform/byte_text.h"

namespace {

// A button's caption: the character itself ('&' doubled, as a caption would
// otherwise take it for a mnemonic marker).
QString captionOf(int code) {
  const QString c(tolvan::byteToChar(static_cast<unsigned char>(code)));
  return code == '&' ? QStringLiteral("&&") : c;
}

// The grid: 32 buttons of 20 pixels a row, seven rows, one pixel from the
// top; the label 32 pixels to its right.
constexpr int kColumns = 32;
constexpr int kCell = 20;
constexpr int kGridWidth = kColumns * kCell;
constexpr int kGridHeight = 7 * kCell + 1;
constexpr int kPanelHeight = 142;
constexpr int kLabelGap = 32;
constexpr QSize kLabelSize(49, 41);
constexpr int kLabelTop = 48;

}  // namespace

TCharMap::TCharMap(const QString& fontName, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Fontpanel"));
  setFixedHeight(kPanelHeight);
  Scroller_ = new QScrollArea(this);
  Scroller_->setObjectName(QStringLiteral("CharGrid"));
  Scroller_->setFrameShape(QFrame::NoFrame);
  Scroller_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Scroller_->setFocusPolicy(Qt::NoFocus);
  Grid_ = new QWidget;
  Grid_->setFixedSize(kGridWidth, kGridHeight);
  Scroller_->setWidget(Grid_);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setFont(QFont(fontName));
  setToolTip(fontName);

  CharLabel = new QLabel(this);
  CharLabel->setObjectName(QStringLiteral("CharLabel"));
  CharLabel->resize(kLabelSize);
  CharLabel->setAlignment(Qt::AlignCenter);
  CharLabel->setAutoFillBackground(true);
  QPalette lp = CharLabel->palette();
  lp.setColor(QPalette::Window, Qt::white);
  lp.setColor(QPalette::WindowText, Qt::black);
  CharLabel->setPalette(lp);
  setLabelFont(fontName);

  for (int code = kFirstCode; code <= kLastCode; ++code) {
    const int i = code - kFirstCode;
    auto* b = new QToolButton(Grid_);
    b->setObjectName(QStringLiteral("CharButton%1").arg(code));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);  // the document keeps the keyboard
    b->setGeometry(kCell * (i % kColumns), kCell * (i / kColumns) + 1, kCell, kCell);
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
  // Placed for a panel wide enough until it is given its width.
  Scroller_->setGeometry(0, 0, kGridWidth, kGridHeight);
  CharLabel->move(kGridWidth + kLabelGap, kLabelTop);
  hide();
}

void TCharMap::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  placeGrid();
}

// The grid takes what the label leaves of the width, at most its own; when
// that is too little the panel grows by a scroll bar's height to show one.
void TCharMap::placeGrid() {
  const int room = qMax(kCell, width() - kLabelGap - kLabelSize.width());
  const int w = qMin(kGridWidth, room);
  const bool scrolls = w < kGridWidth;
  const int bar = scrolls ? Scroller_->horizontalScrollBar()->sizeHint().height() : 0;
  if (height() != kPanelHeight + bar) setFixedHeight(kPanelHeight + bar);
  Scroller_->setGeometry(0, 0, w, kGridHeight + bar);
  CharLabel->move(w + kLabelGap, kLabelTop);
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
