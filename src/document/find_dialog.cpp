// Find and replace dialogs bound to one editor.
#include "document/find_dialog.h"

#include <QCheckBox>
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

#include "convert/unicode_bridge.h"
#include "document/tamil_line_edit.h"
#include "platform/byte_text.h"
#include "platform/prompts.h"

namespace {

std::u16string_view viewOf(const QString& s) {
  return std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
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
}

void TFindDialog::open(const QByteArray& findBytes) {
  QByteArray first = findBytes;
  const qsizetype brk = first.indexOf('\r');
  if (brk >= 0) first.truncate(brk);
  FindField->setBytes(first);
  FindField->selectAll();
  if (ReplaceField) ReplaceField->clear();
  show();
  raise();
  activateWindow();
  FindField->setFocus();
}

tolvan::SearchOptions TFindDialog::options() const {
  tolvan::SearchOptions o;
  o.matchCase = MatchCase->isChecked();
  o.wholeWord = WholeWord->isChecked();
  o.backward = Up && Up->isChecked();
  return o;
}

QString TFindDialog::needleChars() const { return FindField->text(); }
QString TFindDialog::replacementChars() const {
  return ReplaceField ? ReplaceField->text() : QString();
}

void TFindDialog::notFound(const QByteArray& needle) {
  // The message names the text in Unicode Tamil so the message box's own
  // font shows it.
  const std::string u = tolvan::TsciiToUnicode(std::string_view(needle.constData(), size_t(needle.size())));
  const QString shown = QString::fromUtf8(u.data(), qsizetype(u.size()));
  tolvan::Prompts::instance().warning(this, QStringLiteral("Text \"%1\" not found.").arg(shown));
}

bool TFindDialog::FindNext() {
  QTextEdit* ed = editor_.data();
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return false;
  searched_ = true;
  emit searched(this);
  const tolvan::SearchOptions o = options();
  QTextDocument* doc = ed->document();
  // The raw text: character i is document position i (paragraphs end in
  // U+2029), and nothing is translated (toPlainText would turn byte 0xA0
  // into a space).
  const QString text = doc->toRawText();
  const QTextCursor cur = ed->textCursor();
  const size_t from = size_t(o.backward ? cur.selectionStart() : cur.selectionEnd());
  const std::ptrdiff_t pos = tolvan::findText(viewOf(text), viewOf(needle), from, o);
  if (pos == tolvan::kNotFound) {
    notFound(FindField->bytes());
    return false;
  }
  QTextCursor c(doc);
  c.setPosition(int(pos));
  c.setPosition(int(pos + needle.size()), QTextCursor::KeepAnchor);
  ed->setTextCursor(c);
  ed->ensureCursorVisible();
  return true;
}

bool TFindDialog::Replace() {
  QTextEdit* ed = editor_.data();
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return false;
  QTextCursor cur = ed->textCursor();
  // The selection is replaced when it is a match; then the next one is found.
  if (cur.hasSelection() && cur.selectionEnd() - cur.selectionStart() == needle.size()) {
    const QString text = ed->document()->toRawText();
    if (tolvan::matchesAt(viewOf(text), viewOf(needle), size_t(cur.selectionStart()), options())) {
      cur.insertText(replacementChars());
      ed->setTextCursor(cur);
    }
  }
  return FindNext();
}

int TFindDialog::ReplaceAll() {
  QTextEdit* ed = editor_.data();
  const QString needle = needleChars();
  if (!ed || needle.isEmpty()) return 0;
  searched_ = true;
  emit searched(this);
  QTextDocument* doc = ed->document();
  const QString text = doc->toRawText();
  const std::vector<size_t> hits = tolvan::findAll(viewOf(text), viewOf(needle), options());
  if (hits.empty()) {
    notFound(FindField->bytes());
    return 0;
  }
  const QString rep = replacementChars();
  // One edit block: one undo step, one layout pass. Replacing from the end
  // keeps the positions of the matches still to do.
  QTextCursor c(doc);
  c.beginEditBlock();
  for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
    c.setPosition(int(*it));
    c.setPosition(int(*it + size_t(needle.size())), QTextCursor::KeepAnchor);
    if (rep.isEmpty())
      c.removeSelectedText();
    else
      c.insertText(rep);
  }
  c.endEditBlock();
  return int(hits.size());
}
