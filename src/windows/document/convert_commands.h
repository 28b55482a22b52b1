// The document window's conversion commands: the four built-in converters
// and the registered font maps applied to the selection ("Convert" menu, the
// editor's popup menu and its "Convert Fonts Using" submenu).
//
// Every command takes the selection as bytes (a paragraph break is 0x0D, the
// editor's stand-in for byte 0xAD is the byte again), runs it through a
// converter of src/core/convert and puts the result back in place of the selection
// as one undo step. The built-in converters show the hourglass and the busy
// LED while they run and beep at the end; a font map shows none of them. Characters one byte cannot hold (pasted Unicode that is
// not Tamil) are not bytes of any encoding: they stay where they are and the
// text on either side of them is converted.
//
// In a Unicode document the converters that make TSCII give the Unicode form
// of their TSCII result. Mylai and Roman take the selection's ASCII, Anjal
// its characters up to U+00FF (the Anjal font's codes); everything else
// stays as it is (Unicode Tamil already there, and for Mylai and Roman
// accented Latin letters). A font map works on the TSCII form of the
// selection (its Unicode Tamil through the bridge, ASCII, and the characters
// from U+0080 to U+00FF that the map has an entry for as the source font's
// codes) and its result is read as TSCII. TSCII to TAB refuses: it has no
// Unicode form. The Convert menu also converts the whole document between
// TSCII and Unicode (convert_document.cpp).
#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/text_encoding.h"

class QAction;
class QMenu;
class QMimeData;
class QTextDocument;
class QTextDocumentFragment;
class QTextCursor;
class QTextEdit;
class QWidget;
class TConvertTally;

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
  std::function<QString()> title;         // the document's path, or "Tolvan<n>"
  std::function<QByteArray()> lineEnding; // what a plain-text save writes between lines
  // A new untitled document window, as its editor (nullptr when there is no
  // frame to make one).
  std::function<QTextEdit*()> newDocument;
  // The document's encoding (empty: TSCII), and switching it, which tells
  // the window's holder (empty: the document cannot change encoding).
  std::function<tolvan::TextEncoding()> encoding;
  std::function<void(tolvan::TextEncoding)> setEncoding;
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
  // font-map command and for tests and benchmarks. A result that would take
  // the document past its size limit is refused with a message, before it is
  // made when sizeOf (the converter's output size for given bytes) is known;
  // running out of memory is reported too. Either way the document stays as
  // it was and false is returned. Silent leaves out the hourglass, the light
  // and the beep.
  //
  // In a Unicode document input says what reaches conv as bytes (see the
  // file comment); there sizeOf sizes the TSCII result, before the bridge,
  // and the limit holds for it as for the Unicode text made from it.
  enum class Feedback { BusyAndBeep, Silent };
  enum class UnicodeInput {
    Ascii,          // characters up to U+007F; the rest stays
    Bytes,          // characters up to U+00FF; the rest stays
    BytesAndTamil,  // those, and what else TSCII has a code for, as TSCII
  };
  // With BytesAndTamil, takesByte (when set) picks the characters from
  // U+0080 to U+00FF that go in as bytes; the others stay as they are.
  using ByteFilter = std::function<bool(unsigned char)>;
  bool convertSelection(const std::function<std::string(std::string_view)>& conv,
                        const std::function<size_t(std::string_view)>& sizeOf = {},
                        Feedback feedback = Feedback::BusyAndBeep,
                        UnicodeInput input = UnicodeInput::Bytes, const ByteFilter& takesByte = {});
  // The size in characters of convertEditorText's result for text, from the
  // converter's output size.
  static qint64 convertedSize(const QString& text, const std::function<size_t(std::string_view)>& sizeOf);

  // The editor's text (one character per byte, U+2029 and U+2028 as
  // paragraph and line breaks) converted run by run: each run of byte
  // characters goes through conv as bytes with breaks as 0x0D; characters
  // above one byte are kept between the runs. The result is editor text.
  static QString convertEditorText(const QString& text,
                                   const std::function<std::string(std::string_view)>& conv);
  // The same for a Unicode document's text: the runs input picks go through
  // conv as bytes and the TSCII result through the bridge; the other
  // characters are kept between them. convertedUnicodeSize is the size in
  // characters of the TSCII results (from sizeOf) and the characters kept,
  // found without converting: the check before the work.
  static QString convertUnicodeText(const QString& text,
                                    const std::function<std::string(std::string_view)>& conv,
                                    UnicodeInput input, const ByteFilter& takesByte = {});
  static qint64 convertedUnicodeSize(const QString& text, UnicodeInput input,
                                     const std::function<size_t(std::string_view)>& sizeOf,
                                     const ByteFilter& takesByte = {});
  // True when the document is Unicode.
  bool isUnicodeDocument() const;

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

  // ---- Unicode out and in
  // Edit > Export as Unicode Text: the whole document as UTF-8 Unicode Tamil
  // (NFC) in a file the user picks; the document is not changed. What has no
  // exact Unicode form is listed in one message after the file is written.
  // A Unicode document is written as the UTF-8 it holds: a plain copy that,
  // unlike Save As, leaves the document its own file.
  void ExportUnicode1Click();
  // Edit > Import Unicode Text: a UTF-8 file into a new untitled TSCII
  // document, converted to TSCII; the file itself is never written. Not
  // offered in a Unicode document (see updateForEncoding).
  void ImportUnicode1Click();
 public:
  QAction *ExportUnicode1 = nullptr, *ImportUnicode1 = nullptr;
  void addUnicodeItems(QMenu* menu);

  // ---- The whole document (convert_document.cpp)
  // Convert > Convert Document to Unicode / to TSCII: the whole text in
  // place, its formatting kept, and the document's encoding switched, as one
  // undo step that gives back the text and the encoding. To TSCII first
  // lists what TSCII has no code for and changes nothing unless the user
  // agrees. Each item is enabled only in a document of the other encoding.
  QAction *ConvertToUnicode1 = nullptr, *ConvertToTscii1 = nullptr;
  void addDocumentItems(QMenu* menu);
  // Returns true when the document was converted.
  bool convertDocument(tolvan::TextEncoding target);
  // Editor text of a TSCII document (one character per byte) as Unicode, and
  // Unicode text as a TSCII document's characters (what TSCII cannot hold
  // counted in *unmapped: kept when above U+00FF, '?' otherwise). Line
  // separators (U+2028) stay; the text holds no paragraph breaks.
  static QString tsciiToUnicodeText(QStringView text);
  static QString unicodeToTsciiText(QStringView text, TConvertTally* unmapped);
  // Enables the items that fit the document's encoding and names the
  // converters after what they give in it. The window runs it when the
  // encoding changes.
  void updateForEncoding();
 public slots:
  void ConvertToUnicode1Click();
  void ConvertToTscii1Click();
 public:

  // Editor text (as selectedText() gives it: U+2029 and U+2028 for breaks)
  // to UTF-8: the byte characters through the TSCII bridge with lineEnding
  // for every break, other characters as they are. Each distinct remark of
  // the bridge ("0xA0: no character in TSCII, ...") goes to *remarks once,
  // with the number of times it was made.
  static QByteArray editorTextToUtf8(const QString& text, const QByteArray& lineEnding,
                                     QStringList* remarks = nullptr);
  // UTF-8 to editor text: Tamil and what else TSCII has a code for becomes
  // TSCII bytes; a character TSCII cannot hold is kept as it is when above
  // U+00FF (one byte would read as a Tamil letter) and becomes '?' otherwise.
  // Each such character is listed in *unmapped once, with its count.
  // *valid (when given) tells whether utf8 was valid UTF-8.
  static QString utf8ToEditorText(const QByteArray& utf8, QStringList* unmapped = nullptr,
                                  bool* valid = nullptr);
  // The same, counting the characters without a code in *unmapped (which
  // may be shared by several calls).
  static QString utf8ToEditorText(const QByteArray& utf8, TConvertTally* unmapped,
                                  bool* valid = nullptr);
  // Reads path and imports it into a new document; reports a file that
  // cannot be read or is not UTF-8. Returns the new window or nullptr.
  // ---- Clipboard
  // What Copy (and a drag) puts out: the TSCII bytes (paragraph breaks as
  // 0x0D) and the formatted selection under private types that Tolvan's own
  // Paste prefers, and plain text as Unicode Tamil for every other program.
  // A Unicode document's copy is its text as it is: under a private type
  // (UTF-8, exact) for Tolvan's own Paste, and as plain text and HTML for
  // every other program and for TSCII documents, which take it as any
  // Unicode paste.
  static const QString kTsciiMimeType;
  static const QString kRichTextMimeType;
  static const QString kUnicodeMimeType;
  static QMimeData* selectionMimeData(const QTextCursor& selection, bool unicode = false);
  // Pastes into a Unicode document at the cursor: a copy from a Unicode
  // document exactly (with its formatting when that gives the same text), a
  // copy from a TSCII document as the bridge's Unicode of its bytes (with
  // its formatting, Tamil runs in tamilFamilies, where converting run by
  // run gives the same text), anything else as the Unicode it is (HTML
  // with its formatting when rich is true). False when source holds no text.
  static bool insertIntoUnicode(QTextCursor& cursor, const QMimeData* source, bool rich,
                                const QStringList& tamilFamilies);
  // Pastes a Tolvan copy at the cursor, byte for byte, with its formatting
  // when that comes back with the same bytes. False (nothing done) for data
  // that is not a Tolvan copy.
  static bool insertTolvanMimeData(QTextCursor& cursor, const QMimeData* source);
  // HTML from another program as a fragment for the editor: every run of
  // text converted as utf8ToEditorText converts, its format kept; Tamil runs
  // take tamilFamilies (the font the Tamil is typed in) instead of the
  // page's Unicode font. No-break spaces become spaces. What TSCII has no
  // code for goes to *unmapped, as utf8ToEditorText lists it.
  static QTextDocumentFragment htmlToEditorFragment(const QString& html,
                                                    const QTextDocument* resources,
                                                    const QStringList& tamilFamilies,
                                                    QStringList* unmapped);
  // The one box after a paste from another program that held characters
  // TSCII has no code for (nothing when the list is empty).
  static void reportPastedUnmapped(QWidget* parent, const QStringList& unmapped);

  static QTextEdit* importUnicodeFile(QWidget* parent, const QString& path,
                                      const std::function<QTextEdit*()>& newDocument,
                                      const QByteArray* bytesRead = nullptr);

 private:
  ConvertHost host_;
};
