// The document window's Unicode commands (export and import of Unicode
// text, the Open question for UTF-8 Tamil) and its clipboard forms: Tolvan's
// own byte-exact copy, and Unicode for every other program.
#include "windows/document/convert_commands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMenu>
#include <QMimeData>
#include <QTextDocumentFragment>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <stdexcept>
#include <vector>
#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "windows/dialogs/map_form.h"
#include "core/convert/unicode_bridge.h"
#include "core/convert/unicode_stream.h"
#include "windows/document/document_limits.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"
#include <sys/stat.h>
#include "windows/document/busy_scope.h"
#include "windows/document/convert_tally.h"

namespace {

using Tally = TConvertTally;

QString listForBox(const QStringList& lines) { return convertListForBox(lines); }

QString codePointName(char32_t cp) {
  QString hex = QString::number(static_cast<uint>(cp), 16).toUpper();
  while (hex.size() < 4) hex.prepend(u'0');
  return QStringLiteral("U+") + hex;
}

const QString kReplaceQuestion = QStringLiteral("File %1 already exists. Do you want to replace it ?");


}  // namespace

// ---------------------------------------------------------------- Unicode

void TConvertCommands::addUnicodeItems(QMenu* menu) {
  ExportUnicode1 = menu->addAction(QStringLiteral("Export as Unicode Text..."));
  ImportUnicode1 = menu->addAction(QStringLiteral("Import Unicode Text..."));
  connect(ExportUnicode1, &QAction::triggered, this, &TConvertCommands::ExportUnicode1Click);
  connect(ImportUnicode1, &QAction::triggered, this, &TConvertCommands::ImportUnicode1Click);
  // Importing makes a new document, which only the frame can do.
  ImportUnicode1->setEnabled(static_cast<bool>(host_.newDocument));
}

QByteArray TConvertCommands::editorTextToUtf8(const QString& text, const QByteArray& lineEnding,
                                              QStringList* remarks) {
  QByteArray out;
  out.reserve(text.size() + text.size() / 2);
  std::string run;
  run.reserve(static_cast<size_t>(text.size()));
  Tally tally;
  const tolvan::BridgeWarning warn = [&](size_t, const std::string& what) {
    tally.add(QString::fromStdString(what));
  };
  auto flushRun = [&] {
    if (run.empty()) return;
    // In pieces, as export does: cheaper than one call for a large text.
    tolvan::TsciiToUnicodeStream stream(remarks ? warn : tolvan::BridgeWarning());
    std::string u;
    constexpr size_t kPiece = 64 * 1024;
    const std::string_view all(run);
    for (size_t at = 0; at < all.size(); at += kPiece) {
      stream.feed(all.substr(at, kPiece), u);
      out.append(u.data(), static_cast<qsizetype>(u.size()));
      u.clear();
    }
    stream.finish(u);
    out.append(u.data(), static_cast<qsizetype>(u.size()));
    run.clear();
  };
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  qsizetype wideStart = -1;
  for (qsizetype k = 0; k < n; ++k) {
    const char16_t u = p[k].unicode();
    const int b = tolvan::charToByte(p[k]);
    const bool isBreak = u == 0x2029 || u == 0x2028;
    if (b >= 0 || isBreak) {
      if (wideStart >= 0) {
        out.append(QStringView(p + wideStart, k - wideStart).toUtf8());
        wideStart = -1;
      }
      if (isBreak)
        run.append(lineEnding.constData(), static_cast<size_t>(lineEnding.size()));
      else
        run.push_back(static_cast<char>(b));
    } else {
      // Characters that are no byte are Unicode already (surrogate pairs
      // stay together in the span).
      flushRun();
      if (wideStart < 0) wideStart = k;
    }
  }
  flushRun();
  if (wideStart >= 0) out.append(QStringView(p + wideStart, n - wideStart).toUtf8());
  tally.appendTo(remarks);
  return out;
}

QString TConvertCommands::utf8ToEditorText(const QByteArray& utf8, QStringList* unmapped,
                                           bool* valid) {
  Tally tally;
  QString out = utf8ToEditorText(utf8, unmapped ? &tally : nullptr, valid);
  tally.appendTo(unmapped);
  return out;
}

QString TConvertCommands::utf8ToEditorText(const QByteArray& utf8, TConvertTally* unmapped,
                                           bool* valid) {
  const std::string_view whole(utf8.constData(), static_cast<size_t>(utf8.size()));
  bool foreign = false;
  bool invalid = false;
  // In pieces: the one-call form sizes its output for the worst case, which
  // for a large file costs more than the conversion.
  std::string tscii;
  tscii.reserve(whole.size() / 2);
  {
    tolvan::UnicodeToTsciiStream stream(
        [&](size_t, const std::string& what) {
          if (what.find("not in TSCII") != std::string::npos) foreign = true;
          if (what.find("not valid UTF-8") != std::string::npos) invalid = true;
        },
        tolvan::Unmappable::Drop);
    constexpr size_t kPiece = 64 * 1024;
    for (size_t at = 0; at < whole.size(); at += kPiece)
      stream.feed(whole.substr(at, kPiece), tscii);
    stream.finish(tscii);
  }
  if (valid) *valid = !invalid;
  if (!foreign) {
    return tolvan::bytesToText(
        QByteArray::fromRawData(tscii.data(), static_cast<qsizetype>(tscii.size())));
  }
  // Some characters have no TSCII code: convert the text between them and
  // keep them (see the header).
  const QString text = QString::fromUtf8(utf8);
  QHash<char32_t, bool> isForeign;
  auto hasNoCode = [&](char32_t cp) {
    // U+FEFF inside the text is a character (the bridge leaves it out only
    // at the very start, as a byte order mark).
    if (cp == 0xFEFF) return true;
    auto it = isForeign.find(cp);
    if (it != isForeign.end()) return *it;
    const QByteArray one = QString::fromUcs4(&cp, 1).toUtf8();
    bool lost = false;
    tolvan::UnicodeToTscii(
        std::string_view(one.constData(), static_cast<size_t>(one.size())),
        [&](size_t, const std::string& what) {
          if (what.find("not in TSCII") != std::string::npos) lost = true;
        },
        tolvan::Unmappable::Drop);
    isForeign.insert(cp, lost);
    return lost;
  };
  QString out;
  out.reserve(text.size());
  QString run;
  auto flushRun = [&] {
    if (run.isEmpty()) return;
    const QByteArray u = run.toUtf8();
    const std::string t = tolvan::UnicodeToTscii(
        std::string_view(u.constData(), static_cast<size_t>(u.size())), {}, tolvan::Unmappable::Drop);
    out.append(tolvan::bytesToText(QByteArray::fromRawData(t.data(), static_cast<qsizetype>(t.size()))));
    run.clear();
  };
  const qsizetype n = text.size();
  for (qsizetype k = 0; k < n;) {
    char32_t cp = text[k].unicode();
    qsizetype len = 1;
    if (text[k].isHighSurrogate() && k + 1 < n && text[k + 1].isLowSurrogate()) {
      cp = QChar::surrogateToUcs4(text[k], text[k + 1]);
      len = 2;
    }
    if (cp >= 0x80 && !tolvan::isUnicodeTamil(QChar(char16_t(cp < 0x10000 ? cp : 0))) && hasNoCode(cp)) {
      flushRun();
      const QString ch = text.mid(k, len);
      if (unmapped) unmapped->add(codePointName(cp) + u' ' + ch);
      out.append(cp > 0xFF ? ch : QStringLiteral("?"));
    } else {
      run.append(QStringView(text).mid(k, len));
    }
    k += len;
  }
  flushRun();
  return out;
}

namespace {

// Only regular files are read whole: a device never ends and a pipe blocks.
constexpr qint64 kMaxImportBytes = qint64(256) << 20;

bool isRegularFile(const QString& path, qint64* size = nullptr) {
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (size) *size = st.st_size;
  return true;
}

bool readWholeFile(QWidget* parent, const QString& path, QByteArray* out) {
  QFile f(path);
  QString error;
  qint64 size = 0;
  if (QFileInfo(path).isDir()) {
    error = QStringLiteral("It is a folder, not a file.");
  } else if (QFileInfo::exists(path) && !isRegularFile(path, &size)) {
    error = QStringLiteral("It is not a regular file (a device, a pipe or a socket).");
  } else if (size > kMaxImportBytes) {
    error = QStringLiteral("It is too large: %1 MiB, and at most %2 MiB can be opened.")
                .arg(size >> 20)
                .arg(kMaxImportBytes >> 20);
  } else if (!f.open(QIODevice::ReadOnly)) {
    error = f.errorString();
  } else {
    *out = f.readAll();
    if (f.error() != QFileDevice::NoError) error = f.errorString();
  }
  if (error.isEmpty()) return true;
  tolvan::Prompts::instance().error(
      parent, QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(path), error));
  return false;
}

}  // namespace

QTextEdit* TConvertCommands::importUnicodeFile(QWidget* parent, const QString& path,
                                               const std::function<QTextEdit*()>& newDocument,
                                               const QByteArray* bytesRead) {
  if (!newDocument) return nullptr;
  QByteArray own;
  if (!bytesRead) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = readWholeFile(parent, path, &own);
    QApplication::restoreOverrideCursor();
    if (!ok) return nullptr;
    bytesRead = &own;
  }
  QStringList unmapped;
  bool valid = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString text = utf8ToEditorText(*bytesRead, &unmapped, &valid);
  QApplication::restoreOverrideCursor();
  if (!valid) {
    tolvan::Prompts::instance().error(
        parent, QStringLiteral("\"%1\" is not UTF-8 Unicode text; nothing was imported.")
                    .arg(QDir::toNativeSeparators(path)));
    return nullptr;
  }
  QTextEdit* editor = newDocument();
  if (!editor) return nullptr;
  // The document window, the parent of the box below.
  QWidget* form = editor->parentWidget();
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    editor->setPlainText(text);
    text = QString();
    QTextCursor start(editor->document());
    editor->setTextCursor(start);
    // Nothing of it is saved yet: closing the window asks (its commands
    // follow the modified flag).
    editor->document()->setModified(true);
    QApplication::restoreOverrideCursor();
  }
  if (!unmapped.isEmpty()) {
    tolvan::Prompts::instance().information(
        form, QStringLiteral("These characters of \"%1\" have no TSCII code:\n%2\n"
                             "Those above U+00FF are kept in the document as they are; "
                             "the others were replaced by \"?\".")
                  .arg(QDir::toNativeSeparators(path), listForBox(unmapped)));
  }
  return editor;
}

void TConvertCommands::ImportUnicode1Click() {
  const QStringList names = tolvan::Prompts::instance().openFileNames(
      host_.window, QStringLiteral("Import Unicode Text"), QString(),
      QStringLiteral("Text files (*.txt);;All files (*)"));
  if (names.isEmpty()) return;
  importUnicodeFile(host_.window, names.first(), host_.newDocument);
}

void TConvertCommands::ExportUnicode1Click() {
  const QString title = host_.title ? host_.title() : QString();
  const QFileInfo fi(title);
  const QString folder = fi.isAbsolute() ? fi.absolutePath() : QDir::currentPath();
  const QString base = fi.completeBaseName().isEmpty() ? QStringLiteral("Tolvan") : fi.completeBaseName();
  QString name = tolvan::Prompts::instance().saveFileName(
      host_.window, QStringLiteral("Export as Unicode Text"),
      folder + u'/' + base + QStringLiteral("-unicode.txt"),
      QStringLiteral("Unicode text files (*.txt);;All files (*)"));
  if (name.isEmpty()) return;
  if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".txt");
  if (QFileInfo::exists(name)) {
    const auto answer =
        tolvan::Prompts::instance().yesNo(host_.window, kReplaceQuestion.arg(QDir::toNativeSeparators(name)));
    if (answer != tolvan::Prompts::Answer::Yes) return;
  }
  QStringList remarks;
  QString error;
  {
    BusyScope busy(host_.setBusy);
    const QByteArray eol = host_.lineEnding ? host_.lineEnding() : QByteArray("\n");
    QTextDocument* doc = host_.editor->document();
    QByteArray tscii;
    QByteArray unicode;  // only for a document holding characters that are no byte
    if (isUnicodeDocument()) {
      // A Unicode document is written as the UTF-8 it holds, whatever its
      // own file is (UTF-16, RTF): a plain copy, and the document keeps its
      // name and file.
      QTextCursor all(doc);
      all.select(QTextCursor::Document);
      QString text = all.selectedText();
      const QString eolText = QString::fromLatin1(eol);
      text.replace(QChar(QChar::ParagraphSeparator), eolText);
      text.replace(QChar(QChar::LineSeparator), eolText);
      unicode = text.toUtf8();
    } else if (!tolvan::documentToBytes(doc, eol, &tscii)) {
      QTextCursor all(doc);
      all.select(QTextCursor::Document);
      unicode = editorTextToUtf8(all.selectedText(), eol, &remarks);
      tscii.clear();
    }
    QSaveFile f(name);
    if (!f.open(QIODevice::WriteOnly)) {
      error = f.errorString();
    } else if (!unicode.isEmpty() || tscii.isEmpty()) {
      if (f.write(unicode) != unicode.size()) error = f.errorString();
    } else {
      // The usual case, every character a byte: converted and written in
      // pieces, so the Unicode text is never held whole.
      Tally tally;
      tolvan::TsciiToUnicodeStream stream(
          [&](size_t, const std::string& what) { tally.add(QString::fromStdString(what)); });
      std::string out;
      constexpr qsizetype kPiece = 64 * 1024;
      auto write = [&] {
        const auto size = static_cast<qint64>(out.size());
        if (f.write(out.data(), size) != size) error = f.errorString();
        out.clear();
      };
      for (qsizetype at = 0; at < tscii.size() && error.isEmpty(); at += kPiece) {
        const qsizetype n = std::min(kPiece, tscii.size() - at);
        stream.feed(std::string_view(tscii.constData() + at, static_cast<size_t>(n)), out);
        write();
      }
      stream.finish(out);
      if (error.isEmpty()) write();
      tally.appendTo(&remarks);
    }
    if (!error.isEmpty()) {
      f.cancelWriting();
    } else if (!f.commit()) {
      error = f.errorString();
    }
  }
  if (!error.isEmpty()) {
    tolvan::Prompts::instance().error(
        host_.window,
        QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(name), error));
    return;
  }
  if (!remarks.isEmpty()) {
    tolvan::Prompts::instance().information(
        host_.window,
        QStringLiteral("\"%1\" is written. Some characters have no exact Unicode form:\n%2")
            .arg(QDir::toNativeSeparators(name), listForBox(remarks)));
  }
}

// ---------------------------------------------------------------- clipboard

const QString TConvertCommands::kTsciiMimeType = QStringLiteral("application/x-tolvan-tscii");
const QString TConvertCommands::kRichTextMimeType = QStringLiteral("application/x-tolvan-richtext");
const QString TConvertCommands::kUnicodeMimeType = QStringLiteral("application/x-tolvan-unicode");

namespace {

// What Copy puts out, with its Unicode form made only when another program
// asks for it: selecting text hands it to the X selection at once, and a
// selection of megabytes must not cost a conversion every time.
class TSelectionMimeData : public QMimeData {
 public:
  explicit TSelectionMimeData(QString text) : text_(std::move(text)) {}
  QStringList formats() const override {
    QStringList f = QMimeData::formats();
    f << QStringLiteral("text/plain");
    return f;
  }
  bool hasFormat(const QString& type) const override {
    return type == QLatin1String("text/plain") || QMimeData::hasFormat(type);
  }

 protected:
  QVariant retrieveData(const QString& type, QMetaType wanted) const override {
    if (type == QLatin1String("text/plain")) {
      if (!converted_) {
        unicode_ = QString::fromUtf8(TConvertCommands::editorTextToUtf8(text_, QByteArrayLiteral("\n")));
        text_.clear();
        converted_ = true;
      }
      return unicode_;
    }
    return QMimeData::retrieveData(type, wanted);
  }

 private:
  mutable QString text_;  // the selection as the editor holds it
  mutable QString unicode_;
  mutable bool converted_ = false;
};

// Selections larger than this go out without their formatting: writing
// megabytes as HTML would hold the window for seconds on every selection.
constexpr int kMaxFormattedCopy = 4 << 20;

// Qt's own rich-text copies carry this marker; it keeps the paragraph and
// character formats exactly as they were written.
QTextDocumentFragment fragmentFromOwnHtml(const QString& html) {
  return QTextDocumentFragment::fromHtml(QStringLiteral("<meta name=\"qrichtext\" content=\"1\" />") + html);
}

// The text a fragment gives when pasted (paragraph breaks as U+2029).
QString fragmentText(const QTextDocumentFragment& fragment) {
  QTextDocument probe;
  QTextCursor(&probe).insertFragment(fragment);
  QTextCursor all(&probe);
  all.select(QTextCursor::Document);
  return all.selectedText();
}

// Editor text of a TSCII document (no paragraph breaks) as the bridge's
// Unicode; line breaks (U+2028) stay line breaks.
QString tsciiRunToUnicode(const QString& text) {
  QStringList pieces = text.split(QChar(0x2028));
  for (QString& piece : pieces)
    piece = QString::fromUtf8(TConvertCommands::editorTextToUtf8(piece, QByteArrayLiteral("\n")));
  return pieces.join(QChar(0x2028));
}

// A TSCII document's text (as a probe document holding it) converted to
// Unicode in place, run by run so each run keeps its format; runs with Tamil
// take tamilFamilies (none: the document's font). False (probe unspecified)
// when a paragraph's runs converted one by one do not give what the
// paragraph gives converted whole (a vowel sign before its consonant in a
// run of another format).
bool convertTsciiProbe(QTextDocument* probe, const QStringList& tamilFamilies) {
  struct Run {
    int position;
    int length;
    QString text;
    QTextCharFormat format;
  };
  std::vector<Run> runs;
  for (QTextBlock b = probe->begin(); b.isValid(); b = b.next()) {
    QString joined;
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      if (f.charFormat().isImageFormat()) return false;
      const QString converted = tsciiRunToUnicode(f.text());
      joined += converted;
      runs.push_back({f.position(), f.length(), converted, f.charFormat()});
    }
    if (joined != tsciiRunToUnicode(b.text())) return false;
  }
  for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
    QTextCharFormat format = r->format;
    // A TSCII font has no Unicode Tamil: such runs take the font Tamil is
    // typed in here, or the document's own.
    if (std::any_of(r->text.cbegin(), r->text.cend(), tolvan::isUnicodeTamil)) {
      format.clearProperty(QTextFormat::FontFamily);
      if (tamilFamilies.isEmpty())
        format.clearProperty(QTextFormat::FontFamilies);
      else
        format.setFontFamilies(tamilFamilies);
    }
    QTextCursor c(probe);
    c.setPosition(r->position);
    c.setPosition(r->position + r->length, QTextCursor::KeepAnchor);
    c.insertText(r->text, format);
  }
  return true;
}

}  // namespace

QMimeData* TConvertCommands::selectionMimeData(const QTextCursor& selection, bool unicode) {
  if (unicode) {
    // The text is Unicode already: nothing to convert, for anyone.
    auto* md = new QMimeData;
    const QString text = selection.selectedText();
    md->setData(kUnicodeMimeType, text.toUtf8());
    QString plain = text;
    plain.replace(QChar(0x2029), u'\n');
    plain.replace(QChar(0x2028), u'\n');
    md->setText(plain);
    if (selection.selectionEnd() - selection.selectionStart() <= kMaxFormattedCopy)
      md->setHtml(QTextDocumentFragment(selection).toHtml());
    return md;
  }
  auto* md = new TSelectionMimeData(selection.selectedText());
  QByteArray bytes;
  // A selection holding characters that are no byte has no TSCII form; the
  // formatted copy still carries them.
  const bool isBytes = tolvan::selectionToBytes(selection, &bytes);
  if (isBytes) md->setData(kTsciiMimeType, bytes);
  if (!isBytes || selection.selectionEnd() - selection.selectionStart() <= kMaxFormattedCopy)
    md->setData(kRichTextMimeType, QTextDocumentFragment(selection).toHtml().toUtf8());
  return md;
}

bool TConvertCommands::insertTolvanMimeData(QTextCursor& cursor, const QMimeData* source) {
  if (!source) return false;
  const bool hasBytes = source->hasFormat(kTsciiMimeType);
  const bool hasRich = source->hasFormat(kRichTextMimeType);
  if (!hasBytes && !hasRich) return false;
  const QByteArray bytes = source->data(kTsciiMimeType);
  if (hasRich) {
    const QTextDocumentFragment fragment =
        fragmentFromOwnHtml(QString::fromUtf8(source->data(kRichTextMimeType)));
    bool same = !hasBytes;
    if (hasBytes) {
      QTextDocument probe;
      QTextCursor(&probe).insertFragment(fragment);
      QTextCursor all(&probe);
      all.select(QTextCursor::Document);
      QByteArray back;
      same = tolvan::selectionToBytes(all, &back) && back == bytes;
    }
    if (same) {
      cursor.beginEditBlock();
      cursor.insertFragment(fragment);
      cursor.endEditBlock();
      return true;
    }
  }
  // The bytes are what was copied; formatting that would not give them back
  // is let go.
  cursor.beginEditBlock();
  cursor.insertText(tolvan::bytesToText(bytes));
  cursor.endEditBlock();
  return true;
}

bool TConvertCommands::insertIntoUnicode(QTextCursor& cursor, const QMimeData* source, bool rich,
                                         const QStringList& tamilFamilies) {
  if (!source) return false;
  if (source->hasFormat(kUnicodeMimeType)) {
    // Another Unicode document's copy: exactly its text, formatted when the
    // formatting gives that text back.
    const QString text = QString::fromUtf8(source->data(kUnicodeMimeType));
    cursor.beginEditBlock();
    const QTextDocumentFragment fragment = rich && source->hasHtml() ? fragmentFromOwnHtml(source->html())
                                                                     : QTextDocumentFragment();
    if (!fragment.isEmpty() && fragmentText(fragment) == text)
      cursor.insertFragment(fragment);
    else
      cursor.insertText(text);
    cursor.endEditBlock();
    return true;
  }
  const bool hasBytes = source->hasFormat(kTsciiMimeType);
  const bool hasTsciiRich = source->hasFormat(kRichTextMimeType);
  if (hasBytes || hasTsciiRich) {
    // A TSCII document's copy: the bridge's Unicode of what was copied.
    const QByteArray bytes = source->data(kTsciiMimeType);
    QTextDocument probe;
    bool formatted = false;
    if (hasTsciiRich && rich) {
      QTextCursor(&probe).insertFragment(fragmentFromOwnHtml(QString::fromUtf8(source->data(kRichTextMimeType))));
      QTextCursor all(&probe);
      all.select(QTextCursor::Document);
      QByteArray back;
      formatted = (!hasBytes || (tolvan::selectionToBytes(all, &back) && back == bytes)) &&
                  convertTsciiProbe(&probe, tamilFamilies);
    }
    cursor.beginEditBlock();
    if (formatted) {
      cursor.insertFragment(QTextDocumentFragment(&probe));
    } else {
      QString text;
      if (hasBytes) {
        text = tolvan::bytesToText(bytes);
        tolvan::bytesToEditorChars(text);
      } else {
        probe.clear();
        QTextCursor(&probe).insertFragment(fragmentFromOwnHtml(QString::fromUtf8(source->data(kRichTextMimeType))));
        QTextCursor all(&probe);
        all.select(QTextCursor::Document);
        text = all.selectedText();
      }
      // Paragraph by paragraph: a break is no TSCII byte.
      text.replace(u'\n', QChar(0x2029));
      QStringList paragraphs = text.split(QChar(0x2029));
      for (QString& p : paragraphs) p = tsciiRunToUnicode(p);
      cursor.insertText(paragraphs.join(QChar(0x2029)));
    }
    cursor.endEditBlock();
    return true;
  }
  // Another program's text is Unicode: it goes in as it is.
  if (rich && source->hasHtml()) {
    cursor.beginEditBlock();
    cursor.insertFragment(QTextDocumentFragment::fromHtml(source->html()));
    cursor.endEditBlock();
    return true;
  }
  if (source->hasText()) {
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    return true;
  }
  return false;
}

QTextDocumentFragment TConvertCommands::htmlToEditorFragment(const QString& html,
                                                             const QTextDocument* resources,
                                                             const QStringList& tamilFamilies,
                                                             QStringList* unmapped) {
  QTextDocument probe;
  QTextCursor(&probe).insertFragment(QTextDocumentFragment::fromHtml(html, resources));
  // Line breaks inside a paragraph (U+2028) stay line breaks: the text
  // between them is converted piece by piece.
  auto convert = [](const QString& text, QStringList* list) {
    QStringList pieces = text.split(QChar(0x2028));
    for (QString& piece : pieces) piece = utf8ToEditorText(piece.toUtf8(), list);
    return pieces.join(QChar(0x2028));
  };
  {
    // The list covers the whole text at once, so each character is named
    // once with its count.
    QString all = probe.toRawText();
    for (QChar& c : all) {
      const char16_t u = c.unicode();
      if (u == 0x2029 || u == 0x2028) c = u'\n';
      else if (u == QChar::ObjectReplacementCharacter || u == QChar::Nbsp) c = u' ';
    }
    utf8ToEditorText(all.toUtf8(), unmapped);
  }
  struct Run {
    int position;
    QString text;
    QTextCharFormat format;
  };
  std::vector<Run> runs;
  for (QTextBlock b = probe.begin(); b.isValid(); b = b.next())
    for (QTextBlock::iterator it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (f.isValid() && !f.charFormat().isImageFormat())
        runs.push_back({f.position(), f.text(), f.charFormat()});
    }
  // From the end, so the positions of the runs still to do stay right.
  for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
    QString text = r->text;
    text.replace(QChar(QChar::Nbsp), u' ');
    const bool tamil = std::any_of(text.cbegin(), text.cend(), tolvan::isUnicodeTamil);
    const QString converted = convert(text, nullptr);
    if (converted == r->text) continue;
    QTextCharFormat format = r->format;
    if (tamil) {
      format.clearProperty(QTextFormat::FontFamily);
      if (tamilFamilies.isEmpty())
        format.clearProperty(QTextFormat::FontFamilies);
      else
        format.setFontFamilies(tamilFamilies);
    }
    QTextCursor c(&probe);
    c.setPosition(r->position);
    c.setPosition(r->position + int(r->text.size()), QTextCursor::KeepAnchor);
    c.insertText(converted, format);
  }
  return QTextDocumentFragment(&probe);
}

void TConvertCommands::reportPastedUnmapped(QWidget* parent, const QStringList& unmapped) {
  if (unmapped.isEmpty()) return;
  tolvan::Prompts::instance().information(
      parent, QStringLiteral("These characters of the pasted text have no TSCII code:\n%1\n"
                             "Those above U+00FF are kept in the document as they are; "
                             "the others were replaced by \"?\".")
                  .arg(listForBox(unmapped)));
}
