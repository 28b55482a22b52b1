// The document window's files: new document, open, save, save as, save as
// text, reopening in the other encoding, closing with its save question, and
// the reload question when another program changes the file. A TSCII
// document's plain text is read and written one byte per character; a
// Unicode document's as UTF-8, UTF-16 or UTF-32, in the form and with the mark its
// file had; RTF files as RTF. A save never leaves a truncated file.
#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <memory>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QTemporaryFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

#include "windows/document/edit_form.h"
#include "core/document/encoding_sniff.h"
#include "core/document/file_replace.h"
#include "core/settings/settings_keys.h"
#include "windows/document/document_host.h"
#include "windows/document/busy_scope.h"
#include "windows/document/document_limits.h"
#include "windows/document/edit_form_support.h"
#include "windows/document/editor.h"
#include "platform/byte_text.h"
#include "platform/folder_monitor.h"
#include "platform/fonts.h"
#include "platform/prompts.h"
#include "rtf/rtf.h"
#include "windows/color_names.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace tolvan::document;

namespace {

// The host's busy light (none without a host), for a load or save.
std::function<void(bool)> busyLight(TDocumentHost* host) {
  return [host](bool on) {
    if (host) host->setBusy(on);
  };
}

enum class Format { Plain, Rtf, Current };

// The largest plain-text file a window opens (RTF files have the reader's
// own limit).
constexpr qint64 kMaxPlainTextBytes = tolvan::kMaxDocumentBytes;

// The format a file name asks for: "txt" plain text, "rtf" RTF, any other
// extension the editor's current mode.
Format formatOf(const QString& path) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (ext == QLatin1String("txt")) return Format::Plain;
  if (ext == QLatin1String("rtf")) return Format::Rtf;
  return Format::Current;
}

QString folderOf(const QString& path) {
  QString dir = QFileInfo(path).absolutePath();
  if (!dir.endsWith(u'/')) dir += u'/';
  return dir;
}

// Number of names (hard links) the file has; 0 when it does not exist.
nlink_t linkCount(const QString& path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
  return st.st_nlink;
}

bool writeSynced(QFile& f, const QByteArray& data) {
  return f.write(data) == data.size() && f.flush() && ::fsync(f.handle()) == 0;
}

// Rewrites a file that has other names in place, so every name shows the new
// content. The complete content is written and synced to a file of its own
// first (beside the document, or in the temporary folder); only then is the
// document itself overwritten. Should that fail part-way, the complete copy
// stays and *rescue names it.
bool writeInPlace(const QString& path, const QByteArray& data, QString* error, QString* rescue) {
  const QFileInfo fi(path);
  QTemporaryFile copy(fi.absolutePath() + u'/' + fi.fileName() + QStringLiteral(".saving-XXXXXX"));
  if (!copy.open()) copy.setFileTemplate(QDir::tempPath() + u'/' + fi.fileName() + QStringLiteral(".saving-XXXXXX"));
  if (!copy.isOpen() && !copy.open()) {
    *error = copy.errorString();
    return false;
  }
  if (!writeSynced(copy, data)) {
    *error = copy.errorString();
    return false;
  }
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    *error = f.errorString();
    return false;
  }
  if (!writeSynced(f, data)) {
    *error = f.errorString();
    copy.setAutoRemove(false);
    *rescue = copy.fileName();
    return false;
  }
  return true;
}

using tolvan::UnicodeForm;

// A Unicode file's text without its mark, decoded exactly (the bytes were
// checked to be valid in their form).
QString decodeUnicode(const QByteArray& bytes, UnicodeForm form) {
  const qsizetype skip = qsizetype(tolvan::UnicodeMark(form).size());
  const char* p = bytes.constData() + skip;
  const qsizetype n = bytes.size() - skip;
  if (form == UnicodeForm::Utf8 || form == UnicodeForm::Utf8Mark) return QString::fromUtf8(p, n);
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  if (form == UnicodeForm::Utf32LeMark || form == UnicodeForm::Utf32BeMark) {
    // At most two UTF-16 units a character; the string is cut to what it took.
    const int b0 = form == UnicodeForm::Utf32BeMark ? 0 : 3;
    const int b1 = b0 ^ 1, b2 = b0 ^ 2, b3 = b0 ^ 3;
    QString text(n / 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype k = 0;
    for (qsizetype i = 0; i + 3 < n; i += 4) {
      const char32_t c = char32_t(b[i + b0]) << 24 | char32_t(b[i + b1]) << 16 | char32_t(b[i + b2]) << 8 | b[i + b3];
      if (c < 0x10000) {
        out[k++] = char16_t(c);
      } else {
        out[k++] = QChar::highSurrogate(c);
        out[k++] = QChar::lowSurrogate(c);
      }
    }
    text.truncate(k);
    return text;
  }
  QString text(n / 2, Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  if (form == UnicodeForm::Utf16BeMark) {
    for (qsizetype i = 0; i < n / 2; ++i) out[i] = char16_t(b[2 * i] << 8 | b[2 * i + 1]);
  } else {
    for (qsizetype i = 0; i < n / 2; ++i) out[i] = char16_t(b[2 * i] | b[2 * i + 1] << 8);
  }
  return text;
}

// The first line ending of text ("\r\n", "\n" or "\r"; "\n" when it has
// none), as bytes for the writer; every CR LF and lone CR then becomes '\n'
// (a cursor would take CR and LF as two breaks).
QByteArray takeLineEndings(QString& text) {
  const qsizetype r = text.indexOf(u'\r');
  if (r < 0) return QByteArrayLiteral("\n");
  const qsizetype lf = text.indexOf(u'\n');
  QByteArray ending = QByteArrayLiteral("\n");
  if (lf < 0 || r < lf)
    ending = r + 1 < text.size() && text[r + 1] == u'\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return ending;
}

// text as UTF-32 in the given byte order after what out holds. A surrogate
// without its other half (which no file the program reads can give) is
// written as U+FFFD, so the file stays valid UTF-32.
void appendUtf32(QByteArray& out, const QString& text, bool bigEndian) {
  const qsizetype start = out.size();
  out.resize(start + 4 * text.size());
  auto* b = reinterpret_cast<unsigned char*>(out.data() + start);
  const char16_t* u = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype n = text.size();
  qsizetype k = 0;
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = u[i];
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(u[i + 1])) {
      c = QChar::surrogateToUcs4(u[i], u[i + 1]);
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = QChar::ReplacementCharacter;
    }
    for (int s = 0; s < 4; ++s) b[k + s] = (c >> (bigEndian ? 24 - 8 * s : 8 * s)) & 0xFF;
    k += 4;
  }
  out.truncate(start + k);
}

// A Unicode document as its file: the mark, then the text with every break
// written as lineEnding, in the form's encoding.
QByteArray encodeUnicode(const QTextDocument* doc, const QByteArray& lineEnding, UnicodeForm form) {
  QString text = doc->toRawText();
  const QString eol = QString::fromLatin1(lineEnding);
  text.replace(QChar(QChar::ParagraphSeparator), eol);
  text.replace(QChar(QChar::LineSeparator), eol);
  const std::string_view mark = tolvan::UnicodeMark(form);
  QByteArray out(mark.data(), qsizetype(mark.size()));
  if (form == UnicodeForm::Utf8 || form == UnicodeForm::Utf8Mark) {
    out += text.toUtf8();
    return out;
  }
  if (form == UnicodeForm::Utf32LeMark || form == UnicodeForm::Utf32BeMark) {
    appendUtf32(out, text, form == UnicodeForm::Utf32BeMark);
    return out;
  }
  const qsizetype start = out.size();
  out.resize(start + 2 * text.size());
  auto* b = reinterpret_cast<unsigned char*>(out.data() + start);
  const char16_t* u = reinterpret_cast<const char16_t*>(text.constData());
  const bool big = form == UnicodeForm::Utf16BeMark;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const unsigned char hi = u[i] >> 8, lo = u[i] & 0xFF;
    b[2 * i] = big ? hi : lo;
    b[2 * i + 1] = big ? lo : hi;
  }
  return out;
}

// What "Reopen as Unicode" reads a file as: its mark's form when the whole
// is valid in it, else UTF-8 when it is valid UTF-8 (Tamil letters or not);
// false when it is neither.
bool unicodeFormOf(std::string_view bytes, UnicodeForm* form) {
  const tolvan::EncodingGuess g = tolvan::SniffEncoding(bytes);
  if (g.encoding == tolvan::TextEncoding::Unicode) {
    *form = g.form;
    return true;
  }
  if (tolvan::Utf8InvalidAt(bytes) != bytes.size()) return false;
  *form = UnicodeForm::Utf8;
  return true;
}

const QString kDefaultSaveFilter =
    QStringLiteral("Rich text files (*.rtf);;Plain text files (*.txt);;All files (*)");

}  // namespace

int TEditForm::GetFileStamp(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QDateTime t = f.fileTime(QFileDevice::FileModificationTime).toLocalTime();
  f.close();
  if (!t.isValid()) return -1;
  const QDate d = t.date();
  const QTime tm = t.time();
  // Packed DOS form: date (years since 1980, month, day) in the high half,
  // time (hours, minutes, seconds / 2) in the low half.
  const int year = std::clamp(d.year() - 1980, 0, 127);
  const quint32 date = (quint32(year) << 9) | (quint32(d.month()) << 5) | quint32(d.day());
  const quint32 time =
      (quint32(tm.hour()) << 11) | (quint32(tm.minute()) << 5) | quint32(tm.second() / 2);
  return static_cast<int>((date << 16) | time);
}

bool TEditForm::isModified() const { return Editor->document()->isModified(); }

QList<TEditForm*> TEditForm::siblingForms() const {
  if (Host_) return Host_->documents();
  return {const_cast<TEditForm*>(this)};
}

void TEditForm::applyDefaultAttributes() {
  const QString foreText = Host_ ? Host_->defaultForeColor() : QStringLiteral("clBlack");
  const QString backText = Host_ ? Host_->defaultBackColor() : QStringLiteral("clWhite");
  QColor fore = tolvan::colorFromName(foreText);
  QColor back = tolvan::colorFromName(backText);
  // An unreadable colour text falls back to the usual pen and paper.
  if (!fore.isValid()) fore = Qt::black;
  if (!back.isValid()) back = Qt::white;
  QPalette p = Editor->palette();
  p.setColor(QPalette::Base, back);
  p.setColor(QPalette::Text, fore);
  Editor->setPalette(p);

  const int size = Host_ ? Host_->defaultFontSize() : 10;
  QFont font(defaultFamily());
  font.setPointSize(size);
  Editor->document()->setDefaultFont(font);
  Editor->setCurrentCharFormat(QTextCharFormat());
}

QString TEditForm::defaultFamily() const {
  QString family = Host_ ? Host_->defaultFontFamily() : tolvan::tsciiFamily();
  if (family.isEmpty()) family = tolvan::tamilUiFontName();
  return tolvan::documentFamily(family, Editor->isUnicode());
}

void TEditForm::applyEncodingFont() {
  QFont font = Editor->document()->defaultFont();
  const QString now = font.family();
  // Only a default the program gave: a TSCII font, or the Unicode Tamil font.
  if (!tolvan::isTsciiFamily(now) && now.compare(tolvan::unicodeTamilFamily(), Qt::CaseInsensitive) != 0) return;
  const QString family = defaultFamily();
  if (family == now) return;
  font.setFamily(family);
  Editor->document()->setDefaultFont(font);
}

void TEditForm::setButtonIcon(const QString& path) {
  if (!BtnSpeed) return;
  static QFileIconProvider provider;
  const QIcon icon = provider.icon(QFileInfo(path));
  if (!icon.isNull()) BtnSpeed->setIcon(icon);
}

void TEditForm::startMonitor() {
  if (!HasFile_ || closed_) return;
  FileMonitor->setFolder(QFileInfo(Title_).absolutePath(), QFileInfo(Title_).absoluteFilePath());
  FileMonitor->activate();
}

void TEditForm::stopMonitor() { FileMonitor->deactivate(); }

// ---------------------------------------------------------------- new / open

void TEditForm::InitNewDocument() {
  const int n = Host_ ? Host_->untitledNumber() : 1;
  const QString caption = QStringLiteral("Tolvan") + QString::number(n);
  setWindowTitle(caption);
  Title_.clear();
  applyDefaultAttributes();
  SetEditorMargins();
  Editor->document()->setModified(false);
  Title_ = caption;
  HasFile_ = false;
  LoadedAsRtf_ = false;
  OpenedAs_ = OpenAs::Recognised;
  LineEnding_ = "\n";
  UnicodeForm_ = UnicodeForm::Utf8;
  EncodingNote_.clear();
  // New documents start in the encoding chosen in Preferences.
  const bool unicode =
      Host_ && Host_->settings().readString(tolvan::Key::NewDocumentEncoding) == "Unicode";
  setEncoding(unicode ? tolvan::TextEncoding::Unicode : tolvan::TextEncoding::Tscii);
  updateReopenItems();
  UpdateDocumentCommands();
  if (BtnSpeed) {
    BtnSpeed->setText(caption);
    BtnSpeed->setToolTip(caption);
  }
  emit documentChanged(this);
}

bool TEditForm::OpenDocumentFile(const QString& name, OpenAs as) {
  // A name given relative to the current folder (the command line) is kept
  // as a full path, so a later Save finds the same file.
  const QString fileName = name.isEmpty() ? name : QFileInfo(name).absoluteFilePath();
  const bool fresh = Title_.isEmpty();
  if (Host_) Host_->setWorkDir(folderOf(fileName));
  setWindowTitle(fileName);
  BusyScope busy(busyLight(Host_));

  // Read the whole file before touching the editor, so a failed read keeps
  // whatever the window showed.
  QString error;
  QByteArray bytes;
  {
    // Only a regular file of a size the editor can hold is read: a folder, a
    // device such as /dev/zero or a pipe would never end or block the window.
    const qint64 limit = formatOf(fileName) == Format::Rtf ? tolvan::rtf::kMaxInputBytes
                                                           : kMaxPlainTextBytes;
    struct stat st;
    const bool known = ::stat(QFile::encodeName(fileName).constData(), &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
      error = QStringLiteral("It is a folder, not a file.");
    } else if (known && !S_ISREG(st.st_mode)) {
      error = QStringLiteral("It is not a regular file (a device, a pipe or a socket).");
    } else if (known && st.st_size > limit) {
      error = QStringLiteral("It is too large: %1 MiB, and at most %2 MiB can be opened.")
                  .arg(qint64(st.st_size) >> 20)
                  .arg(limit >> 20);
    } else {
      QFile f(fileName);
      if (!f.open(QIODevice::ReadOnly)) {
        error = f.errorString();
      } else {
        // The size it had, then whatever it grew by meanwhile, up to the limit.
        bytes = f.read(known ? std::min<qint64>(st.st_size, limit) : 0);
        while (bytes.size() <= limit && f.error() == QFileDevice::NoError) {
          const QByteArray more = f.read(std::min<qint64>(qint64(1) << 20, limit + 1 - bytes.size()));
          if (more.isEmpty()) break;
          bytes += more;
        }
        if (f.error() != QFileDevice::NoError)
          error = f.errorString();
        else if (bytes.size() > limit)
          error = QStringLiteral("It is too large: at most %1 MiB can be opened.").arg(limit >> 20);
      }
    }
  }
  QTextDocument* doc = Editor->document();
  QString damage;  // what is wrong with a damaged RTF file opened as far as it goes
  bool refused = false;  // Unicode was asked of a file that is not Unicode
  if (error.isEmpty()) {
    const Format fmt = formatOf(fileName);
    bool rtf = fmt == Format::Rtf || (fmt == Format::Current && !PlainTextMode_);
    // Text that is not RTF at all is read as plain text, whatever its name.
    if (rtf && !tolvan::rtf::canRead(bytes.left(16))) rtf = false;
    // Plain text is recognised (or read as asked) before the editor is
    // touched; an RTF file is never taken for UTF-8, but its \u escapes
    // for Tamil letters make it a Unicode document.
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    tolvan::EncodingGuess guess;
    if (!rtf && as == OpenAs::Recognised) {
      guess = tolvan::SniffEncoding(view);
    } else if (!rtf && as == OpenAs::Unicode) {
      refused = !unicodeFormOf(view, &guess.form);
      guess.encoding = tolvan::TextEncoding::Unicode;
    } else if (rtf && (as == OpenAs::Unicode || (as == OpenAs::Recognised && tolvan::RtfHoldsUnicodeTamil(view)))) {
      // An RTF file written from Unicode text opens as a Unicode document.
      guess.encoding = tolvan::TextEncoding::Unicode;
    }
    if (!refused) {
      OpenedAs_ = as;
      setEncoding(guess.encoding);
      UnicodeForm_ = guess.form;
      EncodingNote_ = QString::fromStdString(guess.reason);
      LoadedAsRtf_ = rtf;
      applyDefaultAttributes();
    }
    if (refused) {
      // Nothing is read: the window keeps its document.
    } else if (rtf) {
      QString rtfError;
      // A Unicode document keeps the file's Unicode as it is; a TSCII one
      // takes its bytes, U+00AD held as the letter it is in TSCII.
      // A large file's start is painted as soon as it is in its formats,
      // before the reader formats the rest (see readRtf): the window shows
      // the document sooner, and nothing else runs in between.
      auto show = [this, doc] {
        if (!Editor->isVisible()) return;
        SetEditorMargins();
        QTextCursor start(doc);
        start.movePosition(QTextCursor::Start);
        Editor->setTextCursor(start);
        Editor->viewport()->repaint();
      };
      if (!tolvan::rtf::readRtf(bytes, doc, &rtfError, &damage, encoding(), tolvan::kDisplayedSoftHyphen, show))
        error = rtfError;
    } else if (guess.encoding == tolvan::TextEncoding::Unicode) {
      QString text = decodeUnicode(bytes, guess.form);
      bytes = QByteArray();
      LineEnding_ = takeLineEndings(text);
      Editor->setPlainText(text);
    } else {
      LineEnding_ = tolvan::detectLineEnding(bytes);
      Editor->setPlainText(tolvan::bytesToText(bytes));
    }
  }
  if (refused) {
    busy.end();
    setWindowTitle(Title_);
    tolvan::Prompts::instance().error(
        this, QStringLiteral("\"%1\" is not valid UTF-8, UTF-16 or UTF-32 text, so it cannot be opened "
                             "as Unicode. The document was not changed.")
                  .arg(QDir::toNativeSeparators(fileName)));
    if (HasFile_) startMonitor();
    return false;
  }
  if (!error.isEmpty()) {
    busy.end();
    setWindowTitle(fresh ? fileName : Title_);
    tolvan::Prompts::instance().error(
        this, QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(fileName), error));
    // A window made for this file alone goes away again; a window that holds
    // a document keeps it unchanged.
    if (fresh) Close1Click();
    else if (HasFile_) startMonitor();
    return false;
  }

  doc->clearUndoRedoStacks();
  SetEditorMargins();
  QTextCursor start(doc);
  start.movePosition(QTextCursor::Start);
  Editor->setTextCursor(start);
  // What was read of a damaged file is not the file: the window counts as
  // modified, so closing asks and Save shows as needed.
  doc->setModified(!damage.isEmpty());
  Title_ = fileName;
  HasFile_ = true;
  Tag_ = GetFileStamp(Title_);
  UpdateDocumentCommands();
  if (BtnSpeed) {
    BtnSpeed->setText(QFileInfo(fileName).fileName());
    BtnSpeed->setToolTip(fileName);
  }
  if (Host_) Host_->addRecentFile(fileName);
  startMonitor();
  setButtonIcon(Title_);
  updateReopenItems();
  busy.end();
  emit documentChanged(this);
  if (!EncodingNote_.isEmpty()) emit statusNote(EncodingNote_);
  if (!damage.isEmpty())
    tolvan::Prompts::instance().warning(
        this, QStringLiteral("The RTF file \"%1\" is damaged: %2.\nIt was opened as far as it could be "
                             "read, so the document may be incomplete. Saving replaces the damaged "
                             "file; use Save As to keep it.")
                  .arg(QDir::toNativeSeparators(fileName), damage));
  return true;
}

// ---------------------------------------------------------------- save

TEditForm::WriteResult TEditForm::writeFile(const QString& path, bool plain) {
  QByteArray data;
  const bool unicode = encoding() == tolvan::TextEncoding::Unicode;
  if (plain && unicode) {
    // Every character has a place in Unicode: nothing to ask.
    data = encodeUnicode(Editor->document(), LineEnding_, UnicodeForm_);
  } else if (plain) {
    if (!tolvan::documentToBytes(Editor->document(), LineEnding_, &data)) return WriteResult::NeedsRtf;
  } else if (unicode) {
    data = tolvan::rtf::writeRtf(Editor->document(), tolvan::TextEncoding::Unicode);
  } else if (Editor->document()->find(QString(QChar(tolvan::kDisplayedSoftHyphen))).isNull()) {
    data = tolvan::rtf::writeRtf(Editor->document());
  } else {
    // The file gets the byte, not the character the editor shows for it.
    std::unique_ptr<QTextDocument> copy = tolvan::cloneDocument(Editor->document());
    tolvan::documentEditorCharsToBytes(copy.get());
    data = tolvan::rtf::writeRtf(copy.get());
  }
  QString error, rescue;
  const QFileInfo fi(path);
  const bool exists = fi.exists();
  constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  if (fi.isDir()) {
    error = QStringLiteral("Cannot write file \"%1\": it is a folder.");
  } else if (exists && (!fi.isWritable() || !(fi.permissions() & kAnyWrite))) {
    // Marked read-only: refused even where the system would allow it (the
    // administrator), as the user asked of the file.
    error = QStringLiteral("Cannot write file \"%1\": the file is read-only.");
  } else if (exists && linkCount(path) > 1) {
    if (!writeInPlace(path, data, &error, &rescue)) {
      error = QStringLiteral("Cannot write file \"%1\". ") + error;
      if (!rescue.isEmpty())
        error += QStringLiteral("\nThe complete document is in \"%1\".")
                     .arg(QDir::toNativeSeparators(rescue));
    }
  } else {
    // Written to a new file in the same folder and renamed over the document
    // only when complete: a full disk or a crash never leaves a truncated
    // document behind. A failure names the system's reason.
    std::string reason;
    if (!tolvan::ReplaceFileContent(QFile::encodeName(path).toStdString(),
                                    std::string_view(data.constData(), size_t(data.size())), &reason))
      error = (exists ? QStringLiteral("Cannot write file \"%1\". ")
                      : QStringLiteral("Cannot create file \"%1\". ")) +
              QString::fromLocal8Bit(reason.c_str());
  }
  if (!error.isEmpty()) {
    QApplication::restoreOverrideCursor();
    tolvan::Prompts::instance().error(this, error.arg(QDir::toNativeSeparators(path)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return WriteResult::Failed;
  }
  return WriteResult::Ok;
}

bool TEditForm::handleWriteResult(WriteResult r, const QString& path) {
  if (r != WriteResult::NeedsRtf) return r == WriteResult::Ok;
  // A plain-text file holds one byte per character; rather than drop what
  // does not fit, offer the same document as RTF.
  const auto answer = tolvan::Prompts::instance().yesNo(
      this, QStringLiteral("%1 holds characters that a plain-text file cannot store.\n"
                           "Save it as a rich text (RTF) file instead?")
                .arg(QDir::toNativeSeparators(path)));
  if (answer != tolvan::Prompts::Answer::Yes) return false;
  const QFileInfo fi(path);
  return saveAsWithProposal(fi.absolutePath() + u'/' + fi.completeBaseName() +
                            QStringLiteral(".rtf"));
}

bool TEditForm::SaveDocument() { return saveTo(Title_); }

// Writes the document to path. The window takes the name only once the file
// is written: a refused or failed save leaves the title as it was.
bool TEditForm::saveTo(const QString& path) {
  stopMonitor();
  WriteResult r;
  {
    BusyScope busy(busyLight(Host_));
    const Format fmt = formatOf(path);
    const bool plain = fmt == Format::Plain || (fmt == Format::Current && PlainTextMode_);
    r = writeFile(path, plain);
    if (r == WriteResult::Ok) {
      Title_ = path;
      setWindowTitle(Title_);
      PlainTextMode_ = false;
      HasFile_ = true;
      LoadedAsRtf_ = !plain;
      updateReopenItems();
      Editor->document()->setModified(false);
      UpdateDocumentCommands();
      Tag_ = GetFileStamp(Title_);
    }
  }
  // Tag and monitor follow the file as we wrote it, so our own save is never
  // taken for an outside change.
  startMonitor();
  if (r == WriteResult::Ok) {
    emit documentChanged(this);
    return true;
  }
  return handleWriteResult(r, path);
}

bool TEditForm::saveAsWithProposal(const QString& proposal) {
  const QString filter = SaveFilter_.isEmpty() ? kDefaultSaveFilter : SaveFilter_;
  QString name = tolvan::Prompts::instance().saveFileName(this, QStringLiteral("Save As"),
                                                          proposal, filter);
  if (name.isEmpty()) return false;
  if (!SaveDefaultSuffix_.isEmpty() && QFileInfo(name).suffix().isEmpty())
    name += u'.' + SaveDefaultSuffix_;
  if (QFileInfo::exists(name)) {
    const auto answer = tolvan::Prompts::instance().yesNo(
        this, QStringLiteral("File %1 already exists. Do you want to replace it ?")
                  .arg(QDir::toNativeSeparators(name)));
    if (answer != tolvan::Prompts::Answer::Yes) return false;
  }
  return saveTo(name);
}

QString TEditForm::proposedName() const {
  // A document never saved proposes its name in the last folder used.
  if (QFileInfo(Title_).isAbsolute()) return Title_;
  const QString dir = Host_ ? Host_->workDir() : QDir::homePath() + u'/';
  return dir + Title_;
}

void TEditForm::Save1Click() {
  const QFileInfo fi(Title_);
  if (fi.isAbsolute() && fi.isFile())
    SaveDocument();
  else
    Saveas1Click();
}

void TEditForm::Saveas1Click() { saveAsWithProposal(proposedName()); }

void TEditForm::SaveAsText1Click() {
  // The dialog keeps these for every later Save As of this window.
  SaveDefaultSuffix_ = QStringLiteral("txt");
  SaveFilter_ = QStringLiteral("*.txt");
  QString name = tolvan::Prompts::instance().saveFileName(this, QStringLiteral("Save As Text"),
                                                          proposedName(), SaveFilter_);
  if (name.isEmpty()) return;
  if (QFileInfo(name).suffix().isEmpty()) name += u'.' + SaveDefaultSuffix_;
  stopMonitor();
  WriteResult r;
  {
    BusyScope busy(busyLight(Host_));
    r = writeFile(name, formatOf(name) != Format::Rtf);
    // The window takes the name only once the file is written.
    if (r == WriteResult::Ok) {
      Title_ = name;
      setWindowTitle(Title_);
      PlainTextMode_ = true;
      HasFile_ = true;
      LoadedAsRtf_ = formatOf(name) == Format::Rtf;
      updateReopenItems();
      Editor->document()->setModified(false);
      Tag_ = GetFileStamp(Title_);
    }
  }
  startMonitor();
  if (r != WriteResult::Ok) {
    handleWriteResult(r, name);
    return;
  }
  if (BtnSpeed) {
    BtnSpeed->setText(QFileInfo(Title_).fileName());
    BtnSpeed->setToolTip(Title_);
  }
  UpdateDocumentCommands();
  if (Host_) Host_->addRecentFile(Title_);
  setButtonIcon(Title_);
  emit documentChanged(this);
}

void TEditForm::SaveAll1Click() {
  const QList<TEditForm*> forms = siblingForms();
  for (qsizetype i = forms.size() - 1; i >= 0; --i) forms[i]->Save1Click();
}

// ---------------------------------------------------------------- reopen

void TEditForm::updateReopenItems() {
  if (!ReopenAsTscii1) return;
  const bool can = HasFile_ && !LoadedAsRtf_;
  const bool unicode = encoding() == tolvan::TextEncoding::Unicode;
  ReopenAsTscii1->setEnabled(can && unicode);
  ReopenAsUnicode1->setEnabled(can && !unicode);
}

void TEditForm::ReopenAsTscii1Click() { reopenAs(OpenAs::Tscii); }
void TEditForm::ReopenAsUnicode1Click() { reopenAs(OpenAs::Unicode); }

void TEditForm::reopenAs(OpenAs as) {
  if (!HasFile_ || LoadedAsRtf_) return;
  // The document in the window is replaced: unsaved changes are asked
  // about as a close asks.
  if (Editor->document()->isModified()) {
    const auto answer = tolvan::Prompts::instance().yesNoCancel(
        this, QStringLiteral("Save changes to %1?").arg(QDir::toNativeSeparators(Title_)));
    if (answer == tolvan::Prompts::Answer::Yes) {
      Save1Click();
      if (Editor->document()->isModified()) return;
    } else if (answer != tolvan::Prompts::Answer::No) {
      return;
    }
  }
  stopMonitor();
  // Read as plain text whatever the name, as it was first read.
  const bool wasPlain = PlainTextMode_;
  PlainTextMode_ = true;
  OpenDocumentFile(Title_, as);
  PlainTextMode_ = wasPlain;
}

// ---------------------------------------------------------------- close

void TEditForm::Close1Click() {
  if (QMdiSubWindow* sub = subWindow())
    sub->close();
  else
    close();
}

void TEditForm::CloseAll1Click() {
  // The frame asks every window before it closes any.
  if (Host_) {
    Host_->closeAllDocuments();
    return;
  }
  const QList<TEditForm*> forms = siblingForms();
  for (qsizetype i = forms.size() - 1; i >= 0; --i) forms[i]->Close1Click();
}

void TEditForm::closeEvent(QCloseEvent* e) {
  if (closed_) {
    e->accept();
    return;
  }
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  FormClose();
  e->accept();
}

bool TEditForm::AskToClose() {
  stopMonitor();
  bool canClose = true;
  if (Editor->document()->isModified()) {
    const auto answer = tolvan::Prompts::instance().yesNoCancel(
        this, QStringLiteral("Save changes to %1?").arg(QDir::toNativeSeparators(Title_)));
    if (answer == tolvan::Prompts::Answer::Yes) {
      Save1Click();
      // A save that was cancelled or failed keeps the window and its text.
      if (Editor->document()->isModified()) canClose = false;
    } else if (answer != tolvan::Prompts::Answer::No) {
      canClose = false;
    }
  }
  closeAnswered_ = canClose;
  if (!canClose) startMonitor();
  return canClose;
}

void TEditForm::WithdrawCloseAnswer() {
  if (!closeAnswered_) return;
  closeAnswered_ = false;
  startMonitor();
}

bool TEditForm::FormCloseQuery() {
  // An answer given just before (the frame asking every window) stands.
  const bool answered = closeAnswered_;
  closeAnswered_ = false;
  const bool canClose = answered || AskToClose();
  closeAnswered_ = false;
  stopMonitor();
  if (canClose) removeSelectorButton();
  writeKeyboardSettings();
  if (!canClose) startMonitor();
  return canClose;
}

void TEditForm::FormClose() {
  closed_ = true;
  FileMonitor->deactivate();
  emit documentClosed(this);
}

// ---------------------------------------------------------------- outside changes

void TEditForm::FileMonitorChange() {
  if (closed_ || asking_ || !HasFile_) return;
  if (GetFileStamp(Title_) == Tag_) return;
  // Changes made while the question is open belong to the same burst.
  stopMonitor();
  asking_ = true;
  const auto answer = tolvan::Prompts::instance().yesNo(
      this, QDir::toNativeSeparators(Title_) + QStringLiteral(" Changed, Reload the file ?"));
  asking_ = false;
  if (closed_) return;
  const bool reload = answer == tolvan::Prompts::Answer::Yes || answer == tolvan::Prompts::Answer::Ok;
  // Read as it was read before: a document the user reopened in the other
  // encoding stays in it.
  if (!(reload && OpenDocumentFile(Title_, OpenedAs_))) {
    // The window still shows text that the file on disk no longer holds (it
    // was deleted, or could not be read back): it is unsaved work now.
    if (reload || !QFileInfo::exists(Title_)) Editor->document()->setModified(true);
    // The stamp we knew stays, so the next change asks again.
    if (!reload) startMonitor();
  }
}
