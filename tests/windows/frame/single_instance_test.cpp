// One running program per user: a second start hands its files to the first,
// which opens them, and exits without a window of its own.
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QDataStream>
#include <QDir>
#include <QScopeGuard>

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
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

  static constexpr uid_t kOtherUser = 65534;  // nobody

  // A process of another user, forked from this one: it binds a socket at
  // path as root (the folder is root's) and listens as kOtherUser, or
  // connects to path as kOtherUser and sends message. Either way it reads
  // until the other end closes and reports how many bytes it was sent
  // through the returned pipe. readyFd gets a byte once it is listening.
  static pid_t forkOtherUser(const QByteArray& path, bool listens, const QByteArray& message,
                             int& reportFd, int& readyFd) {
    int ready[2], report[2];
    if (::pipe(ready) != 0 || ::pipe(report) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      ::close(report[0]);
      sockaddr_un a{};
      a.sun_family = AF_UNIX;
      std::strncpy(a.sun_path, path.constData(), sizeof a.sun_path - 1);
      int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (s < 0) ::_exit(2);
      if (listens && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ::_exit(2);
      if (::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
          ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)
        ::_exit(2);
      int conn = s;
      if (listens) {
        if (::listen(s, 4) != 0) ::_exit(2);
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        conn = ::accept(s, nullptr, nullptr);
      } else {
        if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ::_exit(2);
        if (::write(ready[1], "r", 1) != 1) ::_exit(2);
        if (::write(s, message.constData(), size_t(message.size())) != message.size()) ::_exit(2);
      }
      long total = 0;
      char buf[4096];
      ssize_t n;
      while ((n = ::read(conn, buf, sizeof buf)) > 0) total += n;
      if (::write(report[1], &total, sizeof total) != sizeof total) ::_exit(2);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(report[1]);
    reportFd = report[0];
    readyFd = ready[0];
    return pid;
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

  // Without a session folder the socket is in a folder of the user's own in
  // the temp folder. Another user may have made that folder first, or it may
  // be open to others: then nobody listening there is handed anything, and
  // no socket is made there either (the start runs on its own).
  void noHandOverThroughAFolderOthersControl_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherOwner");
    QTest::addColumn<bool>("handed");
    QTest::newRow("private, own") << 0700 << false << true;
    QTest::newRow("others may enter") << 0711 << false << false;
    QTest::newRow("others may write") << 01777 << false << false;
    QTest::newRow("another user's") << 0700 << true << false;
  }
  void noHandOverThroughAFolderOthersControl() {
    QFETCH(int, mode);
    QFETCH(bool, otherOwner);
    QFETCH(bool, handed);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QByteArray oldTmp = qgetenv("TMPDIR"), oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] {
      for (auto [var, old] : {std::pair{"TMPDIR", oldTmp}, std::pair{"XDG_RUNTIME_DIR", oldRuntime}})
        old.isNull() ? void(qunsetenv(var)) : void(qputenv(var, old));
    });
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString name = tolvan::SingleInstance::defaultServerName();
    const QString folder = QDir(tmp.path()).filePath(QStringLiteral("tolvan-runtime-%1").arg(::getuid()));
    QCOMPARE(QFileInfo(name).absolutePath(), folder);
    QVERIFY(QDir().mkdir(folder));
    QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(mode)), 0);
    if (otherOwner) QCOMPARE(::chown(QFile::encodeName(folder).constData(), kOtherUser, kOtherUser), 0);
    {
      QLocalServer squatter;
      QVERIFY(squatter.listen(name));
      tolvan::SingleInstance start;
      QCOMPARE(start.serverName(), name);
      QCOMPARE(start.handOver({QStringLiteral("/home/me/secret.txt")}, 200), handed);
      bool timedOut = false;
      QCOMPARE(squatter.waitForNewConnection(0, &timedOut), handed);
    }
    // Nobody there now: a start listens only in a folder of its own.
    tolvan::SingleInstance start;
    QCOMPARE(start.listen(), handed);
    QCOMPARE(QFileInfo::exists(name), handed);
  }

  void listenMakesAPrivateFolder() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString name = QDir(tmp.path()).filePath(QStringLiteral("new/tolvan.sock"));
    tolvan::SingleInstance first(name);
    QVERIFY(first.listen());
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(tmp.filePath(QStringLiteral("new"))).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0700);
    QVERIFY(QFileInfo::exists(name));
  }

  // A socket in the right place that another user listens on gets nothing:
  // the second start looks at who listens before it sends.
  void listenerOfAnotherUserIsSentNothing() {
    const QString name = uniqueName("other-listener");
    int reportFd = -1, readyFd = -1;
    const pid_t pid = forkOtherUser(QFile::encodeName(name), true, {}, reportFd, readyFd);
    QVERIFY(pid > 0);
    char c = 0;
    QCOMPARE(::read(readyFd, &c, 1), ssize_t(1));
    tolvan::SingleInstance second(name);
    const bool handed = second.handOver({QStringLiteral("/home/me/secret.txt")}, 2000);
    long received = -1;
    QCOMPARE(::read(reportFd, &received, sizeof received), ssize_t(sizeof received));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(reportFd);
    ::close(readyFd);
    QFile::remove(name);
    QVERIFY(!handed);
    QCOMPARE(received, 0L);
  }

  // The running instance takes files from starts of its own user only.
  void startOfAnotherUserIsNotAnswered() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString folder = tmp.filePath(QStringLiteral("run"));
    const QString name = QDir(folder).filePath(QStringLiteral("tolvan.sock"));
    tolvan::SingleInstance first(name);
    QVERIFY(first.listen());
    QSignalSpy spy(&first, &tolvan::SingleInstance::activated);
    // Opened up afterwards, so the other user can reach the socket at all.
    for (const QString& p : {tmp.path(), folder, name})
      QCOMPARE(::chmod(QFile::encodeName(p).constData(), 0777), 0);
    QByteArray msg;
    {
      QDataStream out(&msg, QIODevice::WriteOnly);
      out.setVersion(QDataStream::Qt_6_0);
      out << quint32(0x546f6c31) << QStringList{QStringLiteral("/tmp/planted.txt")};
    }
    QByteArray framed;
    {
      QDataStream out(&framed, QIODevice::WriteOnly);
      out << quint32(msg.size());
    }
    framed += msg;
    int reportFd = -1, readyFd = -1;
    const pid_t pid = forkOtherUser(QFile::encodeName(name), false, framed, reportFd, readyFd);
    QVERIFY(pid > 0);
    // The running instance works from the event loop until the other start
    // reports (or dies: the pipe then reads empty).
    pollfd report{reportFd, POLLIN, 0};
    QTRY_VERIFY_WITH_TIMEOUT(::poll(&report, 1, 0) == 1, 10000);
    long answered = -1;
    const ssize_t got = ::read(reportFd, &answered, sizeof answered);
    ::waitpid(pid, nullptr, 0);
    ::close(reportFd);
    ::close(readyFd);
    QCOMPARE(got, ssize_t(sizeof answered));
    QCoreApplication::processEvents();
    QCOMPARE(answered, 0L);
    QCOMPARE(spy.count(), 0);
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
    // A UTF-8 Tamil file handed over with it opens as Unicode, as any open does.
    const QString doc = dir_.filePath(QStringLiteral("handed.txt "));
    const QString tamil = dir_.filePath(QStringLiteral("tamil.txt"));
    for (const auto& [name, text] : {std::pair{doc, "\xB8\xA1 handed over\n"},
                                     std::pair{dir_.filePath(QStringLiteral("handed.txt")), "another file\n"},
                                     std::pair{tamil, "\xE0\xAE\xA4\xE0\xAE\xAE\xE0\xAE\xBF\xE0\xAE\xB4\xE0\xAF\x8D\n"}}) {
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
    second.start(QStringLiteral(TOLVAN_PROGRAM_PATH), {QStringLiteral("handed.txt "), QStringLiteral("tamil.txt")});
    QTRY_COMPARE_WITH_TIMEOUT(frame.EditForms().size(), 2, 15000);
    QCOMPARE(frame.EditForms().first()->Title(), doc);
    QVERIFY(frame.EditForms().first()->Editor->toPlainText().contains(QStringLiteral(" handed over")));
    QCOMPARE(frame.EditForms().first()->encoding(), tolvan::TextEncoding::Tscii);
    QCOMPARE(frame.EditForms().last()->Title(), tamil);
    QCOMPARE(frame.EditForms().last()->encoding(), tolvan::TextEncoding::Unicode);
    QCOMPARE(frame.EditForms().last()->Editor->toPlainText(), QStringLiteral("தமிழ்\n"));
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
