// Fuzz target for the document window's text layout: an input is a series
// of edits (text and paragraph breaks in, ranges out, character and
// paragraph formats, lists, new page widths) with background measuring
// steps between them. Afterwards every paragraph must carry its real height,
// the document's height must be their sum, its lines must break where Qt's
// own layout breaks the same document, and a hit in the middle of a
// character must find what Qt's layout finds there, and what both draw at
// the top and at the end, with the last selection and the caret, must be
// the same picture but for the whole-pixel rounding of paragraph heights
// (tests/windows/document/layout_rendering.h). LAYOUT_FUZZ_SHOW=1 prints the edits;
// a picture that differs is saved with Qt's and the difference in
// tolvan-render/fuzz under the temporary folder.
#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "../../tests/windows/document/layout_rendering.h"
#include "windows/document/document_layout.h"
#include "platform/byte_text.h"

namespace {

void fail(int line) {
  fprintf(stderr, "check failed at line %d\n", line);
  std::abort();
}
#define check(ok) ((ok) ? (void)0 : fail(__LINE__))

struct Input {
  const uint8_t* p;
  size_t n;
  bool empty() const { return n == 0; }
  uint8_t byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  int number(int limit) { return limit <= 0 ? 0 : (byte() << 8 | byte()) % limit; }
};

// Text from the input: Latin and TSCII letters, spaces, tabs, breaks.
QString textFrom(Input& in, int length) {
  QString s;
  for (int i = 0; i < length && !in.empty(); ++i) {
    const uint8_t b = in.byte();
    if (b < 16) s += u'\n';
    else if (b < 40) s += u' ';
    else if (b < 44) s += u'\t';
    else if (b < 128) s += QChar(u'a' + b % 26);
    else s += QChar(b);  // a TSCII byte, as the editor holds it
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool started = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "document_layout_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    return true;
  }();
  (void)started;
  if (size > 4096) return 0;
  Input in{data, size};

  QTextDocument doc;
  auto* layout = new TDocumentLayout(&doc);
  doc.setDocumentLayout(layout);
  doc.setDocumentMargin(in.byte() % 2 ? 4 : 0);
  doc.setPageSize(QSizeF(80 + in.number(600), -1));
  // The same edits made to a document with Qt's layout, for the pictures (a
  // copy made afterwards would not do: Qt's copy of a document takes the
  // first paragraph's format from the copy's own empty paragraph).
  QTextDocument twin;
  twin.setDocumentMargin(doc.documentMargin());
  twin.setPageSize(doc.pageSize());
  QTextCursor c(&doc), tc(&twin);
  static const bool show = qEnvironmentVariableIsSet("LAYOUT_FUZZ_SHOW");
  while (!in.empty()) {
    const int length = doc.characterCount() - 1;
    const int a = in.number(length + 1), b = in.number(length + 1);
    for (QTextCursor* k : {&c, &tc}) {
      k->setPosition(qMin(a, b));
      k->setPosition(qMax(a, b), QTextCursor::KeepAnchor);
    }
    const int op = in.byte() % 10;
    if (show) fprintf(stderr, "op %d at %d..%d of %d\n", op, qMin(a, b), qMax(a, b), length);
    switch (op) {
      case 0:
      case 1: {
        const QString text = textFrom(in, 1 + in.byte());
        c.insertText(text);
        tc.insertText(text);
        break;
      }
      case 2:
        c.removeSelectedText();
        tc.removeSelectedText();
        break;
      case 3: {
        QTextCharFormat f;
        f.setFontPointSize(6 + in.byte() % 30);
        if (in.byte() % 2) f.setFontWeight(QFont::Bold);
        c.mergeCharFormat(f);
        tc.mergeCharFormat(f);
        break;
      }
      case 4: {
        QTextBlockFormat f;
        static const Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify};
        f.setAlignment(kAlign[in.byte() % 4]);
        f.setLeftMargin(in.byte() % 60);
        f.setTextIndent(static_cast<int>(in.byte() % 60) - 20);
        f.setRightMargin(in.byte() % 30);
        c.setBlockFormat(f);
        tc.setBlockFormat(f);
        break;
      }
      case 5: {
        QTextListFormat f;
        f.setStyle(in.byte() % 2 ? QTextListFormat::ListDisc : QTextListFormat::ListDecimal);
        f.setIndent(1);
        c.createList(f);
        tc.createList(f);
        break;
      }
      case 6:
        doc.setPageSize(QSizeF(80 + in.number(600), -1));
        twin.setPageSize(doc.pageSize());
        break;
      case 7:
        for (int i = in.byte() % 8; i >= 0; --i) layout->measureSome(0);
        break;
      case 8:
        layout->blockBoundingRect(doc.findBlock(a));
        break;
      case 9:
        c.insertBlock();
        tc.insertBlock();
        break;
    }
  }
  for (int i = 0; i < 100000 && !layout->measureSome(50); ++i) {
  }
  check(layout->complete());

  // The pictures, before anything asks the lines where their characters
  // are (a justified line spreads its spaces once, when first asked or
  // drawn, and the answer depends on which came first).
  {
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    const int width = qMax(1, qCeil(doc.pageSize().width()));
    const int height = qCeil(layout->documentSize().height());
    constexpr int kView = 160;
    for (const int top : {0, qMax(0, height - kView)}) {
      layoutrender::View view(0, top, width, kView);
      if (c.hasSelection()) view.selections.append(layoutrender::selection(&doc, c.anchor(), c.position(), palette));
      view.cursor = c.position();
      const layoutrender::Result r = layoutrender::compare(&doc, &twin, view, palette);
      if (!r.problem.isEmpty()) {
        const QString dir = QDir::tempPath() + QStringLiteral("/tolvan-render/fuzz");
        layoutrender::save(r, dir);
        if (show)
          for (QTextBlock o = doc.begin(), q = twin.begin(); o.isValid(); o = o.next(), q = q.next()) {
            const QTextLayout *ol = o.layout(), *ql = q.layout();
            fprintf(stderr, "block %d len %d align %d margin %g indent %g list %d | ours x %g w %g pos %g,%g | qt x %g w %g pos %g,%g\n",
                    o.blockNumber(), o.length(), int(o.blockFormat().alignment()), o.blockFormat().leftMargin(),
                    o.blockFormat().textIndent(), o.textList() != nullptr, ol->lineAt(0).x(), ol->lineAt(0).width(),
                    ol->position().x(), ol->position().y(), ql->lineAt(0).x(), ql->lineAt(0).width(), ql->position().x(),
                    ql->position().y());
          }
        fprintf(stderr, "pictures differ at y %d: %s (saved in %s)\n", top, qPrintable(r.problem), qPrintable(dir));
        fail(__LINE__);
      }
    }
  }

  // Qt's layout of the same document, for the line breaks (an empty
  // bulleted paragraph is copied without its list).
  std::unique_ptr<QTextDocument> qt = tolvan::cloneDocument(&doc);
  qt->setDocumentMargin(doc.documentMargin());
  qt->setPageSize(doc.pageSize());
  qt->documentLayout()->documentSize();
  int y = qRound(doc.documentMargin());
  QTextBlock q = qt->begin();
  for (QTextBlock o = doc.begin(); o.isValid(); o = o.next(), q = q.next()) {
    check(q.isValid());
    check(layout->blockTop(o) == y);
    check(o.lineCount() == TDocumentLayout::linesHeight(o));
    y += o.lineCount();
    const QRectF qr = qt->documentLayout()->blockBoundingRect(q);
    const QTextLayout* ol = o.layout();
    const QTextLayout* ql = q.layout();
    if (show && ol->lineCount() != ql->lineCount()) {
      fprintf(stderr, "block %d: lines %d / %d, text %d, list %d / %d, indent %g / %g\n", o.blockNumber(), ol->lineCount(),
              ql->lineCount(), int(o.text().size()), o.textList() != nullptr, q.textList() != nullptr,
              o.blockFormat().leftMargin(), q.blockFormat().leftMargin());
      for (int i = 0; i < qMax(ol->lineCount(), ql->lineCount()); ++i)
        fprintf(stderr, "  line %d: x %g w %g len %d / x %g w %g len %d\n", i,
                i < ol->lineCount() ? ol->lineAt(i).x() : -1, i < ol->lineCount() ? ol->lineAt(i).width() : -1,
                i < ol->lineCount() ? ol->lineAt(i).textLength() : -1, i < ql->lineCount() ? ql->lineAt(i).x() : -1,
                i < ql->lineCount() ? ql->lineAt(i).width() : -1, i < ql->lineCount() ? ql->lineAt(i).textLength() : -1);
    }
    check(ol->lineCount() == ql->lineCount());
    const QRectF r = layout->blockBoundingRect(o);
    for (int i = 0; i < ol->lineCount(); ++i) {
      const QTextLine line = ol->lineAt(i);
      check(line.textStart() == ql->lineAt(i).textStart());
      // A hit in the middle of the line's second character finds what Qt's
      // layout finds there (a character, or none where the character is a
      // control or a sign drawn with its neighbour). Both lines are asked
      // the same things first: a justified line's answers depend on them.
      const int pos = line.textStart() + 1;
      if (line.textLength() < 3) continue;
      const QTextLine qline = ql->lineAt(i);
      const qreal x0 = line.cursorToX(pos), x1 = line.cursorToX(pos + 1);
      check(x0 == qline.cursorToX(pos) && x1 == qline.cursorToX(pos + 1));
      const qreal x = (x0 + x1) / 2;
      const QPointF p = r.topLeft() + QPointF(x, line.y() + line.height() / 2);
      const QPointF qp = qr.topLeft() + QPointF(x, qline.y() + qline.height() / 2);
      const int ours = layout->hitTest(p, Qt::ExactHit), theirs = qt->documentLayout()->hitTest(qp, Qt::ExactHit);
      if (show) fprintf(stderr, "hit %d, Qt's %d, at %g,%g\n", ours, theirs, p.x(), p.y());
      check(ours == theirs);
    }
  }
  check(!q.isValid());
  check(qRound(layout->documentSize().height()) == y + qRound(doc.documentMargin()));

  return 0;
}
