// The preferences dialog.
#include "windows/dialogs/preferences_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "platform/icons.h"
#include "platform/prompts.h"
#include "platform/shortcuts.h"
#include "windows/color_names.h"

namespace {

void setFaceColor(QPushButton* b, const QColor& c) {
  QPalette p = b->palette();
  p.setColor(QPalette::Button, c);
  b->setPalette(p);
  b->setAutoFillBackground(true);
}

}  // namespace

TToolForm::TToolForm(QWidget* parent, TPreferences prefs)
    : QDialog(parent, Qt::Dialog), Prefs_(std::move(prefs)) {
  setObjectName(QStringLiteral("ToolForm"));
  setWindowTitle(QStringLiteral("Tolvan Tools & Preference Settings"));
  setWindowIcon(tolvan::appIcon());
  tolvan::fitTitle(this);  // the long title shown whole
  setModal(false);
  // Closed (Okay or Cancel), it is freed; the frame owns it until then.
  setAttribute(Qt::WA_DeleteOnClose);

  const QString green = QStringLiteral(
      "QGroupBox { border: 1px solid green; border-radius: 3px; margin-top: 1.2em; padding: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }");

  FlatGroupBox1 = new QGroupBox(QStringLiteral("Set Defaults"), this);
  FlatGroupBox1->setObjectName(QStringLiteral("FlatGroupBox1"));
  FlatGroupBox1->setStyleSheet(green);
  BtnPenClr = new QPushButton(QStringLiteral("Set Pen Color"), FlatGroupBox1);
  BtnPenClr->setObjectName(QStringLiteral("BtnPenClr"));
  BtnPaperClr = new QPushButton(QStringLiteral("Set Paper Color"), FlatGroupBox1);
  BtnPaperClr->setObjectName(QStringLiteral("BtnPaperClr"));
  BtnPenClr->setIcon(tolvan::icon(tolvan::IconId::Pen));
  BtnPaperClr->setIcon(tolvan::icon(tolvan::IconId::Paper));
  FontName2 = new QComboBox(FlatGroupBox1);
  FontName2->setObjectName(QStringLiteral("FontName2"));
  FontName2->setEditable(true);
  FontName2->setInsertPolicy(QComboBox::NoInsert);
  FontName2->setMinimumWidth(200);
  QStringList families = QFontDatabase::families();
  families.sort(Qt::CaseInsensitive);
  FontName2->addItems(families);
  // Each entry drawn in its own font.
  for (int i = 0; i < FontName2->count(); ++i)
    FontName2->setItemData(i, QFont(families[i], 11), Qt::FontRole);
  FontName2->setCurrentText(Prefs_.fontName);
  auto* d = new QVBoxLayout(FlatGroupBox1);
  auto* colours = new QHBoxLayout;
  colours->addWidget(BtnPenClr);
  colours->addWidget(BtnPaperClr);
  d->addLayout(colours);
  d->addWidget(FontName2);
  PanelCommands = new QCheckBox(
      QStringLiteral("Encrypt, decrypt and check files from the directory panel"), FlatGroupBox1);
  PanelCommands->setObjectName(QStringLiteral("PanelCommands"));
  PanelCommands->setToolTip(QStringLiteral("The right-click menu of the directory panel"));
  PanelCommands->setChecked(Prefs_.panelCommands && Prefs_.panelCommands());
  d->addWidget(PanelCommands);
  {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("New documents are"), FlatGroupBox1);
    NewEncoding = new QComboBox(FlatGroupBox1);
    NewEncoding->setObjectName(QStringLiteral("NewEncoding"));
    NewEncoding->addItems({QStringLiteral("TSCII"), QStringLiteral("Unicode")});
    NewEncoding->setCurrentIndex(Prefs_.unicodeDocuments && Prefs_.unicodeDocuments() ? 1 : 0);
    label->setBuddy(NewEncoding);
    row->addWidget(label);
    row->addWidget(NewEncoding);
    row->addStretch(1);
    d->addLayout(row);
  }

  FlatGroupBox2 = new QGroupBox(QStringLiteral("Icon Options"), this);
  FlatGroupBox2->setObjectName(QStringLiteral("FlatGroupBox2"));
  FlatGroupBox2->setStyleSheet(green);
  IconBtn = new QPushButton(QStringLiteral("Create Icon on DeskTop"), FlatGroupBox2);
  IconBtn->setObjectName(QStringLiteral("IconBtn"));
  SMBtn = new QPushButton(QStringLiteral("Create Icon on Start Menu"), FlatGroupBox2);
  SMBtn->setObjectName(QStringLiteral("SMBtn"));
  SendToBtn = new QPushButton(QStringLiteral("Create Link in SendTo Menu"), FlatGroupBox2);
  SendToBtn->setObjectName(QStringLiteral("SendToBtn"));
  UninstalBtn = new QPushButton(QStringLiteral("Clear Icons and Links"), FlatGroupBox2);
  UninstalBtn->setObjectName(QStringLiteral("UninstalBtn"));
  auto* icons = new QVBoxLayout(FlatGroupBox2);
  icons->addWidget(IconBtn);
  icons->addWidget(SMBtn);
  icons->addWidget(SendToBtn);
  icons->addSpacing(14);  // set apart from the three
  icons->addWidget(UninstalBtn);

  OkBtn = new QPushButton(QStringLiteral("Okay"), this);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);

  auto* top = new QVBoxLayout(this);
  top->addWidget(FlatGroupBox1);
  top->addWidget(FlatGroupBox2);
  top->addLayout(buttons);

  connect(BtnPenClr, &QPushButton::clicked, this, &TToolForm::BtnPenClrClick);
  connect(BtnPaperClr, &QPushButton::clicked, this, &TToolForm::BtnPaperClrClick);
  connect(OkBtn, &QPushButton::clicked, this, &TToolForm::OkBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TToolForm::CancelBtnClick);
  connect(IconBtn, &QPushButton::clicked, this, &TToolForm::IconBtnClick);
  connect(SMBtn, &QPushButton::clicked, this, &TToolForm::SMBtn1Click);
  connect(SendToBtn, &QPushButton::clicked, this, &TToolForm::SendToBtnClick);
  connect(UninstalBtn, &QPushButton::clicked, this, &TToolForm::UnInstallBtnClick);

  // Closed, it hands the keyboard back to the frame.
  tolvan::returnFocusOnHide(this);

  // Centred on the screen.
  adjustSize();
  if (const QScreen* s = QGuiApplication::primaryScreen())
    move(s->availableGeometry().center() - rect().center());
}

bool TToolForm::pickColor(QColor& chosen) {
  // Not preset: the dialog's own start, then its last choice.
  QColor c = ColorDialogColor_;
  if (!tolvan::Prompts::instance().chooseColor(this, c)) return false;
  ColorDialogColor_ = c;
  chosen = c;
  return true;
}

void TToolForm::BtnPenClrClick() {
  QColor c;
  if (!pickColor(c)) return;
  // In effect at once, for the next document, whatever closes the dialog.
  if (Prefs_.setForeColor) Prefs_.setForeColor(tolvan::nameOfColor(c));
  setFaceColor(BtnPenClr, c);
}

void TToolForm::BtnPaperClrClick() {
  QColor c;
  if (!pickColor(c)) return;
  if (Prefs_.setBackColor) Prefs_.setBackColor(tolvan::nameOfColor(c));
  setFaceColor(BtnPaperClr, c);
}

void TToolForm::OkBtnClick() {
  if (Prefs_.setFontDef) {
    Prefs_.setFontDef(FontName2->currentText());
    if (PanelCommands->isChecked() != (Prefs_.panelCommands && Prefs_.panelCommands()) &&
        Prefs_.setPanelCommands && !Prefs_.setPanelCommands(PanelCommands->isChecked()))
      tolvan::Prompts::instance().error(
          this, QStringLiteral("Cannot write the settings file; the directory panel's file "
                               "commands were not changed."));
    const bool unicode = NewEncoding->currentIndex() == 1;
    if (unicode != (Prefs_.unicodeDocuments && Prefs_.unicodeDocuments()) &&
        Prefs_.setUnicodeDocuments && !Prefs_.setUnicodeDocuments(unicode))
      tolvan::Prompts::instance().error(
          this, QStringLiteral("Cannot write the settings file; new documents stay %1.")
                    .arg(unicode ? QStringLiteral("TSCII") : QStringLiteral("Unicode")));
  }
  close();
}

void TToolForm::CancelBtnClick() { close(); }

QString TToolForm::launcherIcon() {
  if (QIcon::hasThemeIcon(QStringLiteral("tolvan"))) return QStringLiteral("tolvan");
  QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dir.isEmpty()) dir = QDir::homePath() + QStringLiteral("/.local/share");
  const QString path = QDir(dir).filePath(QStringLiteral("Tolvan/tolvan.png"));
  QDir().mkpath(QFileInfo(path).absolutePath());
  tolvan::appIcon().pixmap(64, 64).save(path, "PNG");
  return path;
}

// The callers say nothing, whatever happens.
void TToolForm::IconBtnClick() {
  tolvan::createShortcut(tolvan::ShortcutPlace::Desktop, QCoreApplication::applicationFilePath(),
                         launcherIcon());
}

void TToolForm::SMBtn1Click() {
  tolvan::createShortcut(tolvan::ShortcutPlace::StartMenu, QCoreApplication::applicationFilePath(),
                         launcherIcon());
}

void TToolForm::SendToBtnClick() {
  tolvan::createShortcut(tolvan::ShortcutPlace::SendTo, QCoreApplication::applicationFilePath(),
                         launcherIcon());
}

void TToolForm::UnInstallBtnClick() { tolvan::removeShortcuts(); }
