// Find and replace dialogs bound to one editor.
#include "windows/dialogs/find_dialog.h"

#include <QCheckBox>
#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/convert/unicode_bridge.h"
#include "windows/document/convert_commands.h"
#include "windows/document/editor.h"
#include "windows/document/tamil_line_edit.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

namespace {

std::u16string_view viewOf(const QString& s) {
  return std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

// The document is searched paragraph by paragraph (the text to find is one
// line, so a match never spans two), which never copies the whole text.
// Returns the document position of the match or -1.
int findInDocument(const QTextDocument* doc, const QString& needle, int from,
                   const tolvan::SearchOptions& o) {
  QTextBlock block = doc->findBlock(from);
  if (!block.isValid()) block = o.backward ? doc->lastBlock() : QTextBlock();
  bool firstBlock = true;
  while (block.isValid()) {
    const QString text = block.text();
    size_t start;
    if (!o.backward)
      start = firstBlock ? size_t(std::max(0, from - block.position())) : 0;
    else
      start = firstBlock ? size_t(std::clamp(from - block.position(), 0, int(text.size())))
                         : size_t(text.size());
    const std::ptrdiff_t pos = tolvan::findText(viewOf(text), viewOf(needle), start, o);
    if (pos != tolvan::kNotFound) return block.position() + int(pos);
    firstBlock = false;
    block = o.backward ? block.previous() : block.next();
  }
  return -1;
}

// Replacements spread over more characters than this are laid out afresh.
constexpr int kDeferLayoutChars = 100000;

// Whether [from, to) of the document has one character format and one
// paragraph format throughout, with no lists or embedded objects: then the
// range can be rewritten as plain text without losing anything.
bool uniformRange(const QTextDocument* doc, int from, int to) {
  const QTextBlock first = doc->findBlock(from);
  const QTextBlockFormat bf = first.blockFormat();
  const QTextCharFormat bcf = first.charFormat();
  bool haveChar = false;
  QTextCharFormat cf;
  for (QTextBlock b = first; b.isValid() && b.position() < to; b = b.next()) {
    if (b.textList() || b.blockFormat() != bf || b.charFormat() != bcf) return false;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      if (!frag.isValid()) continue;
      if (!haveChar) {
        cf = frag.charFormat();
        haveChar = true;
      } else if (frag.charFormat() != cf) {
        return false;
      }
      if (frag.text().contains(QChar::ObjectReplacementCharacter)) return false;
    }
  }
  return true;
}

}  // namespace

TFindDialog::TFindDialog(Kind kind, QTextEdit* editor, QWidget* parent)
    : QDialog(parent, Qt::Dialog), kind_(kind), editor_(editor) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  const bool replace = kind == Kind::Replace;
  setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
  setObjectName(replace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));

  auto* grid = new QGridLayout(this);
  // As large as its contents and no larger: a dialog that can be resized
  // gets a window manager's resize strip along its bottom.
  grid->setSizeConstraint(QLayout::SetFixedSize);
  auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
  FindField = new TTamilLineEdit(this);
  FindField->setObjectName(QStringLiteral("FindField"));
  findLabel->setBuddy(FindField);
  grid->addWidget(findLabel, 0, 0);
  grid->addWidget(FindField, 0, 1);
  if (replace) {
    auto* repLabel = new QLabel(QStringLiteral("Re&place with:"), this);
    ReplaceField = new TTamilLineEdit(this);
    ReplaceField->setObjectName(QStringLiteral("ReplaceField"));
    repLabel->setBuddy(ReplaceField);
    grid->addWidget(repLabel, 1, 0);
    grid->addWidget(ReplaceField, 1, 1);
  }

  auto* options = new QVBoxLayout;
  WholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
  MatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
  options->addWidget(WholeWord);
  options->addWidget(MatchCase);
  auto* row = new QHBoxLayout;
  row->addLayout(options);
  if (!replace) {
    auto* dir = new QGroupBox(QStringLiteral("Direction"), this);
    auto* dh = new QHBoxLayout(dir);
    Up = new QRadioButton(QStringLiteral("&Up"), dir);
    Down = new QRadioButton(QStringLiteral("&Down"), dir);
    Down->setChecked(true);
    dh->addWidget(Up);
    dh->addWidget(Down);
    row->addWidget(dir);
  }
  grid->addLayout(row, replace ? 2 : 1, 0, 1, 2);

  auto* buttons = new QVBoxLayout;
  FindNextBtn = new QPushButton(QStringLiteral("&Find Next"), this);
  FindNextBtn->setDefault(true);
  buttons->addWidget(FindNextBtn);
  if (replace) {
    ReplaceBtn = new QPushButton(QStringLiteral("&Replace"), this);
    ReplaceAllBtn = new QPushButton(QStringLiteral("Replace &All"), this);
    buttons->addWidget(ReplaceBtn);
    buttons->addWidget(ReplaceAllBtn);
  }
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addWidget(CancelBtn);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 2, replace ? 3 : 2, 1);

  auto updateButtons = [this] {
    const bool any = !FindField->text().isEmpty();
    FindNextBtn->setEnabled(any);
    if (ReplaceBtn) ReplaceBtn->setEnabled(any);
    if (ReplaceAllBtn) ReplaceAllBtn->setEnabled(any);
  };
  connect(FindField, &QLineEdit::textChanged, this, updateButtons);
  updateButtons();
  connect(FindNextBtn, &QPushButton::clicked, this, [this] { FindNext(); });
  if (ReplaceBtn) connect(ReplaceBtn, &QPushButton::clicked, this, [this] { Replace(); });
  if (ReplaceAllBtn) connect(ReplaceAllBtn, &QPushButton::clicked, this, [this] { ReplaceAll(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::hide);
  // Closed, it hands the keyboard back to the frame and the document.
  tolvan::returnFocusOnHide(this, [this]() -> QWidget* { return target(); });
}

QTextEdit* TFindDialog::target() const { return target_ ? target_() : editor_.data(); }

void TFindDialog::markSearched() {
  static std::uint64_t serial = 0;
  searchSerial_ = ++serial;
  emit searched(this);
}

void TFindDialog::open(const QByteArray& findBytes) {
  QByteArray first = findBytes;
  const qsizetype brk = first.indexOf('\r');
  if (brk >= 0) first.truncate(brk);
  fieldsUnicode_ = false;
  FindField->setBytes(first);
  present();
}

void TFindDialog::openUnicode(const QString& findText) {
  QString first = findText;
  const qsizetype brk = std::find_if(first.cbegin(), first.cend(), [](QChar c) {
                          const char16_t u = c.unicode();
                          return u == u'\r' || u == u'\n' || u == 0x2028 || u == 0x2029;
                        }) - first.cbegin();
  first.truncate(brk);
  fieldsUnicode_ = true;
  FindField->setText(first);
  present();
}

namespace {

bool isUnicodeEditor(const QTextEdit* ed) {
  const auto* editor = qobject_cast<const TEditor*>(ed);
  return editor && editor->isUnicode();
}

}  // namespace

void TFindDialog::matchFieldsTo(const QTextEdit* ed) {
  const bool unicode = isUnicodeEditor(ed);
  if (unicode == fieldsUnicode_) return;
  fieldsUnicode_ = unicode;
  for (TTamilLineEdit* field : {FindField, ReplaceField}) {
    if (!field || field->text().isEmpty()) continue;
    if (unicode)
      field->setText(QString::fromUtf8(TConvertCommands::editorTextToUtf8(field->text(), QByteArrayLiteral("\n"))));
    else
      field->setText(TConvertCommands::utf8ToEditorText(field->text().toUtf8()));
  }
}

void TFindDialog::present() {
  FindField->selectAll();
  if (ReplaceField) ReplaceField->clear();
  // A button that had the focus when the dialog went (Cancel, clicked) would
  // get it back as the dialog shows and make itself the default button:
  // the field takes the focus first, and Enter searches every time.
  FindField->setFocus();
  show();
  FindNextBtn->setDefault(true);
  raise();
  activateWindow();
  FindField->setFocus();
}

tolvan::SearchOptions TFindDialog::options() const {
  tolvan::SearchOptions o;
  o.matchCase = MatchCase->isChecked();
  o.wholeWord = WholeWord->isChecked();
  o.backward = Up && Up->isChecked();
  o.unicode = isUnicodeEditor(target());
  return o;
}

QString TFindDialog::needleChars() const { return FindField->text(); }
QString TFindDialog::replacementChars() const {
  return ReplaceField ? ReplaceField->text() : QString();
}

void TFindDialog::notFound() {
  // The message names the text in Unicode Tamil so the message box's own
  // font shows it.
  QString shown = FindField->text();
  if (!fieldsUnicode_) {
    const QByteArray needle = FindField->bytes();
    const std::string u = tolvan::TsciiToUnicode(std::string_view(needle.constData(), size_t(needle.size())));
    shown = QString::fromUtf8(u.data(), qsizetype(u.size()));
  }
  tolvan::Prompts::instance().warning(this, QStringLiteral("Text \"%1\" not found.").arg(shown));
}

bool TFindDialog::FindNext() {
  QTextEdit* ed = target();
  matchFieldsTo(ed);
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return false;
  markSearched();
  const tolvan::SearchOptions o = options();
  QTextDocument* doc = ed->document();
  const QTextCursor cur = ed->textCursor();
  const int from = o.backward ? cur.selectionStart() : cur.selectionEnd();
  const int pos = findInDocument(doc, needle, from, o);
  if (pos < 0) {
    notFound();
    return false;
  }
  QTextCursor c(doc);
  c.setPosition(pos);
  c.setPosition(pos + int(needle.size()), QTextCursor::KeepAnchor);
  ed->setTextCursor(c);
  ed->ensureCursorVisible();
  return true;
}

bool TFindDialog::Replace() {
  QTextEdit* ed = target();
  matchFieldsTo(ed);
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return false;
  QTextCursor cur = ed->textCursor();
  // The selection is replaced when it is a match; then the next one is found.
  if (cur.hasSelection() && cur.selectionEnd() - cur.selectionStart() == needle.size()) {
    const QTextBlock block = ed->document()->findBlock(cur.selectionStart());
    const QString text = block.text();
    if (tolvan::matchesAt(viewOf(text), viewOf(needle),
                          size_t(cur.selectionStart() - block.position()), options())) {
      cur.insertText(replacementChars());
      ed->setTextCursor(cur);
    }
  }
  return FindNext();
}

int TFindDialog::ReplaceAll() {
  QTextEdit* ed = target();
  matchFieldsTo(ed);
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return 0;
  markSearched();
  QTextDocument* doc = ed->document();
  const tolvan::SearchOptions o = options();
  // Every match, paragraph by paragraph, as document positions.
  std::vector<int> hits;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
    const QString text = b.text();
    if (text.size() < needle.size()) continue;
    for (size_t p : tolvan::findAll(viewOf(text), viewOf(needle), o)) hits.push_back(b.position() + int(p));
  }
  if (hits.empty()) {
    notFound();
    return 0;
  }
  const QString rep = replacementChars();
  const int n = int(needle.size());
  const int start = hits.front(), end = hits.back() + n;
  // A change over a long stretch would be laid out at once, all of it, when
  // the edit ends. With the page size taken away the layout waits; giving it
  // back lays the document out afresh the way a newly set text is, the part
  // on screen first and the rest in steps from the event loop.
  const bool deferLayout = end - start > kDeferLayoutChars;
  const QSizeF page = doc->pageSize();
  if (deferLayout) doc->setPageSize(QSizeF());
  // One edit block: one undo step, one layout pass.
  QTextCursor c(doc);
  c.beginEditBlock();
  if (uniformRange(doc, start, end)) {
    // Plain text in between: the stretch from the first match to the end of
    // the last is rewritten in one insertion, as fast as setting the text.
    QString out;
    out.reserve(end - start + qsizetype(hits.size()) * (rep.size() - n));
    int at = start;
    size_t h = 0;
    for (QTextBlock b = doc->findBlock(start); b.isValid() && b.position() < end; b = b.next()) {
      const QString text = b.text();
      const int bs = b.position(), be = bs + int(text.size());
      if (bs > at) {
        out += QChar::ParagraphSeparator;
        at = bs;
      }
      while (at < be && at < end) {
        if (h < hits.size() && hits[h] == at) {
          out += rep;
          at += n;
          ++h;
        } else {
          const int next = std::min({h < hits.size() ? hits[h] : be, be, end});
          out += QStringView(text).mid(at - bs, next - at);
          at = next;
        }
      }
    }
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.insertText(out);
  } else {
    // Formatting varies: each match is replaced on its own, from the end so
    // the positions still to do stay valid.
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
      c.setPosition(*it);
      c.setPosition(*it + n, QTextCursor::KeepAnchor);
      if (rep.isEmpty())
        c.removeSelectedText();
      else
        c.insertText(rep);
    }
  }
  c.endEditBlock();
  if (deferLayout) doc->setPageSize(page);
  return int(hits.size());
}
