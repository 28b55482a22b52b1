// Every message box, question, input query and file/colour/font dialog of the
// program goes through Prompts, so window tests can answer them from a script
// (ScriptedPrompts) instead of blocking on a modal box.
#pragma once
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QPrinter;
class QWidget;

namespace tolvan {

// Hands the keyboard back to the window (and the control in it) that had it
// once a dialog is gone. A window manager usually does this; without one (a
// bare X server) the focus falls to the root window and every shortcut of
// the program stops working until the user clicks into it. Make one before
// the dialog, on the stack.
class FocusReturn {
 public:
  explicit FocusReturn(QWidget* owner);
  ~FocusReturn();
  FocusReturn(const FocusReturn&) = delete;
  FocusReturn& operator=(const FocusReturn&) = delete;

 private:
  QPointer<QWidget> window_;
  QPointer<QWidget> focus_;
};

// Raises and activates a dialog as it is shown, so it is never left under
// its owner (without a window manager nothing else keeps it above).
void raiseWhenShown(QWidget* dialog);

// For a modeless window (find, preferences, the font-map editor): each time
// it is hidden while it has the keyboard, its owner's window is activated
// again and, when focus gives one, that control takes the focus. Without a
// window manager nobody else does, and the program's shortcuts stop working.
void returnFocusOnHide(QWidget* window, std::function<QWidget*()> focus = {});
// The least width at which a window's title bar shows its whole title: the
// title in the bold face title bars use, plus room for the window icon and
// the close, minimise and maximise buttons.
int titleWidth(const QWidget* window);
// Makes the window at least that wide.
void fitTitle(QWidget* window);

class Prompts {
 public:
  enum class Answer { Ok, Yes, No, Cancel };
  virtual ~Prompts() = default;

  virtual void information(QWidget* parent, const QString& text) = 0;  // OK box
  virtual void error(QWidget* parent, const QString& text) = 0;        // error box, OK
  // Warning box, OK; a prompt that cannot show one shows the text as information.
  virtual void warning(QWidget* parent, const QString& text) { information(parent, text); }
  virtual Answer yesNo(QWidget* parent, const QString& text) = 0;
  virtual Answer yesNoCancel(QWidget* parent, const QString& text) = 0;
  // Returns false when cancelled; value holds the initial text and the result.
  virtual bool inputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                          QString& value, bool password = false) = 0;
  // Empty result (or list) when cancelled.
  virtual QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
  virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                               const QString& filter) = 0;
  virtual bool chooseColor(QWidget* parent, QColor& color) = 0;
  virtual bool chooseFont(QWidget* parent, QFont& font) = 0;
  // An OK box with one further button, stopCaption, for a command that may
  // show the same kind of box many times: true when the user pressed it
  // (show no more of these boxes for this command). Without an override it
  // is information() and never stops.
  virtual bool informationOrStop(QWidget* parent, const QString& text, const QString& stopCaption) {
    (void)stopCaption;
    information(parent, text);
    return false;
  }
  // The print dialog and the page set-up dialog on printer; false when
  // cancelled.
  virtual bool printDialog(QWidget* parent, QPrinter& printer);
  virtual bool pageSetupDialog(QWidget* parent, QPrinter& printer);
  // The system's beep, heard at the end of some commands.
  virtual void beep();

  // The program's prompts; QtPrompts (real dialogs) unless a test set others.
  static Prompts& instance();
  // Not owned; nullptr restores the real dialogs.
  static void setInstance(Prompts* p);
};

// Answers from a script, for tests. Each call takes the next queued reply of
// its kind (a missing reply counts as Cancel / empty) and records the text.
class ScriptedPrompts : public Prompts {
 public:
  std::deque<Answer> answers;        // yesNo / yesNoCancel
  std::deque<QString> inputs;        // inputQuery (a null QString means cancel)
  std::deque<QStringList> files;     // openFileNames / saveFileName (first entry)
  std::deque<QColor> colors;
  std::deque<QFont> fonts;
  std::deque<bool> stops;            // informationOrStop: true presses the stop button
  QStringList shown;                 // every text shown, in order
  QList<QColor> colorStarts;         // the colour each colour dialog started from
  QList<QFont> fontStarts;           // the font each font dialog started from
  QStringList fileDialogDirs;        // the folder each file dialog started in

  void information(QWidget*, const QString& text) override;
  void error(QWidget*, const QString& text) override;
  Answer yesNo(QWidget*, const QString& text) override;
  Answer yesNoCancel(QWidget*, const QString& text) override;
  bool inputQuery(QWidget*, const QString& caption, const QString& prompt, QString& value,
                  bool password) override;
  QStringList openFileNames(QWidget*, const QString& caption, const QString& dir,
                            const QString& filter) override;
  QString saveFileName(QWidget*, const QString& caption, const QString& dir,
                       const QString& filter) override;
  bool chooseColor(QWidget*, QColor& color) override;
  bool chooseFont(QWidget*, QFont& font) override;
  bool informationOrStop(QWidget*, const QString& text, const QString& stopCaption) override;
  // Print and page set-up: each call takes the next function, which may set
  // the printer up (a PDF file, say) and returns the dialog's answer.
  std::deque<std::function<bool(QPrinter&)>> printers;
  bool printDialog(QWidget*, QPrinter& printer) override;
  bool pageSetupDialog(QWidget*, QPrinter& printer) override;
  int beeps = 0;                     // how many times beep() was called
  // Runs while an information box is up, as the events a real box lets through.
  std::function<void()> whileInformation;
  void beep() override { ++beeps; }
  // Empties every queued reply and every record, for the next test.
  void reset() {
    answers.clear(), inputs.clear(), files.clear(), colors.clear(), fonts.clear(), stops.clear();
    shown.clear(), colorStarts.clear(), fontStarts.clear(), fileDialogDirs.clear(), printers.clear();
    beeps = 0;
    whileInformation = nullptr;
  }
};

}  // namespace tolvan
