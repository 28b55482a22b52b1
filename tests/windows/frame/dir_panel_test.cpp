// The directory panel and the encryption commands in the window: a real
// frame on a temporary settings file, prompts answered from a script, the
// file commands' worker threads waited for through their finished signal.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <thread>

#include "core/crypto/blowfish.h"
#include "core/crypto/file_crypt.h"
#include "core/crypto/text_crypt.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/frame/crypt_commands.h"
#include "windows/panels/dir_panel.h"
#include "windows/frame/led.h"
#include "windows/frame/main_form.h"
#include "core/settings/recent_files.h"

namespace {

// The switch that lets the tree's popup menu open: a key named by a Tamil
// word in TSCII holding another.
const QByteArray kSwitchOn = "\xC3\xB8\xBA\xA2\xC2\xF5=\xAB\xC4\xA8\xF5\r\n";
const QString kCaption = QStringLiteral("Password for encryption");
const QString kFilePrompt = QStringLiteral("Please enter the password");
const QString kTextPrompt = QStringLiteral("Please enter the passphrase");

// Records whether each input query hid what was typed.
class Prompts : public tolvan::ScriptedPrompts {
 public:
  QList<bool> passwordFlags;
  bool inputQuery(QWidget* p, const QString& caption, const QString& prompt, QString& value,
                  bool password) override {
    passwordFlags << password;
    return ScriptedPrompts::inputQuery(p, caption, prompt, value, password);
  }
};

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray editorBytes(TEditForm* form) {
  QByteArray b;
  tolvan::documentToBytes(form->Editor->document(), "\r\n", &b);
  return b;
}

}  // namespace

class DirPanelTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  Prompts prompts_;
  std::unique_ptr<TMainForm> frame_;

  QString path(const QString& name) const { return dir_->filePath(name); }

  TMainForm* makeFrame(bool switchOn = true) {
    QFile ini(path(QStringLiteral("Tolvan.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return nullptr;
    ini.write("[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\nViewer=11111\r\nWorkDir=" +
              QFile::encodeName(dir_->path()) + "\r\n" + (switchOn ? kSwitchOn : QByteArray()));
    ini.close();
    frame_ = std::make_unique<TMainForm>(dir_->path());
    frame_->show();
    return frame_.get();
  }

  QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString p = path(name);
    QFile f(p);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return p;
  }

  // Selects file in the tree and runs one popup command to its end.
  bool runOnFile(void (TMainForm::*command)(), const QString& file) {
    QSignalSpy done(frame_->CryptCommands, &TCryptCommands::finished);
    frame_->DirTree->SelectPath(file);
    if (frame_->DirTree->SelectedFile() != file) return false;
    (frame_.get()->*command)();
    if (frame_->CryptCommands->RunningCount() == 0) return true;  // refused or asked nothing
    return done.wait(60000);
  }

  bool treeShows(const QString& file) {
    const QModelIndex i = frame_->DirTree->Model()->index(file);
    return i.isValid() && frame_->DirTree->Model()->filePath(i) == file;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("TOLVAN_INI", QFile::encodeName(path(QStringLiteral("Tolvan.ini"))));
    prompts_ = Prompts();
    tolvan::Prompts::setInstance(&prompts_);
  }

  void cleanup() {
    if (frame_) {
      for (TEditForm* f : frame_->EditForms()) f->Editor->document()->setModified(false);
      frame_.reset();
    }
    tolvan::Prompts::setInstance(nullptr);
    dir_.reset();
  }

  // ---- the panel

  void startsAtWorkDirWithTheFirstPattern() {
    TMainForm* f = makeFrame();
    QVERIFY(f->DirPanel->isVisible());
    QCOMPARE(f->DirPanel->widget(), static_cast<QWidget*>(f->DirTree));
    QCOMPARE(f->DirTree->SelectedPath(), dir_->path() + u'/');
    QVERIFY(f->DirTree->DirTree1->isExpanded(f->DirTree->DirTree1->currentIndex()));
    QCOMPARE(f->DirTree->FileFilter->currentIndex(), 0);
    QStringList items;
    for (int i = 0; i < f->DirTree->FileFilter->count(); ++i) items << f->DirTree->FileFilter->itemText(i);
    QCOMPARE(items, (QStringList{"*.*", "*.txt;*.csv;*.log;*.ini", "*.htm;*.html;*.asp", "*.js;*.vbs;*.pl",
                                 "*.rtf;*.doc", "*.c;*.java;*.pas"}));
    // The root of the file system and the home folder are a click away.
    QCOMPARE(f->DirTree->Places->itemData(0).toString(), QDir::homePath());
    QCOMPARE(f->DirTree->Places->itemData(1).toString(), QStringLiteral("/"));
  }

  void startShowsTheWorkingFolder() {
    // Far down a long folder, the working folder is open and in view once
    // the window is up.
    QDir d(dir_->path());
    for (int i = 0; i < 300; ++i) QVERIFY(d.mkdir(QStringLiteral("d%1").arg(i, 3, 10, QLatin1Char('0'))));
    const QString work = path(QStringLiteral("d250"));
    QFile ini(path(QStringLiteral("Tolvan.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Tolvan]\r\nTimes=5\r\nFontDef=Arial\r\nViewer=11111\r\nWorkDir=" + QFile::encodeName(work) +
              "/\r\n");
    ini.close();
    frame_ = std::make_unique<TMainForm>(dir_->path());
    frame_->resize(800, 600);
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    QTreeView* t = frame_->DirTree->DirTree1;
    QCOMPARE(frame_->DirTree->SelectedFile(), work);
    QVERIFY(t->isExpanded(t->currentIndex()));
    QTRY_VERIFY(t->viewport()->rect().contains(t->visualRect(t->currentIndex()).topLeft()));
  }

  void masksShowTheirFiles_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("shown");
    const QStringList all{"a.TXT", "b.csv", "c.pas", "README", "d.txt.bak"};
    QTest::newRow("*.* is every file") << "*.*" << all;
    QTest::newRow("several patterns, any case") << "*.txt;*.csv" << QStringList{"a.TXT", "b.csv"};
    QTest::newRow("one pattern") << "*.pas" << QStringList{"c.pas"};
    QTest::newRow("spaces around patterns") << " *.pas ; README " << QStringList{"c.pas", "README"};
  }
  void masksShowTheirFiles() {
    QFETCH(QString, mask);
    QFETCH(QStringList, shown);
    for (const char* n : {"a.TXT", "b.csv", "c.pas", "README", "d.txt.bak"}) writeFile(QString::fromLatin1(n), "x");
    QDir(dir_->path()).mkdir(QStringLiteral("sub.folder"));
    TMainForm* f = makeFrame();
    TDirPanel* p = f->DirTree;
    QLineEdit* box = p->FileFilter->lineEdit();
    box->setText(mask);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(p->Mask(), mask);
    QCOMPARE(p->FileFilter->count(), 6);  // Enter does not add to the list
    QFileSystemModel* m = p->Model();
    const QModelIndex folder = m->index(dir_->path());
    QStringList listed;
    QTRY_VERIFY([&] {
      listed.clear();
      for (int r = 0; r < m->rowCount(folder); ++r) listed << m->index(r, 0, folder).data().toString();
      listed.sort();
      QStringList expect = shown;
      expect << QStringLiteral("sub.folder");  // folders always show
      if (mask == QLatin1String("*.*")) expect << QStringLiteral("Tolvan.ini");
      expect.sort();
      return listed == expect;
    }());
  }

  void patternBoxListAndPicking() {
    TMainForm* f = makeFrame();
    TDirPanel* p = f->DirTree;
    QLineEdit* box = p->FileFilter->lineEdit();
    // Picking an entry changes only the text.
    p->FileFilter->setCurrentIndex(4);
    QCOMPARE(p->FileFilter->currentText(), QStringLiteral("*.rtf;*.doc"));
    QCOMPARE(p->Mask(), QStringLiteral("*.*"));
    // A double-click adds the text to the list and applies it, each time.
    box->setText(QStringLiteral("*.md"));
    QTest::mouseDClick(box, Qt::LeftButton);
    QCOMPARE(p->Mask(), QStringLiteral("*.md"));
    QTest::mouseDClick(box, Qt::LeftButton);
    QCOMPARE(p->FileFilter->count(), 8);
    QCOMPARE(p->FileFilter->itemText(6), QStringLiteral("*.md"));
    QCOMPARE(p->FileFilter->itemText(7), QStringLiteral("*.md"));
  }

  void patternBoxSitsAtTheBottom() {
    TMainForm* f = makeFrame();
    TDirPanel* p = f->DirTree;
    for (int w : {153, 90, 300}) {
      p->resize(w, 240);
      QCOMPARE(p->FileFilter->width(), w - 2);
      QCOMPARE(p->FileFilter->geometry().bottom(), p->height() - 1);
      QCOMPARE(p->DirTree1->geometry().bottom() + 1, p->FileFilter->y());
    }
  }

  void doubleClickOpensFilesOnly() {
    const QString notes = writeFile(QStringLiteral("notes.txt"), "hello");
    QDir(dir_->path()).mkdir(QStringLiteral("folder"));
    TMainForm* f = makeFrame();
    TDirPanel* p = f->DirTree;
    p->SelectPath(path(QStringLiteral("folder")));
    p->DirTree1DblClick(p->DirTree1->currentIndex());
    QCOMPARE(f->EditForms().size(), 0);
    p->SelectPath(notes);
    p->DirTree1DblClick(p->DirTree1->currentIndex());
    QCOMPARE(f->EditForms().size(), 1);
    QCOMPARE(f->EditForms().first()->Title(), notes);
    QCOMPARE(f->workDir(), dir_->path() + u'/');
    QCOMPARE(QString::fromStdString(f->recentFiles().entries().front().path), notes);
  }

  void doubleClickOnAnOpenFileShowsItsWindow_data() {
    QTest::addColumn<QString>("clicked");
    QTest::newRow("same name") << "notes.txt";
    QTest::newRow("through a link") << "link.txt";
  }
  void doubleClickOnAnOpenFileShowsItsWindow() {
    QFETCH(QString, clicked);
    const QString notes = writeFile(QStringLiteral("notes.txt"), "hello");
    QVERIFY(QFile::link(notes, path(QStringLiteral("link.txt"))));
    TMainForm* f = makeFrame();
    TDirPanel* p = f->DirTree;
    p->SelectPath(notes);
    p->DirTree1DblClick(p->DirTree1->currentIndex());
    QCOMPARE(f->EditForms().size(), 1);
    TEditForm* first = f->EditForms().first();
    f->New1Click();
    QVERIFY(f->ActiveEditForm() != first);
    p->SelectPath(path(clicked));
    QCOMPARE(p->SelectedFile(), path(clicked));
    p->DirTree1DblClick(p->DirTree1->currentIndex());
    QCOMPARE(f->EditForms().size(), 2);
    QCOMPARE(f->ActiveEditForm(), first);
  }

  void viewStaysPutAcrossCommands_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("Encrypt") << 0;
    QTest::newRow("Decrypt, wrong password") << 1;
    QTest::newRow("CRC") << 2;
    QTest::newRow("Refresh") << 3;
  }
  void viewStaysPutAcrossCommands() {
    // The user has scrolled the tree and clicked a file; after the command
    // (and the files it makes) the same item heads the view, the file is
    // still selected under the same spot, and open folders stay open.
    QFETCH(int, command);
    for (int i = 0; i < 80; ++i) writeFile(QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0')), "123456789");
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("sub")));
    writeFile(QStringLiteral("sub/inner.txt"), "x");
    TMainForm* f = makeFrame();
    f->resize(800, 600);
    TDirPanel* p = f->DirTree;
    QTreeView* t = p->DirTree1;
    QFileSystemModel* m = p->Model();
    QTRY_COMPARE(m->rowCount(m->index(dir_->path())), 82);
    t->expand(m->index(path(QStringLiteral("sub"))));
    QTRY_COMPARE(m->rowCount(m->index(path(QStringLiteral("sub")))), 1);
    const QString top = path(QStringLiteral("f40.txt")), file = path(QStringLiteral("f45.txt"));
    QVERIFY(QTest::qWaitForWindowExposed(f));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(1, 1));  // the user takes over
    t->scrollTo(m->index(top), QAbstractItemView::PositionAtTop);
    const QRect row = t->visualRect(m->index(file));
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(qBound(0, row.left() + 4, t->viewport()->width() - 1), row.center().y()));
    QCOMPARE(p->SelectedFile(), file);
    auto topPath = [t, p] { return p->Model()->filePath(t->indexAt(QPoint(0, 0))); };
    QCOMPARE(topPath(), top);
    const int y = t->visualRect(m->index(file)).top();

    QSignalSpy done(f->CryptCommands, &TCryptCommands::finished);
    prompts_.inputs = {QStringLiteral("pw")};
    switch (command) {
      case 0: f->Encrypt2Click(); break;
      case 1: f->Decrypt2Click(); break;
      case 2: f->CRCClick(); break;
      case 3: p->RefreshClick(); break;
    }
    if (command != 3) QVERIFY(done.wait(60000));
    if (command == 0) QTRY_VERIFY(treeShows(file + ".org"));
    // The model settles on its own thread's timing: each check may take a
    // moment, but each must come true.
    QTRY_COMPARE(topPath(), top);
    QTRY_COMPARE(p->SelectedFile(), file);
    QTRY_COMPARE(t->visualRect(p->Model()->index(file)).top(), y);
    QTRY_VERIFY(t->isExpanded(p->Model()->index(path(QStringLiteral("sub")))));
  }

  void popupMenuFollowsTheSwitch_data() {
    QTest::addColumn<bool>("switchOn");
    QTest::newRow("switch holds its value") << true;
    QTest::newRow("no switch") << false;
  }
  void popupMenuFollowsTheSwitch() {
    QFETCH(bool, switchOn);
    const QString notes = writeFile(QStringLiteral("notes.txt"), "hello");
    TMainForm* f = makeFrame(switchOn);
    TDirPanel* p = f->DirTree;
    QCOMPARE(f->EncMenuEnabled(), switchOn);
    p->SelectPath(notes);
    const QRect r = p->DirTree1->visualRect(p->DirTree1->currentIndex());
    QCOMPARE(p->ShowEncMenuAt(r.center()), switchOn);
    QCOMPARE(p->EncMenu->isVisible(), switchOn);
    p->EncMenu->hide();
    // The menu key: the popup for the selected item, which stays selected.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), p->DirTree1->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(p->DirTree1, &key);
    QCOMPARE(p->EncMenu->isVisible(), switchOn);
    QCOMPARE(p->SelectedFile(), notes);
    p->EncMenu->hide();
    QStringList items;
    for (QAction* a : p->EncMenu->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(items, (QStringList{"Encrypt", "Decrypt", "CRC", "-", "Refresh"}));
  }

  // ---- file commands

  void encryptThenDecrypt() {
    const QByteArray plain = "Thirteen byte";
    const QString file = writeFile(QStringLiteral("letter.txt"), plain);
    TMainForm* f = makeFrame();
    prompts_.inputs = {QStringLiteral("secret")};
    QVERIFY(runOnFile(&TMainForm::Encrypt2Click, file));
    QCOMPARE(prompts_.shown, (QStringList{kCaption + u'\n' + kFilePrompt, file + " encrypted !"}));
    QCOMPARE(prompts_.passwordFlags, QList<bool>{true});
    QCOMPARE(f->PanelText(6), "Encrypted " + file);
    QVERIFY(!f->Light->isBlinking());
    const QByteArray cipher = readAll(file);
    QCOMPARE(cipher.size(), 32 + plain.size());
    QCOMPARE(readAll(file + ".org"), plain);
    QVERIFY(!QFile::exists(file + ".enc"));
    QTRY_VERIFY(treeShows(file + ".org"));

    prompts_.shown.clear();
    prompts_.inputs = {QStringLiteral("secret")};
    QVERIFY(runOnFile(&TMainForm::Decrypt2Click, file));
    QCOMPARE(prompts_.shown, (QStringList{kCaption + u'\n' + kFilePrompt, file + " decrypted !"}));
    QCOMPARE(f->PanelText(6), "Decrypted " + file);
    QCOMPARE(readAll(file), plain);
    QCOMPARE(readAll(file + ".org"), plain);
    QCOMPARE(readAll(file + ".enc"), cipher);
    QTRY_VERIFY(treeShows(file + ".enc"));
  }

  void wrongPasswordLeavesTheFile() {
    const QString file = writeFile(QStringLiteral("letter.txt"), "some text");
    makeFrame();
    prompts_.inputs = {QStringLiteral("right")};
    QVERIFY(runOnFile(&TMainForm::Encrypt2Click, file));
    const QByteArray cipher = readAll(file);
    prompts_.shown.clear();
    prompts_.inputs = {QStringLiteral("wrong")};
    QVERIFY(runOnFile(&TMainForm::Decrypt2Click, file));
    QCOMPARE(prompts_.shown.last(), QStringLiteral("Incorrect password !"));
    QCOMPARE(readAll(file), cipher);
    QVERIFY(QFile::exists(file + ".dec"));
    QCOMPARE(QFileInfo(file + ".dec").size(), 0);
    QVERIFY(!frame_->Light->isBlinking());
  }

  void cancelledPasswordDoesNothing() {
    const QString file = writeFile(QStringLiteral("letter.txt"), "some text");
    TMainForm* f = makeFrame();
    QVERIFY(runOnFile(&TMainForm::Encrypt2Click, file));  // no input queued: Cancel
    QCOMPARE(prompts_.shown, QStringList{kCaption + u'\n' + kFilePrompt});
    QCOMPARE(readAll(file), QByteArray("some text"));
    QCOMPARE(f->CryptCommands->RunningCount(), 0);
    QVERIFY(!QFile::exists(file + ".enc"));
  }

  void notAFile_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("Encrypt") << 0;
    QTest::newRow("Decrypt") << 1;
    QTest::newRow("CRC") << 2;
  }
  void notAFile() {
    QFETCH(int, command);
    void (TMainForm::*commands[])() = {&TMainForm::Encrypt2Click, &TMainForm::Decrypt2Click,
                                       &TMainForm::CRCClick};
    QDir(dir_->path()).mkdir(QStringLiteral("folder"));
    TMainForm* f = makeFrame();
    const QString folder = path(QStringLiteral("folder"));
    f->DirTree->SelectPath(folder);
    QCOMPARE(f->DirTree->SelectedPath(), folder + u'/');
    (f->*commands[command])();
    QCOMPARE(prompts_.shown, QStringList{folder + " is NOT a File. Please Select a File."});
    // Nothing selected: the file name is empty.
    prompts_.shown.clear();
    f->DirTree->DirTree1->selectionModel()->clear();
    QCOMPARE(f->DirTree->SelectedPath(), QStringLiteral("?"));
    (f->*commands[command])();
    QCOMPARE(prompts_.shown, QStringList{" is NOT a File. Please Select a File."});
  }

  void checksums_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("crc");
    QTest::newRow("check value") << QByteArray("123456789") << false << "CBF43926";
    QTest::newRow("read-only file") << QByteArray("123456789") << true << "CBF43926";
    QTest::newRow("empty file") << QByteArray() << false << "00000000";
  }
  void checksums() {
    QFETCH(QByteArray, content);
    QFETCH(bool, readOnly);
    QFETCH(QString, crc);
    const QString file = writeFile(QStringLiteral("digits.txt"), content);
    if (readOnly) QVERIFY(::chmod(QFile::encodeName(file).constData(), 0444) == 0);
    makeFrame();
    QVERIFY(runOnFile(&TMainForm::CRCClick, file));
    QCOMPARE(prompts_.shown, QStringList{"CRC of " + file + " is " + crc});
    QCOMPARE(prompts_.passwordFlags, QList<bool>{});
  }

  void unreadableFileGetsOneLine() {
    TMainForm* f = makeFrame();
    QSignalSpy done(f->CryptCommands, &TCryptCommands::finished);
    // A regular file whose first page cannot be read, even by root.
    f->CryptCommands->Run(TCryptCommands::Kind::Crc, QStringLiteral("/proc/self/mem/"));
    QVERIFY(done.wait(10000));
    QCOMPARE(prompts_.shown,
             QStringList{QStringLiteral("Unable to read the file \"/proc/self/mem\": Input/output error")});
  }

  void cancelLeavesALargeFileAsItWas() {
    QByteArray piece(1 << 20, '\0');
    for (int i = 0; i < piece.size(); ++i) piece[i] = char(i * 7 + (i >> 11));
    const QString file = path(QStringLiteral("big.bin"));
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      for (int k = 0; k < 200; ++k) {
        piece[0] = char(k);
        out.write(piece);
      }
    }
    const QByteArray before = readAll(file);
    TMainForm* f = makeFrame();
    QSignalSpy done(f->CryptCommands, &TCryptCommands::finished);
    f->DirTree->SelectPath(file);
    prompts_.inputs = {QStringLiteral("pw")};
    f->Encrypt2Click();
    QCOMPARE(f->CryptCommands->RunningCount(), 1);
    QVERIFY(f->Light->isBlinking());
    QCOMPARE(f->PanelText(6), "Encrypting " + file);
    QVERIFY(f->CryptCommands->ProgressArea()->isVisibleTo(f));
    // A second command on the same file, also through a symbolic link, is
    // refused while this one runs; another file's command runs beside it.
    prompts_.shown.clear();
    f->CRCClick();
    const QString link = path(QStringLiteral("link.bin"));
    QVERIFY(QFile::link(file, link));
    f->CryptCommands->Run(TCryptCommands::Kind::Crc, link + u'/');
    QCOMPARE(prompts_.shown,
             (QStringList{TCryptCommands::MessageOfBusy(file), TCryptCommands::MessageOfBusy(link)}));
    QCOMPARE(f->CryptCommands->RunningCount(), 1);
    const QString other = writeFile(QStringLiteral("other.txt"), "123456789");
    f->CryptCommands->Run(TCryptCommands::Kind::Crc, other + u'/');
    QCOMPARE(f->CryptCommands->RunningCount(), 2);
    prompts_.shown.clear();
    // The first Cancel button is the encryption's.
    const auto cancels =
        f->CryptCommands->ProgressArea()->findChildren<QToolButton*>(QStringLiteral("CryptCancel"));
    QCOMPARE(cancels.size(), 2);
    cancels.first()->click();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 60000);
    QMap<QString, bool> ended;
    for (const auto& d : done) ended[d.at(1).toString()] = d.at(2).toBool();
    QCOMPARE(ended, (QMap<QString, bool>{{file, false}, {other, true}}));
    // The checksum's box only: a cancel shows none.
    QCOMPARE(prompts_.shown, QStringList{"CRC of " + other + " is CBF43926"});
    QVERIFY(readAll(file) == before);
    QVERIFY(!QFile::exists(file + ".enc"));
    QVERIFY(!QFile::exists(file + ".org"));
    QVERIFY(!f->Light->isBlinking());
    QVERIFY(!f->CryptCommands->ProgressArea()->isVisibleTo(f));
  }

  void closingTheFrameStopsItsCommands() {
    const QString file = path(QStringLiteral("big.bin"));
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      QVERIFY(out.resize(64 << 20));
    }
    TMainForm* f = makeFrame();
    f->DirTree->SelectPath(file);
    prompts_.inputs = {QStringLiteral("pw")};
    f->Encrypt2Click();
    QCOMPARE(f->CryptCommands->RunningCount(), 1);
    frame_.reset();
    QCOMPARE(QFileInfo(file).size(), qint64(64) << 20);
    QVERIFY(!QFile::exists(file + ".enc"));
    QVERIFY(!QFile::exists(file + ".org"));
  }

  void exitAsksBeforeStoppingAFileCommand_data() {
    QTest::addColumn<bool>("decrypt");
    QTest::newRow("encryption") << false;
    QTest::newRow("decryption") << true;
  }
  void exitAsksBeforeStoppingAFileCommand() {
    QFETCH(bool, decrypt);
    const QString file = writeFile(QStringLiteral("letter.txt"), "a letter that must survive");
    TMainForm* f = makeFrame();
    if (decrypt) {
      prompts_.inputs = {QStringLiteral("pw")};
      QVERIFY(runOnFile(&TMainForm::Encrypt2Click, file));
    }
    const QByteArray before = readAll(file);
    // The worker waits before writing its output until the test lets it go;
    // the guard lets it go, and waits for it, whatever way the test ends.
    auto release = std::make_shared<std::atomic<bool>>(false);
    tolvan::SetFileCryptFaultHook([release](tolvan::FileCryptStep s) {
      if (s == tolvan::FileCryptStep::WritePiece)
        while (!*release) std::this_thread::yield();
      return 0;
    });
    struct Guard {
      std::shared_ptr<std::atomic<bool>> release;
      std::unique_ptr<TMainForm>& frame;
      ~Guard() {
        *release = true;
        frame.reset();
        tolvan::SetFileCryptFaultHook(nullptr);
      }
    } guard{release, frame_};

    QSignalSpy done(f->CryptCommands, &TCryptCommands::finished);
    f->DirTree->SelectPath(file);
    prompts_.inputs = {QStringLiteral("pw")};
    (f->*(decrypt ? &TMainForm::Decrypt2Click : &TMainForm::Encrypt2Click))();
    QCOMPARE(f->CryptCommands->RunningCount(), 1);
    const QString question =
        file + (decrypt ? QStringLiteral(" is still being decrypted. Stop it and exit?")
                        : QStringLiteral(" is still being encrypted. Stop it and exit?"));
    // No: the program and the command go on.
    prompts_.shown.clear();
    prompts_.answers = {tolvan::Prompts::Answer::No};
    f->Exit1Click();
    QCOMPARE(prompts_.shown, QStringList{question});
    QVERIFY(f->isVisible());
    QCOMPARE(f->CryptCommands->RunningCount(), 1);
    // Yes: the program closes, the command stops and the file is untouched.
    prompts_.shown.clear();
    prompts_.answers = {tolvan::Prompts::Answer::Yes};
    f->Exit1Click();
    QCOMPARE(prompts_.shown, QStringList{question});
    QVERIFY(!f->isVisible());
    *release = true;
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 60000);
    QCOMPARE(done.first().at(2).toBool(), false);
    QCOMPARE(readAll(file), before);
    QVERIFY(!QFile::exists(file + (decrypt ? ".dec" : ".enc")));
  }

  // ---- text commands

  void textRoundTripAndUndo() {
    TMainForm* f = makeFrame();
    QVERIFY(!f->BtnEncrypt->isEnabled());
    f->BtnEncryptClick();  // no document: nothing
    QVERIFY(prompts_.shown.isEmpty());
    f->New1Click();
    QVERIFY(f->BtnEncrypt->isEnabled() && f->BtnDecrypt->isEnabled());
    TEditForm* form = f->ActiveEditForm();
    QVERIFY(form->mmEncrypt->isEnabled() && form->mmDecrypt->isEnabled());
    QByteArray text = "first line\r\nsecond \xA6\xB8\xA1 line";
    for (int b = 0x20; b < 0x100; ++b) text += char(b);
    tolvan::setDocumentBytes(form->Editor->document(), text);
    QCOMPARE(editorBytes(form), text);

    prompts_.inputs = {QStringLiteral("key")};
    f->BtnEncryptClick();
    QCOMPARE(prompts_.shown, QStringList{kCaption + u'\n' + kTextPrompt});
    QCOMPARE(prompts_.passwordFlags, QList<bool>{true});
    tolvan::TDCP_blowfish cipher;
    const std::string expect = tolvan::EncryptText(cipher, std::string(text.constData(), text.size()), "key");
    QCOMPARE(editorBytes(form), QByteArray::fromStdString(expect));

    prompts_.inputs = {QStringLiteral("key")};
    form->mmDecrypt->trigger();
    QCOMPARE(editorBytes(form), text);
    // A wrong passphrase gives noise; one Undo brings the Base64 back.
    form->Editor->undo();
    QCOMPARE(editorBytes(form), QByteArray::fromStdString(expect));
    prompts_.inputs = {QStringLiteral("not the key")};
    form->mmDecrypt->trigger();
    QVERIFY(editorBytes(form) != text);
    form->Editor->undo();
    QCOMPARE(editorBytes(form), QByteArray::fromStdString(expect));
  }

  // Decrypting gives the bytes exactly, lone CR and lone LF included, and
  // encrypting them again with the same passphrase gives the Base64 back;
  // noise from a wrong passphrase too.
  void textCommandsKeepLoneLineEnds_data() {
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QString>("wrongKey");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QString();
    QTest::newRow("lone LF") << QByteArray("a\nb") << QString();
    QTest::newRow("mixed") << QByteArray("\n\r\r\nx\n\ry\r\r\n\n") << QString();
    QTest::newRow("ending in a lone CR") << QByteArray("tail\r") << QString();
    QByteArray all;
    for (int i = 0; i < 4096; ++i) all += char(i * 7 % 256);
    QTest::newRow("wrong passphrase") << all << QStringLiteral("wrong");
  }
  void textCommandsKeepLoneLineEnds() {
    QFETCH(QByteArray, plain);
    QFETCH(QString, wrongKey);
    TMainForm* f = makeFrame();
    f->New1Click();
    TEditForm* form = f->ActiveEditForm();
    tolvan::TDCP_blowfish cipher;
    const QByteArray base64 = QByteArray::fromStdString(
        tolvan::EncryptText(cipher, std::string(plain.constData(), plain.size()), "key"));
    tolvan::setDocumentBytes(form->Editor->document(), base64);
    const QString key = wrongKey.isEmpty() ? QStringLiteral("key") : wrongKey;
    prompts_.inputs = {key};
    form->mmDecryptClick();
    const QByteArray decrypted = QByteArray::fromStdString(
        tolvan::DecryptText(cipher, std::string(base64.constData(), base64.size()), key.toStdString()));
    if (wrongKey.isEmpty()) QCOMPARE(decrypted, plain);
    // The noise holds lone breaks.
    QVERIFY(decrypted.contains('\r') || decrypted.contains('\n'));
    QCOMPARE(editorBytes(form), decrypted);
    prompts_.inputs = {key};
    form->mmEncryptClick();
    QCOMPARE(editorBytes(form), base64);
    // Undo and Redo keep the line ends.
    form->Editor->undo();
    QCOMPARE(editorBytes(form), decrypted);
    form->Editor->redo();
    QCOMPARE(editorBytes(form), base64);
  }

  void textErrorsAndCancelLeaveTheDocument_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message");
    QTest::newRow("five characters") << QByteArray("abcde") << false << "pw" << "Base64: Incorrect string format";
    QTest::newRow("encrypt cancelled") << QByteArray("plain") << true << QString() << QString();
    QTest::newRow("decrypt cancelled") << QByteArray("abcd") << false << QString() << QString();
  }
  void textErrorsAndCancelLeaveTheDocument() {
    QFETCH(QByteArray, text);
    QFETCH(bool, encrypt);
    QFETCH(QString, input);
    QFETCH(QString, message);
    TMainForm* f = makeFrame();
    f->New1Click();
    TEditForm* form = f->ActiveEditForm();
    tolvan::setDocumentBytes(form->Editor->document(), text);
    form->Editor->document()->setModified(false);
    prompts_.inputs = {input};
    (encrypt ? form->mmEncrypt : form->mmDecrypt)->trigger();
    QStringList shown{kCaption + u'\n' + kTextPrompt};
    if (!message.isEmpty()) shown << message;
    QCOMPARE(prompts_.shown, shown);
    QCOMPARE(editorBytes(form), text);
    QVERIFY(!form->Editor->document()->isModified());
  }

  void emptyDocumentStaysEmpty() {
    TMainForm* f = makeFrame();
    f->New1Click();
    TEditForm* form = f->ActiveEditForm();
    prompts_.inputs = {QStringLiteral("a"), QStringLiteral("a")};
    form->mmEncryptClick();
    QCOMPARE(editorBytes(form), QByteArray());
    form->mmDecryptClick();
    QCOMPARE(editorBytes(form), QByteArray());
  }
};

QTEST_MAIN(DirPanelTest)
#include "dir_panel_test.moc"
