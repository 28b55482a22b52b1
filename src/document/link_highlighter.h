// Web addresses in a document shown as links: drawn blue and underlined
// through the layout's extra formats (the document's own formatting, and so
// its file, never changes), the pointer a hand over them, and a click opens
// the address through the desktop.
#pragma once
#include <QPoint>
#include <QString>
#include <QSyntaxHighlighter>

class QTextEdit;

class TLinkHighlighter : public QSyntaxHighlighter {
  Q_OBJECT

 public:
  // Marks the links of editor's document and watches its viewport.
  explicit TLinkHighlighter(QTextEdit* editor);
  // The address under a point of the editor's viewport, or empty.
  QString linkAt(const QPoint& viewportPos) const;

 protected:
  void highlightBlock(const QString& text) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTextEdit* editor_;
  QString pressed_;      // the link under the last left-button press
  QPoint pressPos_;
  bool handCursor_ = false;
};
