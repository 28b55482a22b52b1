// The caret's line counted over wrapped lines from the top of the document,
// for the status bar.
//
// The document window's layout keeps each paragraph's height in pixels, not
// its number of lines, so the count is kept here: the lines of every
// paragraph, summed at a mark every kStride paragraphs. A query adds up only
// the paragraphs after the last mark still valid; an edit drops the marks
// after the paragraph it touched, so typing costs at most kStride
// paragraphs, and a new text width or default font drops them all. A
// paragraph not laid out yet counts as its estimated height in lines of the
// default font, and the layout is asked to measure the paragraphs before the
// position; once they are measured, marks made from estimates are dropped and
// the count is exact.
#pragma once
#include <QFont>
#include <QObject>
#include <QTextBlock>
#include <vector>

class QTextDocument;

class TLineCounter : public QObject {
  Q_OBJECT

 public:
  // The counter of doc (made on first use, owned by doc).
  static TLineCounter* of(QTextDocument* doc);
  // The line of position (from 0), counted over wrapped lines; and the
  // position where that line starts.
  int lineAt(int position, int* lineStart = nullptr);

  static constexpr int kStride = 256;

 private:
  explicit TLineCounter(QTextDocument* doc);
  int linesBefore(const QTextBlock& block);
  int linesOf(const QTextBlock& block) const;
  bool measuredBefore(const QTextBlock& block) const;
  void dropAfter(int position);

  QTextDocument* doc_;
  std::vector<int> marks_{0};  // marks_[k]: the lines of paragraphs [0, k * kStride)
  qreal width_ = -2;           // the text width the marks were counted for
  QFont font_;                 // the default font they were counted with
  size_t exactMarks_ = 1;      // the first marks, counted from measured paragraphs only
};
