// The real dialogs behind Prompts (QtPrompts) and the scripted answers the
// window tests use (ScriptedPrompts).
#include "platform/prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>

namespace tolvan {
namespace {

// Message boxes carry the application's title, as the program's boxes always
// have; the text is shown as plain text so a file name with '<' stays as is.
QString boxTitle() {
  const QString t = QApplication::applicationDisplayName();
  return t.isEmpty() ? QStringLiteral("Tolvan") : t;
}

// Hands the keyboard back to the window that had it once a dialog is gone.
// A window manager usually does this; without one (a bare X server) the
// focus falls to the root window and every shortcut of the frame stops
// working until the user clicks into it.
class FocusReturn {
 public:
  explicit FocusReturn(QWidget* parent) : window_(QApplication::activeWindow()) {
    if (!window_ && parent) window_ = parent->window();
  }
  ~FocusReturn() {
    if (window_ && window_->isVisible()) window_->activateWindow();
  }
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;

 private:
  QPointer<QWidget> window_;
};

QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton def) {
  FocusReturn focus(parent);
  QMessageBox box(icon, boxTitle(), text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(def);
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

class QtPrompts final : public Prompts {
 public:
  void information(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  void error(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
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
    FocusReturn focus(parent);
    bool ok = false;
    const QString r =
        QInputDialog::getText(parent, caption, prompt,
                              password ? QLineEdit::Password : QLineEdit::Normal, value, &ok);
    if (ok) value = r;
    return ok;
  }
  QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override {
    FocusReturn focus(parent);
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
  }
  QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                       const QString& filter) override {
    // The callers ask their own overwrite question (or deliberately none).
    FocusReturn focus(parent);
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  bool chooseColor(QWidget* parent, QColor& color) override {
    FocusReturn focus(parent);
    const QColor c = QColorDialog::getColor(color, parent);
    if (!c.isValid()) return false;
    color = c;
    return true;
  }
  bool chooseFont(QWidget* parent, QFont& font) override {
    FocusReturn focus(parent);
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, font, parent);
    if (ok) font = f;
    return ok;
  }
  void warning(QWidget* parent, const QString& text) override {
    ask(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
  }
  bool printDialog(QWidget* parent, QPrinter& printer) override {
    FocusReturn focus(parent);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  bool pageSetupDialog(QWidget* parent, QPrinter& printer) override {
    FocusReturn focus(parent);
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  }
};

Prompts* g_override = nullptr;

template <class T>
T takeFront(std::deque<T>& q, T fallback) {
  if (q.empty()) return fallback;
  T v = std::move(q.front());
  q.pop_front();
  return v;
}

}  // namespace

Prompts& Prompts::instance() {
  static QtPrompts real;
  return g_override ? *g_override : real;
}

void Prompts::setInstance(Prompts* p) { g_override = p; }

bool Prompts::printDialog(QWidget*, QPrinter&) { return false; }
bool Prompts::pageSetupDialog(QWidget*, QPrinter&) { return false; }

void ScriptedPrompts::information(QWidget*, const QString& text) { shown << text; }

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

}  // namespace tolvan
