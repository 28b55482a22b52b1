// Converting a whole document between TSCII and Unicode in place (the
// Convert menu's last two items), and the menu state that follows the
// document's encoding.
//
// The text is converted piece by piece: each run of text with one character
// format is converted on its own and put back with that format, so
// paragraphs, their formats, fonts and styles stay. Where a letter is split
// between two formats (a prefix vowel sign in bold before a plain
// consonant), the two runs are converted together and take the first run's
// format, since the letter cannot be cut in the other encoding.
#include "windows/document/convert_commands.h"

#include <QAction>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include "windows/document/busy_scope.h"
#include "windows/document/convert_tally.h"
#include "windows/document/document_limits.h"

namespace {

using tolvan::TextEncoding;

// The encoding switch as part of the conversion's undo step: undo gives the
// old encoding back, redo the new one.
class TEncodingUndo : public QAbstractUndoItem {
 public:
  TEncodingUndo(std::function<void(TextEncoding)> set, TextEncoding before, TextEncoding after)
      : set_(std::move(set)), before_(before), after_(after) {}
  void undo() override { set_(before_); }
  void redo() override { set_(after_); }

 private:
  std::function<void(TextEncoding)> set_;
  TextEncoding before_, after_;
};

// A run of the document to replace, and what replaces it.
struct Span {
  int position = 0;
  int length = 0;
  QString text;  // the run's text, then its conversion
  QTextCharFormat format;
};

using TextConverter = QString (*)(QStringView, TConvertTally*);

QString toUnicode(QStringView text, TConvertTally*) { return TConvertCommands::tsciiToUnicodeText(text); }
QString toTscii(QStringView text, TConvertTally* unmapped) {
  return TConvertCommands::unicodeToTsciiText(text, unmapped);
}

// True when converting a and b apart gives what converting them together
// gives. The bridge looks at most a few letters either way, so the ends of
// the two runs decide.
bool cleanBoundary(TextConverter conv, const QString& a, const QString& b) {
  constexpr qsizetype kContext = 12;
  const QString tail = a.right(kContext);
  const QString head = b.left(kContext);
  return conv(tail, nullptr) + conv(head, nullptr) == conv(tail + head, nullptr);
}

// The document's text runs that conversion changes, each with its
// conversion, in document order. Objects (pictures) are left where they are.
std::vector<Span> convertedSpans(const QTextDocument* doc, TextConverter conv, TConvertTally* unmapped) {
  std::vector<Span> spans;
  Span cur;
  bool open = false;
  auto close = [&] {
    if (!open) return;
    QString converted = conv(cur.text, unmapped);
    // Text that comes out the same (ASCII, say) is left alone.
    if (converted != cur.text) {
      cur.text = std::move(converted);
      spans.push_back(std::move(cur));
    }
    cur = Span();
    open = false;
  };
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      const QTextCharFormat format = f.charFormat();
      if (format.objectType() != QTextFormat::NoObject || format.isImageFormat()) {
        close();
        continue;
      }
      const QString text = f.text();
      if (open && cur.position + cur.length == f.position() && !cleanBoundary(conv, cur.text, text)) {
        cur.text += text;
        cur.length += static_cast<int>(text.size());
        continue;
      }
      close();
      cur.position = f.position();
      cur.length = static_cast<int>(text.size());
      cur.text = text;
      cur.format = format;
      open = true;
    }
    close();  // a paragraph break ends every run
  }
  return spans;
}

QString characters(qint64 n) {
  return n == 1 ? QStringLiteral("1 character") : QStringLiteral("%1 characters").arg(n);
}

}  // namespace

void TConvertCommands::addDocumentItems(QMenu* menu) {
  menu->addSeparator();
  ConvertToUnicode1 = menu->addAction(QStringLiteral("Convert Document to Unicode"));
  ConvertToTscii1 = menu->addAction(QStringLiteral("Convert Document to TSCII"));
  ConvertToUnicode1->setObjectName(QStringLiteral("ConvertToUnicode1"));
  ConvertToTscii1->setObjectName(QStringLiteral("ConvertToTscii1"));
  connect(ConvertToUnicode1, &QAction::triggered, this, &TConvertCommands::ConvertToUnicode1Click);
  connect(ConvertToTscii1, &QAction::triggered, this, &TConvertCommands::ConvertToTscii1Click);
  updateForEncoding();
}

void TConvertCommands::updateForEncoding() {
  const bool unicode = isUnicodeDocument();
  const bool canSwitch = static_cast<bool>(host_.setEncoding);
  if (ConvertToUnicode1) ConvertToUnicode1->setEnabled(canSwitch && !unicode);
  if (ConvertToTscii1) ConvertToTscii1->setEnabled(canSwitch && unicode);
  // Import makes a TSCII document from a Unicode file; in a Unicode window
  // Open gives the same file as Unicode, and Convert Document to TSCII says
  // what TSCII cannot hold before it changes anything.
  if (ImportUnicode1) ImportUnicode1->setEnabled(static_cast<bool>(host_.newDocument) && !unicode);
  // The converters that make TSCII give Unicode in a Unicode document; the
  // items say so.
  struct Item {
    QAction* inMenu;
    QAction* inPopup;
    const char* name;
  };
  const Item items[] = {{MylaitoTSCII1, MylaitoTSC1, "Mylai"},
                        {AnjaltoTSCII2, AnjaltoTSCII1, "Anjal"},
                        {RomantoTSCII2, RomantoTSCII1, "Roman"}};
  for (const Item& it : items) {
    const QString caption =
        QString::fromLatin1(it.name) + (unicode ? QStringLiteral(" to Unicode") : QStringLiteral(" to TSCII"));
    for (QAction* a : {it.inMenu, it.inPopup})
      if (a) a->setText(caption);
  }
}

QString TConvertCommands::tsciiToUnicodeText(QStringView text) {
  QString out;
  out.reserve(text.size() + text.size() / 4);
  std::string run;
  auto flush = [&] {
    if (run.empty()) return;
    const std::string u = tolvan::TsciiToUnicode(run);
    out.append(QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size())));
    run.clear();
  };
  for (const QChar c : text) {
    const int b = tolvan::charToByte(c);
    if (b >= 0) {
      run.push_back(static_cast<char>(b));
    } else {
      // No byte (pasted Unicode, a line break): it is Unicode already.
      flush();
      out.append(c);
    }
  }
  flush();
  return out;
}

QString TConvertCommands::unicodeToTsciiText(QStringView text, TConvertTally* unmapped) {
  // A line break inside a paragraph is no character TSCII needs a code for;
  // U+FEFF, which the bridge would leave out at the start of a piece as a
  // byte order mark, is a character with no code like any other.
  QString out;
  out.reserve(text.size());
  qsizetype from = 0;
  for (qsizetype k = 0; k <= text.size(); ++k) {
    const char16_t u = k < text.size() ? text[k].unicode() : 0;
    if (k < text.size() && u != QChar::LineSeparator && u != 0xFEFF) continue;
    if (k > from) out.append(utf8ToEditorText(text.sliced(from, k - from).toUtf8(), unmapped));
    if (k < text.size()) {
      out.append(text[k]);
      if (u == 0xFEFF && unmapped) unmapped->add(QStringLiteral("U+FEFF (zero width no-break space)"));
    }
    from = k + 1;
  }
  return out;
}

void TConvertCommands::ConvertToUnicode1Click() { convertDocument(TextEncoding::Unicode); }
void TConvertCommands::ConvertToTscii1Click() { convertDocument(TextEncoding::Tscii); }

bool TConvertCommands::convertDocument(TextEncoding target) {
  if (!host_.setEncoding) return false;
  const TextEncoding from = isUnicodeDocument() ? TextEncoding::Unicode : TextEncoding::Tscii;
  if (from == target) return false;
  QTextEdit* editor = host_.editor;
  QTextDocument* doc = editor->document();
  const TextConverter conv = target == TextEncoding::Unicode ? toUnicode : toTscii;

  TConvertTally unmapped;
  std::vector<Span> spans;
  QString refusal;
  {
    BusyScope busy(host_.setBusy);
    try {
      spans = convertedSpans(doc, conv, &unmapped);
      qint64 size = doc->characterCount() - 1;
      for (const Span& s : spans) size += s.text.size() - s.length;
      if (size > tolvan::kMaxDocumentBytes) refusal = tolvan::tooLargeResultMessage(size);
    } catch (const std::bad_alloc&) {
      // The document is untouched until every piece is made.
      refusal = tolvan::outOfMemoryMessage();
    }
  }
  if (!refusal.isEmpty()) {
    tolvan::Prompts::instance().error(host_.window, refusal);
    return false;
  }
  if (!unmapped.empty()) {
    const auto answer = tolvan::Prompts::instance().yesNo(
        host_.window,
        QStringLiteral("TSCII has no code for %1 of this document (%2 different):\n%3\n\n"
                       "If you go on, those above U+00FF stay in the document as they are, "
                       "and the others become \"?\".\n"
                       "Convert the document to TSCII?")
            .arg(characters(unmapped.total()))
            .arg(unmapped.distinct())
            .arg(convertListForBox(unmapped.lines())));
    if (answer != tolvan::Prompts::Answer::Yes) return false;
  }

  BusyScope busy(host_.setBusy);
  // The caret keeps its place in its paragraph: after the conversion of the
  // text before it.
  const QTextCursor was = editor->textCursor();
  const int caretBlock = was.blockNumber();
  const int caretColumn =
      static_cast<int>(conv(QStringView(was.block().text()).left(was.positionInBlock()), nullptr).size());
  QTextCursor c(doc);
  c.beginEditBlock();
  // From the end, so the positions of the runs still to do stay right.
  for (auto s = spans.rbegin(); s != spans.rend(); ++s) {
    c.setPosition(s->position);
    c.setPosition(s->position + s->length, QTextCursor::KeepAnchor);
    if (s->text.isEmpty())
      c.removeSelectedText();
    else
      c.insertText(s->text, s->format);
    s->text = QString();  // given back as soon as it is in the document
  }
  host_.setEncoding(target);
  doc->appendUndoItem(new TEncodingUndo(host_.setEncoding, from, target));
  c.endEditBlock();
  const QTextBlock block = doc->findBlockByNumber(caretBlock);
  QTextCursor caret(block);
  caret.setPosition(block.position() + std::min(caretColumn, block.length() - 1));
  editor->setTextCursor(caret);
  return true;
}
