// Where a document's editor hands each typed character before anything is
// inserted: the Tamil keyboard engines of the window that holds it.
#pragma once

class TKeyDispatch {
 public:
  // The byte the editor should insert for a typed byte (0 for nothing).
  virtual unsigned char EditorKeyPress(unsigned char key) = 0;
  // Whether typed keys go through a keyboard engine (Tamil mode with a
  // layout): a Unicode document then edits through the TSCII bridge.
  virtual bool typesTamil() const { return false; }

 protected:
  ~TKeyDispatch() = default;
};
