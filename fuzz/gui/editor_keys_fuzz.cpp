// Fuzz target for typing in the real document window: the same keys typed on
// the keyboard (key events as a keyboard gives them) and delivered from
// outside (SendKeyToEditor) must leave exactly the text and typing state that
// the engines give in a plain text buffer, in every layout.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "core/input/keyboard.h"
#include "platform/byte_text.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Keys a keyboard types: printable ASCII, Backspace and Enter stand for
// themselves; any other byte picks one of them.
unsigned char keyOf(uint8_t b) {
  if ((b >= 0x20 && b <= 0x7E) || b == 0x08 || b == 0x0D) return b;
  const int i = b % 97;
  if (i == 95) return 0x08;
  if (i == 96) return 0x0D;
  return static_cast<unsigned char>(0x20 + i);
}

void typeOnKeyboard(QWidget* editor, unsigned char k) {
  if (k == 0x08)
    QTest::keyClick(editor, Qt::Key_Backspace);
  else if (k == 0x0D)
    QTest::keyClick(editor, Qt::Key_Return);
  else
    QTest::keyClick(editor, static_cast<char>(k));
}

QByteArray bytesOf(TEditForm* f) {
  QByteArray out;
  check(tolvan::documentToBytes(f->Editor->document(), "\r", &out));
  return out;
}

void useLayout(TEditForm* f, tolvan::Layout layout) {
  switch (layout) {
    case tolvan::Layout::Anjal: f->mmAnjalKBClick(); break;
    case tolvan::Layout::Mylai: f->mmMylaiKBClick(); break;
    case tolvan::Layout::Typewriter: f->mmTypeKBClick(); break;
    case tolvan::Layout::Roman: f->mmRomanKBClick(); break;
  }
  if (!f->isTamilMode()) f->mmTamilKBClick();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TEditForm* form = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QTemporaryDir dir;  // the window's settings file
    qputenv("TOLVAN_INI", QFile::encodeName(dir.filePath(QStringLiteral("fuzz.ini"))));
    static int argc = 1;
    static char name[] = "editor_keys_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    auto* f = new TEditForm(nullptr);
    f->InitNewDocument();
    f->show();
    return f;
  }();
  if (size > 1024) return 0;  // a window is slow; short texts find the faults
  std::vector<unsigned char> keys;
  for (size_t i = 0; i < size; ++i) keys.push_back(keyOf(data[i]));

  for (tolvan::Layout layout : {tolvan::Layout::Anjal, tolvan::Layout::Mylai,
                                tolvan::Layout::Typewriter, tolvan::Layout::Roman}) {
    useLayout(form, layout);
    tolvan::TamilState ref;
    tolvan::TextBufferSink buffer(layout, ref);
    for (unsigned char k : keys) buffer.typeKey(k);
    const QByteArray want = QByteArray::fromStdString(buffer.text());

    for (bool sent : {false, true}) {
      form->Editor->clear();
      tolvan::programTamilState() = {};
      for (unsigned char k : keys) {
        if (sent)
          form->SendKeyToEditor(k);
        else
          typeOnKeyboard(form->Editor, k);
      }
      check(bytesOf(form) == want);
      check(tolvan::programTamilState().LastTamilChar == ref.LastTamilChar);
      check(tolvan::programTamilState().HeldConsonant == ref.HeldConsonant);
    }
  }
  form->Editor->document()->setModified(false);
  return 0;
}
