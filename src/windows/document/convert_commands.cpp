// The conversion commands of a document window: the built-in converters and
// the font maps applied to the selection (the Unicode commands and the
// clipboard forms are in convert_commands_unicode.cpp).
#include "windows/document/convert_commands.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QMenu>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <optional>
#include <vector>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "core/convert/unicode_bridge.h"
#include "windows/dialogs/map_form.h"
#include "windows/document/document_limits.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

#include "windows/document/busy_scope.h"

namespace {

// Bytes (CR LF, CR or LF as paragraph breaks) to editor text, as
// bytesToText makes it, written straight into out in one pass: a selection
// of many megabytes needs no text in between and no second pass for 0xAD.
void appendBytesAsEditorText(const std::string& bytes, QString& out) {
  const qsizetype start = out.size();
  const qsizetype n = static_cast<qsizetype>(bytes.size());
  out.resize(start + n);  // at most one character a byte
  char16_t* o = reinterpret_cast<char16_t*>(out.data()) + start;
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  qsizetype k = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const unsigned char c = b[i];
    if (c == '\r') {
      // A cursor takes CR and LF each as a break: CR LF is one.
      o[k++] = u'\n';
      if (i + 1 < n && b[i + 1] == '\n') ++i;
    } else {
      o[k++] = c == 0xAD ? tolvan::kDisplayedSoftHyphen : char16_t(c);
    }
  }
  out.truncate(start + k);
}

// True when the bridge gives TSCII bytes for cp: the Tamil letters and signs,
// and the few other characters TSCII has a code for.
bool tsciiHasCode(char32_t cp) {
  // The bridge leaves U+FEFF out at the start as a byte order mark; in the
  // text it is a character with no code.
  if (cp == 0xFEFF) return false;
  static QHash<char32_t, bool> known;  // the window thread's alone
  auto it = known.constFind(cp);
  if (it != known.constEnd()) return *it;
  const QByteArray one = QString::fromUcs4(&cp, 1).toUtf8();
  bool has = true;
  tolvan::UnicodeToTscii(
      std::string_view(one.constData(), static_cast<size_t>(one.size())),
      [&](size_t, const std::string& what) {
        if (what.find("not in TSCII") != std::string::npos) has = false;
      },
      tolvan::Unmappable::Drop);
  known.insert(cp, has);
  return has;
}

// A Unicode document's text cut into what goes through a converter as bytes
// and what stays as it is; one of the two is set in each piece.
struct UnicodePiece {
  std::string bytes;
  QString kept;
};

std::vector<UnicodePiece> splitUnicodeText(const QString& text, TConvertCommands::UnicodeInput input,
                                           const TConvertCommands::ByteFilter& takesByte) {
  const bool withTamil = input == TConvertCommands::UnicodeInput::BytesAndTamil;
  const char16_t lastByte = input == TConvertCommands::UnicodeInput::Ascii ? 0x7F : 0xFF;
  std::vector<UnicodePiece> out;
  std::string run;
  QString tamil;  // Unicode on its way into run, through the bridge
  QString kept;
  auto flushTamil = [&] {
    if (tamil.isEmpty()) return;
    const QByteArray u = tamil.toUtf8();
    run += tolvan::UnicodeToTscii(std::string_view(u.constData(), static_cast<size_t>(u.size())), {},
                                  tolvan::Unmappable::Drop);
    tamil.clear();
  };
  auto flushRun = [&] {
    flushTamil();
    if (run.empty()) return;
    out.push_back({std::move(run), QString()});
    run.clear();
  };
  auto flushKept = [&] {
    if (kept.isEmpty()) return;
    out.push_back({std::string(), std::move(kept)});
    kept.clear();
  };
  const qsizetype n = text.size();
  for (qsizetype k = 0; k < n;) {
    const QChar c = text[k];
    const char16_t u = c.unicode();
    const bool isByte = u <= 0x7F || (u <= lastByte && (!withTamil || !takesByte ||
                                                       takesByte(static_cast<unsigned char>(u))));
    if (u == 0x2029 || u == 0x2028 || isByte) {
      flushKept();
      flushTamil();
      run.push_back(isByte ? static_cast<char>(u) : '\r');
      ++k;
      continue;
    }
    char32_t cp = u;
    qsizetype len = 1;
    if (c.isHighSurrogate() && k + 1 < n && text[k + 1].isLowSurrogate()) {
      cp = QChar::surrogateToUcs4(c, text[k + 1]);
      len = 2;
    }
    // A dotted circle carries a vowel sign written alone; by itself it has
    // no code.
    const bool bridged =
        withTamil && (cp == 0x25CC ? k + 1 < n && tolvan::isUnicodeTamil(text[k + 1])
                                   : tsciiHasCode(cp));
    if (bridged) {
      flushKept();
      tamil.append(QStringView(text).mid(k, len));
    } else {
      flushRun();
      kept.append(QStringView(text).mid(k, len));
    }
    k += len;
  }
  flushRun();
  flushKept();
  return out;
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

QString TConvertCommands::convertUnicodeText(
    const QString& text, const std::function<std::string(std::string_view)>& conv,
    UnicodeInput input, const ByteFilter& takesByte) {
  const std::vector<UnicodePiece> pieces = splitUnicodeText(text, input, takesByte);
  QString out;
  out.reserve(text.size() + text.size() / 8);
  // The converter runs once for an empty text, as it does in a TSCII document.
  if (pieces.empty()) conv(std::string_view());
  for (const UnicodePiece& p : pieces) {
    if (p.bytes.empty()) {
      out.append(p.kept);
      continue;
    }
    const std::string unicode = tolvan::TsciiToUnicode(conv(p.bytes));
    QString q = QString::fromUtf8(unicode.data(), static_cast<qsizetype>(unicode.size()));
    // The converters' paragraph breaks: CR LF, CR or LF, each one break.
    if (q.contains(u'\r')) {
      q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      q.replace(u'\r', u'\n');
    }
    out.append(q);
  }
  return out;
}

qint64 TConvertCommands::convertedUnicodeSize(const QString& text, UnicodeInput input,
                                              const std::function<size_t(std::string_view)>& sizeOf,
                                              const ByteFilter& takesByte) {
  qint64 total = 0;
  for (const UnicodePiece& p : splitUnicodeText(text, input, takesByte))
    total += p.bytes.empty() ? p.kept.size() : static_cast<qint64>(sizeOf(p.bytes));
  return total;
}

bool TConvertCommands::isUnicodeDocument() const {
  return host_.encoding && host_.encoding() == tolvan::TextEncoding::Unicode;
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
                                        Feedback feedback, UnicodeInput input,
                                        const ByteFilter& takesByte) {
  QTextEdit* editor = host_.editor;
  const bool unicode = isUnicodeDocument();
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
        const qint64 size =
            unicode ? convertedUnicodeSize(selected, input, sizeOf, takesByte)
                    : convertedSize(selected, sizeOf);
        if (rest + size > tolvan::kMaxDocumentBytes) refusal = tolvan::tooLargeResultMessage(rest + size);
      }
      if (refusal.isEmpty()) {
        const QString result =
            unicode ? convertUnicodeText(selected, conv, input, takesByte)
                    : convertEditorText(selected, conv);
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
  convertSelection([](std::string_view in) { return tolvan::MylaiToTscii(in); }, {},
                   Feedback::BusyAndBeep, UnicodeInput::Ascii);
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
  convertSelection([](std::string_view in) { return tolvan::RomanToTscii(in); }, {},
                   Feedback::BusyAndBeep, UnicodeInput::Ascii);
}

void TConvertCommands::TSCIItoTAB1Click() {
  // TAB is another 8-bit encoding: its bytes mean nothing in Unicode text.
  if (isUnicodeDocument()) {
    tolvan::Prompts::instance().warning(
        host_.window,
        QStringLiteral("TSCII to TAB works on TSCII documents; this document is Unicode, "
                       "and nothing was changed.\n"
                       "To make TAB text, convert the document to TSCII first "
                       "(Convert > Convert Document to TSCII)."));
    return;
  }
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
  // the light and the beep. In a Unicode document the map sees the TSCII
  // form of the selection and its result is read as TSCII: the maps bring
  // text from other fonts into TSCII, the one 8-bit encoding the program
  // reads as Unicode. A letter such as é goes in as a source-font code only
  // when the map has an entry for it; otherwise it is a letter and stays.
  convertSelection([&map](std::string_view in) { return map.apply(in); },
                   [&map](std::string_view in) { return map.outputSize(in); }, Feedback::Silent,
                   UnicodeInput::BytesAndTamil,
                   [&map](unsigned char b) { return map.hasEntry(b); });
}

TMapForm* TConvertCommands::FontConversion1Click() {
  auto* editor = new TMapForm(host_.window, host_.settingsFile(), host_.help);
  editor->show();
  editor->raise();
  editor->activateWindow();
  return editor;
}
