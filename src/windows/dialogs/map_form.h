// The font-map editor: a window in which the user builds a font map (for
// each source code 0x20..0xFF the target-font characters that replace it) by
// clicking a cell and then buttons of the target font's palette, saves it to
// a ".tol" file, loads one back, and registers a file for the document
// windows' "Convert Fonts Using" menu. The file format and the registration
// are src/core/convert/fontmap.h; this window only shows and edits them.
//
// The selected cell and the current file path are held once for the whole
// program: only one editor is in use at a time. Each "Font Conversion" click
// makes a new, empty editor, which takes that state over; an editor that was
// still open closes, so its buttons can never write into another window's
// cells.
#pragma once
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "core/convert/fontmap.h"

class QFontComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tolvan {
class ProfileFile;
}

class TMapForm : public QWidget {
  Q_OBJECT

 public:
  // owner: the document window the editor belongs to (it goes with it).
  // settings: where "Add" registers a map. help: the frame's Help Contents
  // command (the Help button is disabled without one).
  TMapForm(QWidget* owner, tolvan::ProfileFile& settings, std::function<void()> help);
  ~TMapForm() override;

  // ---- Program-wide editor state
  static unsigned char selectedCell();
  static QString currentFilePath();
  // The editor in use (nullptr when none is open).
  static TMapForm* current();

  // ---- Widgets, named after their role
  QLabel *Label1 = nullptr, *Label2 = nullptr;
  QFontComboBox *SourceFont = nullptr, *TargetFont = nullptr;
  QFrame *MainPanel = nullptr, *FontPanel = nullptr;
  QPushButton *BtnLoad = nullptr, *BtnSave = nullptr, *BtnAdd = nullptr, *BtnHelp = nullptr,
              *BtnCancel = nullptr;
  // Index c - 0x20 for source code c.
  std::array<QLabel*, tolvan::kFontMapCells> SourceLabels{};
  std::array<QLineEdit*, tolvan::kFontMapCells> Cells{};
  std::array<QToolButton*, tolvan::kFontMapCells> Palette{};

  // The face names as they go into the file (at most 31 characters).
  QString sourceFaceName() const;
  QString targetFaceName() const;
  // The map the cells hold now. False (and *badCell set) when a cell holds a
  // character that is not one byte.
  bool currentMap(tolvan::FontMap* map, unsigned char* badCell = nullptr) const;
  // A cell's bytes as its text shows them.
  static QString cellText(const std::string& bytes);

 public slots:
  void SourceFontChange();
  void TargetFontChange();
  void EditFClick(unsigned char c);  // a cell was clicked: it becomes the selected one
  void BtnFClick(unsigned char c);   // a palette button: its byte goes to the end of the selected cell
  void BtnLoadClick();
  void BtnSaveClick();
  void BtnAddClick();
  void BtnHelpClick();
  void BtnCancelClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void setCaptionPath(const QString& path);

  tolvan::ProfileFile& settings_;
  std::function<void()> help_;
};
