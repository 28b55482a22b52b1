// The font-map editor: its layout, the palette, Save, Load and Add, and a map
// made in it applied from a new document window's "Convert Fonts Using" menu.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include "core/convert/fontmap.h"
#include "windows/dialogs/map_form.h"
#include "windows/document/convert_commands.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "core/settings/profile_file.h"
#include "../window_test_util.h"

using window_test::readFile;
using window_test::textOf;
using window_test::writeFile;

using tolvan::Prompts;

namespace {

QLineEdit* cell(TMapForm* m, unsigned char c) { return m->Cells[c - 0x20]; }
QToolButton* paletteButton(TMapForm* m, unsigned char c) { return m->Palette[c - 0x20]; }

QByteArray cellBytes(TMapForm* m, unsigned char c) {
  QByteArray out;
  for (QChar ch : cell(m, c)->text()) out.append(char(tolvan::charToByte(ch)));
  return out;
}

}  // namespace

class MapFormTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  QString path(const QString& name) const { return dir_.filePath(name); }
  tolvan::ProfileFile ini() const { return tolvan::ProfileFile(path("Tolvan.ini").toStdString()); }

  TEditForm* newDocument() {
    frame_->New1Click();
    return frame_->ActiveEditForm();
  }
  TMapForm* newEditor(TEditForm* f) {
    f->FontConversion1->trigger();
    TMapForm* m = TMapForm::current();
    if (m && !QTest::qWaitForWindowExposed(m)) return nullptr;
    return m;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", path("Tolvan.ini").toLocal8Bit());
    // A first save writes to the current folder.
    QDir::setCurrent(dir_.path());
    Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
    frame_->FinishStartup();
    prompts_.shown.clear();
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    Prompts::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
    tolvan::ProfileFile p = ini();
    p.WriteInteger("Tolvan", "FontConversionMenus", 0);
  }

  // ---------------------------------------------------------------- window

  void layoutOfTheCellsAndPalette_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QPoint>("label");
    QTest::addColumn<QPoint>("button");
    QTest::newRow("first") << 0x20 << QPoint(2, 1) << QPoint(0, 1);
    QTest::newRow("end of first column") << 0x33 << QPoint(2, 1 + 18 * 19) << QPoint(380, 1);
    QTest::newRow("second column") << 0x34 << QPoint(54, 1) << QPoint(400, 1);
    QTest::newRow("second palette row") << 0x40 << QPoint(54, 1 + 18 * 12) << QPoint(0, 21);
    QTest::newRow("last column") << 0xFC << QPoint(2 + 52 * 11, 1) << QPoint(560, 121);
    QTest::newRow("last") << 0xFF << QPoint(2 + 52 * 11, 1 + 18 * 3) << QPoint(620, 121);
  }
  void layoutOfTheCellsAndPalette() {
    QFETCH(int, code);
    QFETCH(QPoint, label);
    QFETCH(QPoint, button);
    TMapForm* m = newEditor(newDocument());
    QVERIFY(m);
    QCOMPARE(m->size(), QSize(660, 605));
    QCOMPARE(m->windowTitle(), QStringLiteral("Font Conversion by Tolvan - No file loaded"));
    QVERIFY(!m->isModal() && m->parentWidget() == frame_->ActiveEditForm());
    const auto c = static_cast<unsigned char>(code);
    QLabel* l = m->SourceLabels[c - 0x20];
    QCOMPARE(l->geometry(), QRect(label, QSize(18, 18)));
    QCOMPARE(l->text(), QString(tolvan::byteToChar(c)));
    QCOMPARE(cell(m, c)->geometry(), QRect(label + QPoint(19, 0), QSize(30, 18)));
    QCOMPARE(paletteButton(m, c)->geometry(), QRect(button, QSize(20, 20)));
    QCOMPARE(paletteButton(m, c)->text(), QString(tolvan::byteToChar(c)));
    QCOMPARE(m->SourceFont->currentText(), QStringLiteral("MylaiTSC"));
    QCOMPARE(m->TargetFont->currentText(), QStringLiteral("MylaiTSC"));
    QCOMPARE(TMapForm::selectedCell(), 0x20);
    QCOMPARE(m->BtnAdd->text(), QStringLiteral("Add this Conversion Scheme to Tolvan"));
    QCOMPARE(m->BtnAdd->geometry(), QRect(216, 552, 249, 17));
  }

  void paletteAppendsToTheClickedCell() {
    TMapForm* m = newEditor(newDocument());
    // Without a click the first cell is the selected one.
    QTest::mouseClick(paletteButton(m, 'z'), Qt::LeftButton);
    QCOMPARE(cellBytes(m, 0x20), QByteArray("z"));
    QTest::mouseClick(cell(m, 0x61), Qt::LeftButton);
    QCOMPARE(TMapForm::selectedCell(), 0x61);
    QTest::mouseClick(paletteButton(m, 0xC0), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, 0xA1), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, 0xAD), Qt::LeftButton);
    QCOMPARE(cellBytes(m, 0x61), QByteArray("\xC0\xA1\xAD"));
  }

  // Only one editor is in use: a second one starts empty and the first goes.
  void aNewEditorTakesTheStateOver() {
    TEditForm* f = newDocument();
    QPointer<TMapForm> first = newEditor(f);
    QTest::mouseClick(cell(first, 0x41), Qt::LeftButton);
    QTRY_VERIFY(first->isVisible());
    TMapForm* second = newEditor(f);
    QVERIFY(second != first);
    QCOMPARE(TMapForm::selectedCell(), 0x20);
    QCOMPARE(TMapForm::currentFilePath(), QString());
    QTRY_VERIFY(!first || !first->isVisible());
    // Cancel closes it.
    second->BtnCancel->click();
    QTRY_VERIFY(TMapForm::current() == nullptr);
  }

  // ---------------------------------------------------------------- save

  void saveWritesTheFileUnderTheDerivedName() {
    TMapForm* m = newEditor(newDocument());
    m->TargetFont->setCurrentText(QStringLiteral("Xyz"));
    cell(m, 0x41)->setText(QStringLiteral("xy"));
    m->BtnSave->click();
    // In the current folder; the editor holds the file's full path.
    const QString name = QStringLiteral("MylaiTSC2Xyz.tol");
    QCOMPARE(TMapForm::currentFilePath(), path(name));
    QCOMPARE(m->windowTitle(), QStringLiteral("Font Conversion by Tolvan - ") + path(name));
    QCOMPARE(readFile(path(name)),
             QByteArray("Fontmap Created by Tolvan\r\nDo NOT change the contents of this file\r\n"
                        "SourceFont=MylaiTSC\r\nTargetFont=Xyz\r\nA=xy\r\n"
                        "Tolvan written by Veyran Olmast\r\nhttp://www.tolvan.org\r\n"));
    // A second save replaces the same file; no question is asked.
    cell(m, 0x41)->clear();
    m->BtnSave->click();
    QVERIFY(!readFile(path(name)).contains("A=xy"));
    QVERIFY(prompts_.shown.isEmpty());
  }

  void faceNamesAreCutTo31Characters() {
    TMapForm* m = newEditor(newDocument());
    const QString longName = QString(40, u'F');
    m->SourceFont->setCurrentText(longName);
    m->TargetFont->setCurrentText(QStringLiteral("T"));
    m->BtnSave->click();
    const QString name = QString(31, u'F') + QStringLiteral("2T.tol");
    QCOMPARE(TMapForm::currentFilePath(), path(name));
    QVERIFY(readFile(path(name)).contains("SourceFont=" + QByteArray(31, 'F') + "\r\n"));
  }

  // ---------------------------------------------------------------- load

  void loadFillsNamedCellsAndKeepsTheOthers() {
    TMapForm* m = newEditor(newDocument());
    cell(m, 0x42)->setText(QStringLiteral("kept"));
    cell(m, 0x3D)->setText(QStringLiteral("eq"));
    const QString file = path("partial.tol");
    writeFile(file, QByteArray("Fontmap Created by Tolvan\r\nTargetFont=Abc\r\n"
                               "a=\xC0\xA1\r\n==x\r\n\x10=ignored\r\nc=\r\n"));
    cell(m, 0x63)->setText(QStringLiteral("gone"));
    prompts_.files.push_back({file});
    m->BtnLoadClick();
    QCOMPARE(prompts_.shown, QStringList({"Open", "No Source Font mentioned. Please check the file"}));
    QCOMPARE(m->TargetFont->currentText(), QStringLiteral("Abc"));
    QCOMPARE(m->SourceFont->currentText(), QStringLiteral("MylaiTSC"));
    QCOMPARE(cellBytes(m, 'a'), QByteArray("\xC0\xA1"));
    QCOMPARE(cellBytes(m, 0x42), QByteArray("kept"));
    QCOMPARE(cellBytes(m, 0x3D), QByteArray("eq"));
    // "c=" names the cell with nothing: it is emptied.
    QCOMPARE(cellBytes(m, 'c'), QByteArray());
    QCOMPARE(TMapForm::currentFilePath(), file);
    QCOMPARE(m->windowTitle(), QStringLiteral("Font Conversion by Tolvan - ") + file);
  }

  void loadOfAMissingFileChangesNothing() {
    TMapForm* m = newEditor(newDocument());
    cell(m, 0x41)->setText(QStringLiteral("x"));
    prompts_.files.push_back({path("missing.tol")});
    m->BtnLoadClick();
    QCOMPARE(prompts_.shown.size(), 2);
    QVERIFY(prompts_.shown[1].contains(QStringLiteral("missing.tol")));
    QCOMPARE(TMapForm::currentFilePath(), QString());
    QCOMPARE(m->windowTitle(), QStringLiteral("Font Conversion by Tolvan - No file loaded"));
    QCOMPARE(cellBytes(m, 0x41), QByteArray("x"));
    // A cancelled dialog changes nothing either.
    prompts_.shown.clear();
    m->BtnLoadClick();
    QCOMPARE(prompts_.shown, QStringList({"Open"}));
  }

  // ---------------------------------------------------------------- add

  void addRegistersTheCurrentFile() {
    TMapForm* m = newEditor(newDocument());
    m->BtnAdd->click();
    QCOMPARE(prompts_.shown, QStringList({"Please select conversion scheme. Use the 'Load' Button "
                                          "to load the conversion schemes"}));
    QCOMPARE(ini().ReadInteger("Tolvan", "FontConversionMenus", -1), 0);
    prompts_.shown.clear();
    m->TargetFont->setCurrentText(QStringLiteral("Twice"));
    m->BtnSave->click();
    m->BtnAdd->click();
    m->BtnAdd->click();
    const QString name = path(QStringLiteral("MylaiTSC2Twice.tol"));
    const QString added = name + QStringLiteral(
        " is added to Tolvan. It will be available when you start Tolvan next time");
    QCOMPARE(prompts_.shown, QStringList({added, added}));
    QCOMPARE(ini().ReadInteger("Tolvan", "FontConversionMenus", -1), 2);
    QCOMPARE(ini().ReadString("Tolvan", "FontConversionMenu_2", ""), name.toStdString());
    // New windows list it twice; the open one does not change.
    TEditForm* g = newDocument();
    QCOMPARE(g->ConvertCommands->Convert->actions().size(), 2);
  }

  // A map saved and added, then used by a window while the program's current
  // folder is another: found by its full path. A name registered without a
  // folder is still taken from the current folder.
  void addedMapIsFoundFromAnyFolder_data() {
    QTest::addColumn<bool>("registeredBare");
    QTest::newRow("saved and added in the editor") << false;
    QTest::newRow("bare name registered earlier") << true;
  }
  void addedMapIsFoundFromAnyFolder() {
    QFETCH(bool, registeredBare);
    TMapForm* m = newEditor(newDocument());
    m->TargetFont->setCurrentText(QStringLiteral("Far"));
    cell(m, 'a')->setText(QStringLiteral("z"));
    m->BtnSave->click();
    const QString saved = path(QStringLiteral("MylaiTSC2Far.tol"));
    QCOMPARE(readFile(saved).contains("a=z\r\n"), true);
    QString elsewhere = path(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    if (registeredBare) {
      tolvan::ProfileFile p = ini();
      p.WriteInteger("Tolvan", "FontConversionMenus", 1);
      p.WriteString("Tolvan", "FontConversionMenu_1", "MylaiTSC2Far.tol");
      QFile::copy(saved, QDir(elsewhere).filePath(QStringLiteral("MylaiTSC2Far.tol")));
      QVERIFY(QFile::remove(saved));
    } else {
      m->BtnAdd->click();
      QCOMPARE(ini().ReadString("Tolvan", "FontConversionMenu_1", ""), saved.toStdString());
    }
    QDir::setCurrent(elsewhere);
    TEditForm* g = newDocument();
    tolvan::setDocumentBytes(g->Editor->document(), "a b a");
    g->Selectall1Click();
    prompts_.shown.clear();
    QCOMPARE(g->ConvertCommands->Convert->actions().size(), 1);
    g->ConvertCommands->Convert->actions().first()->trigger();
    QDir::setCurrent(dir_.path());
    QCOMPARE(prompts_.shown, QStringList());
    QCOMPARE(textOf(g), QByteArray("z b z"));
  }

  // A registered map changed in the editor and saved again: the next use
  // of its menu item, in the window that already lists it and in a new one,
  // converts by the changed map, with no restart between.
  void editedMapAppliesAtOnce() {
    TMapForm* m = newEditor(newDocument());
    m->TargetFont->setCurrentText(QStringLiteral("Edited"));
    cell(m, 'a')->setText(QStringLiteral("z"));
    m->BtnSave->click();
    m->BtnAdd->click();
    const QString saved = path(QStringLiteral("MylaiTSC2Edited.tol"));
    QCOMPARE(ini().ReadString("Tolvan", "FontConversionMenu_1", ""), saved.toStdString());
    TEditForm* g = newDocument();
    QCOMPARE(g->ConvertCommands->Convert->actions().size(), 1);
    QAction* item = g->ConvertCommands->Convert->actions().first();
    struct Step {
      QString a, b;
      QByteArray expected;
    };
    const QList<Step> steps = {{"z", "", "z b z"}, {"y", "x", "y x y"}, {"", "w", "a w a"}};
    for (const Step& step : steps) {
      cell(m, 'a')->setText(step.a);
      cell(m, 'b')->setText(step.b);
      m->BtnSave->click();
      QCOMPARE(TMapForm::currentFilePath(), saved);
      for (TEditForm* w : {g, newDocument()}) {
        tolvan::setDocumentBytes(w->Editor->document(), "a b a");
        w->Selectall1Click();
        QCOMPARE(w->ConvertCommands->Convert->actions().size(), 1);
        (w == g ? item : w->ConvertCommands->Convert->actions().first())->trigger();
        QCOMPARE(textOf(w), step.expected);
      }
    }
  }

  // Built in the editor, saved, loaded into a fresh editor, added, then
  // applied from a new window: the same bytes as tolvan-cli.
  void mapFromTheEditorAppliesLikeTheCli() {
    TEditForm* f = newDocument();
    TMapForm* m = newEditor(f);
    m->TargetFont->setCurrentText(QStringLiteral("Other"));
    QTest::mouseClick(cell(m, 'a'), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, 0xC0), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, 0xA1), Qt::LeftButton);
    QTest::mouseClick(cell(m, 0xAD), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, 'i'), Qt::LeftButton);
    QTest::mouseClick(cell(m, ' '), Qt::LeftButton);
    QTest::mouseClick(paletteButton(m, '_'), Qt::LeftButton);
    m->BtnSave->click();
    const QString saved = TMapForm::currentFilePath();
    QCOMPARE(QFileInfo(saved).absolutePath(), QFileInfo(path(QStringLiteral("x"))).absolutePath());
    TMapForm* m2 = newEditor(f);
    prompts_.files.push_back({saved});
    m2->BtnLoadClick();
    QCOMPARE(cellBytes(m2, 'a'), QByteArray("\xC0\xA1"));
    m2->BtnAdd->click();
    QCOMPARE(ini().ReadString("Tolvan", "FontConversionMenu_1", ""), saved.toStdString());

    TEditForm* g = newDocument();
    const QByteArray text("a b\xAD\rSri a");
    tolvan::setDocumentBytes(g->Editor->document(), text);
    g->Selectall1Click();
    QCOMPARE(g->ConvertCommands->Convert->actions().size(), 1);
    g->ConvertCommands->Convert->actions().first()->trigger();
    QProcess cli;
    cli.start(QStringLiteral(TOLVAN_CLI_PATH), {"fontmap", "apply", saved});
    cli.write(text);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(30000));
    const QByteArray expected = cli.readAllStandardOutput();
    QCOMPARE(expected, QByteArray("\xC0\xA1_bi\rSri_\xC0\xA1"));
    QCOMPARE(textOf(g), expected);
  }
};

QTEST_MAIN(MapFormTest)
#include "map_form_test.moc"
