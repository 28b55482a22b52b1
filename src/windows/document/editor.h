// The document's rich-text editor. Every character key is handed to its
// window's key dispatch (Tamil keyboard engines) before anything is inserted.
// In a TSCII document Unicode Tamil arriving by paste or from an input method
// is turned into TSCII where it enters, so the text stays one byte per
// character; a Unicode document takes it as it is.
//
// The text is laid out by TDocumentLayout; the editor runs its background
// measuring in slices of a few milliseconds, lays out what a scroll brings
// into view before it is painted, and keeps what is on screen in place while
// heights elsewhere change (the line at the top of the view, or the end of
// the text when the view is at the end).
#pragma once
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <string>

#include "core/document/text_encoding.h"
#include "core/input/unicode_typing.h"

class TDocumentLayout;
class TKeyDispatch;

class TEditor : public QTextEdit {
  Q_OBJECT

 public:
  explicit TEditor(TKeyDispatch* keys, QWidget* parent = nullptr);

  // Inserts text at the caret (replacing the selection), converting Unicode
  // Tamil to TSCII first in a TSCII document (as it is in a Unicode one).
  void insertPlainBytesText(const QString& text);
  // The document's encoding. A TSCII document keeps one character per byte
  // and takes Unicode Tamil in as TSCII; a Unicode document keeps Unicode.
  tolvan::TextEncoding encoding() const { return encoding_; }
  bool isUnicode() const { return encoding_ == tolvan::TextEncoding::Unicode; }
  void setEncoding(tolvan::TextEncoding e) { encoding_ = e; }
  // Space between the editor's edges and the text (not part of the document).
  void setFormattingMargins(const QMargins& m) {
    if (viewportMargins() != m) setViewportMargins(m);
  }
  // True while a key (and the keys its engine sends back) is being handled.
  bool inKey() const { return depth_ > 0; }

  // Documents of more characters than this show the busy pointer while a
  // command that may touch all of them runs (undo, redo, cutting).
  static constexpr int kLargeDocument = 1 << 20;
  bool isLarge() const { return document()->characterCount() > kLargeDocument; }
  // How long one slice of the background layout may run.
  static constexpr int kLayoutSliceMs = 2;
  // True once every paragraph of the document has been laid out.
  bool layoutComplete() const;
  TDocumentLayout* textLayout() const { return layout_; }

 signals:
  // A typed key has been handled completely (after all the keys it sent).
  void keyHandled();
  // Files from a file manager were dropped on the text: they are to be
  // opened as documents, not pasted as their names.
  void filesDropped(const QStringList& files);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QMimeData* createMimeDataFromSelection() const override;
  void insertFromMimeData(const QMimeData* source) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void insertByte(unsigned char b, bool paragraph);
  // One keyboard-engine operation in a Unicode document (UnicodeTyping::apply
  // on the paragraph around the caret). False for a backspace with nothing
  // before the caret in its paragraph, even in TSCII.
  bool typeUnicode(unsigned char op);
  // The operations of one typed key (the keys its engine sends back
  // included) edit a copy of the text around the caret; the document gets
  // the result in one edit when the key is done, or before anything else
  // touches the text.
  void readStretch();
  void flushStretch();
  // Caret movement inside a long paragraph, which Qt's cursor code would
  // look at in full for every key (see TDocumentLayout); false when the key
  // is not one of these or the caret is not in such a paragraph.
  bool moveInLongParagraph(QKeyEvent* e);

 private slots:
  // Scrolls so that rect (document coordinates) is in view, as QTextEdit
  // does for the caret, with the caret's place from our layout.
  void showRect(const QRectF& rect);
  // The caret blinks: in a long paragraph its place comes from our layout.
  void caretUpdate();

 private:
  void layoutSlice();
  // The background pass waits from a key (or input-method text) until the
  // view has painted what it did, so a slice never runs between the two;
  // without a paint it goes on after kPaintWaitMs.
  void holdLayoutForPaint();
  void resumeLayout();
  void wakeLayout();
  static constexpr int kPaintWaitMs = 50;
  bool layoutHeld_ = false;    // a key's paint is awaited
  bool layoutWanted_ = false;  // the pass has work left once it resumes
  QTimer layoutHoldTimer_;
  struct ViewAnchor {
    bool atEnd = false;
    QTextBlock block;
    int position = -1;  // in a long paragraph: the position at the view's top
    int offset = 0;     // the view's top less the anchor's place
  };
  ViewAnchor viewAnchor() const;
  int placeOf(const ViewAnchor& a) const;
  void keepAnchor(const ViewAnchor& a);
  void settleView();
  // Laying out a span moves what is below it; a few rounds settle it.
  static constexpr int kSettleRounds = 8;
  bool settling_ = false;  // the view is being settled (scrolls made meanwhile are ours)
  TKeyDispatch* Keys_;
  TDocumentLayout* layout_;
  QTimer layoutTimer_;
  tolvan::TextEncoding encoding_ = tolvan::TextEncoding::Tscii;
  int depth_ = 0;  // nesting of keys sent back by an engine
  // Typing in a Unicode document; any change of the text or move of the
  // caret outside a typed key makes it start afresh (inside one, the key
  // path says so itself).
  tolvan::UnicodeTyping typing_;
  bool inTypedKey_ = false;
  // The copy the operations of the key being typed edit.
  struct TypedStretch {
    bool active = false;
    int from = 0;  // its document position
    bool startsParagraph = false, endsParagraph = false;
    QString old;       // as read from the document
    std::string text;  // UTF-8, as the operations left it
    size_t caret = 0;  // byte offset in text
  };
  TypedStretch stretch_;
  QObject* textControl_ = nullptr;  // QTextEdit's own text control
  qreal wantedX_ = -1;  // the column Up and Down keep in a long paragraph
};
