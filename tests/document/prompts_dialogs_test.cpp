// How the real dialogs behind Prompts look: the password dialogs have the
// same order of buttons as every other dialog of the platform, never show
// the text typed, and keep a fixed size.
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "crypto/file_crypt.h"
#include "platform/prompts.h"

using tolvan::Prompts;

namespace {

// Runs check on the first modal dialog that comes up, then closes it.
void whenUp(std::function<void(QDialog*)> check) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, check] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      check(d);
      d->reject();
    }
  });
  timer->start();
}

}  // namespace

class PromptsDialogsTest : public QObject {
  Q_OBJECT

  QMainWindow frame_;

 private slots:
  void initTestCase() {
    Prompts::setInstance(nullptr);
    frame_.resize(500, 400);
    frame_.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame_));
  }

  void passwordDialogs_data() {
    QTest::addColumn<QString>("prompt");
    QTest::newRow("text") << QStringLiteral("Please enter the passphrase");
    QTest::newRow("file") << QString::fromLatin1(tolvan::kFilePasswordPrompt);
  }
  void passwordDialogs() {
    QFETCH(QString, prompt);
    // The platform's order, as a button box of its own lays them out.
    QDialogButtonBox reference(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    reference.resize(300, 40);
    reference.layout()->activate();
    const bool okFirst = reference.button(QDialogButtonBox::Ok)->x() <
                         reference.button(QDialogButtonBox::Cancel)->x();

    bool seen = false;
    whenUp([&](QDialog* d) {
      seen = true;
      auto* field = d->findChild<QLineEdit*>();
      QVERIFY(field);
      QCOMPARE(field->echoMode(), QLineEdit::Password);
      auto* box = d->findChild<QDialogButtonBox*>();
      QVERIFY(box);
      QPushButton* ok = box->button(QDialogButtonBox::Ok);
      QPushButton* cancel = box->button(QDialogButtonBox::Cancel);
      QVERIFY(ok && cancel);
      QCOMPARE(ok->x() < cancel->x(), okFirst);
      // Not resizable: no window manager adds a resize strip to it.
      QCOMPARE(d->minimumSize(), d->maximumSize());
      QVERIFY(d->height() >= d->minimumSizeHint().height());
    });
    QString value;
    QVERIFY(!Prompts::instance().inputQuery(&frame_, QString::fromLatin1(tolvan::kFilePasswordCaption),
                                            prompt, value, true));
    QVERIFY(seen);
  }
};

QTEST_MAIN(PromptsDialogsTest)
#include "prompts_dialogs_test.moc"
