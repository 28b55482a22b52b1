// The document window's undo history: the most recent 200 steps, whole
// steps only, the modified flag kept right across the limit, and the text
// of dropped steps given back.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "windows/document/undo_limit.h"
#include "platform/prompts.h"
#include "windows/frame/main_form.h"
#include "../window_test_util.h"

using tolvan::document::heldCharacters;
using tolvan::document::kUndoSteps;
using tolvan::document::limitUndoHistory;
using tolvan::document::undoStepCount;
using window_test::textOf;

namespace {

// The key typed as the nth key (from 0) of a run.
char keyAt(int n) { return char('a' + n % 26); }

QByteArray keysFrom(int from, int count) {
  QByteArray keys;
  for (int i = from; i < from + count; ++i) keys += keyAt(i);
  return keys;
}

void typeKeys(TEditForm* f, const QByteArray& keys) {
  for (char c : keys) QTest::keyClick(f->Editor, c);
}

// Text and formatting, to compare whole states of a document.
QString stateOf(TEditForm* f) { return f->Editor->document()->toHtml(); }

// Selects the whole text and replaces it with text, as one step.
void replaceAll(QTextDocument* doc, const QString& text) {
  QTextCursor c(doc);
  c.select(QTextCursor::Document);
  c.insertText(text);
}

}  // namespace

class UndoLimitTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  tolvan::ScriptedPrompts prompts_;
  TMainForm* frame_ = nullptr;

  TEditForm* newDocument() {
    frame_->New1Click();
    TEditForm* f = frame_->ActiveEditForm();
    // Plain letters: one character per key.
    f->mmAnjalKBClick();
    if (f->isTamilMode()) f->mmTamilKBClick();
    return f;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    qputenv("TOLVAN_INI", dir_.filePath("Tolvan.ini").toLocal8Bit());
    tolvan::Prompts::setInstance(&prompts_);
    frame_ = new TMainForm(dir_.path());
    frame_->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame_));
  }

  void cleanupTestCase() {
    cleanup();
    delete frame_;
    tolvan::Prompts::setInstance(nullptr);
  }

  void cleanup() {
    window_test::discardDocuments(frame_);
    prompts_.reset();
  }

  void typedKeysKeepTheLatestSteps() {
    TEditForm* f = newDocument();
    QSignalSpy undoSignals(f, &TEditForm::undoAvailable);
    QSignalSpy redoSignals(f, &TEditForm::redoAvailable);
    typeKeys(f, keysFrom(0, 250));
    QCOMPARE(undoStepCount(f->Editor->document()), kUndoSteps);

    for (int i = 0; i < kUndoSteps; ++i) f->UnDo1Click();
    QCOMPARE(textOf(f), keysFrom(0, 50));
    QVERIFY(!f->Editor->document()->isUndoAvailable());
    QVERIFY(!f->UnDo1->isEnabled());
    QCOMPARE(undoSignals.last().at(0).toBool(), false);
    f->UnDo1Click();  // nothing further back
    QCOMPARE(textOf(f), keysFrom(0, 50));

    for (int i = 0; i < kUndoSteps; ++i) f->Redo1Click();
    QCOMPARE(textOf(f), keysFrom(0, 250));
    QVERIFY(!f->Redo1->isEnabled());
    QVERIFY(f->UnDo1->isEnabled());
    QCOMPARE(redoSignals.last().at(0).toBool(), false);

    // Typing on after undoing part of the way keeps the limit too.
    for (int i = 0; i < 10; ++i) f->UnDo1Click();
    typeKeys(f, "xyz");
    QCOMPARE(undoStepCount(f->Editor->document()), kUndoSteps - 10 + 3);
    typeKeys(f, keysFrom(0, 10));
    QCOMPARE(undoStepCount(f->Editor->document()), kUndoSteps);
    QVERIFY(!f->Redo1->isEnabled());
  }

  // Each document counts its own steps.
  void eachDocumentHasItsOwnHistory() {
    TEditForm* a = newDocument();
    TEditForm* b = newDocument();
    typeKeys(a, keysFrom(0, 150));
    typeKeys(b, keysFrom(0, 120));
    typeKeys(a, keysFrom(150, 100));
    QCOMPARE(undoStepCount(a->Editor->document()), kUndoSteps);
    QCOMPARE(undoStepCount(b->Editor->document()), 120);
  }

  // A step of many edits counts once and goes whole, never in part.
  void multiEditStepsCountOnce_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("bold") << 0;
    QTest::newRow("colour of part") << 1;
    QTest::newRow("edit block") << 2;
    QTest::newRow("paragraphs") << 3;
  }
  void multiEditStepsCountOnce() {
    QFETCH(int, kind);
    TEditForm* f = newDocument();
    QTextDocument* doc = f->Editor->document();
    typeKeys(f, "abcdefghij");
    if (kind == 1) {
      // Three runs of different formats for the colour to go over.
      QTextCursor part(doc);
      part.setPosition(2);
      part.setPosition(4, QTextCursor::KeepAnchor);
      QTextCharFormat italic;
      italic.setFontItalic(true);
      part.mergeCharFormat(italic);
    }
    const QString before = stateOf(f);
    QTextCursor c(doc);
    switch (kind) {
      case 0:
      case 1: {
        c.select(QTextCursor::Document);
        QTextCharFormat format;
        if (kind == 0)
          format.setFontWeight(QFont::Bold);
        else
          format.setForeground(Qt::red);
        c.mergeCharFormat(format);
        break;
      }
      case 2:
        c.beginEditBlock();
        c.insertText(QStringLiteral("XYZ"));
        c.movePosition(QTextCursor::End);
        c.deletePreviousChar();
        c.deletePreviousChar();
        c.setPosition(5);
        c.insertText(QStringLiteral("--"));
        c.endEditBlock();
        break;
      case 3:
        c.setPosition(3);
        c.insertText(QStringLiteral("1\n2\n3\n"));
        break;
    }
    const QString after = stateOf(f);
    QVERIFY(after != before);

    // The step sits at the bottom of the history: kept, and undone whole.
    typeKeys(f, keysFrom(0, kUndoSteps - 1));
    QCOMPARE(undoStepCount(doc), kUndoSteps);
    for (int i = 0; i < kUndoSteps - 1; ++i) f->UnDo1Click();
    QCOMPARE(stateOf(f), after);
    f->UnDo1Click();
    QCOMPARE(undoStepCount(doc), 0);
    QVERIFY(!f->UnDo1->isEnabled());
    QCOMPARE(stateOf(f), before);

    // One more key pushes it out whole: its effect stays, nothing of it
    // can be undone.
    for (int i = 0; i < kUndoSteps; ++i) f->Redo1Click();
    typeKeys(f, "!");
    QCOMPARE(undoStepCount(doc), kUndoSteps);
    for (int i = 0; i < kUndoSteps; ++i) f->UnDo1Click();
    QCOMPARE(stateOf(f), after);
    QVERIFY(!doc->isUndoAvailable());
  }

  // Saved after the nth of 250 keys; the oldest state undo can reach is after
  // key 50.
  void modifiedFlagAcrossTheLimit_data() {
    QTest::addColumn<int>("savedAt");
    QTest::newRow("saved state kept") << 100;
    QTest::newRow("saved state is the oldest kept") << 50;
    QTest::newRow("saved state dropped") << 49;
    QTest::newRow("saved state long gone") << 1;
  }
  void modifiedFlagAcrossTheLimit() {
    QFETCH(int, savedAt);
    TEditForm* f = newDocument();
    QTextDocument* doc = f->Editor->document();
    typeKeys(f, keysFrom(0, savedAt));
    doc->setModified(false);  // what saving does to the document
    typeKeys(f, keysFrom(savedAt, 250 - savedAt));
    QVERIFY(doc->isModified());
    QSignalSpy modified(f, &TEditForm::modificationChanged);

    bool reachedSaved = false;
    for (int i = 0; i < kUndoSteps; ++i) {
      f->UnDo1Click();
      const int keys = 249 - i;
      QCOMPARE(doc->isModified(), keys != savedAt);
      if (keys == savedAt) {
        reachedSaved = true;
        QCOMPARE(modified.last().at(0).toBool(), false);
      }
    }
    QCOMPARE(reachedSaved, savedAt >= 50);
    QCOMPARE(textOf(f), keysFrom(0, 50));
    // Back up to the top: modified again, and unmodified where saved.
    for (int i = 0; i < kUndoSteps; ++i) f->Redo1Click();
    QVERIFY(doc->isModified());
    QCOMPARE(modified.last().at(0).toBool(), true);
  }

  // Whole replacements of a large text: no more than the limit of steps, and
  // the text of the dropped ones given back.
  void repeatedReplacementsStayBounded() {
    TEditForm* f = newDocument();
    QTextDocument* doc = f->Editor->document();
    const qsizetype size = 16 * 1024;
    const int rounds = 600;
    for (int i = 0; i < rounds; ++i) {
      QString text(size, QChar(u'a' + i % 26));
      for (qsizetype j = 80; j < size; j += 81) text[j] = u'\n';
      replaceAll(doc, text);
    }
    QCOMPARE(undoStepCount(doc), kUndoSteps);
    // The steps kept, the text and at most half as much again not yet given
    // back; all of them would be rounds + 1 texts.
    QVERIFY2(heldCharacters(doc) <= qint64(kUndoSteps + 1) * size * 3 / 2 + size,
             qPrintable(QString::number(heldCharacters(doc))));
    for (int i = 0; i < kUndoSteps; ++i) doc->undo();
    QCOMPARE(doc->toPlainText().front(), QChar(u'a' + (rounds - kUndoSteps - 1) % 26));
    QCOMPARE(doc->toPlainText().size(), size);
    QVERIFY(!doc->isUndoAvailable());
    for (int i = 0; i < kUndoSteps; ++i) doc->redo();
    QCOMPARE(doc->toPlainText().front(), QChar(u'a' + (rounds - 1) % 26));
  }

  // Removed text beyond the budget takes the oldest steps with it, the most
  // recent one always stays.
  void removedTextBudget_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("steps");
    QTest::newRow("three fit") << 30000 << 3;
    QTest::newRow("none fits") << 200000 << 1;
    QTest::newRow("small ones") << 1000 << 12;
  }
  void removedTextBudget() {
    QFETCH(int, size);
    QFETCH(int, steps);
    TEditForm* f = newDocument();
    QTextDocument* doc = f->Editor->document();
    limitUndoHistory(doc, kUndoSteps, 100000);
    for (int i = 0; i < 12; ++i) replaceAll(doc, QString(size, QChar(u'a' + i)));
    QCOMPARE(undoStepCount(doc), steps);
    while (doc->isUndoAvailable()) doc->undo();
    // Twelve steps reach back to the empty document.
    QCOMPARE(doc->toPlainText(), steps == 12 ? QString() : QString(size, QChar(u'a' + 11 - steps)));
  }

  // An opened file starts with nothing to undo.
  void openingKeepsNoStep() {
    const QString file = dir_.filePath("long.txt");
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i) bytes += "line of text\r\n";
    window_test::writeFile(file, bytes);
    TEditForm* f = frame_->CreateEditForm();
    QVERIFY(f->OpenDocumentFile(file));
    QCOMPARE(undoStepCount(f->Editor->document()), 0);
    QVERIFY(!f->UnDo1->isEnabled());
    QVERIFY(!f->Editor->document()->isModified());
    // The buffer holds the loaded text once (and the line breaks it was
    // split at), no copy for undo.
    QVERIFY(heldCharacters(f->Editor->document()) < 2 * f->Editor->document()->characterCount());
  }
};

QTEST_MAIN(UndoLimitTest)
#include "undo_limit_test.moc"
