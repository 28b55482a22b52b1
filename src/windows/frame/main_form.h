// The main frame window: it owns the settings store, the menus, the toolbar,
// the selector bar, the format bar, the status bar and the MDI area in which
// the document windows (TEditForm) live. One instance per run; the windows
// it holds know it only as their TDocumentHost.
#pragma once
#include <QColor>
#include <QIcon>
#include <QList>
#include <QRect>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "windows/document/document_host.h"
#include "windows/color_names.h"
#include "core/settings/profile_file.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QComboBox;
class QKeyEvent;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSpinBox;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QToolButton;
class QDockWidget;

class TCharMap;
class TEditForm;
class TLed;
class TDirPanel;
class TCryptCommands;
class TFrameMdiArea;

namespace tolvan {
class Settings;
class RecentFiles;
}  // namespace tolvan

class TMainForm : public QMainWindow, public TDocumentHost {
  Q_OBJECT

 public:
  // programDir: the folder of the executable (the settings file lives there
  // unless TOLVAN_INI or the fallback folder says otherwise); empty means
  // QCoreApplication::applicationDirPath().
  explicit TMainForm(const QString& programDir = QString(), QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- Settings store (section [Tolvan]; every access opens and closes the file)
  tolvan::ProfileFile& profile() { return *Place1; }
  tolvan::Settings& settings() override { return *Settings_; }
  // The recently-used list; AddRecentFile also refreshes the ReOpen submenu.
  tolvan::RecentFiles& recentFiles() { return *RecentFiles_; }
  void AddRecentFile(const QString& path);
  QString ProgramDir() const { return ProgramDir_; }

  // ---- Program-wide defaults (read at start-up, written at exit), read
  // here and by the documents through the host; the preferences change them
  // through the setters.
  QString fontDef() const { return FontDef; }  // empty: the TSCII font is used
  QString viewer() const { return Viewer; }    // which bars show ("11110")
  void setForeColor(const QString& name) { ForeColor = name; }
  void setBackColor(const QString& name) { BackColor = name; }
  // The default font's name, written to the settings at once.
  void setFontDef(const QString& name);
  // True while the format bar is refreshed from the editor; format commands
  // do nothing while it is set.
  bool FormatBarUpdating = false;

  // Colour names and numbers (see shell/color_names.h).
  static QColor StringToColor(const QString& text) { return tolvan::colorFromName(text); }
  static QString ColorToString(const QColor& c) { return tolvan::nameOfColor(c); }
  static QColor ValueToColor(quint32 value) { return tolvan::colorFromValue(value); }
  static quint32 colorValueOf(const QColor& c) { return tolvan::valueOfColor(c); }
  // The font family a document uses for FontDef (the TSCII font when empty).
  QString DocumentFontFamily() const;
  // The format bar's size box value (8..100, initially 10).
  int FontSizeValue() const;

  // ---- What the document windows read and ask for (TDocumentHost)
  QString defaultForeColor() const override { return ForeColor; }
  QString defaultBackColor() const override { return BackColor; }
  QString defaultFontFamily() const override { return DocumentFontFamily(); }
  int defaultFontSize() const override { return FontSizeValue(); }
  QString workDir() const override { return WorkDir; }
  int untitledNumber() const override { return UntitledCounter; }
  QWidget* hostWindow() override { return this; }
  QWidget* selectorBar() override { return FileTab; }
  TEditForm* activeDocument() const override { return ActiveEditForm(); }
  QList<TEditForm*> documents() const override { return EditForms(); }
  void setWorkDir(const QString& dir) override { WorkDir = dir; }
  void addRecentFile(const QString& path) override { AddRecentFile(path); }
  TEditForm* newDocument() override;
  void openDocument() override { Open1Click(); }
  void exitProgram() override { Exit1Click(); }
  void showHelp() override { Contents1Click(); }
  bool closeAllDocuments() override { return CloseAllDocuments(); }
  void setBusy(bool on) override { SetBusy(on); }
  bool encryptText(const QByteArray& text, QByteArray& out) override { return EncryptText(text, out); }
  bool decryptText(const QByteArray& text, QByteArray& out) override { return DecryptText(text, out); }

  // ---- Document windows
  QMdiArea* MdiArea() const;
  // Creates a document window owned by the frame, adds it to the MDI area and
  // shows it maximised (TEditForm's constructor makes its selector button).
  TEditForm* CreateEditForm();
  TEditForm* ActiveEditForm() const;       // nullptr when none
  QList<TEditForm*> EditForms() const;     // in creation order
  // Opens each path in a new document window (command line, hand-over, drops).
  void OpenFiles(const QStringList& paths, bool addToRecent = false);
  // Asks every window in `order` to close (the save question of each
  // modified one) and closes them only when all agree; false when any
  // refused, and then none is closed.
  bool CloseDocuments(const QList<TEditForm*>& order);
  // Close All: every document window, asked last to first.
  bool CloseAllDocuments();
  // Files dropped on the frame, in the order the drop gives them.
  void DropFiles(const QStringList& files);

  // ---- Selector bar: TEditForm puts one 80x20 button per document into it
  // at x = k * 80, y = 2.
  QWidget* FileTab = nullptr;

  // ---- Toolbar buttons (QActions in ToolBar). UpdateDocumentCommands of the
  // active document enables the edit ones; BtnTamil is checkable.
  QToolBar* ToolBar = nullptr;
  QAction *BtnNew = nullptr, *BtnOpen = nullptr, *BtnSave = nullptr, *BtnPrint = nullptr,
          *BtnEmail = nullptr, *BtnCut = nullptr, *BtnCopy = nullptr, *BtnPaste = nullptr,
          *BtnDelete = nullptr, *BtnUndo = nullptr, *BtnRedo = nullptr, *BtnFind = nullptr,
          *BtnReplace = nullptr, *BtnTamil = nullptr, *BtnKeyboard = nullptr, *BtnDir = nullptr,
          *BtnPen = nullptr, *BtnPaper = nullptr, *BtnFont = nullptr, *BtnEncrypt = nullptr,
          *BtnDecrypt = nullptr, *BtnHelp = nullptr;

  // ---- Frame menu items
  QMenu *File1 = nullptr, *View1 = nullptr, *Window1 = nullptr, *Help1 = nullptr;
  QAction *New1 = nullptr, *Open1 = nullptr, *ReOpen1 = nullptr, *Exit1 = nullptr;
  QAction *mmToolBar = nullptr, *mmFormatBar = nullptr, *mmStatusBar = nullptr,
          *mmSelectorBar = nullptr, *mmDirPanel = nullptr, *mmASCIIMap = nullptr,
          *Preferences1 = nullptr;
  QAction *Tile1 = nullptr, *Cascade1 = nullptr, *ArrangeIcons1 = nullptr;
  QAction *Contents1 = nullptr, *Email1 = nullptr, *Tolvanwebsite1 = nullptr, *About1 = nullptr;
  // The recently-used submenu, attached to the ReOpen item of whichever File
  // menu is showing (the frame's or the active document's).
  QMenu* RecentMenu = nullptr;
  QMenu *PenMenu = nullptr, *PaperMenu = nullptr;

  // ---- Format bar
  QWidget* FormatPanel = nullptr;
  QComboBox* FontName = nullptr;
  QSpinBox* FontSize = nullptr;
  QToolButton *BoldFlatButton = nullptr, *ItalicFlatButton = nullptr,
              *UnderlineFlatButton = nullptr, *LeftAlignFlat = nullptr,
              *CenterAlignFlat = nullptr, *RightAlignFlat = nullptr,
              *FlatSpeedButton1 = nullptr, *BulletsFlatButton = nullptr;

  // ---- Status bar: eight panels, 0 holds the LED, 6 the hints, 7 the
  // active document's encoding
  QStatusBar* SB = nullptr;
  TLed* Light = nullptr;
  QString PanelText(int index) const;
  void SetPanelText(int index, const QString& text);
  // LED on (red) while a file is loaded or saved or text converted.
  void SetBusy(bool on);

  // ---- Directory panel (the dock) and its content; the file and text
  // encryption commands (main_form_crypt.cpp)
  QDockWidget* DirPanel = nullptr;
  TDirPanel* DirTree = nullptr;
  TCryptCommands* CryptCommands = nullptr;
  // The text routines of the document's Tools > Encrypt / Decrypt: ask for
  // the passphrase and run the shared cipher; false when cancelled.
  // DecryptText throws tolvan::CryptoError for text that is not whole Base64.
  bool EncryptText(const QByteArray& text, QByteArray& out);
  bool DecryptText(const QByteArray& text, QByteArray& out);

  // ---- Character map (bottom panel) and its preview label
  TCharMap* Fontpanel = nullptr;
  QLabel* CharLabel = nullptr;

  // ---- Refreshes
  // Panels 3..5 (Insert/Overwrite, CAP, NUM). Called with every key-down the
  // frame or a document window previews; the event lets the frame follow the
  // Insert, Caps Lock and Num Lock toggles.
  void UpdateKeyStatePanels(const QKeyEvent* keyDown = nullptr);
  // Where Caps Lock and Num Lock are read from (X11 by default); returns
  // false when it cannot tell, and the frame then follows the key presses.
  void SetLockStateReader(std::function<bool(bool& caps, bool& num)> reader);
  void UpdateControls();
  void UpdateActiveSettings();
  // Format bar from the active editor (never writes back into it).
  void SelectionChange();
  // Panels 1 and 2 from the active editor's caret.
  void UpdatePositionPanels();
  // Menu bar: the frame's menus, or with a document active its File, Edit,
  // Search, Keyboard, Convert and Tools menus merged in before View.
  void RebuildMenuBar();
  void ApplyViewerFlags();
  // The start-up work that waits for the first paint (the start count and
  // date writes). Runs once, from the event loop or at the latest at close.
  void FinishStartup();
  // The banner for a default font: a Tamil line in TSCII for a TSCII font
  // ("TSC" in its name), in TAB for a TAB font, else the English line.
  static QString ChooseBannerText(const QString& fontDef);
  // The open dialog's file types.
  static QString OpenFilter();
  // Tolvan.txt in the current folder, else beside the program; empty if none.
  QString FindHelpFile() const;
  // True when the settings switch lets the directory panel's file menu open.
  bool EncMenuEnabled() const { return EncMenuEnabled_; }
  // Sets the switch in the settings file (its expected value, or empty) and
  // lets the panel's menu open, or not, from now on; false when the settings
  // file could not be written (nothing then changes).
  bool SetEncMenuEnabled(bool on);
  bool viewerFlag(int position) const;
  // Panel texts: "Line: 1,234 Col: 5" and "1,234" (digits grouped).
  static QString FormatLineCol(int line, int col);
  static QString FormatCharIndex(int index);
  // The whole editor's paper colour.
  static void SetEditorBackground(QTextEdit* editor, const QColor& color);
  // A bulleted paragraph's following lines hang at least this far in.
  static constexpr double kBulletHangPoints = 10.0;
  // ReOpen entries wider than this show their path shortened in the middle.
  static constexpr int kMaxRecentTextWidth = 600;

  // ---- Commands
 public slots:
  void New1Click();
  void Open1Click();
  void Exit1Click();
  void RecentFilesClick(const QString& path);
  void Tile1Click();
  void Cascade1Click();
  void ArrangeIcons1Click();
  void Contents1Click();
  void Email1Click();
  void Tolvanwebsite1Click();
  void About1Click();
  void mmToolBarClick();
  void mmFormatBarClick();
  void mmStatusBarClick();
  void mmSelectorBarClick();
  void mmDirPanelClick();
  // Routed toolbar commands: act on the active document window, or do nothing.
  void ButtonSaveClick();
  void ButtonCutClick();
  void ButtonCopyClick();
  void ButtonPasteClick();
  void ButtonDeleteClick();
  void ButtonUndoClick();
  void ButtonRedoClick();
  void BtnTamilClick();
  void BtnPenClick();
  void BtnPaperClick();
  void mmSetFontClick();
  // Encryption: the toolbar's text commands on the active document, and the
  // directory panel's file commands on its selected file.
  void BtnEncryptClick();
  void BtnDecryptClick();
  void Encrypt2Click();
  void Decrypt2Click();
  void CRCClick();
  // Routed search and output commands, the character map and preferences
  // (main_form_tools.cpp).
  void ButtonPrintClick();
  void ButtonEmailClick();
  void ButtonFindClick();
  void BtnReplaceClick();
  void mmASCIIMapClick();
  void BtnFClick(unsigned char code);
  void Preferences1Click();
  // Format commands
  void FontNameChange();
  void FontSizeChange();
  void BoldFlatButtonClick();
  void ItalicFlatButtonClick();
  void UnderlineFlatButtonClick();
  void LeftAlignFlatClick(int tag);
  void BulletsFlatButtonClick();
  void PenItemClick(QAction* item);
  void PaperItemClick(QAction* item);

 signals:
  // The active document window changed (nullptr: none).
  void activeEditFormChanged(TEditForm* form);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  QMenu* createPopupMenu() override { return nullptr; }

 private:
  void FormCreate();
  void FormClose();
  void buildActions();
  void buildMenus();
  void buildToolBar();
  void buildFormatBar();
  void buildStatusBar();
  void buildColorMenus();
  void buildDirPanel();
  void buildTools();
  void refreshRecentMenu();
  void populateFontNames();
  void RestorePlacement();
  // The frame (border and title bar included) moved and shrunk onto the
  // screen's free area where it sticks out.
  void FitFrameToScreen(int attempt);
  // The normal placement as stored: the outer corner and the inner size.
  QRect PlacementRect() const;
 public:
  // A stored normal rectangle fitted to a screen's free area: at least
  // `least` (or the whole area when that is smaller), at most the area, and
  // moved wholly onto it.
  static QRect FitPlacement(const QRect& stored, const QRect& avail, const QSize& least);

 private:
  void SavePlacement();
  void attachRecentMenu(QAction* owner);
  void fillWindowMenu();
  void connectEditor(TEditForm* form);
  // The toolbar follows a document's signals while it is the active one (or
  // while none is active yet).
  void watchDocument(TEditForm* form);
  bool feedsToolbar(const TEditForm* form) const;
  void updateFrameTitle();
  void onEditorCursorMoved();
  void setViewerFlag(int position, bool on);
  QTextEdit* activeEditor() const;
  // The editor the format commands act on: none without a document window.
  QTextEdit* formatTarget() const;
  void PenMenuPopup();
  void PaperMenuPopup();
  void ShowHint(const QString& text);
  // Panel 7 from the active document: "TSCII" or "Unicode" (its tooltip
  // says how a Unicode file is written).
  void UpdateEncodingPanel();
  void onSubWindowActivated(QMdiSubWindow* w);
  void raiseOwnedDialogs();

  // The program-wide defaults (see fontDef() and the host's accessors).
  QString ForeColor = QStringLiteral("clBlack");
  QString BackColor = QStringLiteral("clWhite");
  QString FontDef;
  QString Viewer = QStringLiteral("11110");   // which bars show, one '0'/'1' each
  QString WorkDir;                            // with a trailing '/'
  QString BannerText;
  int UntitledCounter = 0;                    // the last untitled document's number

  QString ProgramDir_;
  QRect RestoredRect_;  // the stored placement as fitted at start (invalid: none)
  QString OpenDir_;  // WorkDir as read at start-up
  std::unique_ptr<tolvan::ProfileFile> Place1;
  std::unique_ptr<tolvan::Settings> Settings_;
  std::unique_ptr<tolvan::RecentFiles> RecentFiles_;
  TFrameMdiArea* Mdi_ = nullptr;
  QLabel* Panels_[8] = {};
  QButtonGroup* AlignGroup_ = nullptr;
  QAction* ReOpenOwner_ = nullptr;     // the ReOpen item RecentMenu hangs on
  TEditForm* ConnectedForm_ = nullptr; // whose caret and format signals feed the bars
  TEditForm* LastActive_ = nullptr;    // the form the menu bar was built for
  bool menuStale_ = false;             // that form is going: rebuild anyway
  bool EncMenuEnabled_ = false;
  QList<TEditForm*> Forms_;            // open document windows, creation order
  bool fontNamesFilled_ = false;
  bool insertOn_ = false, capsOn_ = false, numOn_ = false;
  std::function<bool(bool&, bool&)> LockStateReader_;
  const QKeyEvent* lastKeyEvent_ = nullptr;  // the key-down last counted
  quint64 lastKeyTime_ = 0;
  QString HintFamily_;                        // tooltip font
  bool closing_ = false;
  bool startupFinished_ = false;  // FinishStartup has run at least once
  bool raisingDialogs_ = false;  // a re-raise of the open dialogs is queued
  std::vector<std::function<void()>> Deferred_;
};
