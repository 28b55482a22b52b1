// One running program per user: a second start hands its files to the first,
// which opens them, and exits without a window of its own.
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/prompts.h"
#include "platform/single_instance.h"
#include "windows/frame/main_form.h"
#include "core/settings/settings_keys.h"

class SingleInstanceTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString uniqueName(const char* tag) {
    return dir_.filePath(QStringLiteral("sock-%1").arg(QLatin1String(tag)));
  }

 private slots:
  void noRunningInstanceMeansNoHandOver() {
    tolvan::SingleInstance second(uniqueName("none"));
    QVERIFY(!second.handOver({QStringLiteral("a.txt")}, 200));
  }

  void filesArriveAbsoluteAndInOrder() {
    tolvan::SingleInstance first(uniqueName("order"));
    QVERIFY(first.listen());
    QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
    // The second start is this test program run with --hand-over.
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--hand-over"), first.serverName(),
                        QStringLiteral(" one.txt "), QStringLiteral("/abs/two.rtf")});
    child.setWorkingDirectory(dir_.path());
    child.start();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    const QStringList files = spy.at(0).at(0).toStringList();
    // Names are exact: spaces at their ends are part of them.
    QCOMPARE(files, (QStringList{dir_.filePath(QStringLiteral(" one.txt ")),
                                 QStringLiteral("/abs/two.rtf")}));
    QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 10000);
    QCOMPARE(child.exitCode(), 0);
  }

  void leftOverSocketIsReplaced() {
    // A crash leaves the socket's path behind with nobody listening on it.
    const QString name = uniqueName("stale");
    {
      QFile f(name);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    tolvan::SingleInstance first(name);
    QVERIFY(first.listen());
    QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--hand-over"), name});
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 10000);
    QCOMPARE(child.exitCode(), 0);
  }

  void secondListenerDefersToTheFirst() {
    // Two starts at the same moment: the one that listens second must not
    // take the socket from the one already answering.
    const QString name = uniqueName("race");
    tolvan::SingleInstance first(name), second(name);
    QVERIFY(first.listen());
    QVERIFY(!second.listen());
    QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hand-over"), name});
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(child.state(), QProcess::NotRunning, 10000);
  }

  void theAnswerComesBeforeTheFilesAreOpened() {
    // Opening a handed-over file may show a box; the second start must have
    // had its answer by then and be free to go.
    tolvan::SingleInstance first(uniqueName("answer"));
    QVERIFY(first.listen());
    QProcess child;
    bool childGoneInsideHandler = false;
    connect(&first, &tolvan::SingleInstance::activated, this, [&] {
      childGoneInsideHandler =
          QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 5000);
    });
    QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--hand-over"), first.serverName(), QStringLiteral("x.txt")});
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QVERIFY(childGoneInsideHandler);
    QCOMPARE(child.exitCode(), 0);
  }

  void secondStartKilledWhileTheErrorBoxShows() {
    // A file that cannot be opened shows an error box in the running
    // program; the start that handed it over is killed before OK is
    // pressed. The running program must carry on with its unsaved work.
    qputenv("TOLVAN_INI", QFile::encodeName(dir_.filePath(QStringLiteral("killed.ini"))));
    QProcess child;
    struct KillingPrompts : tolvan::ScriptedPrompts {
      QProcess* victim = nullptr;
      void error(QWidget* parent, const QString& text) override {
        if (victim && victim->state() != QProcess::NotRunning) {
          victim->kill();
          victim->waitForFinished(5000);
        }
        QTest::qWait(300);  // the box stays up while the connection goes
        tolvan::ScriptedPrompts::error(parent, text);
      }
    } prompts;
    prompts.victim = &child;
    tolvan::Prompts::setInstance(&prompts);
    {
      TMainForm frame(dir_.path());
      frame.New1Click();
      TEditForm* unsaved = frame.ActiveEditForm();
      QVERIFY(unsaved);
      unsaved->Editor->insertPlainText(QStringLiteral("unsaved work"));
      tolvan::SingleInstance first(uniqueName("killed"));
      QVERIFY(first.listen());
      connect(&first, &tolvan::SingleInstance::activated, &frame,
              [&frame](const QStringList& files) { frame.OpenFiles(files, false); });
      QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
      child.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--hand-over"), first.serverName(),
                   QStringLiteral("does-not-exist.txt")});
      QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
      QTRY_VERIFY_WITH_TIMEOUT(!prompts.shown.isEmpty(), 10000);
      QTest::qWait(100);
      QVERIFY(prompts.shown.last().contains(QStringLiteral("does-not-exist.txt")));
      QCOMPARE(frame.EditForms().size(), 1);
      QCOMPARE(frame.ActiveEditForm()->Editor->toPlainText(), QStringLiteral("unsaved work"));
      // The running program still takes hand-overs.
      QProcess again;
      again.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--hand-over"), first.serverName()});
      QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(again.state(), QProcess::NotRunning, 10000);
      QCOMPARE(again.exitCode(), 0);
      for (TEditForm* f : frame.EditForms()) f->Editor->document()->setModified(false);
    }
    tolvan::Prompts::setInstance(nullptr);
  }

  void realSecondStartOpensItsFileInTheFirst() {
#ifndef TOLVAN_PROGRAM_PATH
    QSKIP("the program is not built in this configuration");
#else
    const QString ini = dir_.filePath(QStringLiteral("handover.ini"));
    qputenv("TOLVAN_INI", QFile::encodeName(ini));
    tolvan::ScriptedPrompts prompts;
    tolvan::Prompts::setInstance(&prompts);
    TMainForm frame(dir_.path());
    // The same wiring as the program's start.
    tolvan::SingleInstance first;
    QVERIFY(first.listen());
    connect(&first, &tolvan::SingleInstance::activated, &frame,
            [&frame](const QStringList& files) { frame.OpenFiles(files, false); });
    // The name handed over ends in a space; the file without it is another
    // file, and stays unopened.
    const QString doc = dir_.filePath(QStringLiteral("handed.txt "));
    for (const auto& [name, text] : {std::pair{doc, "\xB8\xA1 handed over\n"},
                                     std::pair{dir_.filePath(QStringLiteral("handed.txt")), "another file\n"}}) {
      QFile f(name);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(text);
    }
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TOLVAN_INI"), ini);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(dir_.path());
    second.start(QStringLiteral(TOLVAN_PROGRAM_PATH), {QStringLiteral("handed.txt ")});
    QTRY_COMPARE_WITH_TIMEOUT(frame.EditForms().size(), 1, 15000);
    QCOMPARE(frame.EditForms().first()->Title(), doc);
    QVERIFY(frame.EditForms().first()->Editor->toPlainText().contains(QStringLiteral(" handed over")));
    QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 15000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // The second start never made a frame of its own: the start count is
    // still the first one's.
    frame.FinishStartup();
    QCOMPARE(frame.settings().readInteger(tolvan::Key::Times), 1);
    for (TEditForm* f : frame.EditForms()) f->Editor->document()->setModified(false);
    tolvan::Prompts::setInstance(nullptr);
#endif
  }
};

// Run as the second start by the tests above: hand the files over
// and report whether someone took them.
int main(int argc, char** argv) {
  if (argc >= 3 && QByteArray(argv[1]) == "--hand-over") {
    QCoreApplication app(argc, argv);
    QStringList files;
    for (int i = 3; i < argc; ++i) files << QString::fromLocal8Bit(argv[i]);
    tolvan::SingleInstance second(QString::fromLocal8Bit(argv[2]));
    return second.handOver(files, 5000) ? 0 : 1;
  }
  QApplication app(argc, argv);
  SingleInstanceTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "single_instance_test.moc"
