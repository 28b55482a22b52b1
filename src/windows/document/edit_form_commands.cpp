// The document window's search and output commands: find, replace and find
// next; print, printer set-up and export as PDF; e-mail; links; the wallpaper;
// and the editor's popup menu.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <memory>
#include <string>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "windows/document/edit_form.h"
#include "windows/document/document_host.h"
#include "windows/document/editor.h"
#include "windows/dialogs/find_dialog.h"
#include "windows/document/link_highlighter.h"
#include "core/document/shell_requests.h"
#include "windows/document/tamil_line_edit.h"
#include "platform/byte_text.h"
#include "platform/desktop.h"
#include "platform/fonts.h"
#include "platform/pdf_printer.h"
#include "platform/prompts.h"

// What the commands keep per window: the printer with its set-up, and the
// link marking. (The find and replace dialogs belong to the frame.)
class TEditCommands : public QObject {
 public:
  explicit TEditCommands(TEditForm* form) : QObject(form) {}
  std::unique_ptr<QPrinter> Printer;
  TLinkHighlighter* Links = nullptr;
  QColor LastColor = Qt::black;  // the colour dialog's last choice
};

namespace {

// The document's text for the outside world: Unicode (UTF-8), paragraphs
// ending in CR LF; a TSCII document's Tamil through the bridge, a Unicode
// document's text as it is.
std::string documentAsUtf8(const QTextDocument* doc, bool unicode) {
  const QString raw = doc->toRawText();
  if (unicode) {
    QString text;
    text.reserve(raw.size());
    for (QChar ch : raw) {
      const char16_t u = ch.unicode();
      if (u == 0x2029 || u == 0x2028)
        text += QStringLiteral("\r\n");
      else if (u != QChar::ObjectReplacementCharacter)
        text += ch;
    }
    return text.toStdString();
  }
  std::string out;
  std::string run;  // bytes waiting for the bridge
  auto flush = [&] {
    if (run.empty()) return;
    out += tolvan::TsciiToUnicode(run);
    run.clear();
  };
  for (QChar ch : raw) {
    const char16_t u = ch.unicode();
    if (u == 0x2029 || u == 0x2028) {
      run += "\r\n";
    } else if (u == QChar::ObjectReplacementCharacter) {
      continue;
    } else if (const int b = tolvan::charToByte(ch); b >= 0) {
      run.push_back(static_cast<char>(b));
    } else {
      flush();
      out += QString(ch).toStdString();
    }
  }
  flush();
  return out;
}

}  // namespace

void TEditForm::setupCommands() {
  Commands_ = new TEditCommands(this);
  Commands_->Links = new TLinkHighlighter(Editor);

  // The File menu's Export as PDF, after Printer setup.
  ExportPdf1 = new QAction(QStringLiteral("Export as P&DF..."), this);
  ExportPdf1->setObjectName(QStringLiteral("ExportPdf1"));
  // Beside it, for a TSCII document, the PDF drawn in the TSCII font.
  ExportPdfTscii1 = new QAction(QStringLiteral("Export as PDF in TSCII Look..."), this);
  ExportPdfTscii1->setObjectName(QStringLiteral("ExportPdfTscii1"));
  {
    const auto items = File1->actions();
    const qsizetype i = items.indexOf(Printersetup1);
    QAction* before = i >= 0 && i + 1 < items.size() ? items[i + 1] : nullptr;
    File1->insertAction(before, ExportPdf1);
    File1->insertAction(before, ExportPdfTscii1);
  }
  ExportPdfTscii1->setVisible(!Editor->isUnicode());
  connect(this, &TEditForm::encodingChanged, this,
          [this] { ExportPdfTscii1->setVisible(!Editor->isUnicode()); });
  for (QAction* a : {Email1, Print1, Printersetup1, Find1, Replace1, FindAgain1})
    a->setEnabled(true);
  connect(Email1, &QAction::triggered, this, &TEditForm::Email1Click);
  connect(Print1, &QAction::triggered, this, &TEditForm::Print1Click);
  connect(Printersetup1, &QAction::triggered, this, &TEditForm::Printersetup1Click);
  connect(ExportPdf1, &QAction::triggered, this, &TEditForm::ExportPdf1Click);
  connect(ExportPdfTscii1, &QAction::triggered, this, &TEditForm::ExportPdfTscii1Click);
  connect(Find1, &QAction::triggered, this, &TEditForm::Find1Click);
  connect(Replace1, &QAction::triggered, this, &TEditForm::Replace1Click);
  connect(FindAgain1, &QAction::triggered, this, &TEditForm::FindAgain1Click);

  // The editor's popup menu is built with the Convert menu, whose items it
  // shares; Set as WallPaper there runs SetasWallpaper1Click.
}

bool TEditForm::chooseColor(QColor& chosen) {
  QColor c = Commands_->LastColor;
  if (!tolvan::Prompts::instance().chooseColor(this, c)) return false;
  Commands_->LastColor = c;
  chosen = c;
  return true;
}

// ---------------------------------------------------------------- search

namespace {

const QString kFindName = QStringLiteral("FindDialog");
const QString kReplaceName = QStringLiteral("ReplaceDialog");

// The window the search dialogs act on: the host's active document (the one
// the user sees), or the window itself when it works without a host.
TEditForm* searchedForm(TDocumentHost* host, TEditForm* own) {
  return host ? host->activeDocument() : own;
}

}  // namespace

TFindDialog* TEditForm::findDialog(bool replace) {
  // One find and one replace dialog for all the windows of a frame, owned by
  // the frame: whichever window opened it, it searches the active document.
  QWidget* owner = Host_ ? Host_->hostWindow() : this;
  const QString& name = replace ? kReplaceName : kFindName;
  if (auto* d = owner->findChild<TFindDialog*>(name, Qt::FindDirectChildrenOnly)) return d;
  auto* d = new TFindDialog(replace ? TFindDialog::Kind::Replace : TFindDialog::Kind::Find, Editor, owner);
  // Nothing of this window is kept: it may close before the dialog does.
  TDocumentHost* host = Host_;
  QPointer<TEditForm> self = Host_ ? nullptr : this;
  d->setTarget([host, self]() -> QTextEdit* {
    TEditForm* f = searchedForm(host, self.data());
    return f ? f->Editor : nullptr;
  });
  // The fields type text like the document they search.
  for (TTamilLineEdit* field : {d->FindField, d->ReplaceField}) {
    if (!field) continue;
    field->setModeSource([host, self] {
      TEditForm* f = searchedForm(host, self.data());
      return f ? TTamilLineEdit::Mode{f->isTamilMode(), f->layout(), f->Editor->isUnicode()}
               : TTamilLineEdit::Mode{};
    });
  }
  return d;
}

void TEditForm::openSearch(bool replace) {
  TFindDialog* d = findDialog(replace);
  // The fields show text in this document's font.
  QFont font = Editor->document()->defaultFont();
  if (font.pointSize() < 12) font.setPointSize(12);
  for (TTamilLineEdit* field : {d->FindField, d->ReplaceField})
    if (field) field->setFont(font);
  if (Editor->isUnicode()) {
    d->openUnicode(Editor->textCursor().selectedText());
  } else {
    QByteArray sel;
    tolvan::selectionToBytes(Editor->textCursor(), &sel);
    d->open(sel);
  }
}

void TEditForm::Find1Click() { openSearch(false); }

void TEditForm::Replace1Click() { openSearch(true); }

void TEditForm::FindAgain1Click() {
  // The dialog that searched last repeats its search, on the active
  // document. Before any search there is nothing to repeat.
  QWidget* owner = Host_ ? Host_->hostWindow() : this;
  TFindDialog* last = nullptr;
  for (const QString& name : {kFindName, kReplaceName}) {
    auto* d = owner->findChild<TFindDialog*>(name, Qt::FindDirectChildrenOnly);
    if (d && d->hasSearched() && (!last || d->searchSerial() > last->searchSerial())) last = d;
  }
  if (last) last->FindNext();
  if (Editor->isVisible() && Editor->isEnabled()) Editor->setFocus();
}

// ---------------------------------------------------------------- character map

namespace {

QString unicodeOf(const std::string& tscii) {
  const std::string u = tolvan::TsciiToUnicode(tscii);
  return QString::fromUtf8(u.data(), qsizetype(u.size()));
}

// Vowel signs, the pulli and the length mark: what completes a letter.
bool isTamilSign(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 0x0BBE && u <= 0x0BCD) || u == 0x0BD7;
}

}  // namespace

void TEditForm::CharMapClick(unsigned char code) {
  if (!Editor->isUnicode() || code < 0x80) {
    SendKeyToEditor(code);
    return;
  }
  // The map's codes are TSCII, clicked in TSCII's visual order (the sign
  // of கெ before its consonant): the text the click gives is the bridge's
  // Unicode of the last letter's TSCII with the code after it, so a sign
  // clicked first and its consonant after make one letter, as they do in a
  // TSCII document. The letter before the caret takes part only when it
  // goes to TSCII and back unchanged. A sign the bridge shows on a dotted
  // circle joins the letter before it instead.
  QTextCursor c = Editor->textCursor();
  const char byte = static_cast<char>(code);
  QString context, letter;
  if (!c.hasSelection()) {
    const QTextBlock block = c.block();
    const QString text = block.text().left(c.position() - block.position());
    qsizetype from = text.size();
    while (from > 0 && text.size() - from < 4 && tolvan::isUnicodeTamil(text[from - 1])) --from;
    // The longest stretch before the caret that is whole letters (a sign
    // waiting for its consonant counts as one, on its dotted circle).
    for (; from < text.size() && context.isEmpty(); ++from) {
      const QString candidate = text.mid(from);
      const QString probe = isTamilSign(candidate[0]) ? QChar(0x25CC) + candidate : candidate;
      bool lost = false;
      const std::string tscii = tolvan::UnicodeToTscii(
          probe.toStdString(), [&](size_t, const std::string&) { lost = true; }, tolvan::Unmappable::Drop);
      if (lost || unicodeOf(tscii) != probe) continue;
      context = candidate;
      letter = unicodeOf(tscii + byte);
    }
  }
  if (context.isEmpty()) letter = unicodeOf(std::string(1, byte));
  letter.remove(QChar(0x25CC));
  if (letter.isEmpty() || letter == context) return;
  c.beginEditBlock();
  if (!context.isEmpty()) {
    const int at = c.position();
    c.setPosition(at - int(context.size()));
    c.setPosition(at, QTextCursor::KeepAnchor);
  }
  c.insertText(letter);
  c.endEditBlock();
  Editor->setTextCursor(c);
  Editor->ensureCursorVisible();
}

// ---------------------------------------------------------------- output

void TEditForm::Email1Click() {
  // The whole text is sent; an empty selection first becomes all of it.
  if (!Editor->textCursor().hasSelection()) Editor->selectAll();
  const std::string body = documentAsUtf8(Editor->document(), Editor->isUnicode());
  auto send = [](std::string_view part) {
    tolvan::Desktop::instance().openUrl(QUrl::fromEncoded(
        QByteArray::fromStdString(tolvan::mailtoUrl(part)), QUrl::StrictMode));
  };
  const std::size_t fits = tolvan::mailtoBodyThatFits(body);
  if (fits == body.size()) {
    send(body);
    return;
  }
  // Too long for the mail program's command line: the desktop would start
  // nothing at all. The user takes the part that fits, or the whole text
  // from the clipboard into an empty mail.
  const QString text = QString::fromUtf8(body.data(), qsizetype(body.size()));
  const qsizetype partLength = QString::fromUtf8(body.data(), qsizetype(fits)).size();
  const QString question =
      QStringLiteral("The text is too long to hand to the mail program: only its first %1 of %2 "
                     "characters fit.\n\nYes: send the part that fits.\nNo: copy the whole text to "
                     "the clipboard and open an empty mail to paste it into.\nCancel: send nothing.")
          .arg(partLength)
          .arg(text.size());
  switch (tolvan::Prompts::instance().yesNoCancel(this, question)) {
    case tolvan::Prompts::Answer::Yes:
      send(std::string_view(body).substr(0, fits));
      break;
    case tolvan::Prompts::Answer::No:
      QGuiApplication::clipboard()->setText(text);
      send({});
      break;
    default:
      break;
  }
}

QString TEditForm::mailtoUrl() const {
  return QString::fromStdString(tolvan::mailtoUrl(documentAsUtf8(Editor->document(), Editor->isUnicode())));
}

QPrinter* TEditForm::printer() {
  if (!Commands_->Printer) Commands_->Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return Commands_->Printer.get();
}

void TEditForm::Print1Click() {
  QPrinter* p = printer();
  p->setDocName(Title());
  if (!tolvan::Prompts::instance().printDialog(this, *p)) return;
  p->setDocName(Title());
  if (p->outputFormat() == QPrinter::PdfFormat && !p->outputFileName().isEmpty()) {
    // Print to file: the same pages through the PDF printer whose text
    // reads back as written, as Export as PDF writes it.
    tolvan::PdfTextPrinter pdf(QPrinter::HighResolution);
    pdf.setPageLayout(p->pageLayout());
    pdf.setPageRanges(p->pageRanges());
    pdf.setPrintRange(p->printRange());
    pdf.setColorMode(p->colorMode());
    pdf.setPdfVersion(p->pdfVersion());
    pdf.setDocName(p->docName());
    pdf.setCreator(p->creator());
    pdf.setFontEmbeddingEnabled(p->fontEmbeddingEnabled());
    pdf.setOutputFileName(p->outputFileName());
    tolvan::printDocument(Editor->document(), &pdf);
    return;
  }
  tolvan::printDocument(Editor->document(), p);
}

void TEditForm::Printersetup1Click() { tolvan::Prompts::instance().pageSetupDialog(this, *printer()); }

namespace {

// The file name for Export as PDF (the extension added when none was given);
// empty when cancelled.
QString askPdfName(QWidget* parent, const QString& title) {
  QFileInfo info(title);
  const QString proposal = info.completeBaseName() + QStringLiteral(".pdf");
  const QString dir = info.isAbsolute() ? info.absolutePath() : QDir::currentPath();
  QString name = tolvan::Prompts::instance().saveFileName(
      parent, QStringLiteral("Export as PDF"), QDir(dir).filePath(proposal),
      QStringLiteral("PDF files (*.pdf)"));
  if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".pdf");
  return name;
}

// A run of a paragraph: its text and format.
struct Run {
  QString text;
  QTextCharFormat format;
};

// A TSCII paragraph's runs in Unicode Tamil. The bridge's state goes from
// run to run, so a letter whose bytes lie in two runs (a vowel sign before
// its consonant in another format) is whole, in the later run's format.
// Characters that are no byte (pictures, line breaks) stay as they are.
std::vector<Run> runsToUnicode(const std::vector<Run>& runs) {
  std::vector<Run> out;
  tolvan::TsciiDecodeState state;
  std::string pending;  // bytes the bridge has not yet taken
  auto convert = [&](QTextCharFormat format, bool final) {
    std::string utf8;
    const size_t used = tolvan::TsciiToUnicodePiece(state, pending, 0, final, {}, utf8);
    pending.erase(0, used);
    if (!utf8.empty()) out.push_back({QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), format});
  };
  for (size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    for (const QChar c : run.text) {
      const int b = tolvan::charToByte(c);
      if (b >= 0) {
        pending += char(b);
        continue;
      }
      convert(run.format, true);
      state = tolvan::TsciiDecodeState();
      out.push_back({QString(c), run.format});
    }
    convert(run.format, r + 1 == runs.size());
  }
  return out;
}

// A family list with each TSCII font replaced by the Unicode Tamil font.
QStringList unicodeFamilies(const QStringList& families) {
  QStringList out;
  for (const QString& f : families) out << tolvan::documentFamily(f, true);
  out.removeDuplicates();
  return out;
}

// A copy of a TSCII document in Unicode Tamil, paragraph by paragraph, its
// formats kept and its TSCII fonts replaced by the Unicode Tamil font.
std::unique_ptr<QTextDocument> unicodeCopy(const QTextDocument* doc) {
  std::unique_ptr<QTextDocument> copy = tolvan::cloneDocument(doc);
  QFont font = copy->defaultFont();
  font.setFamily(tolvan::documentFamily(font.family(), true));
  copy->setDefaultFont(font);
  for (int n = 0; n < copy->blockCount(); ++n) {
    const QTextBlock block = copy->findBlockByNumber(n);
    std::vector<Run> runs;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
      runs.push_back({it.fragment().text(), it.fragment().charFormat()});
    if (runs.empty()) continue;
    std::vector<Run> converted = runsToUnicode(runs);
    QTextCursor c(block);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    for (Run& run : converted) {
      const QStringList families = run.format.fontFamilies().toStringList();
      if (!families.isEmpty()) run.format.setFontFamilies(unicodeFamilies(families));
      c.insertText(run.text, run.format);
    }
  }
  return copy;
}

}  // namespace

void TEditForm::ExportPdf1Click() {
  const QString name = askPdfName(this, Title());
  if (name.isEmpty()) return;
  if (!ExportPdf(name))
    tolvan::Prompts::instance().error(this, QStringLiteral("Cannot write %1").arg(name));
}

void TEditForm::ExportPdfTscii1Click() {
  const QString name = askPdfName(this, Title());
  if (name.isEmpty()) return;
  if (!ExportPdf(name, true))
    tolvan::Prompts::instance().error(this, QStringLiteral("Cannot write %1").arg(name));
}

bool TEditForm::ExportPdf(const QString& fileName, bool tsciiLook) {
  // Its text reads back as written, Tamil letters whole and in order.
  tolvan::PdfTextPrinter pdf(QPrinter::HighResolution);
  // The page set up for printing, when there is one.
  if (Commands_->Printer) pdf.setPageLayout(Commands_->Printer->pageLayout());
  pdf.setDocName(Title());
  pdf.setCreator(QStringLiteral("Tolvan"));
  pdf.setFontEmbeddingEnabled(true);
  const QString tmp = fileName + QStringLiteral(".part");
  QFile::remove(tmp);
  pdf.setOutputFileName(tmp);
  if (Editor->isUnicode() || tsciiLook)
    tolvan::printDocument(Editor->document(), &pdf);
  else
    tolvan::printDocument(unicodeCopy(Editor->document()).get(), &pdf);
  // The printer reports nothing; a written file is the proof. It replaces
  // the old one only once complete.
  if (QFileInfo(tmp).size() <= 0) {
    QFile::remove(tmp);
    return false;
  }
  QFile::remove(fileName);
  if (!QFile::rename(tmp, fileName)) {
    QFile::remove(tmp);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- wallpaper

QString TEditForm::wallpaperPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dir.isEmpty()) dir = QDir::homePath() + QStringLiteral("/.local/share");
  return QDir(dir).filePath(QStringLiteral("Tolvan/tolvan.bmp"));
}

QImage TEditForm::RenderPage() const {
  // The editor's size; the text laid out from its start as in the editor,
  // inside the editor's margins; what does not fit is cut off.
  const QSize size = Editor->size();
  QImage image(size.isEmpty() ? QSize(1, 1) : size, QImage::Format_RGB32);
  image.fill(Editor->palette().color(QPalette::Base));
  std::unique_ptr<QTextDocument> page = tolvan::cloneDocument(Editor->document());
  // The viewport sits inside the editor's margins.
  const QRect area = Editor->viewport()->geometry();
  page->setTextWidth(Editor->lineWrapMode() == QTextEdit::NoWrap ? -1 : area.width());
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(area.topLeft());
  painter.setClipRect(QRect(QPoint(0, 0), area.size()));
  QAbstractTextDocumentLayout::PaintContext ctx;
  ctx.palette = Editor->palette();
  ctx.clip = QRectF(QPointF(0, 0), QSizeF(area.size()));
  page->documentLayout()->draw(&painter, ctx);
  return image;
}

void TEditForm::SetasWallpaper1Click() {
  const QString path = wallpaperPath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  // Windows bitmap, overwritten each time.
  if (!RenderPage().save(path, "BMP")) {
    tolvan::Prompts::instance().error(this, QStringLiteral("Cannot write %1").arg(path));
    return;
  }
  // Where the desktop has no known way, nothing more happens, silently.
  const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
  for (const auto& cmd : tolvan::wallpaperCommands(desktop.toStdString(), QFile::encodeName(path).toStdString())) {
    QStringList args;
    for (size_t i = 1; i < cmd.size(); ++i) args << QString::fromStdString(cmd[i]);
    tolvan::Desktop::instance().run(QString::fromStdString(cmd[0]), args);
  }
}
