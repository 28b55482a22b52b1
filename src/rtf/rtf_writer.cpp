// RTF writer: QTextDocument -> RTF bytes that WordPad, Word, LibreOffice and
// our own reader open with the same text and formatting.
//
// Text is one byte per character: characters up to U+00FF are written as the
// byte they are (0x80-0xFF as \'hh, never as \~ or \-, so the bytes of a
// TSCII font come back unchanged), anything beyond as \uN with a "?"
// fallback. Every font is declared \fcharset0 so no reader re-codes the bytes.
// A Unicode document is written with every character beyond ASCII as \uN
// (one per UTF-16 unit, so a character outside the BMP is a surrogate pair),
// its fallback the Windows-1252 byte where Latin-1 has it and "?" otherwise.
#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cmath>

#include "platform/fonts.h"
#include "rtf/rtf.h"
#include "rtf/rtf_reader_internal.h"
#include "core/version.h"

namespace tolvan::rtf {

namespace {

// Hanging offset of a bulleted paragraph the editor made without one.
constexpr int kDefaultBulletHang = -360;  // twips

class Writer {
 public:
  Writer(const QTextDocument* doc, bool unicode) : doc_(doc), unicode_(unicode) {}
  QByteArray write();

 private:
  void collect();
  int fontIndex(const QTextCharFormat& f) const;
  int colorIndex(const QBrush& b) const;
  void charProps(const QTextCharFormat& f);
  void paraProps(const QTextBlock& block);
  void text(const QString& s);
  void word(const char* w) { out_ += w; needSpace_ = true; }
  void word(const char* w, int n) {
    out_ += w;
    out_ += QByteArray::number(n);
    needSpace_ = true;
  }
  void raw(const char* s) { out_ += s; needSpace_ = false; }
  void newline() {
    // A control word's delimiting space must come straight after it.
    if (needSpace_) out_ += ' ';
    out_ += "\r\n";
    lineStart_ = out_.size();
    needSpace_ = false;
  }
  QString family(const QTextCharFormat& f) const;
  double pointSize(const QTextCharFormat& f) const;

  const QTextDocument* doc_;
  bool unicode_;
  QByteArray out_;
  bool needSpace_ = false;  // the last control word still needs its delimiter
  qsizetype lineStart_ = 0;
  QStringList fonts_;
  QHash<QString, int> fontIds_;
  QList<QColor> colors_;
  QHash<QRgb, int> colorIds_;  // colour -> table index (1-based)
  bool bullets_ = false;
  int symbolFont_ = -1;
};

// The family as the font table names it: never with the foundry Qt adds to
// the name of a family that several foundries make ("TSCu_Paranar [MACR]").
QString Writer::family(const QTextCharFormat& f) const {
  const QStringList fams = f.fontFamilies().toStringList();
  if (!fams.isEmpty() && !fams.first().isEmpty()) return familyWithoutFoundry(fams.first());
  return familyWithoutFoundry(doc_->defaultFont().family());
}

double Writer::pointSize(const QTextCharFormat& f) const {
  if (f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0) return f.fontPointSize();
  const double d = doc_->defaultFont().pointSizeF();
  return d > 0 ? d : 12.0;
}

void Writer::collect() {
  auto addFont = [this](const QString& fam) {
    if (fontIds_.contains(fam)) return;
    fontIds_.insert(fam, static_cast<int>(fonts_.size()));
    fonts_.append(fam);
  };
  addFont(familyWithoutFoundry(doc_->defaultFont().family()));
  auto addColor = [this](const QBrush& b) {
    if (b.style() == Qt::NoBrush) return;
    const QColor c = b.color().toRgb();
    const QColor opaque(c.red(), c.green(), c.blue());
    if (colorIds_.contains(opaque.rgb())) return;
    colors_.append(opaque);
    colorIds_.insert(opaque.rgb(), static_cast<int>(colors_.size()));
  };
  for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
    if (b.textList()) bullets_ = true;
    auto addFormat = [&](const QTextCharFormat& f) {
      addFont(family(f));
      addColor(f.foreground());
      addColor(f.background());
    };
    addFormat(b.charFormat());
    for (auto it = b.begin(); !it.atEnd(); ++it) addFormat(it.fragment().charFormat());
  }
  if (bullets_) {
    // Its own entry even if the document uses a font named Symbol: this one
    // is declared with the symbol charset.
    symbolFont_ = static_cast<int>(fonts_.size());
    fonts_.append(QStringLiteral("Symbol"));
  }
}

int Writer::fontIndex(const QTextCharFormat& f) const { return fontIds_.value(family(f), 0); }

// Colour table index (1-based; 0 is "automatic"), or 0 for no colour.
int Writer::colorIndex(const QBrush& b) const {
  if (b.style() == Qt::NoBrush) return 0;
  const QColor c = b.color().toRgb();
  return colorIds_.value(QColor(c.red(), c.green(), c.blue()).rgb(), 0);
}

void Writer::charProps(const QTextCharFormat& f) {
  word("\\plain\\f", fontIndex(f));
  word("\\fs", static_cast<int>(std::lround(pointSize(f) * 2)));
  if (f.fontWeight() > QFont::Medium) word("\\b");
  if (f.fontItalic()) word("\\i");
  if (f.fontUnderline()) word("\\ul");
  if (f.fontStrikeOut()) word("\\strike");
  if (const int fg = colorIndex(f.foreground())) word("\\cf", fg);
  if (const int bg = colorIndex(f.background())) {
    // Word shows \highlight, WordPad and LibreOffice read \cb or \chcbpat.
    word("\\chcbpat", bg);
    word("\\cb", bg);
    word("\\highlight", bg);
  }
}

void Writer::paraProps(const QTextBlock& block) {
  const QTextBlockFormat bf = block.blockFormat();
  word("\\pard");
  const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
  if (a & Qt::AlignHCenter)
    word("\\qc");
  else if (a & Qt::AlignJustify)
    word("\\qj");
  else if (a & (Qt::AlignRight))
    word("\\qr");
  else
    word("\\ql");
  QTextList* list = block.textList();
  int li, fi;
  if (list) {
    li = pixelsToTwips(bf.leftMargin() + doc_->indentWidth() * std::max(1, list->format().indent()));
    fi = bf.hasProperty(kBulletHangProperty) ? bf.intProperty(kBulletHangProperty)
         : bf.textIndent() < 0             ? pixelsToTwips(bf.textIndent())
                                           : kDefaultBulletHang;
    fi = std::max(fi, -std::max(li, 0));  // the bullet never goes left of the page margin
  } else {
    li = pixelsToTwips(bf.leftMargin());
    fi = pixelsToTwips(bf.textIndent());
  }
  const int ri = pixelsToTwips(bf.rightMargin());
  if (fi) word("\\fi", fi);
  if (li) word("\\li", li);
  if (ri) word("\\ri", ri);
  if (list) {
    // The bullet in the two forms readers understand: \pn (WordPad and older
    // readers; \pntext is its fallback text) and the list table (\ls).
    word("\\ls1\\ilvl0");
    raw("{\\pntext\\f");
    word("", symbolFont_);
    raw("\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf");
    word("", symbolFont_);
    raw("\\pnindent0{\\pntxtb\\'b7}}");
  }
}

void Writer::text(const QString& s) {
  static const char kHex[] = "0123456789abcdef";
  for (qsizetype i = 0; i < s.size(); ++i) {
    const char16_t c = s[i].unicode();
    // Producers and readers do not care where source lines break, but some
    // tools do not like very long lines.
    if (out_.size() - lineStart_ > 250 && (c == ' ' || out_.size() - lineStart_ > 400)) newline();
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}') {
      if (needSpace_) out_ += ' ';
      needSpace_ = false;
      out_ += static_cast<char>(c);
    } else if (c == '\\' || c == '{' || c == '}') {
      out_ += '\\';
      out_ += static_cast<char>(c);
      needSpace_ = false;
    } else if (c == '\t') {
      word("\\tab");
    } else if (c == 0x2028) {
      word("\\line");
    } else if (unicode_) {
      word("\\u", static_cast<int>(static_cast<int16_t>(c)));
      if (c >= 0xA0 && c <= 0xFF) {
        out_ += "\\'";
        out_ += kHex[c >> 4];
        out_ += kHex[c & 15];
        needSpace_ = false;
      } else {
        raw("?");
      }
    } else if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) {
      // Windows-1252 has no character for these five bytes (Tamil digits in
      // TSCII) and LibreOffice drops a bare \'81. Its own form is the
      // private-use character U+F181 with the byte as fallback; readers
      // without \u still get the byte.
      word("\\u", 0xF100 + c - 0x10000);
      out_ += "\\'";
      out_ += kHex[c >> 4];
      out_ += kHex[c & 15];
      needSpace_ = false;
    } else if (c < 0x100) {
      out_ += "\\'";
      out_ += kHex[c >> 4];
      out_ += kHex[c & 15];
      needSpace_ = false;
    } else {
      // \uN takes a signed 16-bit N; one "?" as fallback (\uc1).
      word("\\u", static_cast<int>(static_cast<int16_t>(c)));
      raw("?");
    }
  }
}

QByteArray Writer::write() {
  collect();
  out_.reserve(doc_->characterCount() * 11 / 10 + 1024);
  raw("{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1");
  newline();
  raw("{\\fonttbl");
  for (qsizetype i = 0; i < fonts_.size(); ++i) {
    raw("{\\f");
    word("", static_cast<int>(i));
    word(static_cast<int>(i) == symbolFont_ ? "\\ftech\\fcharset2" : "\\fnil\\fcharset0");
    text(fonts_[i]);
    raw(";}");
  }
  raw("}");
  newline();
  raw("{\\colortbl;");
  for (const QColor& c : colors_) {
    word("\\red", c.red());
    word("\\green", c.green());
    word("\\blue", c.blue());
    raw(";");
  }
  raw("}");
  newline();
  if (bullets_) {
    raw("{\\*\\listtable{\\list\\listtemplateid1\\listsimple{\\listlevel\\levelnfc23\\levelnfcn23"
        "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0\\levelindent0"
        "{\\leveltext\\'01\\'b7;}{\\levelnumbers;}\\f");
    word("", symbolFont_);
    raw("}\\listid1}}");
    newline();
    raw("{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}");
    newline();
  }
  // A generator group keeps LibreOffice from treating runs of spaces as
  // Word's layout spaces.
  raw("{\\*\\generator Tolvan ");
  out_ += tolvan::kVersion;
  raw(";}");
  newline();
  for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
    paraProps(b);
    bool any = false;
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      if (!frag.isValid() || frag.length() == 0) continue;
      charProps(frag.charFormat());
      text(frag.text());
      any = true;
    }
    if (!any) charProps(b.charFormat());  // an empty paragraph keeps its font and size
    word("\\par");
    newline();
  }
  raw("}");
  newline();
  return out_;
}

}  // namespace

QByteArray writeRtf(const QTextDocument* doc, TextEncoding encoding) {
  Writer w(doc, encoding == TextEncoding::Unicode);
  return w.write();
}

}  // namespace tolvan::rtf
