// The format bar's font box: each family once by its own name, a family
// chosen there draws in its regular face, and only family names reach
// documents, files and the settings.
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolButton>

#include <memory>

#include "core/document/text_encoding.h"
#include "windows/document/edit_form.h"
#include "windows/document/editor.h"
#include "core/settings/settings_keys.h"
#include "platform/fonts.h"
#include "platform/prompts.h"
#include "windows/frame/frame_mdi_area.h"
#include "windows/frame/main_form.h"

namespace {

// The face a piece of text is drawn in, as the layout picks it.
QFont::Style drawnStyle(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  return runs.isEmpty() ? QFont::StyleNormal : runs.first().rawFont().style();
}

bool hasFoundryVariants(const QString& family) {
  for (const QString& f : QFontDatabase::families())
    if (f.startsWith(family + QLatin1String(" ["))) return true;
  return false;
}

}  // namespace

class FontBoxTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  tolvan::ScriptedPrompts prompts_;
  std::unique_ptr<TMainForm> frame_;

  TMainForm* makeFrame(const QByteArray& fontDef) {
    QFile ini(dir_->filePath(QStringLiteral("Tolvan.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return nullptr;
    ini.write("[Tolvan]\r\nTimes=5\r\nFontDef=" + fontDef + "\r\n");
    ini.close();
    frame_ = std::make_unique<TMainForm>(dir_->path());
    return frame_.get();
  }

  static QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  }

 private slots:
  void initTestCase() {
    // As the program does after its first paint.
    tolvan::registerTsciiFonts(QString());
  }

  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    qputenv("TOLVAN_INI", QFile::encodeName(dir_->filePath(QStringLiteral("Tolvan.ini"))));
    prompts_ = tolvan::ScriptedPrompts();
    tolvan::Prompts::setInstance(&prompts_);
  }

  void cleanup() {
    if (frame_) {
      for (TEditForm* f : frame_->EditForms()) f->Editor->document()->setModified(false);
      frame_.reset();
    }
    tolvan::Prompts::setInstance(nullptr);
    dir_.reset();
  }

  void familyWithoutFoundry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::newRow("foundry") << "TSCu_Paranar [MACR]" << "TSCu_Paranar";
    QTest::newRow("foundry with a space") << "Nimbus Sans [URW ]" << "Nimbus Sans";
    QTest::newRow("plain family") << "DejaVu Sans" << "DejaVu Sans";
    QTest::newRow("bracket inside the name") << "Odd [name" << "Odd [name";
    QTest::newRow("only brackets") << "[x]" << "[x]";
    QTest::newRow("empty") << "" << "";
  }
  void familyWithoutFoundry() {
    QFETCH(QString, name);
    QFETCH(QString, family);
    QCOMPARE(tolvan::familyWithoutFoundry(name), family);
  }

  // Every entry a family name, once; no blank entry even without a default
  // font (the box then shows the family documents are drawn in).
  void listsEachFamilyOnce() {
    TMainForm* f = makeFrame("");
    QVERIFY(f);
    f->FontName->showPopup();
    f->FontName->hidePopup();
    QStringList names = items(f->FontName);
    QVERIFY(names.size() > 1);
    for (const QString& n : names) {
      QVERIFY2(!n.trimmed().isEmpty(), "blank entry");
      QVERIFY2(!n.contains(QLatin1String(" [")), qPrintable(n));
    }
    QCOMPARE(names.removeDuplicates(), 0);
    QVERIFY(!f->FontName->currentText().isEmpty());
    if (!tolvan::tsciiFamily().isEmpty()) QVERIFY(names.contains(tolvan::tsciiFamily()));
  }

  // The box offers the fonts the system has for Unicode Tamil beside the
  // TSCII ones.
  void listsTheUnicodeTamilFonts() {
    if (tolvan::unicodeTamilFamily().isEmpty()) QSKIP("no Unicode Tamil font is installed");
    TMainForm* f = makeFrame("");
    QVERIFY(f);
    f->FontName->showPopup();
    f->FontName->hidePopup();
    const QStringList names = items(f->FontName);
    for (const QString& family : tolvan::unicodeTamilFamilies()) QVERIFY2(names.contains(family), qPrintable(family));
    QVERIFY(!tolvan::unicodeTamilFamilies().contains(tolvan::tsciiFamily()));
  }

  // A document that becomes Unicode is drawn in the Unicode Tamil font
  // instead of the TSCII default, and in the TSCII font again when it goes
  // back; a default font the user chose stays either way. The size stays.
  void aUnicodeDocumentIsDrawnInTheUnicodeFont_data() {
    QTest::addColumn<QByteArray>("fontDef");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("TSCII default") << QByteArray("") << true;
    QTest::newRow("a TSCII font chosen") << QByteArray("TSCu_Times") << true;
    QTest::newRow("another font chosen") << QByteArray("DejaVu Sans") << false;
  }
  void aUnicodeDocumentIsDrawnInTheUnicodeFont() {
    QFETCH(QByteArray, fontDef);
    QFETCH(bool, replaced);
    const QString unicodeFamily = tolvan::unicodeTamilFamily();
    if (unicodeFamily.isEmpty()) QSKIP("no Unicode Tamil font is installed");
    TMainForm* f = makeFrame(fontDef);
    QVERIFY(f);
    f->New1Click();
    TEditForm* form = f->ActiveEditForm();
    QVERIFY(form);
    const QFont tscii = form->Editor->document()->defaultFont();
    form->setEncoding(tolvan::TextEncoding::Unicode);
    const QFont unicode = form->Editor->document()->defaultFont();
    QCOMPARE(unicode.family(), replaced ? unicodeFamily : tscii.family());
    QCOMPARE(unicode.pointSize(), tscii.pointSize());
    // Drawn in it: the shaped Tamil comes from that font.
    QTextLayout layout(QString::fromUtf8("\xe0\xae\x95\xe0\xaf\x8a"), unicode);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    if (replaced) QCOMPARE(layout.glyphRuns().first().rawFont().familyName(), unicodeFamily);
    form->setEncoding(tolvan::TextEncoding::Tscii);
    QCOMPARE(form->Editor->document()->defaultFont().family(), tscii.family());
    // A new document made Unicode by the preference gets the same.
    f->settings().writeString(tolvan::Key::NewDocumentEncoding, "Unicode");
    f->New1Click();
    TEditForm* second = f->ActiveEditForm();
    QVERIFY(second->Editor->isUnicode());
    QCOMPARE(second->Editor->document()->defaultFont().family(), replaced ? unicodeFamily : tscii.family());
  }

  // Before the list is ever opened, the closed box already names the family
  // documents are drawn in when no default font is set.
  void closedBoxNamesTheDrawnFamily() {
    TMainForm* f = makeFrame("");
    QVERIFY(f);
    f->FinishStartup();  // what the program does once the window is painted
    const QString drawn = tolvan::familyWithoutFoundry(QFontInfo(QFont(f->DocumentFontFamily())).family());
    QCOMPARE(f->FontName->currentText(), drawn);
    QVERIFY(f->fontDef().isEmpty());  // the default font itself is still unset
  }

  // The same when the window's start-up work ran while the first-start box
  // asking for a default font was still open (a real box runs events, and the
  // start-up timer fires in it).
  void closedBoxNamesTheDrawnFamilyAfterTheBox() {
    prompts_.whileInformation = [] { QTest::qWait(700); };
    TMainForm* f = makeFrame("");
    prompts_.whileInformation = nullptr;
    QVERIFY(f);
    const QString drawn = tolvan::familyWithoutFoundry(QFontInfo(QFont(f->DocumentFontFamily())).family());
    QTRY_COMPARE(f->FontName->currentText(), drawn);
  }

  // Debian's TSCu_Paranar comes from two foundries, one of them with an
  // italic face only: choosing the family draws upright text with the Italic
  // button up, and the RTF file names the family alone.
  void choosingAFamilyGivesItsRegularFace() {
    const QString paranar = QStringLiteral("TSCu_Paranar");
    if (!hasFoundryVariants(paranar)) QSKIP("TSCu_Paranar from several foundries is not installed");
    TMainForm* f = makeFrame("Arial");
    QVERIFY(f);
    f->New1Click();
    TEditForm* form = f->ActiveEditForm();
    QVERIFY(form);
    form->Editor->insertPlainText(QStringLiteral("\xb8\xa1 abc"));
    form->Editor->selectAll();
    f->FontName->showPopup();
    f->FontName->hidePopup();
    int first = -1;
    for (int i = 0; i < f->FontName->count() && first < 0; ++i)
      if (f->FontName->itemText(i).startsWith(paranar)) first = i;
    QVERIFY(first >= 0);
    f->FontName->setCurrentIndex(first);
    emit f->FontName->textActivated(f->FontName->currentText());

    const QTextCharFormat fmt = form->Editor->textCursor().charFormat();
    QCOMPARE(fmt.fontFamilies().toStringList(), QStringList{paranar});
    QVERIFY(!f->ItalicFlatButton->isChecked());
    QCOMPARE(drawnStyle(QStringLiteral("\xb8\xa1"), fmt.font()), QFont::StyleNormal);

    const QString file = dir_->filePath(QStringLiteral("paranar.rtf"));
    prompts_.files.push_back({file});
    form->Saveas1Click();
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray rtf = saved.readAll();
    QVERIFY(rtf.contains(" TSCu_Paranar;}"));
    QVERIFY2(!rtf.contains('['), rtf.constData());
  }

  // A default font saved with a foundry (by an older Tolvan, or by hand) is
  // the family: the Tamil banner is drawn upright, and the settings file
  // gets the family back.
  void defaultFontWithAFoundryIsTheFamily() {
    TMainForm* f = makeFrame("TSCu_Paranar [MACR]");
    QVERIFY(f);
    QCOMPARE(f->fontDef(), QStringLiteral("TSCu_Paranar"));
    QCOMPARE(f->DocumentFontFamily(), QStringLiteral("TSCu_Paranar"));
    if (hasFoundryVariants(QStringLiteral("TSCu_Paranar")))
      QCOMPARE(drawnStyle(QStringLiteral("\xb8\xa1"), TFrameMdiArea::bannerFont(f->fontDef())), QFont::StyleNormal);
  }
};

QTEST_MAIN(FontBoxTest)
#include "font_box_test.moc"
