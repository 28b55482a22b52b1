// The preferences dialog: the default pen colour, paper colour and font that
// documents open with, the encoding of new documents, and the shortcuts to
// the program (desktop, menu, the file manager's send-to). Modeless; each command makes a fresh one.
#pragma once
#include <QColor>
#include <QDialog>
#include <QString>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

// What the dialog starts from and what it changes: the program-wide defaults
// its holder keeps.
struct TPreferences {
  QString fontName;                                  // the font box's start
  std::function<bool()> panelCommands;               // the panel's menu is allowed
  std::function<void(const QString&)> setForeColor;  // colour names ("clRed", ...)
  std::function<void(const QString&)> setBackColor;
  // The default font: kept and written to the settings file.
  std::function<void(const QString&)> setFontDef;
  // Allows the panel's menu or not; false when the settings file could not
  // be written.
  std::function<bool(bool)> setPanelCommands;
  // New documents in Unicode (true) or TSCII; the setter writes the settings
  // file and is false when it could not.
  std::function<bool()> unicodeDocuments;
  std::function<bool(bool)> setUnicodeDocuments;
};

class TToolForm : public QDialog {
  Q_OBJECT

 public:
  // Without the holder's defaults (prefs left empty) the dialog changes nothing.
  TToolForm(QWidget* parent, TPreferences prefs);

  QGroupBox *FlatGroupBox1 = nullptr, *FlatGroupBox2 = nullptr;
  QPushButton *BtnPenClr = nullptr, *BtnPaperClr = nullptr;
  QComboBox* FontName2 = nullptr;
  // Lets the directory panel's popup menu (Encrypt, Decrypt, CRC) open; the
  // settings switch the panel has always read, written on Okay.
  QCheckBox* PanelCommands = nullptr;
  // The encoding of new documents: "TSCII" or "Unicode", written on Okay.
  QComboBox* NewEncoding = nullptr;
  QPushButton *IconBtn = nullptr, *SMBtn = nullptr, *SendToBtn = nullptr, *UninstalBtn = nullptr;
  QPushButton *OkBtn = nullptr, *CancelBtn = nullptr;

  // The launcher's icon: the theme's "tolvan" when installed, else the
  // program's icon saved in the user's data folder.
  static QString launcherIcon();

 public slots:
  void BtnPenClrClick();
  void BtnPaperClrClick();
  void OkBtnClick();
  void CancelBtnClick();
  void IconBtnClick();
  void SMBtn1Click();
  void SendToBtnClick();
  void UnInstallBtnClick();

 private:
  bool pickColor(QColor& chosen);
  TPreferences Prefs_;
  QColor ColorDialogColor_ = Qt::black;  // the colour dialog's last choice
};
