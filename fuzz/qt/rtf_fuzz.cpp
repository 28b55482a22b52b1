// Fuzz target for the RTF reader as the editor uses it. Any input must either
// be refused with a message or give a document (a damaged file: what was
// read, with the damage named); the document holds no lone surrogate and
// writes out as sound RTF that reads back to the same text.
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
  QString error, damage;
  if (!tolvan::rtf::readRtf(bytes, &doc, &error, &damage)) {
    if (error.isEmpty()) std::abort();  // a refusal always says why
    return 0;
  }
  const QString text = doc.toRawText();
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      ++i;
    else if (text[i].isSurrogate())
      std::abort();
  }
  const QByteArray out = tolvan::rtf::writeRtf(&doc);
  QTextDocument again;
  if (!tolvan::rtf::readRtf(out, &again, &error, &damage) || !damage.isEmpty()) std::abort();
  if (again.toRawText() != doc.toRawText()) std::abort();
  return 0;
}
