// Fuzz target for the RTF reader. Any input must either be refused with a
// message or give a document; a document must write out as RTF that reads
// back to the same text.
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

#include "platform/rtf/rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_fuzz";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
  const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                   static_cast<qsizetype>(size));
  QTextDocument doc;
  QString error;
  if (!tolvan::rtf::readRtf(bytes, &doc, &error)) {
    if (error.isEmpty()) std::abort();  // a refusal always says why
    return 0;
  }
  const QByteArray out = tolvan::rtf::writeRtf(&doc);
  QTextDocument again;
  if (!tolvan::rtf::readRtf(out, &again, &error)) std::abort();
  if (again.toRawText() != doc.toRawText()) std::abort();
  return 0;
}
