// Where a document's editor hands each typed character before anything is
// inserted: the Tamil keyboard engines of the window that holds it.
#pragma once

class TKeyDispatch {
 public:
  // The byte the editor should insert for a typed byte (0 for nothing).
  virtual unsigned char EditorKeyPress(unsigned char key) = 0;

 protected:
  ~TKeyDispatch() = default;
};
