// The window's layout checked by what it draws: the same document drawn by
// it and by Qt's own layout, at the same width, must give the same pictures
// but for the whole-pixel rounding of paragraph heights (layout_rendering.h
// says exactly what is tolerated). Plain text and RTF files as the window
// opens them, after a series of edits and undo, with a selection and the
// caret, at the top, the middle and the end, wrapped and not.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTextList>
#include <QTextBoundaryFinder>
#include <iterator>
#include <memory>

#include "windows/document/document_layout.h"
#include "layout_rendering.h"
#include "platform/byte_text.h"
#include "platform/fonts.h"
#include "rtf/rtf.h"

namespace {

QString fixtureDir() { return QStringLiteral(TOLVAN_SOURCE_DIR "/tests/rtf/fixtures"); }

// A plain-text file of about 45 KB (more than an edit lays out at once):
// Latin and TSCII words, tabs, runs of spaces, empty lines, a word longer
// than a narrow line, paragraphs from a few characters to about 2,000.
QByteArray plainSample() {
  static const char* const kWords[] = {"vaNakkam", "\xb8\xa1\xe0", "keyboard", "\xa6\xb8\xa1",
                                       "a",        "\xbe\xc1\xa2\xfa", "typewriter\t", "\xad\xad"};
  QByteArray out;
  unsigned seed = 7;
  for (int para = 0; out.size() < 45'000; ++para) {
    seed = seed * 1103515245 + 12345;
    const int length = para % 9 == 4 ? 0 : para % 13 == 6 ? 2'000 : 10 + int(seed >> 16) % 400;
    QByteArray line;
    if (para % 17 == 3) line += QByteArray(230, 'w');  // broken anywhere on a narrow line
    for (int k = 0; line.size() < length; ++k) {
      seed = seed * 1103515245 + 12345;
      line += kWords[(seed >> 16) % 8];
      line += (seed >> 20) % 11 == 0 ? "   " : " ";
    }
    out += line + (para % 2 ? "\r\n" : "\n");
  }
  return out;
}

// Unicode Tamil prose with English words, numbers and punctuation: vowel
// signs before, after and around their consonant, pulli, k.ssa and sri,
// ligatures (ku, kuu, ti), a joiner.
const char* const kTamilSentences[] = {
    "தமிழ் மொழி உலகின் மிகப் பழமையான மொழிகளில் ஒன்று; அதன் இலக்கியம் இரண்டாயிரம் ஆண்டுகளுக்கு மேல் பழமையானது.",
    "Tolvan keyboard layouts: அஞ்சல், மயிலை, தட்டச்சு (typewriter) and Roman.",
    "கொக்கு ஒன்று குளத்தின் கரையில் நின்று மீனுக்காகக் காத்திருந்தது, கோடை வெயில் கடுமையாக இருந்தது.",
    "ஸ்ரீ க்ஷேத்திரம், ஜன்னல், ஹரி, ஷண்முகம் — கிரந்த எழுத்துகளும் தமிழில் பயன்படுகின்றன.",
    "பௌர்ணமி இரவில் ஊர் மக்கள் கோயிலுக்குச் சென்று பொங்கல் வைத்து வழிபட்டனர்.",
    "டிசம்பர் 2024 இல் 1,250 பேர் கலந்துகொண்ட கூட்டம் சென்னையில் நடந்தது (Chennai, Tamil Nadu).",
    "வள்ளுவர் கூறிய அறம், பொருள், இன்பம் என்ற மூன்று பால்களும் இன்றும் பொருந்துகின்றன.",
    "ஃபோன் (phone) என்ற சொல்லை எழுத ஃ என்ற ஆய்த எழுத்துடன் ப சேர்க்கப்படுகிறது; க்‍ஷ joiner.",
};

QString tamilSentence(unsigned k) { return QString::fromUtf8(kTamilSentences[k % std::size(kTamilSentences)]); }

// About 8 KB of Unicode Tamil paragraphs, one of them about 3,000
// characters. (A paragraph laid out in pieces ends lines at its pieces' ends
// and is not compared: longTamilParagraphsBreakBetweenLetters covers those.)
QString tamilSample() {
  QString out;
  unsigned seed = 11;
  for (int para = 0; para < 24; ++para) {
    seed = seed * 1103515245 + 12345;
    const int sentences = para == 12 ? 0 : 1 + int(seed >> 16) % 4;
    for (int k = 0; k < sentences; ++k) out += tamilSentence((seed >> 8) + unsigned(k)) + u' ';
    if (para == 12)
      while (out.size() - out.lastIndexOf(u'\n') < 3'000) out += tamilSentence(seed++) + u' ';
    out += u'\n';
  }
  return out;
}

// A document of the program's own, written as RTF by the program: sizes,
// bold, italic, underline, colours, background, alignments, margins and
// indents, and bullets.
QByteArray ownRtf() {
  QTextDocument doc;
  QTextCursor c(&doc);
  QTextCharFormat big;
  big.setFontPointSize(20);
  big.setFontWeight(QFont::Bold);
  c.insertText(QStringLiteral("\xb8\xa1\xe0 title"), big);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  c.insertBlock(centred, QTextCharFormat());
  c.insertText(QStringLiteral("A centred paragraph of Tamil \xa6\xb8\xa1 \xbe\xc1\xa2\xfa and English words "
                              "long enough to take a few lines where the page is narrow."));
  QTextBlockFormat indented;
  indented.setLeftMargin(30);
  indented.setTextIndent(25);
  indented.setAlignment(Qt::AlignJustify);
  c.insertBlock(indented);
  QTextCharFormat italic;
  italic.setFontItalic(true);
  QTextCharFormat red;
  red.setForeground(Qt::red);
  red.setFontUnderline(true);
  QTextCharFormat marked;
  marked.setBackground(Qt::yellow);
  marked.setFontPointSize(14);
  for (int i = 0; i < 4; ++i) {
    c.insertText(QStringLiteral("Justified text with "), QTextCharFormat());
    c.insertText(QStringLiteral("italic \xb8\xa1 words, "), italic);
    c.insertText(QStringLiteral("red underlined ones, "), red);
    c.insertText(QStringLiteral("and larger marked ones "), marked);
  }
  QTextBlockFormat right;
  right.setAlignment(Qt::AlignRight);
  right.setRightMargin(15);
  c.insertBlock(right, QTextCharFormat());
  c.insertText(QStringLiteral("To the right, \xa6\xb8\xa1 \xbe\xc1\xa2\xfa, with a right margin."));
  QTextListFormat bullets;
  bullets.setStyle(QTextListFormat::ListDisc);
  bullets.setIndent(1);
  c.insertBlock(QTextBlockFormat());
  c.createList(bullets);
  c.insertText(QStringLiteral("first bullet, long enough to wrap on a narrow page, \xb8\xa1\xe0 \xa6\xb8\xa1"));
  c.insertBlock();
  c.insertText(QStringLiteral("second bullet"));
  QTextBlockFormat plain;
  c.insertBlock(plain);
  c.setBlockFormat(plain);
  if (QTextList* list = c.currentList()) list->remove(c.block());
  c.insertText(QStringLiteral("col1\tcol2\t\tcol3 and a closing paragraph \xb8\xa1\xe0."));
  return tolvan::rtf::writeRtf(&doc);
}

// The document window's settings: no document margin, text left to right,
// its default font (the TSCII font at 10 points), and wrapping as QTextEdit
// sets it: the viewport's width and Qt's default word-or-anywhere breaking,
// or a page width of 0 and no wrapping.
void setUpAsTheWindow(QTextDocument* doc, int width, bool wrap, bool unicode = false) {
  doc->setDocumentMargin(0);
  QTextOption option = doc->defaultTextOption();
  option.setTextDirection(Qt::LeftToRight);
  option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  doc->setDefaultTextOption(option);
  QString family = tolvan::tsciiFamily();
  if (family.isEmpty()) family = tolvan::tamilUiFontName();
  QFont font(tolvan::documentFamily(family, unicode));
  font.setPointSize(10);
  doc->setDefaultFont(font);
  doc->setPageSize(QSizeF(wrap ? width : 0, -1));
}

// Opens source ("plain", "own" or a fixture's file name) as the window does.
bool open(QTextDocument* doc, const QString& source) {
  if (source == QLatin1String("tamil")) {
    doc->setPlainText(tamilSample());
  } else if (source == QLatin1String("plain")) {
    tolvan::setDocumentBytes(doc, plainSample());
  } else {
    QByteArray bytes;
    if (source == QLatin1String("own")) {
      bytes = ownRtf();
    } else {
      QFile f(fixtureDir() + u'/' + source);
      if (!f.open(QIODevice::ReadOnly)) return false;
      bytes = f.readAll();
    }
    QString error;
    if (!tolvan::rtf::readRtf(bytes, doc, &error)) return false;
    tolvan::documentBytesToEditorChars(doc);
  }
  doc->clearUndoRedoStacks();
  return true;
}

void measureAll(QTextDocument* doc) {
  auto* l = static_cast<TDocumentLayout*>(doc->documentLayout());
  for (int i = 0; i < 100000 && !l->measureSome(50); ++i) {
  }
}

// The first paragraph from number n on with some text (else the last).
QTextBlock wordy(QTextDocument* doc, int n) {
  for (QTextBlock b = doc->findBlockByNumber(qBound(0, n, doc->blockCount() - 1)); b.isValid(); b = b.next())
    if (b.length() > 12) return b;
  return doc->lastBlock();
}

}  // namespace

// Every view is compared; a view that differs is reported at the end of
// the case with where its pictures were saved.
#define COMPARE_VIEW(name, view)                     \
  do {                                               \
    const QString problem_ = look(name, view);       \
    if (!problem_.isEmpty()) problems << problem_; \
  } while (0)


class LayoutRenderingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTextDocument> ours_, qt_;
  QPalette palette_;

  QString look(const QString& name, const layoutrender::View& view) {
    const layoutrender::Result r = layoutrender::compare(ours_.get(), qt_.get(), view, palette_);
    if (r.problem.isEmpty()) return QString();
    QString tag = QString::fromLatin1(QTest::currentDataTag()) + u'-' + name;
    tag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]+")), QStringLiteral("_"));
    const QString dir = QDir::tempPath() + QStringLiteral("/tolvan-render/") + tag;
    const bool saved = layoutrender::save(r, dir);
    return QStringLiteral("%1 at y %2: %3; %4 %5")
        .arg(name)
        .arg(view.y)
        .arg(r.problem, saved ? QStringLiteral("ours.png, qt.png and diff.png in") : QStringLiteral("could not save to"),
             dir);
  }

  // The same edit on both documents.
  template <class Edit>
  void edit(Edit&& e) {
    e(ours_.get());
    e(qt_.get());
  }

 private slots:
  void initTestCase() {
    tolvan::registerTsciiFonts(QString());
    palette_ = QApplication::palette();
    palette_.setColor(QPalette::Base, Qt::white);
    palette_.setColor(QPalette::Text, Qt::black);
  }

  void drawsAsQtDraws_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("wrap");
    QStringList sources{QStringLiteral("plain")};
    sources += QDir(fixtureDir()).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    sources += QStringLiteral("own");
    sources += QStringLiteral("tamil");  // a Unicode document
    QVERIFY(sources.size() >= 6);
    for (const QString& s : sources)
      for (const int width : {100, 400, 900})
        for (const bool wrap : {true, false})
          QTest::addRow("%s %d %s", qPrintable(s), width, wrap ? "wrapped" : "unwrapped") << s << width << wrap;
  }

  void drawsAsQtDraws() {
    QFETCH(QString, source);
    QFETCH(int, width);
    QFETCH(bool, wrap);
    ours_ = std::make_unique<QTextDocument>();
    ours_->setDocumentLayout(new TDocumentLayout(ours_.get()));
    qt_ = std::make_unique<QTextDocument>();
    const bool unicode = source == QLatin1String("tamil");
    for (QTextDocument* doc : {ours_.get(), qt_.get()}) {
      setUpAsTheWindow(doc, width, wrap, unicode);
      QVERIFY(open(doc, source));
    }
    auto* layout = static_cast<TDocumentLayout*>(ours_->documentLayout());
    using layoutrender::View;
    QStringList problems;

    // Just opened: drawn before anything else is laid out or measured.
    COMPARE_VIEW("opened", (View{0, 0, width, 300}));
    measureAll(ours_.get());

    auto height = [&] { return qCeil(layout->documentSize().height()); };
    const int h = qBound(40, height() / 2, 300);
    // A selection from inside one paragraph into a later one, the caret at
    // its end.
    auto selected = [&](View v) {
      const QTextBlock a = layout->blockAt(v.y + v.height / 4);
      const QTextBlock b = layout->blockAt(v.y + v.height * 3 / 4);
      const int from = a.position() + qMin(3, a.length() - 1);
      const int to = b.position() + qMin(5, b.length() - 1);
      v.selections.append(layoutrender::selection(ours_.get(), from, to, palette_));
      v.cursor = to;
      return v;
    };
    auto middle = [&] {
      const int x = wrap ? 0 : qMax(0, (qCeil(layout->documentSize().width()) - width) / 2);
      return View{x, qMax(0, (height() - h) / 2), width, h};
    };
    auto end = [&] { return View{0, qMax(0, height() - h), width, h}; };
    // Where the caret is, as the window scrolls to it after an edit.
    auto around = [&](int position) {
      const int top = layout->blockTop(ours_->findBlock(position));
      return View{0, qBound(0, top - h / 2, qMax(0, height() - h)), width, h};
    };
    COMPARE_VIEW("top, selected", selected(View{0, 0, width, h}));
    COMPARE_VIEW("middle, selected", selected(middle()));
    COMPARE_VIEW("end", end());

    // The edits, each seen where it was made before anything is measured.
    const int n = ours_->blockCount();
    int at = 0;
    edit([&](QTextDocument* doc) {  // typing in the middle of a paragraph
      const QTextBlock b = wordy(doc, n / 2);
      QTextCursor c(doc);
      at = b.position() + b.length() / 2;
      c.setPosition(at);
      c.insertText(unicode ? QString::fromUtf8("typed கொக்கு text ") : QStringLiteral("typed \xb8\xa1\xe0 text "));
    });
    COMPARE_VIEW("typed", around(at));
    edit([&](QTextDocument* doc) {  // a paragraph split
      const QTextBlock b = wordy(doc, n / 3);
      QTextCursor c(doc);
      at = b.position() + b.length() / 3;
      c.setPosition(at);
      c.insertBlock();
    });
    COMPARE_VIEW("split", around(at));
    edit([&](QTextDocument* doc) {  // two paragraphs joined (Backspace at a paragraph's start)
      QTextCursor c(doc->findBlockByNumber(qMax(1, 2 * n / 3)));
      at = c.position() - 1;
      c.deletePreviousChar();
    });
    COMPARE_VIEW("joined", around(at));
    edit([&](QTextDocument* doc) {  // a paragraph's first characters deleted
      QTextCursor c(wordy(doc, n / 4));
      at = c.position();
      for (int i = 0; i < 3; ++i) c.deleteChar();
    });
    COMPARE_VIEW("start deleted", around(at));
    measureAll(ours_.get());
    COMPARE_VIEW("edited, top", (View{0, 0, width, h}));
    COMPARE_VIEW("edited, end", end());
    edit([](QTextDocument* doc) {
      doc->undo();
      doc->undo();
    });
    COMPARE_VIEW("undone", around(at));
    measureAll(ours_.get());
    COMPARE_VIEW("undone, middle", middle());
    COMPARE_VIEW("undone, end", end());

    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n"))));
  }

  // Keys typed one by one into the middle of the sample's longest paragraph
  // (wrapped into many lines), as the editor makes them: each key its own
  // edit, the paragraph laid out again after each. What the edits before
  // left shaped is used again for the text that did not change; each step
  // is compared with Qt's drawing of the same text, around the caret and
  // at the paragraph's end.
  void keysTypedIntoALongParagraphDrawAsQtDraws_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("width");
    for (const char* source : {"tamil", "plain"})
      for (const int width : {100, 400, 900}) QTest::addRow("%s %d", source, width) << QString::fromLatin1(source) << width;
  }
  void keysTypedIntoALongParagraphDrawAsQtDraws() {
    QFETCH(QString, source);
    QFETCH(int, width);
    ours_ = std::make_unique<QTextDocument>();
    ours_->setDocumentLayout(new TDocumentLayout(ours_.get()));
    qt_ = std::make_unique<QTextDocument>();
    const bool unicode = source == QLatin1String("tamil");
    for (QTextDocument* doc : {ours_.get(), qt_.get()}) {
      setUpAsTheWindow(doc, width, true, unicode);
      QVERIFY(open(doc, source));
    }
    auto* layout = static_cast<TDocumentLayout*>(ours_->documentLayout());
    measureAll(ours_.get());
    QTextBlock longest = ours_->firstBlock();
    for (QTextBlock b = longest; b.isValid(); b = b.next())
      if (b.length() > longest.length()) longest = b;
    QVERIFY(longest.length() > 1'000);
    QVERIFY(!TDocumentLayout::isLong(longest));
    const int number = longest.blockNumber();
    int at = longest.position() + longest.length() / 2;
    using layoutrender::View;
    QStringList problems;
    auto lookAround = [&](const QString& step) {
      const int h = 120;
      const QTextBlock b = ours_->findBlockByNumber(number);
      const int top = layout->blockTop(b);
      const int caretY = qRound(layout->caretRect(at).y());
      View near{0, qMax(0, caretY - h / 2), width, h};
      near.cursor = at;
      COMPARE_VIEW(step + QStringLiteral(", at the caret"), near);
      COMPARE_VIEW(step + QStringLiteral(", the paragraph's end"),
                   (View{0, qMax(top, top + b.lineCount() - h), width, h}));
    };
    // A word, a space and a longer word, a key at a time; a word typed into
    // another (no space before it); then Backspace over some of it.
    const QString typed = unicode ? QString::fromUtf8("கொக்கு ஒன்று நின்றது") : QStringLiteral("\xb8\xa1\xe0 typed \xa6\xb8\xa1");
    for (const QChar ch : typed) {
      edit([&](QTextDocument* doc) {
        QTextCursor c(doc);
        c.setPosition(at);
        c.insertText(QString(ch));
      });
      ++at;
      if (ch == u' ') lookAround(QStringLiteral("typed to %1").arg(at));
    }
    lookAround(QStringLiteral("typed"));
    const int inWord = at - typed.size() - 3;
    edit([&](QTextDocument* doc) {
      QTextCursor c(doc);
      c.setPosition(inWord);
      c.insertText(unicode ? QString::fromUtf8("ஓ") : QStringLiteral("o"));
    });
    ++at;
    lookAround(QStringLiteral("inside a word"));
    for (int i = 0; i < 8; ++i) {
      edit([&](QTextDocument* doc) {
        QTextCursor c(doc);
        c.setPosition(at);
        c.deletePreviousChar();
      });
      --at;
      if (i % 3 == 2) lookAround(QStringLiteral("deleted back to %1").arg(at));
    }
    // The same text in another format (the whole paragraph, so its runs
    // are cut in the same places): shaped anew, not taken for the same.
    edit([&](QTextDocument* doc) {
      const QTextBlock b = doc->findBlockByNumber(number);
      QTextCursor c(doc);
      c.setPosition(b.position());
      c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
      QTextCharFormat bold;
      bold.setFontWeight(QFont::Bold);
      c.mergeCharFormat(bold);
    });
    lookAround(QStringLiteral("made bold"));
    edit([&](QTextDocument* doc) {
      QTextCursor c(doc);
      c.setPosition(at);
      c.insertText(QStringLiteral(" "));
    });
    ++at;
    lookAround(QStringLiteral("after the bold"));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n"))));
  }

  // A long paragraph of Unicode Tamil, with spaces and without (where a
  // piece must be cut inside a word): every line, and so every piece,
  // starts where a caret may stand, never between a letter and its vowel
  // sign or pulli. Unwrapped (width 0) each piece is one line: no piece
  // starts after a pulli either (k.ssa and other joined letters stay
  // whole).
  void longTamilParagraphsBreakBetweenLetters_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("width");
    for (const char* kind : {"words", "one word", "k.ssa"})
      for (const int width : {100, 400, 0}) QTest::addRow("%s %d", kind, width) << QString::fromLatin1(kind) << width;
  }
  void longTamilParagraphsBreakBetweenLetters() {
    QFETCH(QString, kind);
    QFETCH(int, width);
    QTextDocument doc;
    doc.setDocumentLayout(new TDocumentLayout(&doc));
    setUpAsTheWindow(&doc, width, width > 0, true);
    QString text;
    if (kind == QLatin1String("k.ssa")) {
      // Two letters, then k.ssaa over and over: a piece cut at a multiple
      // of four characters would fall after a pulli.
      text = QString::fromUtf8("ஆஆ");
      while (text.size() < TDocumentLayout::kLongBlock * 2) text += QString::fromUtf8("க்ஷா");
    } else {
      for (unsigned k = 0; text.size() < TDocumentLayout::kLongBlock * 2; ++k) text += tamilSentence(k) + u' ';
      if (kind == QLatin1String("one word"))
        text.remove(QRegularExpression(QStringLiteral("[\\s,.;:()\\-\u2014A-Za-z0-9]")));
    }
    doc.setPlainText(text);
    const QTextBlock block = doc.firstBlock();
    QVERIFY(TDocumentLayout::isLong(block));
    auto* layout = static_cast<TDocumentLayout*>(doc.documentLayout());
    QVERIFY(layout->pieceCount(block) > 4);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    int lines = 0;
    for (int pos = 0; pos < text.size(); ++lines) {
      const auto [start, end] = layout->lineAt(pos);
      QCOMPARE(start, pos);
      graphemes.setPosition(start);
      QVERIFY2(graphemes.isAtBoundary(), qPrintable(QStringLiteral("line at %1 starts inside a letter").arg(start)));
      if (width == 0)
        QVERIFY2(start == 0 || text[start - 1].combiningClass() != 9,
                 qPrintable(QStringLiteral("piece at %1 starts after a pulli").arg(start)));
      // The next line starts after this one's end (and the space that broke it).
      int next = end;
      while (next < text.size() && text[next].isSpace() && layout->lineAt(next).first == start) ++next;
      QVERIFY(next > pos);
      pos = next;
    }
    if (width > 0)
      QVERIFY(lines > layout->pieceCount(block));
    else
      QCOMPARE(lines, layout->pieceCount(block));
  }
};

QTEST_MAIN(LayoutRenderingTest)
#include "layout_rendering_test.moc"
