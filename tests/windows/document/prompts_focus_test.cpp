// The real dialogs behind Prompts hand the keyboard back to the window that
// had it. Without that, on a display with no window manager, the frame lost
// its shortcuts (Ctrl+N, Ctrl+S, Ctrl+T) after every message box or file
// dialog until the user clicked into it.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/prompts.h"

using tolvan::Prompts;

namespace {

// Dismisses whatever modal dialog comes up, as a user pressing Escape would.
class Dismisser : public QObject {
 public:
  Dismisser() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        ++dismissed;
        d->reject();
      }
    });
    timer_.start();
  }
  int dismissed = 0;

 private:
  QTimer timer_;
};

}  // namespace

class PromptsFocusTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { Prompts::setInstance(nullptr); }

  void dialogGivesFocusBack_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("information") << 0;
    QTest::newRow("error") << 1;
    QTest::newRow("yes/no") << 2;
    QTest::newRow("yes/no/cancel") << 3;
    QTest::newRow("input query") << 4;
    QTest::newRow("open dialog") << 5;
    QTest::newRow("save dialog") << 6;
    QTest::newRow("colour dialog") << 7;
    QTest::newRow("font dialog") << 8;
  }

  void dialogGivesFocusBack() {
    QFETCH(int, kind);
    QMainWindow frame;
    frame.resize(400, 300);
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));

    Dismisser dismisser;
    Prompts& p = Prompts::instance();
    QString value;
    QColor colour(Qt::red);
    QFont font;
    switch (kind) {
      case 0: p.information(&frame, QStringLiteral("note")); break;
      case 1: p.error(&frame, QStringLiteral("failure")); break;
      case 2: p.yesNo(&frame, QStringLiteral("question")); break;
      case 3: p.yesNoCancel(&frame, QStringLiteral("question")); break;
      case 4: p.inputQuery(&frame, QStringLiteral("Caption"), QStringLiteral("Prompt"), value); break;
      case 5: p.openFileNames(&frame, QStringLiteral("Open"), QDir::tempPath(), QStringLiteral("*")); break;
      case 6: p.saveFileName(&frame, QStringLiteral("Save As"), QDir::tempPath(), QStringLiteral("*")); break;
      case 7: p.chooseColor(&frame, colour); break;
      case 8: p.chooseFont(&frame, font); break;
    }
    QCOMPARE(dismisser.dismissed, 1);
    QTRY_COMPARE(QApplication::activeWindow(), &frame);
  }

  void hiddenParentIsLeftAlone() {
    // A box shown while the program starts (before its frame is on screen)
    // must not bring a hidden window up.
    QMainWindow frame;
    Dismisser dismisser;
    Prompts::instance().information(&frame, QStringLiteral("note"));
    QCOMPARE(dismisser.dismissed, 1);
    QTest::qWait(50);
    QVERIFY(!frame.isVisible());
  }
};

QTEST_MAIN(PromptsFocusTest)
#include "prompts_focus_test.moc"
