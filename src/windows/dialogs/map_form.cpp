// The font-map editor window.
#include "windows/dialogs/map_form.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <stdexcept>

#include "platform/byte_text.h"
#include "platform/fonts.h"
#include "platform/prompts.h"
#include "core/settings/profile_file.h"

namespace {

// The state every editor shares (see the header).
struct EditorState {
  QPointer<TMapForm> editor;
  unsigned char selected = tolvan::kFontMapFirstCode;
  QString path;
};
EditorState& state() {
  static EditorState s;
  return s;
}

constexpr int kCellHeight = 18;
constexpr int kFaceNameLimit = 31;  // the longest face name a font-map file holds
const QColor kMaroon(0x80, 0, 0);

std::string toBytes(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}
std::string pathBytes(const QString& s) {
  const QByteArray b = QFile::encodeName(s);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}
QString fromBytes(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void setTextColor(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  p.setColor(QPalette::ButtonText, c);
  p.setColor(QPalette::Text, c);
  w->setPalette(p);
}

QFont pointFont(const QString& family, int points, bool bold = false) {
  QFont f(family);
  f.setPointSize(points);
  f.setBold(bold);
  return f;
}

QString byteCaption(unsigned char c) { return QString(tolvan::byteToChar(c)); }

QPushButton* makeButton(QWidget* parent, const QString& caption, int x, int y, int w) {
  auto* b = new QPushButton(caption, parent);
  b->setFlat(true);
  b->setGeometry(x, y, w, 17);
  b->setFont(pointFont(b->font().family(), 8, true));
  setTextColor(b, Qt::black);
  return b;
}

}  // namespace

TMapForm::TMapForm(QWidget* owner, tolvan::ProfileFile& settings, std::function<void()> help)
    : QWidget(owner, Qt::Window), settings_(settings), help_(std::move(help)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MapForm"));
  FormCreate();
  tolvan::returnFocusOnHide(this);
}

TMapForm::~TMapForm() {
  if (state().editor == this) state().editor = nullptr;
}

unsigned char TMapForm::selectedCell() { return state().selected; }
QString TMapForm::currentFilePath() { return state().path; }
TMapForm* TMapForm::current() { return state().editor.data(); }

void TMapForm::FormCreate() {
  setFixedSize(660, 605);

  Label1 = new QLabel(QStringLiteral("Source Font "), this);
  Label1->setFont(pointFont(font().family(), 9, true));
  setTextColor(Label1, Qt::blue);
  Label1->setGeometry(8, 8, 80, 17);
  SourceFont = new QFontComboBox(this);
  SourceFont->setObjectName(QStringLiteral("SourceFont"));
  SourceFont->setEditable(true);
  SourceFont->setGeometry(90, 4, 150, 24);

  Label2 = new QLabel(QStringLiteral("Target Font "), this);
  Label2->setFont(pointFont(font().family(), 9, true));
  setTextColor(Label2, kMaroon);
  Label2->setGeometry(410, 8, 80, 17);
  TargetFont = new QFontComboBox(this);
  TargetFont->setObjectName(QStringLiteral("TargetFont"));
  TargetFont->setEditable(true);
  TargetFont->setGeometry(499, 4, 150, 24);

  MainPanel = new QFrame(this);
  MainPanel->setObjectName(QStringLiteral("MainPanel"));
  MainPanel->setFrameShape(QFrame::StyledPanel);
  MainPanel->setGeometry(8, 32, 641, 363);
  FontPanel = new QFrame(this);
  FontPanel->setObjectName(QStringLiteral("FontPanel"));
  FontPanel->setFrameShape(QFrame::StyledPanel);
  FontPanel->setGeometry(8, 400, 641, 142);

  for (unsigned c = tolvan::kFontMapFirstCode; c <= 0xFF; ++c) {
    const unsigned k = c - tolvan::kFontMapFirstCode;
    const auto b = static_cast<unsigned char>(c);
    // Twenty to a column, top to bottom, twelve columns.
    const int col = static_cast<int>(k / 20), row = static_cast<int>(k % 20);
    auto* label = new QLabel(byteCaption(b), MainPanel);
    label->setAlignment(Qt::AlignCenter);
    setTextColor(label, Qt::blue);
    label->setGeometry(2 + 52 * col, 1 + kCellHeight * row, 18, kCellHeight);
    SourceLabels[k] = label;

    auto* cell = new QLineEdit(MainPanel);
    cell->setObjectName(QStringLiteral("EditF%1").arg(c, 2, 16, QLatin1Char('0')));
    cell->setGeometry(label->geometry().right() + 2, label->y(), 30, kCellHeight);
    cell->setTextMargins(0, 0, 0, 0);
    cell->setContentsMargins(0, 0, 0, 0);
    setTextColor(cell, kMaroon);
    cell->installEventFilter(this);
    Cells[k] = cell;

    // Thirty-two to a row, left to right, seven rows.
    auto* button = new QToolButton(FontPanel);
    button->setAutoRaise(true);
    button->setText(byteCaption(b));
    setTextColor(button, kMaroon);
    button->setGeometry(20 * static_cast<int>(k % 32), 1 + 20 * static_cast<int>(k / 32), 20, 20);
    connect(button, &QToolButton::clicked, this, [this, b] { BtnFClick(b); });
    Palette[k] = button;
  }

  BtnLoad = makeButton(this, QStringLiteral("Load "), 16, 552, 81);
  BtnSave = makeButton(this, QStringLiteral("Save"), 120, 552, 81);
  BtnAdd = makeButton(this, QStringLiteral("Add this Conversion Scheme to Tolvan"), 216, 552, 249);
  BtnHelp = makeButton(this, QStringLiteral("Help"), 472, 552, 81);
  BtnCancel = makeButton(this, QStringLiteral("Cancel"), 560, 552, 81);
  connect(BtnLoad, &QPushButton::clicked, this, &TMapForm::BtnLoadClick);
  connect(BtnSave, &QPushButton::clicked, this, &TMapForm::BtnSaveClick);
  connect(BtnAdd, &QPushButton::clicked, this, &TMapForm::BtnAddClick);
  connect(BtnHelp, &QPushButton::clicked, this, &TMapForm::BtnHelpClick);
  connect(BtnCancel, &QPushButton::clicked, this, &TMapForm::BtnCancelClick);
  BtnHelp->setEnabled(static_cast<bool>(help_));

  // This editor takes the program-wide state over, empty; one that was open
  // closes (see the header).
  EditorState& s = state();
  if (s.editor && s.editor != this) s.editor->close();
  s.editor = this;
  s.selected = tolvan::kFontMapFirstCode;
  s.path.clear();

  SourceFont->setCurrentText(tolvan::tamilUiFontName());
  TargetFont->setCurrentText(tolvan::tamilUiFontName());
  SourceFontChange();
  TargetFontChange();
  connect(SourceFont, &QComboBox::currentTextChanged, this, &TMapForm::SourceFontChange);
  connect(TargetFont, &QComboBox::currentTextChanged, this, &TMapForm::TargetFontChange);
  setWindowTitle(QString::fromLatin1(tolvan::kFontMapCaptionNoFile.data(),
                                     static_cast<qsizetype>(tolvan::kFontMapCaptionNoFile.size())));
}

QString TMapForm::sourceFaceName() const { return SourceFont->currentText().left(kFaceNameLimit); }
QString TMapForm::targetFaceName() const { return TargetFont->currentText().left(kFaceNameLimit); }

void TMapForm::SourceFontChange() {
  const QFont f = pointFont(sourceFaceName(), 10);
  for (QLabel* l : SourceLabels) l->setFont(f);
}

void TMapForm::TargetFontChange() {
  const QFont f = pointFont(targetFaceName(), 10);
  for (QToolButton* b : Palette) b->setFont(f);
  for (QLineEdit* e : Cells) e->setFont(f);
}

bool TMapForm::eventFilter(QObject* watched, QEvent* event) {
  // A cell becomes the selected one when it is clicked (or reached with Tab).
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
    for (size_t k = 0; k < Cells.size(); ++k)
      if (Cells[k] == watched) {
        EditFClick(static_cast<unsigned char>(k + tolvan::kFontMapFirstCode));
        break;
      }
  }
  return QWidget::eventFilter(watched, event);
}

void TMapForm::EditFClick(unsigned char c) {
  if (c >= tolvan::kFontMapFirstCode) state().selected = c;
}

void TMapForm::BtnFClick(unsigned char c) {
  QLineEdit* cell = Cells[state().selected - tolvan::kFontMapFirstCode];
  cell->setText(cell->text() + byteCaption(c));
}

QString TMapForm::cellText(const std::string& bytes) {
  QString t = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  tolvan::bytesToEditorChars(t);
  return t;
}

bool TMapForm::currentMap(tolvan::FontMap* map, unsigned char* badCell) const {
  map->sourceFont = toBytes(sourceFaceName());
  map->targetFont = toBytes(targetFaceName());
  for (size_t k = 0; k < Cells.size(); ++k) {
    std::string& out = map->cells[k];
    out.clear();
    for (QChar ch : Cells[k]->text()) {
      const int b = tolvan::charToByte(ch);
      if (b < 0) {
        if (badCell) *badCell = static_cast<unsigned char>(k + tolvan::kFontMapFirstCode);
        return false;
      }
      out.push_back(static_cast<char>(b));
    }
  }
  return true;
}

void TMapForm::setCaptionPath(const QString& path) {
  setWindowTitle(QString::fromLatin1(tolvan::kFontMapCaptionPrefix.data(),
                                     static_cast<qsizetype>(tolvan::kFontMapCaptionPrefix.size())) +
                 path);
}

void TMapForm::BtnSaveClick() {
  tolvan::FontMap map;
  unsigned char bad = 0;
  if (!currentMap(&map, &bad)) {
    tolvan::Prompts::instance().error(
        this, QStringLiteral("The cell for \"%1\" holds a character that is not a font code; "
                             "nothing was saved.")
                  .arg(byteCaption(bad)));
    return;
  }
  // The first save names the file after the two faces, in the current
  // folder. The editor keeps its full path from then on: that is what Add
  // registers, and a program started from another folder still finds it.
  QString path = state().path;
  if (path.isEmpty()) {
    const std::string name = tolvan::DefaultFontMapFileName(map.sourceFont, map.targetFont);
    path = QDir::current().absoluteFilePath(fromBytes(name));
  }
  try {
    tolvan::WriteFileBytes(pathBytes(path), tolvan::WriteFontMap(map));
  } catch (const std::exception& e) {
    tolvan::Prompts::instance().error(
        this, QStringLiteral("Cannot create file \"%1\". %2")
                  .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(e.what())));
    return;
  }
  state().path = path;
  setCaptionPath(path);
}

void TMapForm::BtnLoadClick() {
  QStringList names = tolvan::Prompts::instance().openFileNames(
      this, QStringLiteral("Open"), QDir::currentPath(), QStringLiteral("*.tol (*.tol)"));
  if (names.isEmpty()) return;
  QString path = names.first();
  // The dialog's default extension.
  if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path)) path += QStringLiteral(".tol");
  std::string bytes;
  try {
    bytes = tolvan::ReadFileBytes(pathBytes(path));
  } catch (const std::exception& e) {
    // Nothing has changed yet: the file is read before the editor takes it.
    tolvan::Prompts::instance().error(
        this, QStringLiteral("Cannot open file \"%1\". %2")
                  .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(e.what())));
    return;
  }
  state().path = QFileInfo(path).absoluteFilePath();
  setCaptionPath(state().path);

  // A loaded cell never holds a line break, so one marks the cells the file
  // does not name: they keep what they hold.
  tolvan::FontMap map;
  map.cells.fill(std::string("\n"));
  const tolvan::FontMapLoadResult r = tolvan::LoadFontMap(bytes, map);
  auto message = [this](std::string_view m) {
    tolvan::Prompts::instance().information(
        this, QString::fromLatin1(m.data(), static_cast<qsizetype>(m.size())));
  };
  if (r.sourceFontFound)
    SourceFont->setCurrentText(fromBytes(map.sourceFont));
  else
    message(tolvan::kNoSourceFontMessage);
  SourceFontChange();
  if (r.targetFontFound)
    TargetFont->setCurrentText(fromBytes(map.targetFont));
  else
    message(tolvan::kNoTargetFontMessage);
  TargetFontChange();
  for (size_t k = 0; k < Cells.size(); ++k)
    if (map.cells[k] != "\n") Cells[k]->setText(cellText(map.cells[k]));
}

void TMapForm::BtnAddClick() {
  const QString path = state().path;
  if (path.isEmpty()) {
    tolvan::Prompts::instance().information(
        this, QString::fromLatin1(tolvan::kNoSchemeMessage.data(),
                                  static_cast<qsizetype>(tolvan::kNoSchemeMessage.size())));
    return;
  }
  if (tolvan::RegisterFontMap(settings_, pathBytes(path)) == 0) {
    tolvan::Prompts::instance().error(
        this, QStringLiteral("Cannot write the settings file \"%1\"; %2 was not added.")
                  .arg(QDir::toNativeSeparators(QFile::decodeName(settings_.path().c_str())),
                       path));
    return;
  }
  const std::string text = tolvan::FontMapAddedMessage(pathBytes(path));
  tolvan::Prompts::instance().information(this, QFile::decodeName(text.c_str()));
}

void TMapForm::BtnHelpClick() {
  if (help_) help_();
}

void TMapForm::BtnCancelClick() { close(); }
