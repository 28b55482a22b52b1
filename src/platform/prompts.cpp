// The real dialogs behind Prompts (QtPrompts) and the scripted answers the
// window tests use (ScriptedPrompts).
#include "platform/prompts.h"

#include <algorithm>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QStyle>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QTimer>
#include <QPushButton>
#include <QPrintDialog>
#include <QPrinter>

#include "platform/fonts.h"

namespace tolvan {
namespace {

// Message boxes carry the application's title, as the program's boxes always
// have; the text is shown as plain text so a file name with '<' stays as is.
QString boxTitle() {
  const QString t = QApplication::applicationDisplayName();
  return t.isEmpty() ? QStringLiteral("Tolvan") : t;
}

// The window a box without an explicit owner belongs to: the active one.
QWidget* ownerFor(QWidget* parent) {
  if (parent) return parent;
  QWidget* w = QApplication::activeWindow();
  return w && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) ? w : nullptr;
}

bool isTamil(QChar c) { return c.unicode() >= 0x0B80 && c.unicode() <= 0x0BFF; }

// Tamil letters in a box would be drawn by whichever installed font has them,
// at the box's size; the Tamil fonts' letters are much smaller than Latin
// ones of the same size. A text with Tamil in it is shown as rich text, its
// Tamil runs in the program's Tamil face, at the size where a letter stands
// as tall as a capital of the box's own face. Everything else is escaped, so
// the text still reads exactly as given.
bool setBoxText(QMessageBox& box, const QString& text) {
  if (std::none_of(text.begin(), text.end(), isTamil)) return false;
  const QFont base = box.font();
  const int capital = QFontMetrics(base).tightBoundingRect(QStringLiteral("T")).height();
  const QString ka(QChar(0x0B95));
  QFont tamil(tamilUiFontName());
  int px = qMax(1, QFontInfo(base).pixelSize());
  for (const int most = 3 * px; px < most; ++px) {
    tamil.setPixelSize(px);
    if (QFontMetrics(tamil).tightBoundingRect(ka).height() >= capital) break;
  }
  QString html = QStringLiteral("<p style=\"white-space:pre-wrap\">");
  for (qsizetype i = 0; i < text.size();) {
    const bool run = isTamil(text[i]);
    qsizetype j = i;
    while (j < text.size() && isTamil(text[j]) == run) ++j;
    QString part = text.mid(i, j - i).toHtmlEscaped();
    part.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    if (run)
      html += QStringLiteral("<span style=\"font-family:'%1'; font-size:%2px\">%3</span>")
                  .arg(tamilUiFontName())
                  .arg(px)
                  .arg(part);
    else
      html += part;
    i = j;
  }
  box.setTextFormat(Qt::RichText);
  box.setText(html + QStringLiteral("</p>"));
  return true;
}

QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton def) {
  parent = ownerFor(parent);
  FocusReturn focus(parent);
  QMessageBox box(icon, boxTitle(), text, buttons, parent);
  if (!setBoxText(box, text)) box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(def);
  raiseWhenShown(&box);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

Prompts::Answer toAnswer(QMessageBox::StandardButton b) {
  switch (b) {
    case QMessageBox::Yes: return Prompts::Answer::Yes;
    case QMessageBox::No: return Prompts::Answer::No;
    case QMessageBox::Ok: return Prompts::Answer::Ok;
    default: return Prompts::Answer::Cancel;
  }
}

// File type names show as the program writes them. A dialog shows a filter
// "name (patterns)" whole, which doubles the patterns of a name that lists
// its own ("Plain text files (*.txt, *.csv)"); so the dialogs hide the
// pattern list, and a bare name with real patterns gets them back as part of
// its name ("Rich text files (*.rtf)"). "All files (*)" reads "All files".
constexpr QFileDialog::Options kFileDialogOptions = QFileDialog::HideNameFilterDetails;

QString filtersForDisplay(const QString& filter) {
  QStringList out;
  for (const QString& entry : filter.split(QStringLiteral(";;"))) {
    const qsizetype open = entry.lastIndexOf(QLatin1Char('('));
    const QString name = open > 0 ? entry.left(open).trimmed() : QString();
    const QString patterns = open > 0 ? entry.mid(open).trimmed() : QString();
    if (!name.isEmpty() && patterns.endsWith(QLatin1Char(')')) &&
        !name.contains(QLatin1Char('(')) && patterns != QLatin1String("(*)"))
      out << name + QLatin1Char(' ') + patterns + QLatin1Char(' ') + patterns;
    else
      out << entry;
  }
  return out.join(QStringLiteral(";;"));
}

class QtPrompts final : public Prompts {
 public:
  void information(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  void error(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  void warning(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  Answer yesNo(QWidget* parent, const QString& text) override {
    return toAnswer(ask(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                        QMessageBox::Yes));
  }
  Answer yesNoCancel(QWidget* parent, const QString& text) override {
    return toAnswer(ask(parent, QMessageBox::Question, text,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                        QMessageBox::Yes));
  }
  bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt, QString& value,
                  bool password) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QInputDialog dlg(parent);
    dlg.setWindowTitle(caption);
    dlg.setLabelText(prompt);
    dlg.setTextEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
    dlg.setTextValue(value);
    // The dialog's layout sets its least size from its contents: the field
    // is made wide enough for the title.
    if (auto* field = dlg.findChild<QLineEdit*>()) {
      const QMargins m = dlg.contentsMargins();
      field->setMinimumWidth(titleWidth(&dlg) - m.left() - m.right() - 2 * dlg.style()->pixelMetric(QStyle::PM_LayoutLeftMargin));
    }
    // Fixed at the size its layout asks for, as the message boxes are (the
    // dialog makes its layout when first measured).
    (void)dlg.sizeHint();
    if (dlg.layout()) dlg.layout()->setSizeConstraint(QLayout::SetFixedSize);
    raiseWhenShown(&dlg);
    if (dlg.exec() != QDialog::Accepted) return false;
    value = dlg.textValue();
    return true;
  }
  QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QFileDialog dlg(parent, caption, dir, filtersForDisplay(filter));
    dlg.setOptions(kFileDialogOptions);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    raiseWhenShown(&dlg);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
  }
  QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                       const QString& filter) override {
    // The callers ask their own overwrite question (or deliberately none).
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QFileDialog dlg(parent, caption, dir, filtersForDisplay(filter));
    dlg.setOptions(kFileDialogOptions | QFileDialog::DontConfirmOverwrite);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    raiseWhenShown(&dlg);
    if (dlg.exec() != QDialog::Accepted) return {};
    const QStringList names = dlg.selectedFiles();
    return names.isEmpty() ? QString() : names.first();
  }
  bool chooseColor(QWidget* parent, QColor& color) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QColorDialog dlg(color, parent);
    raiseWhenShown(&dlg);
    if (dlg.exec() != QDialog::Accepted || !dlg.selectedColor().isValid()) return false;
    color = dlg.selectedColor();
    return true;
  }
  bool informationOrStop(QWidget* parent, const QString& text,
                         const QString& stopCaption) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QMessageBox box(QMessageBox::Information, boxTitle(), text, QMessageBox::Ok, parent);
    if (!setBoxText(box, text)) box.setTextFormat(Qt::PlainText);
    QPushButton* stop = box.addButton(stopCaption, QMessageBox::RejectRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    raiseWhenShown(&box);
    box.exec();
    return box.clickedButton() == stop;
  }
  bool chooseFont(QWidget* parent, QFont& font) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QFontDialog dlg(font, parent);
    raiseWhenShown(&dlg);
    if (dlg.exec() != QDialog::Accepted) return false;
    font = dlg.selectedFont();
    return true;
  }
  bool printDialog(QWidget* parent, QPrinter& printer) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QPrintDialog dialog(&printer, parent);
    raiseWhenShown(&dialog);
    return dialog.exec() == QDialog::Accepted;
  }
  bool pageSetupDialog(QWidget* parent, QPrinter& printer) override {
    parent = ownerFor(parent);
    FocusReturn focus(parent);
    QPageSetupDialog dialog(&printer, parent);
    raiseWhenShown(&dialog);
    return dialog.exec() == QDialog::Accepted;
  }
};

Prompts* g_override = nullptr;

// Raises and activates the dialog it watches each time it is shown.
class RaiseOnShow : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      QPointer<QWidget> w = qobject_cast<QWidget*>(watched);
      // After the show has been handled (and any raise of the owner that
      // comes with it).
      QTimer::singleShot(0, this, [w] {
        if (w && w->isVisible()) {
          w->raise();
          w->activateWindow();
        }
      });
    }
    return QObject::eventFilter(watched, event);
  }
};

// Gives the keyboard back to the owner of the window it watches when that
// window is hidden while active.
class ReturnOnHide : public QObject {
 public:
  ReturnOnHide(QWidget* window, std::function<QWidget*()> focus)
      : QObject(window), focus_(std::move(focus)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide && watched == parent()) giveBack(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
  }

 private:
  void giveBack(QWidget* window) {
    // Another of the program's windows took the keyboard: it keeps it.
    const QWidget* active = QApplication::activeWindow();
    if (active && active != window) return;
    QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) return;
    owner->activateWindow();
    QWidget* target = focus_ ? focus_() : nullptr;
    if (target && target->isVisible() && target->window() == owner)
      target->setFocus(Qt::ActiveWindowFocusReason);
  }

  std::function<QWidget*()> focus_;
};

template <class T>
T takeFront(std::deque<T>& q, T fallback) {
  if (q.empty()) return fallback;
  T v = std::move(q.front());
  q.pop_front();
  return v;
}

}  // namespace

FocusReturn::FocusReturn(QWidget* owner) : window_(QApplication::activeWindow()) {
  if (!window_ && owner) window_ = owner->window();
  if (window_) focus_ = window_->focusWidget();
}

FocusReturn::~FocusReturn() {
  if (!window_ || !window_->isVisible()) return;
  window_->activateWindow();
  if (focus_ && focus_->isVisible() && focus_->window() == window_)
    focus_->setFocus(Qt::ActiveWindowFocusReason);
}

void raiseWhenShown(QWidget* dialog) {
  if (!dialog) return;
  dialog->installEventFilter(new RaiseOnShow(dialog));
}

void returnFocusOnHide(QWidget* window, std::function<QWidget*()> focus) {
  if (!window) return;
  window->installEventFilter(new ReturnOnHide(window, std::move(focus)));
}

Prompts& Prompts::instance() {
  static QtPrompts real;
  return g_override ? *g_override : real;
}

void Prompts::setInstance(Prompts* p) { g_override = p; }

bool Prompts::printDialog(QWidget*, QPrinter&) { return false; }
bool Prompts::pageSetupDialog(QWidget*, QPrinter&) { return false; }
void Prompts::beep() { QApplication::beep(); }

void ScriptedPrompts::information(QWidget*, const QString& text) {
  shown << text;
  if (whileInformation) whileInformation();
}

void ScriptedPrompts::error(QWidget*, const QString& text) { shown << text; }

Prompts::Answer ScriptedPrompts::yesNo(QWidget*, const QString& text) {
  shown << text;
  return takeFront(answers, Answer::Cancel);
}

Prompts::Answer ScriptedPrompts::yesNoCancel(QWidget*, const QString& text) {
  shown << text;
  return takeFront(answers, Answer::Cancel);
}

bool ScriptedPrompts::inputQuery(QWidget*, const QString& caption, const QString& prompt,
                                 QString& value, bool) {
  shown << caption + QLatin1Char('\n') + prompt;
  const QString r = takeFront(inputs, QString());
  if (r.isNull()) return false;
  value = r;
  return true;
}

QStringList ScriptedPrompts::openFileNames(QWidget*, const QString& caption, const QString& dir,
                                           const QString&) {
  shown << caption;
  fileDialogDirs << dir;
  return takeFront(files, QStringList());
}

QString ScriptedPrompts::saveFileName(QWidget*, const QString& caption, const QString&,
                                      const QString&) {
  shown << caption;
  const QStringList r = takeFront(files, QStringList());
  return r.isEmpty() ? QString() : r.first();
}

bool ScriptedPrompts::chooseColor(QWidget*, QColor& color) {
  colorStarts << color;
  if (colors.empty()) return false;
  color = takeFront(colors, QColor());
  return color.isValid();
}

bool ScriptedPrompts::chooseFont(QWidget*, QFont& font) {
  fontStarts << font;
  if (fonts.empty()) return false;
  font = takeFront(fonts, QFont());
  return true;
}

bool ScriptedPrompts::informationOrStop(QWidget*, const QString& text, const QString&) {
  shown << text;
  return takeFront(stops, false);
}

bool ScriptedPrompts::printDialog(QWidget*, QPrinter& printer) {
  shown << QStringLiteral("Print");
  auto f = takeFront(printers, std::function<bool(QPrinter&)>());
  return f && f(printer);
}

bool ScriptedPrompts::pageSetupDialog(QWidget*, QPrinter& printer) {
  shown << QStringLiteral("Printer setup");
  auto f = takeFront(printers, std::function<bool(QPrinter&)>());
  return f && f(printer);
}

int titleWidth(const QWidget* window) {
  QFont bold = window->font();
  bold.setBold(true);
  const QFontMetrics fm(bold);
  // An icon and three buttons, each about a line high, with some space.
  return fm.horizontalAdvance(window->windowTitle()) + 4 * (fm.height() + 8) + 16;
}

void fitTitle(QWidget* window) {
  const int need = titleWidth(window);
  if (window->minimumWidth() < need) window->setMinimumWidth(need);
}

}  // namespace tolvan
