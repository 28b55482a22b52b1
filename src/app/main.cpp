// Program entry: hand over to a running Tolvan if there is one; otherwise show
// the about box as a splash, make the main frame, open the files named on the
// command line and run until the frame closes.
#include <QApplication>
#include <QThread>
#include <QTimer>

#include "platform/fonts.h"
#include "platform/single_instance.h"
#include "windows/dialogs/about_box.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"

#include <new>

namespace {

// The last guard for the user's documents: a command that runs out of memory
// fails with a message instead of ending the program with every open window.
// (The commands that make large results check their size first; this catches
// what they could not foresee.)
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
      tolvan::Prompts::instance().error(
          activeWindow(), QStringLiteral("There is not enough memory for this command.\n"
                                         "Save your documents under new names and restart Tolvan."));
      return false;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tolvan"));
  QApplication::setDesktopFileName(QStringLiteral("tolvan"));

  // Each name is the file's exact name: a space at either end is part of it.
  QStringList files = QApplication::arguments().mid(1);
  files.removeAll(QString());

  // 1. A running instance takes the files and comes to the front.
  tolvan::SingleInstance instance;
  if (instance.handOver(files, 1000)) return 0;
  // Two starts at the same moment: the one that listens second hands over.
  if (!instance.listen() && instance.handOver(files, 3000)) return 0;

  // The Tamil font's name works at once; its files are registered once the
  // window is up (or before the first document opens).
  tolvan::installTsciiSubstitutions(QApplication::applicationDirPath());

  // 2. The splash, painted at once, for a moment.
  auto* splash = new TAboutBox();
  TAboutBox::setSplash(splash);
  splash->show();
  splash->repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (qEnvironmentVariableIsEmpty("TOLVAN_NO_SPLASH_PAUSE")) QThread::msleep(200);

  // 3. The frame; then the splash goes.
  auto* frame = new TMainForm(QApplication::applicationDirPath());
  frame->setAttribute(Qt::WA_DeleteOnClose);
  frame->show();
  TAboutBox::setSplash(nullptr);
  splash->hide();
  delete splash;

  QObject::connect(&instance, &tolvan::SingleInstance::activated, frame,
                   [frame](const QStringList& handed) {
                     if (frame->isMinimized()) frame->showNormal();
                     frame->raise();
                     frame->activateWindow();
                     frame->OpenFiles(handed, false);
                   });

  // 4. The files named on the command line.
  frame->OpenFiles(files, false);
  QTimer::singleShot(0, frame, [] { tolvan::registerTsciiFonts(QApplication::applicationDirPath()); });

  // 5.
  return app.exec();
}
