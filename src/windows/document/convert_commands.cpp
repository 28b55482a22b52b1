// The conversion commands of a document window: the built-in converters and
// the font maps applied to the selection (the Unicode commands and the
// clipboard forms are in convert_commands_unicode.cpp).
#include "windows/document/convert_commands.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <optional>
#include <vector>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "windows/dialogs/map_form.h"
#include "windows/document/document_limits.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

#include "windows/document/busy_scope.h"

namespace {

// Bytes (0x0D or CR LF as paragraph breaks) to editor text.
void appendBytesAsEditorText(const std::string& bytes, QString& out) {
  out.append(tolvan::bytesToText(
      QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))));
}

}  // namespace

TConvertCommands::TConvertCommands(ConvertHost host, QObject* parent)
    : QObject(parent), host_(std::move(host)) {}

QString TConvertCommands::stopCaption() { return QStringLiteral("Stop Showing These"); }

void TConvertCommands::addConverterItems(QMenu* menu, QMenu* popup) {
  struct Item {
    const char* caption;
    QAction** inMenu;
    QAction** inPopup;
    void (TConvertCommands::*handler)();
  };
  const Item items[] = {
      {"Mylai to TSCII", &MylaitoTSCII1, &MylaitoTSC1, &TConvertCommands::MylaitoTSC1Click},
      {"Anjal to TSCII", &AnjaltoTSCII2, &AnjaltoTSCII1, &TConvertCommands::AnjaltoTSCII1Click},
      {"Roman to TSCII", &RomantoTSCII2, &RomantoTSCII1, &TConvertCommands::RomantoTSCII1Click},
      {"TSCII to TAB", &TSCIItoTAB2, &TSCIItoTAB1, &TConvertCommands::TSCIItoTAB1Click},
  };
  for (const Item& it : items) {
    const QString caption = QString::fromLatin1(it.caption);
    if (menu) {
      *it.inMenu = menu->addAction(caption);
      connect(*it.inMenu, &QAction::triggered, this, it.handler);
    }
    if (popup) {
      *it.inPopup = popup->addAction(caption);
      connect(*it.inPopup, &QAction::triggered, this, it.handler);
    }
  }
}

void TConvertCommands::buildFontMapMenu(const std::vector<std::string>& paths) {
  if (!Convert) return;
  for (const std::string& p : paths) {
    if (p.empty()) continue;
    const QString path = QFile::decodeName(QByteArray(p.data(), static_cast<qsizetype>(p.size())));
    // The caption is the path as registered; '&' would otherwise be taken
    // for a mnemonic.
    QString caption = path;
    caption.replace(u'&', QStringLiteral("&&"));
    QAction* a = Convert->addAction(caption);
    a->setData(path);
    connect(a, &QAction::triggered, this, &TConvertCommands::ConvertClick);
  }
}

QString TConvertCommands::convertEditorText(
    const QString& text, const std::function<std::string(std::string_view)>& conv) {
  QString out;
  out.reserve(text.size() + text.size() / 8);
  std::string run;
  run.reserve(static_cast<size_t>(text.size()));
  auto flush = [&] {
    // An empty run still goes through the converter once when the whole
    // text is empty, so the command frame behaves the same either way.
    appendBytesAsEditorText(conv(run), out);
    run.clear();
  };
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  bool any = false;
  for (qsizetype k = 0; k < n; ++k) {
    const char16_t u = p[k].unicode();
    if (u == 0x2029 || u == 0x2028) {
      run.push_back('\r');
      continue;
    }
    const int b = tolvan::charToByte(p[k]);
    if (b >= 0) {
      run.push_back(static_cast<char>(b));
      continue;
    }
    if (!run.empty()) flush();
    out.append(p[k]);
    any = true;
  }
  if (!run.empty() || !any) flush();
  return out;
}

qint64 TConvertCommands::convertedSize(const QString& text,
                                       const std::function<size_t(std::string_view)>& sizeOf) {
  // The same runs convertEditorText makes; a paragraph break comes back as
  // one character whatever its bytes.
  qint64 total = 0;
  std::string run;
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  for (qsizetype k = 0; k <= n; ++k) {
    const int b = k < n ? tolvan::charToByte(p[k]) : -1;
    const char16_t u = k < n ? p[k].unicode() : 0;
    if (k < n && (b >= 0 || u == 0x2029 || u == 0x2028)) {
      run.push_back(u == 0x2029 || u == 0x2028 ? '\r' : static_cast<char>(b));
      if (run.size() < (size_t(1) << 20)) continue;
    }
    total += static_cast<qint64>(sizeOf(run));
    run.clear();
    if (k < n && b < 0 && u != 0x2029 && u != 0x2028) ++total;
  }
  return total;
}

bool TConvertCommands::convertSelection(const std::function<std::string(std::string_view)>& conv,
                                        const std::function<size_t(std::string_view)>& sizeOf,
                                        Feedback feedback) {
  QTextEdit* editor = host_.editor;
  const bool shown = feedback == Feedback::BusyAndBeep;
  QString refusal;
  {
    std::optional<BusyScope> busy;
    if (shown) busy.emplace(host_.setBusy);
    QTextCursor c = editor->textCursor();
    // What stays of the document beside the selection, in characters.
    const qint64 rest = editor->document()->characterCount() - 1 - (c.selectionEnd() - c.selectionStart());
    try {
      const QString selected = c.selectedText();
      // A result whose size is known beforehand is refused before it is made.
      if (sizeOf) {
        const qint64 size = convertedSize(selected, sizeOf);
        if (rest + size > tolvan::kMaxDocumentBytes) refusal = tolvan::tooLargeResultMessage(rest + size);
      }
      if (refusal.isEmpty()) {
        const QString result = convertEditorText(selected, conv);
        if (rest + result.size() > tolvan::kMaxDocumentBytes) {
          refusal = tolvan::tooLargeResultMessage(rest + result.size());
        } else if (c.hasSelection() || !result.isEmpty()) {
          // Removing the selection and inserting the result is one undo step.
          c.beginEditBlock();
          c.insertText(result);
          c.endEditBlock();
          editor->setTextCursor(c);
        }
      }
    } catch (const std::bad_alloc&) {
      // Out of memory before the document was touched (the text is made in
      // full before the edit begins): the document is as it was.
      refusal = tolvan::outOfMemoryMessage();
    }
    if (refusal.isEmpty() && shown) tolvan::Prompts::instance().beep();
  }
  if (!refusal.isEmpty()) {
    tolvan::Prompts::instance().error(host_.window, refusal);
    return false;
  }
  return true;
}

void TConvertCommands::MylaitoTSC1Click() {
  convertSelection([](std::string_view in) { return tolvan::MylaiToTscii(in); });
}

void TConvertCommands::AnjaltoTSCII1Click() {
  // One box per byte without a mapping, as the converter meets it; the
  // box's second button ends the boxes, never the conversion.
  bool stopped = false;
  auto report = [&](size_t, unsigned char byte) {
    if (stopped) return;
    const std::string text = tolvan::AnjalUnmappedMessage(byte);
    // The hourglass is not the cursor to answer a box with.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    stopped = tolvan::Prompts::instance().informationOrStop(
        host_.window, QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
        stopCaption());
    QApplication::restoreOverrideCursor();
  };
  convertSelection([&](std::string_view in) { return tolvan::AnjalToTscii(in, report); });
}

void TConvertCommands::RomantoTSCII1Click() {
  convertSelection([](std::string_view in) { return tolvan::RomanToTscii(in); });
}

void TConvertCommands::TSCIItoTAB1Click() {
  convertSelection([](std::string_view in) { return tolvan::TsciiToTab(in); });
}

void TConvertCommands::ConvertClick() {
  auto* item = qobject_cast<QAction*>(sender());
  if (!item) return;
  applyFontMap(item->data().toString());
}

void TConvertCommands::applyFontMap(const QString& path) {
  // The file is read afresh on every use, so an edited map takes effect at
  // once. A relative name is taken from the current folder.
  std::string bytes;
  try {
    const QByteArray name = QFile::encodeName(path);
    bytes = tolvan::ReadFileBytes(std::string(name.constData(), static_cast<size_t>(name.size())));
  } catch (const std::exception& e) {
    tolvan::Prompts::instance().error(host_.window, QString::fromLocal8Bit(e.what()));
    return;
  }
  const tolvan::FontMapApplier map(bytes);
  // One byte of a map may stand for megabytes: the result's size is known
  // before it is made, and a result past the document limit is refused.
  // Unlike the built-in converters, a font map runs without the hourglass,
  // the light and the beep.
  convertSelection([&map](std::string_view in) { return map.apply(in); },
                   [&map](std::string_view in) { return map.outputSize(in); }, Feedback::Silent);
}

TMapForm* TConvertCommands::FontConversion1Click() {
  auto* editor = new TMapForm(host_.window, host_.settingsFile(), host_.help);
  editor->show();
  editor->raise();
  editor->activateWindow();
  return editor;
}
