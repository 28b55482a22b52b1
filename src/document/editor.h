// The document's rich-text editor. Every character key is handed to its
// window's key dispatch (Tamil keyboard engines) before anything is inserted,
// and Unicode Tamil arriving by paste or from an input method is turned into
// TSCII where it enters, so the text stays one byte per character.
#pragma once
#include <QTextEdit>

class TEditForm;

class TEditor : public QTextEdit {
  Q_OBJECT

 public:
  explicit TEditor(TEditForm* form, QWidget* parent = nullptr);

  // Inserts text at the caret (replacing the selection), converting Unicode
  // Tamil to TSCII first.
  void insertPlainBytesText(const QString& text);
  // Space between the editor's edges and the text (not part of the document).
  void setFormattingMargins(const QMargins& m) {
    if (viewportMargins() != m) setViewportMargins(m);
  }
  // True while a key (and the keys its engine sends back) is being handled.
  bool inKey() const { return depth_ > 0; }

 signals:
  // A typed key has been handled completely (after all the keys it sent).
  void keyHandled();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  QMimeData* createMimeDataFromSelection() const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  void insertByte(unsigned char b, bool paragraph);
  TEditForm* Form_;
  int depth_ = 0;  // nesting of keys sent back by an engine
};
