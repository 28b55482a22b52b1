// Web addresses in a document shown as links: drawn blue and underlined
// through the layout's extra formats (the document's own formatting, and so
// its file, never changes), the pointer a hand over them, and a click opens
// the address through the desktop (after asking, for anything but a web, ftp
// or mail address). Only the paragraphs on screen are looked
// at, after each change or scroll, so a large document loads as fast as
// without links.
#pragma once
#include <QObject>
#include <QPoint>
#include <QString>

class QTextBlock;
class QTextEdit;

class TLinkHighlighter : public QObject {
  Q_OBJECT

 public:
  // Marks the links of editor's document and watches its viewport.
  explicit TLinkHighlighter(QTextEdit* editor);
  // The address under a point of the editor's viewport, or empty.
  QString linkAt(const QPoint& viewportPos) const;
  // Marks the paragraphs on screen now (otherwise done from the event loop).
  void markVisible();
  // Opens an address as a click on it does.
  void openLink(const QString& target);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void schedule();
  void markBlock(QTextBlock& block);
  QTextEdit* editor_;
  bool scheduled_ = false;
  QString pressed_;      // the link under the last left-button press
  QPoint pressPos_;
  bool handCursor_ = false;
};
