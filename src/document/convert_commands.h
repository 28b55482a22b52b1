// The document window's conversion commands: the four built-in converters
// and the registered font maps applied to the selection ("Convert" menu, the
// editor's popup menu and its "Convert Fonts Using" submenu).
//
// Every command takes the selection as bytes (a paragraph break is 0x0D, the
// editor's stand-in for byte 0xAD is the byte again), runs it through a
// converter of src/convert and puts the result back in place of the selection
// as one undo step, with the hourglass and the busy LED on while it runs and a
// beep at the end. Characters one byte cannot hold (pasted Unicode that is
// not Tamil) are not bytes of any encoding: they stay where they are and the
// text on either side of them is converted.
#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QTextEdit;
class QWidget;

namespace tolvan {
class ProfileFile;
}

// The window's side of the commands: what they need from the document window
// and its frame, and nothing more.
struct ConvertHost {
  QWidget* window = nullptr;              // parent of the message boxes
  QTextEdit* editor = nullptr;            // the document
  std::function<void(bool)> setBusy;      // the frame's LED (may be empty)
  std::function<tolvan::ProfileFile&()> settingsFile;  // where font maps are registered
  std::function<void()> help;             // the frame's Help Contents (may be empty)
};

class TConvertCommands : public QObject {
  Q_OBJECT

 public:
  explicit TConvertCommands(ConvertHost host, QObject* parent = nullptr);

  // The built-in converters, in menu order. Each window has two items per
  // converter: one in the Convert menu and one in the popup menu.
  QAction *MylaitoTSCII1 = nullptr, *AnjaltoTSCII2 = nullptr, *RomantoTSCII2 = nullptr,
          *TSCIItoTAB2 = nullptr;                       // Convert menu
  QAction *MylaitoTSC1 = nullptr, *AnjaltoTSCII1 = nullptr, *RomantoTSCII1 = nullptr,
          *TSCIItoTAB1 = nullptr;                       // popup menu
  // "Convert Fonts Using": one item per registered font map.
  QMenu* Convert = nullptr;

  // Appends the four converter items to menu (the Convert menu) and to popup.
  void addConverterItems(QMenu* menu, QMenu* popup);
  // Fills the "Convert Fonts Using" submenu from the registered paths (in
  // registration order, duplicates kept). Run once, when the window is made.
  void buildFontMapMenu(const std::vector<std::string>& paths);

  // The text of the box shown for an Anjal byte without a mapping has one
  // more button than OK, with this caption: it ends the boxes for the rest of
  // the command.
  static QString stopCaption();

  // Converts the selection with conv (see the file comment). Public for the
  // font-map command and for tests and benchmarks.
  void convertSelection(const std::function<std::string(std::string_view)>& conv);

  // The editor's text (one character per byte, U+2029 and U+2028 as
  // paragraph and line breaks) converted run by run: each run of byte
  // characters goes through conv as bytes with breaks as 0x0D; characters
  // above one byte are kept between the runs. The result is editor text.
  static QString convertEditorText(const QString& text,
                                   const std::function<std::string(std::string_view)>& conv);

 public slots:
  void MylaitoTSC1Click();
  void AnjaltoTSCII1Click();
  void RomantoTSCII1Click();
  void TSCIItoTAB1Click();
  // A "Convert Fonts Using" item: the font map named by the item.
  void ConvertClick();
  // Applies the font-map file at path to the selection; a file that cannot
  // be read is reported and the document is left as it was.
  void applyFontMap(const QString& path);
  // Tools > Font Conversion: a new font-map editor, modeless, owned by the
  // window. Returns it (tests).
  class TMapForm* FontConversion1Click();

 private:
  ConvertHost host_;
};
