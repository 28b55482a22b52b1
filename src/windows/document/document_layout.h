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
// font's average width). A background pass, run in short slices by the
// editor (measureSome), replaces the estimates with real heights: in a
// document of up to measureAllLimit() characters all of them, in a larger one
// only up to where a real height has been asked for (measureForCaret: the
// line count of a place far down, say). Laying out megabytes only to learn their
// heights costs seconds of the processor for nothing anyone sees; what is
// shown, hit or scrolled to is laid out where it is (measureSpan), and the
// editor keeps what is on screen in place while heights around it change.
//
// A paragraph longer than kLongBlock characters (a file of one long line) is
// never laid out as a whole: Qt's text layout copies, analyses and shapes a
// paragraph in full whenever it is touched, which for megabytes of text takes
// minutes. Such a paragraph is cut into pieces of about kPiece characters,
// each at a space where there is one near; each piece is laid out on its own,
// only when it is painted, hit or measured, and lines break within a piece as
// Qt breaks them (a piece always ends a line). Its height is the sum of its
// pieces', estimated until they are measured. An edit lays out the piece it
// touched. Qt's own cursor code knows nothing of the pieces: the editor asks
// caretRect and lineAt for a caret in such a paragraph.
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
#include <utility>
#include <vector>

#include "windows/document/shaped_words.h"

namespace tolvan::layout {
struct Piece;
struct Pieces;
}  // namespace tolvan::layout

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
  // for about budgetMs milliseconds, as far as they are wanted (see above).
  // Returns true once none of those is left.
  bool measureSome(int budgetMs);
  // True when every paragraph's height is its real one.
  bool complete() const { return measuredTo_ < 0; }
  // True when every paragraph before position has its real height.
  bool measuredBefore(int position) const { return measuredTo_ < 0 || position <= measuredTo_; }
  // The line count of the caret at position needs the paragraphs before it
  // measured: asks the background pass for them (measured is emitted once
  // done). Each call replaces the one before: a caret moved back up
  // withdraws what it had asked for further down.
  void measureForCaret(int position);
  // Documents of up to this many characters are measured in full.
  static constexpr int kMeasureAllChars = 2 << 20;
  int measureAllLimit() const { return measureAllChars_; }
  void setMeasureAllLimit(int chars);
  // Lays out every paragraph (and piece of a long one) that overlaps the
  // heights top to bottom; true when a height changed (what lies below the
  // changed paragraph moved).
  bool measureSpan(qreal top, qreal bottom);
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
  // Paragraphs longer than this are laid out in pieces of about kPiece.
  static constexpr int kLongBlock = 16'384;
  static constexpr int kPiece = 4'096;
  static bool isLong(const QTextBlock& block) { return block.length() - 1 > kLongBlock; }

  // The caret's rectangle at a position, in document coordinates (one
  // pixel wide), laying out only the line's paragraph or piece.
  QRectF caretRect(int position) const;
  // The document positions where the visual line holding position starts
  // and ends (the end before a space that broke the line, as Qt's End key).
  std::pair<int, int> lineAt(int position) const;
  // The text of a paragraph from its position start, length characters,
  // copied for that range only (a cursor placed in a long paragraph would
  // make Qt analyse all of it).
  QString textIn(const QTextBlock& block, int start, int length) const;
  // The number of pieces a long paragraph is laid out in (0 for others).
  int pieceCount(const QTextBlock& block) const;

 signals:
  // Some paragraphs wait to be measured: measureSome should run.
  void measuringNeeded();
  // The background pass has measured all it was asked to (heights that
  // depend on it, line counts say, are exact now).
  void measured();

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
  // Line height and average character width of a paragraph's font (cached
  // per format), for estimates.
  const Metrics& metricsOf(const QTextBlock& block) const;
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
  // The paragraph last edited keeps its shaped glyphs, so that placing the
  // caret and painting after each key do not shape it again; the one edited
  // before lets go of them (when it is next painted or laid out).
  void keepShaped(const QTextBlock& block);
  void drawBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                 const QPointF& origin) const;
  void drawLongBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                     const QPointF& origin) const;
  void drawListMarker(QPainter* painter, const PaintContext& context, const QTextBlock& block,
                      const QTextCharFormat* selection) const;
  // Long paragraphs: their pieces made from the text (with estimates), an
  // edit inside one paragraph applied to the piece it touched, a piece laid
  // out, and the piece holding a position in the paragraph.
  using Piece = tolvan::layout::Piece;
  using Pieces = tolvan::layout::Pieces;
  Pieces* piecesOf(const QTextBlock& block) const;
  int ensurePieces(const QTextBlock& block) const;
  void buildPieces(const QTextBlock& block) const;
  std::vector<Piece> cutIntoPieces(const QTextBlock& block, const QString& text) const;
  bool applyEditToPieces(const QTextBlock& block, int at, int removed, int added) const;
  void layoutPiece(const QTextBlock& block, int index, int start) const;
  int estimatePiece(const QTextBlock& block, int length) const;
  int longHeight(const QTextBlock& block) const;
  // The piece holding the paragraph position rel: its index, start and top
  // (below the paragraph's top margin).
  struct PieceAt {
    int index = 0, start = 0, top = 0;
  };
  PieceAt pieceAt(const QTextBlock& block, int rel) const;
  PieceAt pieceAtY(const QTextBlock& block, qreal y) const;
  template <typename Past>
  PieceAt findPiece(const QTextBlock& block, Past past) const;
  // The piece's lines, laid out if they are not current.
  const QTextLayout* pieceLayout(const QTextBlock& block, const PieceAt& at) const;
  bool pieceCurrent(const QTextBlock& block, int index) const;
  // Breaks tl into lines as Qt's layout does; returns the height used below y.
  // The words of the paragraph being typed into are shaped only when new
  // (words, when given).
  qreal breakLines(QTextLayout* tl, const QTextBlock& block, const QTextBlockFormat& format, qreal y,
                   bool firstLine, TShapedWords* words = nullptr) const;
  QTextOption optionFor(const QTextBlock& block, const QTextBlockFormat& format) const;

  // Heights changed outside an edit (while painting or answering a query):
  // the new size is reported once control is back in the event loop.
  void sizeMayHaveChanged() const;
  void reportSize();
  // Heights changed from top down: the new size and a repaint, now.
  void heightsChanged(int top);
  // Where the background pass stops: the position it measures up to.
  int wantedTo() const;

  QTextDocument* doc_;
  Settings settings_;
  qreal width_ = -1;           // the text width the paragraphs are laid out for
  int revision_ = -1;          // the document revision last seen
  bool textChanged_ = false;   // the text changed since the layout was last told
  int measuredTo_ = -1;        // background pass position; -1 when complete
  int caretAsked_ = -1;        // what measureForCaret asks for now (larger documents)
  int measureAllChars_ = kMeasureAllChars;
  mutable qreal usedWidth_ = 0;  // widest line seen (for documents not wrapped)
  mutable bool sizeReportPending_ = false;
  QSizeF reportedSize_;
  mutable QHash<int, Metrics> metrics_;  // per character format, for estimates
  int shapedBlock_ = -1;  // the number of the paragraph keepShaped last kept
  mutable TShapedWords words_;  // that paragraph's shaped words
};
