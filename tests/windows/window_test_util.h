// What the window tests share: a document's text as bytes, files read and
// written whole, and a frame's documents closed between tests.
#pragma once
#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QString>
#include <QTest>
#include <QTextDocument>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "windows/frame/main_form.h"

namespace window_test {

// The editor's text as bytes, paragraphs joined by CR ("<wide>" when it holds
// a character one byte cannot hold).
inline QByteArray textOf(TEditForm* f) {
  QByteArray out;
  if (!tolvan::documentToBytes(f->Editor->document(), "\r", &out)) return "<wide>";
  return out;
}

inline QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return f.readAll();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

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
