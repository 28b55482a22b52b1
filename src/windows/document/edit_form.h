// A document window: one MDI child of the frame holding the rich-text editor
// `Editor`, its own menus (merged into the frame's menu bar while it is
// active), its button on the frame's selector bar and its Tamil typing state.
// The window loads and saves plain-text files (TSCII one byte per character,
// Unicode as UTF-8, UTF-16 or UTF-32 in the form the file came in) and RTF files,
// watches its file's folder for outside changes, and sends every character
// key through the Tamil keyboard engines while Tamil mode is on.
#pragma once
#include <QColor>
#include <QList>
#include <QPointer>
#include <QString>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "windows/document/key_dispatch.h"
#include "core/document/encoding_sniff.h"
#include "core/document/text_encoding.h"
#include "core/input/keyboard.h"

class QAction;
class QActionGroup;
class QMdiSubWindow;
class QImage;
class QMenu;
class QPrinter;
class TEditCommands;
class TFindDialog;
class QKeyEvent;
class TDocumentHost;
class TEditor;
class TConvertCommands;

namespace tolvan {
class FolderMonitor;
}

class TEditForm : public QWidget, public TKeyDispatch {
  Q_OBJECT

 public:
  // Makes the window's selector button on the host's selector bar (x = k *
  // 80, y = 2), reads its keyboard settings ("KeyBoard", "TamilMode") and
  // builds its menus. The host adds the window to its MDI area. host may be
  // null (the window then works alone: no button, settings from $TOLVAN_INI).
  explicit TEditForm(TDocumentHost* host, QWidget* parent = nullptr);
  ~TEditForm() override;

  // The document. Its formatting is read and set directly by the format bar.
  TEditor* Editor = nullptr;

  // ---- Life cycle
  // An empty document named "Tolvan<UntitledCounter>" (the frame has already
  // counted it).
  void InitNewDocument();
  // Loads fileName ("txt" plain text, "rtf" RTF, others in the current mode).
  // On failure shows the error, keeps the editor's content and returns false;
  // a window that held no document yet then closes itself. Plain text is
  // recognised as TSCII or Unicode (encoding_sniff.h) unless `as` says which;
  // Unicode asked of a file that is not valid UTF-8, UTF-16 or UTF-32 is refused
  // with a message, the window unchanged.
  enum class OpenAs { Recognised, Tscii, Unicode };
  bool OpenDocumentFile(const QString& fileName, OpenAs as = OpenAs::Recognised);
  // Writes the editor to Title. False (document still modified) when the
  // file could not be written or the user declined.
  bool SaveDocument();

  // ---- File menu commands
 public slots:
  void Save1Click();
  void Saveas1Click();
  void SaveAsText1Click();
  void SaveAll1Click();
  // The file read again from disk as TSCII or as Unicode (a modified
  // document asks Save/Discard/Cancel first).
  void ReopenAsTscii1Click();
  void ReopenAsUnicode1Click();
  void Close1Click();
  void CloseAll1Click();

  // ---- Edit menu commands (also the toolbar's)
  void UnDo1Click();
  void Redo1Click();
  void mmCutClick();
  void mmCopyClick();
  void mmPasteClick();
  void mmDeleteClick();
  void Selectall1Click();
  void Wordwrap1Click();

  // ---- Tools menu: font and colours of the document
  void Font1Click();          // the selection's font (name, size, style, colour)
  void SetPenColor1Click();   // the editor's default text colour
  void SetPaperColor1Click(); // the whole editor's background
  // The whole text encrypted to one line of Base64 with a passphrase, and
  // back; one undo step (edit_form_crypt.cpp).
  void mmEncryptClick();
  void mmDecryptClick();

  // ---- Keyboard menu
  void mmTamilKBClick();
  void mmAnjalKBClick();
  void mmMylaiKBClick();
  void mmTypeKBClick();
  void mmRomanKBClick();

  // The close question alone, so the frame can ask every window before it
  // closes any: a modified document asks "Save changes to ...?" (Yes saves).
  // True when the window may close; that answer then stands for its next
  // close, which does not ask again, unless WithdrawCloseAnswer() drops it.
  bool AskToClose();
  void WithdrawCloseAnswer();

  // Shows (activates) this window; the selector button's click.
  void BtnSpeedClick();

  // ---- Search and output commands (edit_form_commands.cpp)
  void Find1Click();
  void Replace1Click();
  void FindAgain1Click();
  void Email1Click();
  void Print1Click();
  void Printersetup1Click();
  void ExportPdf1Click();
  // The same in the TSCII fonts' look (TSCII documents only).
  void ExportPdfTscii1Click();
  void SetasWallpaper1Click();

 public:
  // The find or replace dialog (made when first asked for; one of each per
  // frame, acting on the active document).
  TFindDialog* findDialog(bool replace);
  // Find or Replace: the dialog opened on this window's selection.
  void openSearch(bool replace);
  // The e-mail command's URL for the whole text.
  QString mailtoUrl() const;
  // Writes the document as a PDF file (fonts embedded); false on failure.
  // A TSCII document's text goes in Unicode Tamil, drawn in the Unicode
  // Tamil font, so the PDF can be searched and copied from; with tsciiLook
  // it is drawn as the window shows it, in the TSCII font.
  bool ExportPdf(const QString& fileName, bool tsciiLook = false);
  // The editor's page as the wallpaper picture, and where it is saved.
  QImage RenderPage() const;
  static QString wallpaperPath();
  // Export as PDF (File menu); Set as WallPaper (the popup menu EditMenu).
  QAction *ExportPdf1 = nullptr, *ExportPdfTscii1 = nullptr, *SetasWallpaper1 = nullptr;

 public:
  // Enables the edit commands of this window's menu, colours the selector
  // button (red while modified) and sends the state of the commands out
  // (the signals below), for the holder's toolbar.
  void UpdateDocumentCommands();
  void SetEditorMargins();
  // Last-write time of the file as a packed DOS date (high 16 bits) and time
  // (low 16 bits); -1 when the file cannot be opened for reading.
  static int GetFileStamp(const QString& fileName);

  // ---- Tamil typing
  bool isTamilMode() const;
  tolvan::Layout layout() const;
  // The key dispatch: the byte the editor should insert for a typed byte
  // (0 for nothing). Runs the layout's engine while Tamil mode is on.
  unsigned char EditorKeyPress(unsigned char key) override;
  bool typesTamil() const override;
  // Delivers ch to the editor as one complete keystroke (press and release,
  // synchronously), through the key preview and EditorKeyPress like a typed
  // key; 0x08 deletes the character before the caret or the selection.
  void SendKeyToEditor(unsigned char ch);
  // A click on the character map's code: a keystroke (SendKeyToEditor) in a
  // TSCII document and for the ASCII codes; in a Unicode document a code
  // from 0x80 up inserts the Unicode the bridge gives for it after the
  // letter before the caret (so a sign clicked before its consonant, as
  // TSCII orders them, makes one letter with it), never a dotted circle,
  // one undo step.
  void CharMapClick(unsigned char code);

  // ---- What the frame shows
  QString Title() const { return Title_; }   // full path, or "Tolvan<n>"
  bool isModified() const;
  int Tag() const { return Tag_; }            // file stamp at load/save
  bool isPlainTextMode() const { return PlainTextMode_; }
  // TSCII or Unicode (the editor keeps it). Setting it does not touch the
  // text; it tells the holder (encodingChanged) when it changes.
  tolvan::TextEncoding encoding() const;
  void setEncoding(tolvan::TextEncoding e);
  // How a Unicode document's plain-text file is written (form and mark, as
  // it came), and the line ending its plain text is written with.
  tolvan::UnicodeForm unicodeForm() const { return UnicodeForm_; }
  QByteArray lineEnding() const { return LineEnding_; }
  // Why the file, which looked like Unicode, was opened as TSCII ("" when
  // it was not).
  QString encodingNote() const { return EncodingNote_; }
  QToolButton* BtnSpeed = nullptr;            // this window's selector button
  // The MDI sub-window holding this form (nullptr before the frame adds it).
  QMdiSubWindow* subWindow() const;

  // Menus merged into the frame's bar: group 0 is File (replaces the frame's
  // File menu); group 1 is Edit, Search, Keyboard, Convert, Tools (inserted
  // before View), in that order.
  QList<QMenu*> MergeMenus(int group) const;
  QMenu *File1 = nullptr, *Edit1 = nullptr, *Search1 = nullptr, *Keyboard1 = nullptr,
        *Convert1 = nullptr, *Tools1 = nullptr;
  // File menu items. ReOpen1 carries the frame's recently-used submenu while
  // this window is active.
  QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *Saveas1 = nullptr,
          *SaveAsText1 = nullptr, *ReopenAsTscii1 = nullptr, *ReopenAsUnicode1 = nullptr, *Email1 = nullptr, *Close1 = nullptr, *CloseAll1 = nullptr,
          *Print1 = nullptr, *Printersetup1 = nullptr, *ReOpen1 = nullptr, *Exit1 = nullptr;
  // Edit menu items.
  QAction *UnDo1 = nullptr, *Redo1 = nullptr, *mmCut = nullptr, *mmCopy = nullptr,
          *mmPaste = nullptr, *mmDelete = nullptr, *Selectall1 = nullptr, *WordWrap1 = nullptr;
  // Keyboard menu items.
  QAction *mmTamilKB = nullptr, *mmAnjalKB = nullptr, *mmMylaiKB = nullptr, *mmTypeKB = nullptr,
          *mmRomanKB = nullptr;
  // Search, Convert and Tools items (the ones other commands will fill in are
  // present but disabled).
  QAction *Find1 = nullptr, *Replace1 = nullptr, *FindAgain1 = nullptr;
  QAction *mmSetFont = nullptr, *mmPenClr = nullptr, *mmPaperClr = nullptr, *mmEncrypt = nullptr,
          *mmDecrypt = nullptr, *FontConversion1 = nullptr, *mmRecKey = nullptr,
          *mmPlayKey = nullptr;
  // The editor's popup menu, and the conversion commands that the Convert
  // menu, the popup menu and its "Convert Fonts Using" submenu share.
  QMenu* EditMenu = nullptr;
  TConvertCommands* ConvertCommands = nullptr;

 signals:
  // Title, caption or modified state changed (selector bar, Window menu).
  void documentChanged(TEditForm* form);
  // The window passed its close query and is going away.
  void documentClosed(TEditForm* form);
  // The state of the edit commands, sent each time UpdateDocumentCommands
  // refreshes them (edits, caret moves, the Edit menu opening): a selection
  // to cut, copy or delete; text on the clipboard to paste; undo and redo
  // steps; unsaved changes.
  void copyAvailable(bool yes);
  void pasteAvailable(bool yes);
  void undoAvailable(bool yes);
  void redoAvailable(bool yes);
  void modificationChanged(bool modified);
  // The document became TSCII or Unicode (status bar).
  void encodingChanged(TEditForm* form);
  // A line for the frame's hint panel (why a file opened as TSCII).
  void statusNote(const QString& text);
  // Tamil mode was switched from this window's Keyboard menu.
  void tamilModeChanged(bool on);
  // The window was resized: the format bar follows the active document.
  void formatChanged();
  // The caret moved or the selection changed; the character format at the
  // caret changed (the frame's position panels and format bar).
  void caretMoved();
  void charFormatChanged();
  // Every key-down, typed or sent, before the editor sees it.
  void keyPreviewed(const QKeyEvent* e);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void buildMenus();
  void setupCommands();
  QPrinter* printer();
  // The window's colour dialog: it starts from the colour last chosen in it.
  bool chooseColor(QColor& chosen);
  TEditCommands* Commands_ = nullptr;
  void readKeyboardSettings();
  void writeKeyboardSettings();
  bool FormCloseQuery();
  void FormClose();
  void FileMonitorChange();
  void startMonitor();
  void stopMonitor();
  void applyDefaultAttributes();
  // The document's default family for its encoding, and the document's
  // default font brought to it when the encoding changed (unless the user
  // chose the font).
  QString defaultFamily() const;
  void applyEncodingFont();
  void removeSelectorButton();
  void setButtonIcon(const QString& path);
  enum class WriteResult { Ok, Failed, NeedsRtf };
  WriteResult writeFile(const QString& path, bool plain);
  bool saveAsWithProposal(const QString& proposal);
  bool handleWriteResult(WriteResult r, const QString& path);
  bool saveTo(const QString& path);
  void EditorChange();
  void EditorSelectionChange();
  QList<TEditForm*> siblingForms() const;
  QString proposedName() const;

  TDocumentHost* Host_ = nullptr;
  QString Title_;
  int Tag_ = -1;
  bool HasFile_ = false;           // a file was loaded or saved (monitor may run)
  bool PlainTextMode_ = false;     // set by Save As Text until the next save
  QByteArray LineEnding_ = "\n";   // line ending of the loaded plain-text file
  tolvan::UnicodeForm UnicodeForm_ = tolvan::UnicodeForm::Utf8;
  QString EncodingNote_;
  bool LoadedAsRtf_ = false;       // the file was read or written as RTF (no reopen in another encoding)
  OpenAs OpenedAs_ = OpenAs::Recognised;  // how the file was last read (a reload reads it so again)
  void updateReopenItems();
  void reopenAs(OpenAs as);
  QString SaveDefaultSuffix_;      // the save dialog's settings (Save As Text
  QString SaveFilter_;             // changes them for later Save As)
  std::unique_ptr<tolvan::FolderMonitor> FileMonitor;
  QActionGroup* LayoutGroup_ = nullptr;
  bool closed_ = false;
  bool asking_ = false;                // the reload question is showing
  bool closeAnswered_ = false;         // AskToClose allowed the next close
  bool LastReportedModified_ = false;
  QPointer<QToolButton> BtnSpeedGuard_;
};
