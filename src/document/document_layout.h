// The document window's text layout.
//
// Qt's own document layout keeps every paragraph's place as an absolute
// position and, after any edit, walks every later paragraph to move it: in a
// long document each key costs time in proportion to the text after the
// caret (a tenth of a second and more in 50 MiB). This layout keeps each
// paragraph's height in the document's block tree instead (the per-block
// "line count" Qt maintains as a running sum), so a paragraph's place is a
// logarithmic look-up, an edit lays out only the paragraphs it touched, and
// painting lays out only what is on screen.
//
// Paragraphs not laid out yet carry an estimated height (their length at the
// font's average width); a background pass, run in short slices by the
// editor (measureSome), replaces the estimates with real heights.
//
// What it draws: paragraphs with character formats (fonts, colours,
// underlines, backgrounds), alignment, margins, first-line indents, list
// bullets and numbers, pictures in the text, selections, the caret and
// input-method text. The program's documents hold nothing else; a table
// pasted from a web page shows its cells as paragraphs one below the other.
#pragma once
#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QTextBlock>

class TDocumentLayout : public QAbstractTextDocumentLayout {
  Q_OBJECT

 public:
  explicit TDocumentLayout(QTextDocument* doc);

  void draw(QPainter* painter, const PaintContext& context) override;
  int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
  int pageCount() const override { return 1; }
  QSizeF documentSize() const override;
  QRectF frameBoundingRect(QTextFrame* frame) const override;
  QRectF blockBoundingRect(const QTextBlock& block) const override;

  // Lays out paragraphs still carrying an estimated (or outdated) height,
  // for about budgetMs milliseconds. Returns true once none is left.
  bool measureSome(int budgetMs);
  // True when every paragraph's height is its real one.
  bool complete() const { return measuredTo_ < 0; }
  // The top of a paragraph in document coordinates (laying nothing out).
  int blockTop(const QTextBlock& block) const;
  // The paragraph at height y (the last one below the end).
  QTextBlock blockAt(qreal y) const;
  // The height a paragraph's lines take, margins included, in whole pixels
  // (-1 while it has no lines): what the layout records for it.
  static int linesHeight(const QTextBlock& block);

  // Paragraphs an edit touches are laid out at once up to this many
  // characters; the rest get estimates and wait for the background pass.
  static constexpr int kImmediateChars = 20'000;

 signals:
  // Some paragraphs wait to be measured: measureSome should run.
  void measuringNeeded();

 protected:
  void documentChanged(int from, int charsRemoved, int charsAdded) override;

 private:
  struct Metrics {
    qreal lineHeight = 0;
    qreal charWidth = 0;
  };
  // The layout's settings apart from the width; a change of these (a new
  // default font, tab stops, wrap mode) outdates every paragraph.
  struct Settings {
    QFont font;
    int wrapMode = 0;
    int flags = 0;
    qreal tabStop = 0;
    qreal indentWidth = 0;
    qreal margin = 0;
    bool operator==(const Settings& o) const {
      return font == o.font && wrapMode == o.wrapMode && flags == o.flags && tabStop == o.tabStop &&
             indentWidth == o.indentWidth && margin == o.margin;
    }
  };
  Settings currentSettings() const;
  qreal textWidth() const;
  bool noWrap() const;
  int textWidthFixed() const;  // the text width in 1/64 pixels
  qreal indentOf(const QTextBlock& block, const QTextBlockFormat& format) const;
  qreal leftEdge(const QTextBlock& block, const QTextBlockFormat& format) const;
  qreal firstLineWidth(const QTextBlock& block, const QTextBlockFormat& format) const;
  // Whether the block's lines were laid out for the present width.
  bool isCurrent(const QTextBlock& block) const;
  // Lays the block out and records its height; returns the height change.
  int layoutBlock(const QTextBlock& block) const;
  // Lays the block out unless its lines are current; returns the change.
  int ensureLaidOut(const QTextBlock& block) const;
  int estimateHeight(const QTextBlock& block) const;
  void setHeight(const QTextBlock& block, int height) const;
  void outdateFrom(int position);
  void drawBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                 const QPointF& origin) const;
  void drawListMarker(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                      const QTextCharFormat* selection) const;
  // Heights changed outside an edit (while painting or answering a query):
  // the new size is reported once control is back in the event loop.
  void sizeMayHaveChanged() const;
  void reportSize();

  QTextDocument* doc_;
  Settings settings_;
  qreal width_ = -1;           // the text width the paragraphs are laid out for
  int revision_ = -1;          // the document revision last seen
  bool textChanged_ = false;   // the text changed since the layout was last told
  int measuredTo_ = -1;        // background pass position; -1 when complete
  mutable qreal usedWidth_ = 0;  // widest line seen (for documents not wrapped)
  mutable bool sizeReportPending_ = false;
  QSizeF reportedSize_;
  mutable QHash<int, Metrics> metrics_;  // per character format, for estimates
};
