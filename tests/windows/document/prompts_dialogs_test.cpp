// How the real dialogs behind Prompts look: the password dialogs (the same
// order of buttons as every other dialog of the platform, the text never
// shown, a fixed size) and Tamil in a message box as large as the Latin text
// around it.
#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <functional>

#include "core/crypto/file_crypt.h"
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

bool tamilLetter(QChar c) { return c.unicode() >= 0x0B80 && c.unicode() <= 0x0BFF; }

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

  void tamilInABoxIsReadable_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("not found") << QStringLiteral("Text \"\u0B95\u0BA3\u0BBF\u0BA9\u0BBF\" not found.");
    QTest::newRow("markup and lines")
        << QStringLiteral("<b>\u0BA4\u0BAE\u0BBF\u0BB4\u0BCD</b> & x\nsecond  line");
    QTest::newRow("no Tamil") << QStringLiteral("a <b>file</b> & name");
  }
  void tamilInABoxIsReadable() {
    QFETCH(QString, text);
    bool seen = false;
    whenUp([&](QDialog* d) {
      seen = true;
      auto* label = d->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      QVERIFY(label);
      QTextDocument doc;
      doc.setDefaultFont(label->font());
      if (label->textFormat() == Qt::PlainText)
        doc.setPlainText(label->text());
      else
        doc.setHtml(label->text());
      // The text as given, nothing taken for markup.
      QCOMPARE(doc.toPlainText(), text);
      // Each Tamil letter at least as tall as a capital of the box's face.
      const int capital = QFontMetrics(label->font()).tightBoundingRect(QStringLiteral("T")).height();
      const QString ka(QChar(0x0B95));
      for (int i = 0; i < text.size(); ++i) {
        if (!tamilLetter(text[i])) continue;
        QTextCursor c(&doc);
        c.setPosition(i + 1);
        const int tall = QFontMetrics(c.charFormat().font()).tightBoundingRect(ka).height();
        QVERIFY2(tall >= capital, qPrintable(QStringLiteral("%1 < %2").arg(tall).arg(capital)));
      }
    });
    Prompts::instance().warning(&frame_, text);
    QVERIFY(seen);
  }
};

QTEST_MAIN(PromptsDialogsTest)
#include "prompts_dialogs_test.moc"
