// The frame as a window among others: where it is placed from the settings
// file, the selector bar with more documents than fit, closing several
// windows at once, titles and captions, the status panels, the banner's
// legibility, and dialogs that keep above the frame and give the keyboard
// back. Qt Test on the offscreen platform, prompts answered from a script
// unless a test needs the real dialogs.
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/prompts.h"
#include "windows/dialogs/about_box.h"
#include "windows/frame/frame_mdi_area.h"
#include "windows/frame/main_form.h"
#include "core/settings/color_table.h"

using Answer = tolvan::Prompts::Answer;

class FrameWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  tolvan::ScriptedPrompts prompts_;
  std::unique_ptr<TMainForm> frame_;
  QString oldCwd_;

  QString ini() const { return dir_->filePath(QStringLiteral("Tolvan.ini")); }
  void writeIni(const QByteArray& body) {
    QFile f(ini());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(body);
  }
  QByteArray readIni() const {
    QFile f(ini());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  TMainForm* makeFrame(const QByteArray& extra = QByteArray()) {
    writeIni("[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\n" + extra);
    frame_ = std::make_unique<TMainForm>(dir_->path());
    return frame_.get();
  }
  TMainForm* shownFrame() {
    TMainForm* f = makeFrame();
    f->show();
    if (!QTest::qWaitForWindowActive(f)) qWarning("frame not active");
    return f;
  }
  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = dir_->filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }
  static QString screenKey() {
    const QSize s = QGuiApplication::primaryScreen()->size();
    return QStringLiteral("NormPos(%1x%2)").arg(s.width()).arg(s.height());
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("TOLVAN_INI", QFile::encodeName(ini()));
    prompts_ = tolvan::ScriptedPrompts();
    tolvan::Prompts::setInstance(&prompts_);
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_->path());
  }

  void cleanup() {
    if (frame_) {
      for (TEditForm* f : frame_->EditForms()) f->Editor->document()->setModified(false);
      frame_.reset();
    }
    tolvan::Prompts::setInstance(nullptr);
    QDir::setCurrent(oldCwd_);
    dir_.reset();
  }

  // ---- placement from the settings file

  void storedPlacementIsFittedToTheScreen_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("keptAsIs");
    QTest::newRow("far too large") << "-5000,-5000,99999,99999" << false;
    QTest::newRow("off the right edge") << "3000,100,3800,700" << false;
    QTest::newRow("above and left") << "-900,-700,-300,-200" << false;
    QTest::newRow("a dot") << "10,10,11,11" << false;
    QTest::newRow("on the screen") << "50,40,750,540" << true;
  }
  void storedPlacementIsFittedToTheScreen() {
    QFETCH(QString, stored);
    QFETCH(bool, keptAsIs);
    const QByteArray line = (screenKey() + QLatin1Char('=') + stored).toLatin1();
    TMainForm* f = makeFrame(line + "\r\n");
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect g = f->geometry();
    QVERIFY2(avail.contains(g), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                               .arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())));
    QVERIFY(g.width() >= qMin(200, avail.width()) && g.height() >= qMin(150, avail.height()));
    QVERIFY(g.width() >= qMin(f->minimumSizeHint().width(), avail.width()));
    if (keptAsIs) {
      const QStringList p = stored.split(QLatin1Char(','));
      QCOMPARE(g, QRect(QPoint(p[0].toInt(), p[1].toInt()),
                        QPoint(p[2].toInt() - 1, p[3].toInt() - 1)));
    }
    // Not moved: the stored text stays as it was.
    QVERIFY(f->close());
    QVERIFY2(readIni().contains(line), readIni().constData());
  }

  void movedWindowWritesItsPlacement() {
    const QByteArray line = (screenKey() + QStringLiteral("=3000,100,3800,700")).toLatin1();
    TMainForm* f = makeFrame(line + "\r\n");
    f->setGeometry(20, 30, 300, 200);
    QVERIFY(f->close());
    QVERIFY(!readIni().contains(line));
    QVERIFY(readIni().contains((screenKey() + QStringLiteral("=20,30,320,230")).toLatin1()));
  }

  // ---- selector bar

  void selectorButtonsWrapWhenTheyDoNotFit() {
    TMainForm* f = shownFrame();
    // The bar's width once a document (and with it the format bar) is up.
    f->New1Click();
    f->resize(720, 500);  // on the screen: nothing moves it afterwards
    QTRY_COMPARE(f->width(), 720);
    QCoreApplication::processEvents();
    const int perRow = f->FileTab->width() / 80;
    QVERIFY(perRow >= 2);
    for (int i = 1; i < perRow; ++i) f->New1Click();
    QCoreApplication::processEvents();
    QCOMPARE(f->FileTab->width() / 80, perRow);
    // While they fit: one row, x = k * 80, y = 2.
    auto forms = f->EditForms();
    for (int k = 0; k < perRow; ++k)
      QCOMPARE(forms[k]->BtnSpeed->geometry(), QRect(k * 80, 2, 80, 20));
    QCOMPARE(f->FileTab->height(), 24);
    // One more: a second row, every button on the bar and none on another.
    f->New1Click();
    forms = f->EditForms();
    QTRY_COMPARE(forms.last()->BtnSpeed->pos(), QPoint(0, 24));
    QTRY_COMPARE(f->FileTab->height(), 46);
    for (int k = 0; k <= perRow; ++k) {
      const QRect r = forms[k]->BtnSpeed->geometry();
      QVERIFY2(f->FileTab->rect().contains(r), qPrintable(QString::number(k)));
      QVERIFY(forms[k]->BtnSpeed->isVisible());
      for (int j = 0; j < k; ++j) QVERIFY(!r.intersects(forms[j]->BtnSpeed->geometry()));
    }
    // Closing one brings them back to one row.
    forms[1]->Close1Click();
    QTRY_COMPARE(f->FileTab->height(), 24);
    forms = f->EditForms();
    for (int k = 0; k < forms.size(); ++k)
      QTRY_COMPARE(forms[k]->BtnSpeed->geometry(), QRect(k * 80, 2, 80, 20));
  }

  void buttonsOfUntitledDocumentsReadApart() {
    TMainForm* f = shownFrame();
    f->New1Click();
    f->New1Click();
    const auto forms = f->EditForms();
    QCOMPARE(forms.size(), 2);
    // A large face, as on a screen with more dots to the inch: the captions
    // no longer fit their 80-pixel buttons.
    QFont big = f->FileTab->font();
    big.setPixelSize(20);
    f->FileTab->setFont(big);
    QToolButton* a = forms[0]->BtnSpeed;
    QToolButton* b = forms[1]->BtnSpeed;
    QVERIFY(QFontMetrics(big).horizontalAdvance(a->text()) > a->width() - a->iconSize().width());
    QCOMPARE(a->toolTip(), a->text());
    a->setChecked(false);
    b->setChecked(false);
    QTRY_COMPARE(a->font().pixelSize(), 20);
    // Alike but for the caption: the drawn captions must differ.
    QVERIFY(a->grab().toImage() != b->grab().toImage());
  }

  void buttonTooltipIsTheFullPath() {
    TMainForm* f = makeFrame();
    writeFile(QStringLiteral("a rather long document name.txt"), "x\n");
    // Named relative to the current folder, as on a command line.
    f->OpenFiles({QStringLiteral("a rather long document name.txt")});
    TEditForm* doc = f->ActiveEditForm();
    QVERIFY(doc);
    const QString full = dir_->filePath(QStringLiteral("a rather long document name.txt"));
    QCOMPARE(doc->BtnSpeed->toolTip(), full);
    QCOMPARE(doc->Title(), full);
  }

  // ---- closing several windows

  void oneCancelClosesNothing_data() {
    QTest::addColumn<bool>("closeAll");
    QTest::addColumn<int>("modified");
    QTest::newRow("exit, first modified") << false << 0;
    QTest::newRow("exit, middle modified") << false << 1;
    QTest::newRow("close all, first modified") << true << 0;
    QTest::newRow("close all, middle modified") << true << 1;
  }
  void oneCancelClosesNothing() {
    QFETCH(bool, closeAll);
    QFETCH(int, modified);
    TMainForm* f = makeFrame();
    for (int i = 0; i < 3; ++i) f->New1Click();
    const auto forms = f->EditForms();
    forms[modified]->Editor->insertPlainText(QStringLiteral("unsaved"));
    auto closeEverything = [&] {
      if (closeAll)
        f->ActiveEditForm()->CloseAll1Click();
      else
        f->close();
      QCoreApplication::processEvents();
    };
    prompts_.answers = {Answer::Cancel};
    closeEverything();
    QCOMPARE(f->EditForms().size(), 3);
    for (TEditForm* doc : forms) QVERIFY(doc->BtnSpeed);
    QVERIFY(forms[modified]->isModified());
    QCOMPARE(prompts_.shown.size(), 1);
    // The answer given then does not stick: the next try asks again; No
    // lets every window close, each asked once.
    prompts_.shown.clear();
    prompts_.answers = {Answer::No};
    closeEverything();
    QTRY_VERIFY(f->EditForms().isEmpty());
    QCOMPARE(prompts_.shown, QStringList{QStringLiteral("Save changes to Tolvan%1?").arg(modified + 1)});
  }

  // ---- titles and captions

  void frameTitleNamesTheProgramOnce() {
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tolvan"));
    TMainForm* f = makeFrame();
    f->New1Click();
    QCOMPARE(f->windowTitle(), QStringLiteral("Tolvan - [Tolvan1]"));
    // The platform adds the display name to a title that does not end with it.
    const QString name = QGuiApplication::applicationDisplayName();
    QVERIFY2(name.isEmpty() || f->windowTitle().endsWith(name), qPrintable(name));
  }

  void recentEntriesAreOneText_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("caption");
    QTest::newRow("plain") << "/docs/a.txt" << "&1 /docs/a.txt";
    QTest::newRow("ampersand") << "/docs/R&D.txt" << "&1 /docs/R&&D.txt";
    QTest::newRow("long") << "/" + QString(300, QLatin1Char('d')) + "/end.txt" << QString();
  }
  void recentEntriesAreOneText() {
    QFETCH(QString, path);
    QFETCH(QString, caption);
    TMainForm* f = makeFrame();
    f->AddRecentFile(path);
    QAction* a = f->RecentMenu->actions().at(0);
    QVERIFY(!a->text().contains(QLatin1Char('\t')));
    QCOMPARE(a->statusTip(), path);
    QCOMPARE(a->toolTip(), path);
    if (!caption.isEmpty()) {
      QCOMPARE(a->text(), caption);
    } else {
      // Shortened in the middle: the start and the file name stay.
      QVERIFY(a->text().startsWith(QStringLiteral("&1 /ddd")));
      QVERIFY(a->text().endsWith(QStringLiteral("/end.txt")));
      QVERIFY(QFontMetrics(f->RecentMenu->font()).horizontalAdvance(a->text()) <=
              TMainForm::kMaxRecentTextWidth + 40);
    }
  }

  // ---- status bar

  void panelsWidenForLongerTexts_data() {
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    QTest::newRow("column past a million") << 1 << TMainForm::FormatLineCol(1001, 1001234);
    QTest::newRow("line past a million") << 1 << TMainForm::FormatLineCol(1234567, 23);
    QTest::newRow("index past ten million") << 2 << TMainForm::FormatCharIndex(123456789);
  }
  void panelsWidenForLongerTexts() {
    QFETCH(int, panel);
    QFETCH(QString, text);
    TMainForm* f = makeFrame();
    auto* label = f->findChild<QLabel*>(QStringLiteral("Panel%1").arg(panel));
    QVERIFY(label);
    f->SetPanelText(panel, text);
    QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(text),
             qPrintable(QStringLiteral("%1 < %2").arg(label->contentsRect().width())
                            .arg(label->fontMetrics().horizontalAdvance(text))));
    // A short text again leaves the panel as wide (no jumping about).
    const int wide = label->width();
    f->SetPanelText(panel, QStringLiteral("1"));
    QCOMPARE(label->width(), wide);
  }

  void lockPanelsFollowTheKeyRelease() {
    TMainForm* f = makeFrame();
    bool caps = false, num = false;
    f->SetLockStateReader([&](bool& c, bool& n) {
      c = caps;
      n = num;
      return true;
    });
    // The server sets a lock as its key goes down...
    caps = num = true;
    QTest::keyPress(f, Qt::Key_CapsLock);
    QCOMPARE(f->PanelText(4), QStringLiteral("CAP"));
    QCOMPARE(f->PanelText(5), QStringLiteral("NUM"));
    // ...but clears it as the key comes up.
    QTest::keyPress(f, Qt::Key_CapsLock);
    caps = num = false;
    QTest::keyRelease(f, Qt::Key_CapsLock);
    QCOMPARE(f->PanelText(4), QString());
    QCOMPARE(f->PanelText(5), QString());
  }

  // ---- banner

  void bannerReadsInEveryPenColour() {
    TMainForm* f = makeFrame();
    f->resize(640, 480);
    auto* mdi = qobject_cast<TFrameMdiArea*>(f->MdiArea());
    QVERIFY(mdi);
    const QColor bg = mdi->palette().color(QPalette::Button);
    for (int k = 0; k < 16; ++k) {
      mdi->setBannerColorIndex(k);
      const QImage img = mdi->viewport()->grab().toImage();
      QCOMPARE(mdi->lastBannerColor(), TMainForm::ValueToColor(tolvan::kPenColors[k].value));
      // The strongest edge between banner and background, over the text band.
      double best = 1.0;
      for (int y = 0; y < qMin(img.height(), 90); ++y)
        for (int x = 0; x < img.width(); ++x)
          best = qMax(best, TFrameMdiArea::contrastRatio(img.pixelColor(x, y), bg));
      QVERIFY2(best >= 3.0, qPrintable(QStringLiteral("colour %1: %2").arg(k).arg(best)));
    }
  }

  void bannerBesideTheDirectoryPanelIsWhole_data() {
    QTest::addColumn<QByteArray>("fontDef");
    QTest::addColumn<int>("width");
    QTest::newRow("Tamil, 800 wide") << QByteArray("TSCu_Paranar") << 800;
    QTest::newRow("Tamil, 640 wide") << QByteArray("TSCu_Paranar") << 640;
    QTest::newRow("Tamil, 560 wide") << QByteArray("TSCu_Paranar") << 560;
    QTest::newRow("Tamil, 500 wide") << QByteArray("TSCu_Paranar") << 500;
    QTest::newRow("plain, 520 wide") << QByteArray("Arial") << 520;
  }
  void bannerBesideTheDirectoryPanelIsWhole() {
    QFETCH(QByteArray, fontDef);
    QFETCH(int, width);
    writeIni("[Tolvan]\r\nTimes=5\r\nFontDef=" + fontDef + "\r\nViewer=11011\r\n");
    frame_ = std::make_unique<TMainForm>(dir_->path());
    TMainForm* f = frame_.get();
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    f->resize(width, 480);
    QTRY_COMPARE(f->width(), width);
    QVERIFY(f->DirPanel->isVisible());
    auto* mdi = qobject_cast<TFrameMdiArea*>(f->MdiArea());
    QVERIFY(mdi);
    QTRY_VERIFY(mdi->viewport()->width() < width - f->DirPanel->width() + 20);
    mdi->setBannerColorIndex(0);
    const QImage img = mdi->viewport()->grab().toImage();
    const QColor bg = mdi->palette().color(QPalette::Button);
    // The columns the text inks, over the band of its lines (the icon is
    // below it): none may be an edge column, where a cut-off line ends.
    int left = img.width(), right = -1;
    for (int y = 0; y < qMin(img.height(), 95); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) != bg) left = qMin(left, x), right = qMax(right, x);
    QVERIFY(right >= 0);
    QVERIFY2(left > 0 && right < img.width() - 1,
             qPrintable(QStringLiteral("ink %1..%2 of %3").arg(left).arg(right).arg(img.width())));
  }

  // ---- dialogs and the keyboard

  void fileDialogsShowTheFilterNamesOnce() {
    tolvan::Prompts::setInstance(nullptr);
    TMainForm* f = shownFrame();
    QStringList seen;
    bool hidden = false;
    auto inspect = [&] {
      auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dlg) return;
      hidden = dlg->testOption(QFileDialog::HideNameFilterDetails);
      if (auto* combo = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < combo->count(); ++i) seen << combo->itemText(i);
      dlg->reject();
    };
    QTimer::singleShot(0, f, inspect);
    tolvan::Prompts::instance().openFileNames(f, QStringLiteral("Open"), dir_->path(),
                                              TMainForm::OpenFilter());
    QVERIFY(hidden);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first(), QStringLiteral("Plain text files (*.txt, *.csv)"));
    QCOMPARE(seen.last(), QStringLiteral("All files"));
    for (const QString& s : seen) QVERIFY2(!s.contains(QLatin1String(") (")), qPrintable(s));
    seen.clear();
    hidden = false;
    QTimer::singleShot(0, f, inspect);
    tolvan::Prompts::instance().saveFileName(
        f, QStringLiteral("Save As"), dir_->path(),
        QStringLiteral("Rich text files (*.rtf);;Plain text files (*.txt);;All files (*)"));
    QVERIFY(hidden);
    QCOMPARE(seen, (QStringList{QStringLiteral("Rich text files (*.rtf)"),
                                QStringLiteral("Plain text files (*.txt)"),
                                QStringLiteral("All files")}));
  }

  void aboutBoxGivesTheKeyboardBack() {
    TMainForm* f = shownFrame();
    f->New1Click();
    QWidget* editor = f->ActiveEditForm()->Editor;
    editor->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), editor);
    bool clicked = false;
    QTimer::singleShot(50, f, [&] {
      auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
      if (!box) return;
      // Without a window manager nothing activates the frame again by itself.
      QApplication::setActiveWindow(nullptr);
      QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
      clicked = true;
    });
    f->About1Click();
    QVERIFY(clicked);
    QTRY_VERIFY(f->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), editor);
  }

  void raisingTheFrameKeepsItsBoxOnTop() {
    tolvan::Prompts::setInstance(nullptr);
    TMainForm* f = shownFrame();
    QPointer<QWidget> boxSeen;
    bool sawBox = false, boxActive = false;
    QTimer::singleShot(50, f, [&] {
      boxSeen = QApplication::activeModalWidget();
      sawBox = boxSeen != nullptr;
      // Something brings the frame forward while the box is up.
      f->raise();
      f->activateWindow();
      boxActive = QTest::qWaitFor(
          [&] { return boxSeen && QApplication::activeWindow() == boxSeen.data(); });
      if (auto* box = qobject_cast<QMessageBox*>(boxSeen.data())) box->accept();
    });
    tolvan::Prompts::instance().error(f, QStringLiteral("Cannot open file x"));
    QVERIFY(sawBox);
    QVERIFY(boxActive);
  }
};

QTEST_MAIN(FrameWindowTest)
#include "frame_window_test.moc"
