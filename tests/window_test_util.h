// What the window tests share: a frame's documents closed between tests.
#pragma once
#include <QCoreApplication>
#include <QEvent>
#include <QTextDocument>

#include "document/edit_form.h"
#include "document/editor.h"
#include "shell/main_form.h"

namespace window_test {

// Closes every document window of the frame without saving and without a
// question, and lets the closed windows go.
inline void discardDocuments(TMainForm* frame) {
  for (TEditForm* f : frame->EditForms()) {
    f->Editor->document()->setModified(false);
    f->Close1Click();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

}  // namespace window_test
