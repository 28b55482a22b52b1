// The about box: its star outline, its hint and that a click closes it.
#include <QSignalSpy>
#include <QTest>

#include "platform/fonts.h"
#include "windows/dialogs/about_box.h"

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void starPointsFromTheClientSize() {
    TAboutBox box;
    QCOMPARE(box.width(), 314);
    QCOMPARE(box.height(), 294);
    const QPolygon expected({QPoint(157, 7), QPoint(209, 73), QPoint(314, 73), QPoint(261, 147),
                             QPoint(314, 220), QPoint(209, 220), QPoint(157, 294),
                             QPoint(104, 220), QPoint(0, 220), QPoint(52, 147), QPoint(0, 73),
                             QPoint(104, 73), QPoint(157, 7)});
    QCOMPARE(box.Points(), expected);
  }

  void outlineDividesTruncating_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("odd") << 101 << 99;
    QTest::newRow("tiny") << 5 << 3;
  }
  void outlineDividesTruncating() {
    QFETCH(int, w);
    QFETCH(int, h);
    const QPolygon p = TAboutBox::starPoints(w, h);
    QCOMPARE(p.size(), 13);
    QCOMPARE(p[1], QPoint(2 * w / 3, h / 4));
    QCOMPARE(p[3], QPoint(5 * w / 6, h / 2));
    QCOMPARE(p[9], QPoint(w / 6, h / 2));
    QCOMPARE(p[12], p[0]);
  }

  void shapeIsTheStar() {
    TAboutBox box;
    const QRegion mask = box.mask();
    // Inside: the centre and just under the top point; outside: the corners
    // and the notch between two rays.
    QVERIFY(mask.contains(QPoint(157, 147)));
    QVERIFY(mask.contains(QPoint(157, 12)));
    QVERIFY(!mask.contains(QPoint(2, 2)));
    QVERIFY(!mask.contains(QPoint(310, 290)));
    QVERIFY(!mask.contains(QPoint(157, 3)));
    QVERIFY(!mask.contains(QPoint(300, 140)));
  }

  void hintHasThreeLinesVerbatim() {
    TAboutBox box;
    const QStringList lines = box.toolTip().split(QLatin1Char('\n'));
    QCOMPARE(lines, (QStringList{QStringLiteral("Thank you for using Tolvan."),
                                 QStringLiteral("Please feel free to distibute it to your friends. "),
                                 QStringLiteral("We welcome your feedback and comments.")}));
  }

  void clickOnTheFaceCloses() {
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy done(&box, &QDialog::finished);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(157, 150));
    QCOMPARE(done.count(), 1);
    QVERIFY(!box.isVisible());
  }

  void paintsWithoutATamilFont() {
    // The face draws in every environment; where the TSCII font is missing
    // the interface names fall back to the default font.
    tolvan::registerTsciiFonts(QString());
    TAboutBox box;
    const QImage img = box.grab().toImage();
    QCOMPARE(img.size(), QSize(314, 294));
    // Yellow outline on the top point's edge, black face inside.
    QCOMPARE(img.pixelColor(157, 200), QColor(Qt::black));
    bool yellow = false;
    for (int y = 5; y < 12 && !yellow; ++y)
      for (int x = 150; x < 165 && !yellow; ++x)
        yellow = img.pixelColor(x, y) == QColor(255, 255, 0);
    QVERIFY(yellow);
  }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
