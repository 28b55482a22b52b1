// RTF reader: RTF bytes -> QTextDocument.
//
// Two stages. The parser walks the tokens with a stack of group states and
// collects the document into a small model (one text buffer, runs of one
// character format, paragraphs). Only when the whole file has parsed without
// error is the QTextDocument cleared and rebuilt from the model, so a bad file
// never leaves a half-loaded document behind.
//
// Text is one character per byte: a raw byte or \'hh gives the character
// with that value, whatever code page or font charset the file declares.
// \uN characters are mapped back to bytes where other programs wrote a byte
// that way (Windows-1252 punctuation, private-use bytes of symbol fonts) and
// Unicode Tamil is converted to TSCII. Read into a Unicode document, \uN
// characters stay as they are and the file's bytes are Windows-1252.
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/convert/unicode_bridge.h"
#include "platform/fonts.h"
#include "rtf/rtf.h"
#include "rtf/rtf_reader_internal.h"
#include "rtf/rtf_tokenizer.h"

namespace tolvan::rtf {

namespace {

// ---------------------------------------------------------------------------
// Control words.

enum class Kind : uint8_t {
  Dest,         // starts a destination; arg is a Dest
  Flag,         // character flag; arg is a Flag; parameter 0 turns it off
  UnderlineOff,
  Font, FontSize, Foreground, Background, Plain,
  Pard, Align, LeftIndent, RightIndent, FirstIndent, ListId,
  Par, Line, Tab, Break,  // Break: page, section or column break
  Cell, Row,
  Char,  // arg is a Unicode code point
  Unicode, UcSkip,
  Red, Green, Blue,
  PnBullet, PnNumbered,
  DefaultFont,
  ListStart, ListLevel, LevelNfc, ListIdDef,  // list table entries
};

enum class Dest : uint8_t { Body, Skip, FontTable, ColorTable, Label, PnProps, ListTable, ListOverrides };

enum Flag : uint8_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrike = 8, kHidden = 16 };

struct Word {
  std::string_view name;
  Kind kind;
  int arg;
};

constexpr int D(Dest d) { return static_cast<int>(d); }

// Every control word the reader acts on. Anything else is ignored; an unknown
// word after \* skips its whole group.
constexpr Word kWords[] = {
    // Destinations whose text never reaches the body.
    {"fonttbl", Kind::Dest, D(Dest::FontTable)},
    {"colortbl", Kind::Dest, D(Dest::ColorTable)},
    {"stylesheet", Kind::Dest, D(Dest::Skip)},
    {"info", Kind::Dest, D(Dest::Skip)},
    {"pict", Kind::Dest, D(Dest::Skip)},
    {"object", Kind::Dest, D(Dest::Skip)},
    {"objdata", Kind::Dest, D(Dest::Skip)},
    {"nonshppict", Kind::Dest, D(Dest::Skip)},
    {"shp", Kind::Dest, D(Dest::Skip)},
    {"shpinst", Kind::Dest, D(Dest::Skip)},
    {"header", Kind::Dest, D(Dest::Skip)},
    {"headerl", Kind::Dest, D(Dest::Skip)},
    {"headerr", Kind::Dest, D(Dest::Skip)},
    {"headerf", Kind::Dest, D(Dest::Skip)},
    {"footer", Kind::Dest, D(Dest::Skip)},
    {"footerl", Kind::Dest, D(Dest::Skip)},
    {"footerr", Kind::Dest, D(Dest::Skip)},
    {"footerf", Kind::Dest, D(Dest::Skip)},
    {"footnote", Kind::Dest, D(Dest::Skip)},
    {"annotation", Kind::Dest, D(Dest::Skip)},
    {"atnid", Kind::Dest, D(Dest::Skip)},
    {"atnauthor", Kind::Dest, D(Dest::Skip)},
    {"fldinst", Kind::Dest, D(Dest::Skip)},
    {"xe", Kind::Dest, D(Dest::Skip)},
    {"tc", Kind::Dest, D(Dest::Skip)},
    {"txe", Kind::Dest, D(Dest::Skip)},
    {"rxe", Kind::Dest, D(Dest::Skip)},
    {"listtable", Kind::Dest, D(Dest::ListTable)},
    {"listoverridetable", Kind::Dest, D(Dest::ListOverrides)},
    {"revtbl", Kind::Dest, D(Dest::Skip)},
    {"rsidtbl", Kind::Dest, D(Dest::Skip)},
    {"generator", Kind::Dest, D(Dest::Skip)},
    {"filetbl", Kind::Dest, D(Dest::Skip)},
    {"template", Kind::Dest, D(Dest::Skip)},
    {"ftnsep", Kind::Dest, D(Dest::Skip)},
    {"ftnsepc", Kind::Dest, D(Dest::Skip)},
    {"ftncn", Kind::Dest, D(Dest::Skip)},
    {"aftnsep", Kind::Dest, D(Dest::Skip)},
    {"aftnsepc", Kind::Dest, D(Dest::Skip)},
    {"aftncn", Kind::Dest, D(Dest::Skip)},
    {"bkmkstart", Kind::Dest, D(Dest::Skip)},
    {"bkmkend", Kind::Dest, D(Dest::Skip)},
    {"title", Kind::Dest, D(Dest::Skip)},
    {"subject", Kind::Dest, D(Dest::Skip)},
    {"author", Kind::Dest, D(Dest::Skip)},
    {"operator", Kind::Dest, D(Dest::Skip)},
    {"keywords", Kind::Dest, D(Dest::Skip)},
    {"comment", Kind::Dest, D(Dest::Skip)},
    {"doccomm", Kind::Dest, D(Dest::Skip)},
    {"company", Kind::Dest, D(Dest::Skip)},
    {"pgdsctbl", Kind::Dest, D(Dest::Skip)},
    {"latentstyles", Kind::Dest, D(Dest::Skip)},
    {"themedata", Kind::Dest, D(Dest::Skip)},
    {"colorschememapping", Kind::Dest, D(Dest::Skip)},
    {"datastore", Kind::Dest, D(Dest::Skip)},
    {"xmlnstbl", Kind::Dest, D(Dest::Skip)},
    {"falt", Kind::Dest, D(Dest::Skip)},
    {"panose", Kind::Dest, D(Dest::Skip)},
    {"leveltext", Kind::Dest, D(Dest::Skip)},
    {"levelnumbers", Kind::Dest, D(Dest::Skip)},
    // List labels: kept aside, then either a bullet or text (see finishLabel).
    {"pntext", Kind::Dest, D(Dest::Label)},
    {"listtext", Kind::Dest, D(Dest::Label)},
    {"pn", Kind::Dest, D(Dest::PnProps)},
    // Character formatting.
    {"b", Kind::Flag, kBold},
    {"i", Kind::Flag, kItalic},
    {"strike", Kind::Flag, kStrike},
    {"striked", Kind::Flag, kStrike},
    {"v", Kind::Flag, kHidden},
    {"ul", Kind::Flag, kUnderline},
    {"uld", Kind::Flag, kUnderline},
    {"uldb", Kind::Flag, kUnderline},
    {"uldash", Kind::Flag, kUnderline},
    {"uldashd", Kind::Flag, kUnderline},
    {"uldashdd", Kind::Flag, kUnderline},
    {"ulhwave", Kind::Flag, kUnderline},
    {"ulldash", Kind::Flag, kUnderline},
    {"ulth", Kind::Flag, kUnderline},
    {"ulthd", Kind::Flag, kUnderline},
    {"ulthdash", Kind::Flag, kUnderline},
    {"ulthdashd", Kind::Flag, kUnderline},
    {"ulthdashdd", Kind::Flag, kUnderline},
    {"ulthldash", Kind::Flag, kUnderline},
    {"ululdbwave", Kind::Flag, kUnderline},
    {"ulw", Kind::Flag, kUnderline},
    {"ulwave", Kind::Flag, kUnderline},
    {"ulnone", Kind::UnderlineOff, 0},
    {"f", Kind::Font, 0},
    {"fs", Kind::FontSize, 0},
    {"cf", Kind::Foreground, 0},
    {"cb", Kind::Background, 0},
    {"chcbpat", Kind::Background, 0},
    {"highlight", Kind::Background, 0},
    {"plain", Kind::Plain, 0},
    {"deff", Kind::DefaultFont, 0},
    // Paragraph formatting.
    {"pard", Kind::Pard, 0},
    {"ql", Kind::Align, 0},
    {"qr", Kind::Align, 1},
    {"qc", Kind::Align, 2},
    {"qj", Kind::Align, 3},
    {"qd", Kind::Align, 3},
    {"li", Kind::LeftIndent, 0},
    {"ri", Kind::RightIndent, 0},
    {"fi", Kind::FirstIndent, 0},
    {"ls", Kind::ListId, 0},
    {"list", Kind::ListStart, 0},
    {"listlevel", Kind::ListLevel, 0},
    {"levelnfc", Kind::LevelNfc, 0},
    {"levelnfcn", Kind::LevelNfc, 0},
    {"listid", Kind::ListIdDef, 0},
    {"pnlvlblt", Kind::PnBullet, 0},
    {"pnlvlbody", Kind::PnNumbered, 0},
    {"pnlvlcont", Kind::PnNumbered, 0},
    {"pnlvl", Kind::PnNumbered, 0},
    // Breaks and special characters.
    {"par", Kind::Par, 0},
    {"line", Kind::Line, 0},
    {"tab", Kind::Tab, 0},
    {"page", Kind::Break, 0},
    {"sect", Kind::Break, 0},
    {"column", Kind::Break, 0},
    {"cell", Kind::Cell, 0},
    {"nestcell", Kind::Cell, 0},
    {"row", Kind::Row, 0},
    {"nestrow", Kind::Row, 0},
    {"emdash", Kind::Char, 0x2014},
    {"endash", Kind::Char, 0x2013},
    {"lquote", Kind::Char, 0x2018},
    {"rquote", Kind::Char, 0x2019},
    {"ldblquote", Kind::Char, 0x201C},
    {"rdblquote", Kind::Char, 0x201D},
    {"bullet", Kind::Char, 0x2022},
    {"emspace", Kind::Char, ' '},
    {"enspace", Kind::Char, ' '},
    {"qmspace", Kind::Char, ' '},
    {"zwj", Kind::Char, 0x200D},
    {"zwnj", Kind::Char, 0x200C},
    {"u", Kind::Unicode, 0},
    {"uc", Kind::UcSkip, 0},
    // Colour table entries.
    {"red", Kind::Red, 0},
    {"green", Kind::Green, 0},
    {"blue", Kind::Blue, 0},
};

// The words above by name: an open-addressing table keyed by a cheap mix of
// the name's length and three of its letters, each candidate checked by
// comparing names. A file from LibreOffice has a control word every few
// bytes, and std::hash of a string view cost a third of the whole parse.
class WordTable {
 public:
  WordTable() {
    for (const Word& w : kWords) {
      size_t i = slot(w.name);
      while (slots_[i]) i = (i + 1) & kMask;
      slots_[i] = &w;
    }
  }
  const Word* find(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (size_t i = slot(name);; i = (i + 1) & kMask) {
      const Word* w = slots_[i];
      if (!w || sameName(w->name, name)) return w;
    }
  }

 private:
  static constexpr size_t kSlots = 1024;  // several times the number of words: short probes
  static constexpr size_t kMask = kSlots - 1;
  static_assert(std::size(kWords) < kSlots / 2);
  // Names are a few letters: a loop beats a call to memcmp.
  static bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  static size_t slot(std::string_view s) {
    auto at = [&s](size_t i) { return size_t(static_cast<unsigned char>(s[i])); };
    const size_t n = s.size();
    return (n * 97 + at(0) * 31 + at(n / 2) * 7 + at(n - 1) * 131 + (n > 1 ? at(1) * 13 : 0)) & kMask;
  }
  const Word* slots_[kSlots] = {};
};

const Word* findWord(std::string_view name) {
  static const WordTable table;
  return table.find(name);
}

// ---------------------------------------------------------------------------
// Group state.

constexpr int kDefaultFont = -2;  // "the \deff font", resolved when a run is made

struct CharState {
  int font = kDefaultFont;
  int halfPoints = 24;  // RTF's default size is 12 pt
  uint8_t flags = 0;
  int fg = 0;  // colour table index; 0 and unknown indexes mean automatic
  int bg = 0;
};

struct GroupState {
  Dest dest = Dest::Body;
  bool star = false;  // \* seen: the next word, if not one we know, skips the group
  int uc = 1;         // fallback characters after \uN
  CharState chr;
  ParaProps para;
};

// ---------------------------------------------------------------------------

bool isTamil(char32_t c) { return c >= 0x0B80 && c <= 0x0BFF; }

// The code point a \uN character stands for in this program's one-byte text.
char32_t mapUnicode(char32_t c) {
  // Windows-1252 puts punctuation at 0x80-0x9F; a TSCII font's bytes there
  // come back from other programs as these characters.
  static constexpr char16_t k1252[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (c < 0x100) return c;
  if (c >= 0x0152 && c <= 0x2122) {
    for (int i = 0; i < 32; ++i)
      if (k1252[i] == c) return 0x80 + i;
    return c;
  }
  // Symbol-font bytes (U+F0xx) and the five bytes Windows-1252 leaves
  // undefined (U+F181 ...) come back as private-use characters.
  if (c >= 0xF080 && c <= 0xF0FF) return c & 0xFF;
  if (c >= 0xF180 && c <= 0xF19F) return c & 0xFF;
  return c;
}

void appendUtf8(std::string& s, char32_t c) {
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A byte of the file as the character Windows-1252 gives it (the five bytes
// it leaves undefined stay as the C1 controls Latin-1 gives them).
QChar windows1252(unsigned char b) {
  static constexpr char16_t k1252[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return b >= 0x80 && b < 0xA0 ? QChar(k1252[b - 0x80]) : QChar(b);
}

// Unicode Tamil -> TSCII characters (one per byte). A syllable TSCII cannot
// hold is kept as the Unicode characters it was.
QString tamilToTscii(const std::string& utf8) {
  auto bytesToQString = [](const std::string& b) {
    QString s;
    s.reserve(static_cast<qsizetype>(b.size()));
    for (unsigned char c : b) s.append(QChar(c));
    return s;
  };
  std::string dropped = UnicodeToTscii(utf8, {}, Unmappable::Drop);
  if (dropped == UnicodeToTscii(utf8, {}, Unmappable::KeepUtf8)) return bytesToQString(dropped);
  // Something did not map: convert one syllable (a letter and the signs that
  // follow it) at a time and keep the unmappable ones as Unicode.
  QString out;
  const QString all = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  auto isSign = [](char16_t c) {
    return (c >= 0x0BBE && c <= 0x0BCD) || c == 0x0BD7 || c == 0x0B82 || c == 0x200C || c == 0x200D;
  };
  for (qsizetype i = 0; i < all.size();) {
    qsizetype j = i + 1;
    while (j < all.size() && isSign(all[j].unicode())) ++j;
    const QString syl = all.mid(i, j - i);
    const std::string u = syl.toStdString();
    const std::string d = UnicodeToTscii(u, {}, Unmappable::Drop);
    if (d == UnicodeToTscii(u, {}, Unmappable::KeepUtf8))
      out += bytesToQString(d);
    else
      out += syl;
    i = j;
  }
  return out;
}

// ---------------------------------------------------------------------------

class Parser {
 public:
  Parser(std::string_view data, bool unicode, bool shortcut, const PauseHook& pause)
      : tok_(data), unicode_(unicode), shortcut_(shortcut), pause_(pause) {}

  ParseResult run(Model& model, std::string& message);

 private:
  GroupState& st() { return stack_.back(); }

  void controlWord(const Token& t);
  void controlSymbol(const Token& t);
  void text(std::string_view bytes);
  void groupEnd();
  void finish();

  // Character output (to the body, a list label or a table name).
  void emitByte(unsigned char b) { emitChar(unicode_ ? windows1252(b) : QChar(b)); }
  void emitUnicode(char32_t c);
  void unicodeUnit(char16_t u);
  void flushHigh();
  void emitChar(QChar c);
  void emitString(const QString& s, int fmt);
  void flushTamil();
  void bodyText();
  void endParagraph();
  void finishLabel();
  int currentFormat();
  int computeFormat(const CharState& c);
  void commitFont();

  Tokenizer tok_;
  // Reading into a Unicode document: no byte stands for TSCII.
  bool unicode_;
  // Body text taken straight from the bytes where it can be (bodyText);
  // off only to check that the shortcut reads what the tokens give.
  bool shortcut_;
  // Called once, between paragraphs, when the text has reached its size.
  PauseHook pause_;
  Model* m_ = nullptr;
  CharState cachedChr_;
  int cachedDeff_ = 0;
  int cachedFmt_ = -1;
  std::vector<GroupState> stack_;
  int deff_ = 0;
  int skip_ = 0;  // \uN fallback characters still to skip
  // A \uN high surrogate waiting for its low half (0 when none). Anything
  // else that reaches the text first makes it U+FFFD: a lone half is no
  // character and would become invalid UTF-8 on the way out.
  char16_t pendingHigh_ = 0;

  // Current paragraph.
  size_t paraRunBegin_ = 0;
  qsizetype paraTextBegin_ = 0;
  bool paraLabelBullet_ = false;
  bool pendingCellTab_ = false;

  // Unicode Tamil waiting to be converted as a whole (syllables span \u's).
  std::string tamil_;
  int tamilFmt_ = -1;

  // List label being collected.
  QString label_;
  int labelFmt_ = -1;
  int labelDepth_ = 0;  // stack depth of the label group, 0 when none

  // List table: the number format of each list's first level (23 is a
  // bullet), and which list each \ls override names. Used for paragraphs
  // with \ls but no list label.
  std::map<int, int> listNfc_;
  std::map<int, int> overrideList_;
  int curListNfc_ = -1;
  int curListLevels_ = 0;
  int curOverrideList_ = 0;
  bool paraLabelSeen_ = false;

  // Font and colour tables being read.
  int fontNum_ = -1;
  QString fontName_;
  int red_ = -1, green_ = -1, blue_ = -1;
};

int Parser::currentFormat() {
  const CharState& c = st().chr;
  // The format changes far less often than characters arrive.
  if (cachedFmt_ >= 0 && c.font == cachedChr_.font && c.halfPoints == cachedChr_.halfPoints &&
      c.flags == cachedChr_.flags && c.fg == cachedChr_.fg && c.bg == cachedChr_.bg && deff_ == cachedDeff_)
    return cachedFmt_;
  cachedChr_ = c;
  cachedDeff_ = deff_;
  cachedFmt_ = computeFormat(c);
  return cachedFmt_;
}

int Parser::computeFormat(const CharState& c) {
  RunFormat f;
  f.font = c.font == kDefaultFont ? deff_ : c.font;
  f.halfPoints = c.halfPoints;
  f.flags = c.flags & (kBold | kItalic | kUnderline | kStrike);
  f.fg = c.fg;
  f.bg = c.bg;
  return m_->formatIndex(f);
}

// One UTF-16 unit from \uN: a high surrogate waits for its low half.
void Parser::unicodeUnit(char16_t u) {
  if (QChar::isHighSurrogate(u)) {
    flushHigh();
    pendingHigh_ = u;
  } else if (QChar::isLowSurrogate(u)) {
    const char16_t high = pendingHigh_;
    pendingHigh_ = 0;
    emitUnicode(high ? QChar::surrogateToUcs4(high, u) : char32_t(QChar::ReplacementCharacter));
  } else {
    emitUnicode(u);
  }
}

void Parser::flushHigh() {
  if (!pendingHigh_) return;
  pendingHigh_ = 0;
  emitUnicode(QChar::ReplacementCharacter);
}

void Parser::emitUnicode(char32_t c) {
  flushHigh();
  const Dest d = st().dest;
  if (unicode_) {
    if (c > 0xFFFF) {
      emitChar(QChar(QChar::highSurrogate(c)));
      emitChar(QChar(QChar::lowSurrogate(c)));
    } else {
      emitChar(QChar(static_cast<char16_t>(c)));
    }
    return;
  }
  if ((d == Dest::Body || d == Dest::Label) &&
      (isTamil(c) || ((c == 0x200C || c == 0x200D) && !tamil_.empty()))) {
    if (st().chr.flags & kHidden) return;
    const int f = currentFormat();
    if (!tamil_.empty() && f != tamilFmt_) flushTamil();
    tamilFmt_ = f;
    appendUtf8(tamil_, c);
    return;
  }
  c = mapUnicode(c);
  if (c > 0xFFFF) {
    emitChar(QChar(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10))));
    emitChar(QChar(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))));
  } else {
    emitChar(QChar(static_cast<char16_t>(c)));
  }
}

void Parser::flushTamil() {
  if (tamil_.empty()) return;
  const QString s = tamilToTscii(tamil_);
  tamil_.clear();
  RunFormat f = m_->formats[tamilFmt_];
  f.tscii = true;
  emitString(s, m_->formatIndex(f));
}

// Body text as LibreOffice writes it, \uN characters each with its \'hh
// fallback among plain bytes, taken straight from the bytes while nothing in
// it needs the general path: no control word but \u, no Unicode Tamil, no
// surrogate, no character the document treats as structure. A 13 MB file is
// mostly such text, and making three tokens for each of its characters was
// most of the parse. Anything else is left for the tokens, so the text and
// runs are the ones they give.
void Parser::bodyText() {
  if (!shortcut_ || unicode_ || skip_ != 0 || pendingHigh_ != 0 || labelDepth_ > 0 || pendingCellTab_ ||
      !tamil_.empty())
    return;
  GroupState& s = st();
  if (s.dest != Dest::Body || s.star || (s.chr.flags & kHidden)) return;
  const int fmt = currentFormat();
  const size_t fallback = static_cast<size_t>(s.uc);
  auto startRun = [&] {
    if (m_->runs.size() == paraRunBegin_ || m_->runs.back().fmt != fmt) m_->runs.push_back({fmt, m_->text.size()});
  };
  for (;;) {
    const std::string_view bytes = tok_.takePlainBytes();
    if (!bytes.empty()) {
      startRun();
      const qsizetype at = m_->text.size();
      m_->text.resize(at + static_cast<qsizetype>(bytes.size()));
      QChar* out = m_->text.data() + at;
      for (const char b : bytes) *out++ = QChar(static_cast<unsigned char>(b));
    }
    int32_t n = 0;
    if (tok_.takeUnicodeChar(fallback, n)) {
      // As the word gives it: see Kind::Unicode.
      const int64_t v = n < 0 ? int64_t(n) + 65536 : int64_t(n);
      const char16_t u = v < 0 || v > 0xFFFF ? char16_t(0xFFFD) : static_cast<char16_t>(v);
      const char32_t c = mapUnicode(u);
      if (QChar::isSurrogate(u) || isTamil(u) || c > 0xFFFF || c == '\r' || c == '\n' || c == 0x2029 ||
          c == 0xFDD0 || c == 0xFDD1) {
        unicodeUnit(u);  // taken whole, fallback included; the general path goes on
        return;
      }
      startRun();
      m_->text.append(QChar(static_cast<char16_t>(c)));
      continue;
    }
    if (!tok_.skipLineBreaks()) return;
  }
}

// Appends s in format fmt to wherever text currently goes.
void Parser::emitString(const QString& s, int fmt) {
  if (s.isEmpty()) return;
  if (labelDepth_ > 0) {
    label_ += s;
    labelFmt_ = fmt;
    return;
  }
  if (pendingCellTab_) {
    pendingCellTab_ = false;
    emitString(QStringLiteral("\t"), fmt);
  }
  if (m_->runs.size() == paraRunBegin_ || m_->runs.back().fmt != fmt)
    m_->runs.push_back({fmt, m_->text.size()});
  m_->text += s;
}

void Parser::emitChar(QChar c) {
  flushHigh();
  switch (st().dest) {
    case Dest::Skip:
    case Dest::PnProps:
    case Dest::ListTable:
    case Dest::ListOverrides:
      return;
    case Dest::FontTable:
      if (c == u';')
        commitFont();
      else
        fontName_ += c;
      return;
    case Dest::ColorTable:
      if (c == u';') {
        if (red_ < 0 && green_ < 0 && blue_ < 0)
          m_->colors.push_back(QColor());  // "automatic"
        else
          m_->colors.push_back(QColor(std::clamp(red_, 0, 255), std::clamp(green_, 0, 255),
                                      std::clamp(blue_, 0, 255)));
        red_ = green_ = blue_ = -1;
      }
      return;
    case Dest::Body:
    case Dest::Label:
      break;
  }
  if (st().chr.flags & kHidden) return;
  // Characters the document treats as structure: CR, LF and U+2029 are
  // paragraph breaks; U+FDD0/U+FDD1 would be read as frame marks.
  const char16_t u = c.unicode();
  if (u == '\r' || u == '\n' || u == 0x2029) {
    if (labelDepth_ == 0) endParagraph();
    return;
  }
  if (u == 0xFDD0 || u == 0xFDD1) c = QChar(QChar::ReplacementCharacter);
  flushTamil();
  const int fmt = currentFormat();
  if (labelDepth_ > 0 || pendingCellTab_) {
    emitString(QString(c), fmt);
    return;
  }
  if (m_->runs.size() == paraRunBegin_ || m_->runs.back().fmt != fmt) m_->runs.push_back({fmt, m_->text.size()});
  m_->text.append(c);
}

void Parser::commitFont() {
  // A name with the foundry Qt adds ("TSCu_Paranar [MACR]", written by an
  // older Tolvan) would pick that foundry's faces alone.
  const QString name = familyWithoutFoundry(fontName_);
  if (fontNum_ >= 0 && !name.isEmpty() && !m_->fonts.contains(fontNum_)) m_->fonts.insert(fontNum_, name);
  fontName_.clear();
}

void Parser::endParagraph() {
  flushHigh();
  flushTamil();
  Paragraph p;
  p.runBegin = paraRunBegin_;
  p.runEnd = m_->runs.size();
  p.textBegin = paraTextBegin_;
  p.textEnd = m_->text.size();
  p.props = st().para;
  p.props.bullet = st().para.bullet || paraLabelBullet_;
  if (!paraLabelSeen_ && p.props.ls > 0) {
    // A list paragraph written without its label: the list table decides.
    auto o = overrideList_.find(p.props.ls);
    auto l = o == overrideList_.end() ? listNfc_.end() : listNfc_.find(o->second);
    if (l != listNfc_.end() && l->second == 23) p.props.bullet = true;
  }
  p.endFmt = currentFormat();
  m_->paras.push_back(p);
  paraRunBegin_ = m_->runs.size();
  paraTextBegin_ = m_->text.size();
  paraLabelBullet_ = false;
  paraLabelSeen_ = false;
  pendingCellTab_ = false;
}

// A list label ({\pntext ...} or {\listtext ...}) has ended. A single symbol
// (•, ·, o, a Symbol or Wingdings byte) makes the paragraph a bulleted one;
// anything else ("1.", "a)") is a numbering the editor cannot hold, so it is
// kept as text at the start of the paragraph.
void Parser::finishLabel() {
  flushTamil();
  labelDepth_ = 0;
  paraLabelSeen_ = true;
  QString core = label_;
  core.remove(u'\t');
  core = core.trimmed();
  const bool bullet = core.size() == 1 && (!core[0].isLetterOrNumber() || core[0] == u'o');
  if (bullet)
    paraLabelBullet_ = true;
  else if (!core.isEmpty())
    emitString(label_.mid(label_.indexOf(core[0])), labelFmt_);
  label_.clear();
}

void Parser::text(std::string_view bytes) {
  size_t i = 0;
  if (skip_ > 0) {
    const size_t n = std::min(bytes.size(), static_cast<size_t>(skip_));
    skip_ -= static_cast<int>(n);
    i = n;
  }
  const Dest d = st().dest;
  if (d == Dest::Skip || d == Dest::PnProps || d == Dest::ListTable || d == Dest::ListOverrides) return;
  if (i < bytes.size()) flushHigh();
  if (d == Dest::Body && labelDepth_ == 0 && !(st().chr.flags & kHidden) && i < bytes.size() &&
      !std::memchr(bytes.data() + i, '\r', bytes.size() - i) &&
      !std::memchr(bytes.data() + i, '\n', bytes.size() - i)) {
    // Fast path for the common case: a run of body text.
    flushTamil();
    const int fmt = currentFormat();
    if (pendingCellTab_) {
      pendingCellTab_ = false;
      emitString(QStringLiteral("\t"), fmt);
    }
    if (m_->runs.size() == paraRunBegin_ || m_->runs.back().fmt != fmt) m_->runs.push_back({fmt, m_->text.size()});
    const qsizetype at = m_->text.size();
    m_->text.resize(at + static_cast<qsizetype>(bytes.size() - i));
    QChar* out = m_->text.data() + at;
    if (unicode_) {
      for (size_t k = i; k < bytes.size(); ++k) *out++ = windows1252(static_cast<unsigned char>(bytes[k]));
    } else {
      for (size_t k = i; k < bytes.size(); ++k) *out++ = QChar(static_cast<unsigned char>(bytes[k]));
    }
    bodyText();
    return;
  }
  for (; i < bytes.size(); ++i) emitByte(static_cast<unsigned char>(bytes[i]));
}

void Parser::controlSymbol(const Token& t) {
  if (t.symbol == '*') {
    st().star = true;
    return;
  }
  if (skip_ > 0) {
    --skip_;
    return;
  }
  switch (t.symbol) {
    case '\'': emitByte(static_cast<unsigned char>(t.param)); break;
    case '\\':
    case '{':
    case '}': emitByte(static_cast<unsigned char>(t.symbol)); break;
    case '~': emitByte(0xA0); break;  // non-breaking space: byte 0xA0
    case '-': emitByte(0xAD); break;  // optional hyphen: byte 0xAD (a Tamil letter in TSCII)
    case '_': emitByte('-'); break;   // non-breaking hyphen
    case '\t': emitByte('\t'); break;
    case '\n':
    case '\r':
      if (st().dest == Dest::Body && labelDepth_ == 0) endParagraph();
      break;
    default: break;  // \: \| and the like
  }
}

void Parser::controlWord(const Token& t) {
  const bool star = st().star;
  st().star = false;
  const Word* w = findWord(t.text);
  if (skip_ > 0 && !(w && w->kind == Kind::Dest)) {
    --skip_;
    return;
  }
  GroupState& s = st();
  if (s.dest == Dest::Skip) return;
  if (!w) {
    if (star) s.dest = Dest::Skip;
    return;
  }
  const int p = t.param;
  const bool on = !t.hasParam || p != 0;
  const bool body = s.dest == Dest::Body || s.dest == Dest::Label;
  switch (w->kind) {
    case Kind::Dest: {
      const Dest d = static_cast<Dest>(w->arg);
      if (d == Dest::Label) {
        if (labelDepth_ > 0 || s.dest != Dest::Body) {
          s.dest = Dest::Skip;
        } else {
          flushTamil();
          s.dest = Dest::Label;
          labelDepth_ = static_cast<int>(stack_.size());
          label_.clear();
          labelFmt_ = currentFormat();
        }
      } else if (d == Dest::FontTable) {
        s.dest = d;
        fontNum_ = -1;
        fontName_.clear();
      } else {
        s.dest = d;
      }
      break;
    }
    case Kind::Flag:
      if (!body) break;
      if (on)
        s.chr.flags |= static_cast<uint8_t>(w->arg);
      else
        s.chr.flags &= static_cast<uint8_t>(~w->arg);
      break;
    case Kind::UnderlineOff: s.chr.flags &= static_cast<uint8_t>(~kUnderline); break;
    case Kind::Font:
      if (s.dest == Dest::FontTable) {
        commitFont();
        fontNum_ = t.hasParam ? p : -1;
      } else if (body) {
        s.chr.font = t.hasParam ? p : kDefaultFont;
      }
      break;
    case Kind::FontSize:
      // Sizes outside what the format bar offers are brought into its range:
      // \fs999999 would paint one glyph over the whole window, \fs1 text no
      // one can see or select.
      if (body)
        s.chr.halfPoints =
            (t.hasParam && p > 0) ? std::clamp(p, 2 * kMinPointSize, 2 * kMaxPointSize) : 24;
      break;
    case Kind::Foreground:
      if (body) s.chr.fg = std::max(p, 0);
      break;
    case Kind::Background:
      if (body) s.chr.bg = std::max(p, 0);
      break;
    case Kind::Plain:
      if (body) s.chr = CharState{};
      break;
    case Kind::DefaultFont: deff_ = p; break;
    case Kind::Pard: s.para = ParaProps{}; break;
    case Kind::Align: s.para.align = static_cast<uint8_t>(w->arg); break;
    case Kind::LeftIndent: s.para.li = p; break;
    case Kind::RightIndent: s.para.ri = p; break;
    case Kind::FirstIndent: s.para.fi = p; break;
    case Kind::ListId:
      if (s.dest == Dest::ListOverrides)
        overrideList_[p] = curOverrideList_;
      else
        s.para.ls = p;
      break;
    case Kind::ListStart:
      if (s.dest == Dest::ListTable) {
        curListNfc_ = -1;
        curListLevels_ = 0;
      }
      break;
    case Kind::ListLevel:
      if (s.dest == Dest::ListTable) ++curListLevels_;
      break;
    case Kind::LevelNfc:
      if (s.dest == Dest::ListTable && curListLevels_ == 1) curListNfc_ = p;
      break;
    case Kind::ListIdDef:
      if (s.dest == Dest::ListTable)
        listNfc_[p] = curListNfc_;
      else if (s.dest == Dest::ListOverrides)
        curOverrideList_ = p;
      break;
    case Kind::PnBullet:
      if (s.dest == Dest::PnProps) s.para.bullet = true;
      break;
    case Kind::PnNumbered:
      if (s.dest == Dest::PnProps) s.para.bullet = false;
      break;
    case Kind::Par:
      if (s.dest == Dest::Body && labelDepth_ == 0) endParagraph();
      break;
    case Kind::Break:
      // A page or section break ends a paragraph that has text; it is not
      // an empty paragraph of its own.
      if (s.dest == Dest::Body && labelDepth_ == 0 &&
          (m_->text.size() > paraTextBegin_ || !tamil_.empty()))
        endParagraph();
      break;
    case Kind::Row:
      if (s.dest == Dest::Body && labelDepth_ == 0) endParagraph();
      break;
    case Kind::Cell:
      // Cells of a row become tab-separated text; the tab goes in only when
      // more text follows, so a row does not end with one.
      if (s.dest == Dest::Body && labelDepth_ == 0) {
        flushTamil();
        pendingCellTab_ = true;
      }
      break;
    case Kind::Line: emitUnicode(0x2028); break;
    case Kind::Tab: emitByte('\t'); break;
    case Kind::Char: emitUnicode(static_cast<char32_t>(w->arg)); break;
    case Kind::Unicode: {
      if (!t.hasParam) break;
      // Word writes N above 32767 as negative; LibreOffice writes it unsigned.
      int64_t v = p < 0 ? int64_t(p) + 65536 : int64_t(p);
      if (v < 0 || v > 0xFFFF) v = 0xFFFD;
      unicodeUnit(static_cast<char16_t>(v));
      // The fallback is nearly always \'hh escapes right after the word
      // (LibreOffice writes \u2965\'b8 for every character): passed over
      // here, they make no text token. Anything else is counted off as it comes.
      skip_ = s.uc - static_cast<int>(tok_.skipHexEscapes(static_cast<size_t>(s.uc)));
      bodyText();
      break;
    }
    case Kind::UcSkip: s.uc = std::clamp(p, 0, 64); break;
    case Kind::Red: red_ = p; break;
    case Kind::Green: green_ = p; break;
    case Kind::Blue: blue_ = p; break;
  }
}

void Parser::groupEnd() {
  skip_ = 0;  // fallback text never runs past the end of its group
  flushHigh();  // a pair never spans groups
  const GroupState closing = stack_.back();
  if (closing.dest == Dest::FontTable && !fontName_.trimmed().isEmpty()) commitFont();
  if (labelDepth_ == static_cast<int>(stack_.size())) finishLabel();
  stack_.pop_back();
  if (stack_.empty()) return;
  // \*\pn sets the bullet of the paragraph it stands in.
  if (closing.dest == Dest::PnProps && st().dest != Dest::PnProps) st().para.bullet = closing.para.bullet;
  // A Unicode Tamil run ends with its group's format.
  if (!tamil_.empty() && currentFormat() != tamilFmt_) flushTamil();
}

// The end of the document, its closing brace or where a damaged file stops:
// whatever is still pending goes into a last paragraph.
void Parser::finish() {
  flushHigh();
  if (labelDepth_ > 0) finishLabel();
  flushTamil();
  if (m_->text.size() > paraTextBegin_ || m_->paras.empty()) endParagraph();
}

ParseResult Parser::run(Model& model, std::string& message) {
  m_ = &model;
  Token t;
  // Signature: "{\rtf", optionally after a byte-order mark and white space.
  if (!tok_.next(t) || t.type != TokenType::GroupStart || !tok_.next(t) ||
      t.type != TokenType::ControlWord || t.text != "rtf") {
    message = "Not an RTF file (it does not start with {\\rtf)";
    return ParseResult::Refused;
  }
  stack_.reserve(64);
  // Text is at most one character per input byte; most files are mostly text.
  m_->text.reserve(static_cast<qsizetype>(std::min<size_t>(tok_.size() / 2, size_t(64) << 20)));
  stack_.push_back(GroupState{});
  // A damaged file keeps what was read before the damage.
  auto damaged = [&](std::string what) {
    finish();
    message = std::move(what);
    return ParseResult::Damaged;
  };
  for (;;) {
    // Between paragraphs (all that was read is in finished paragraphs): the
    // caller may look at the model.
    if (pause_.call && m_->text.size() >= pause_.atChars && paraTextBegin_ == m_->text.size() &&
        !m_->paras.empty()) {
      const std::function<void(Model&)> call = std::move(pause_.call);
      pause_.call = nullptr;
      call(*m_);
    }
    if (!tok_.next(t)) return damaged(tok_.error());
    switch (t.type) {
      case TokenType::GroupStart:
        if (static_cast<int>(stack_.size()) >= kMaxGroupDepth)
          return damaged("groups nested deeper than " + std::to_string(kMaxGroupDepth) + " levels");
        skip_ = 0;
        stack_.push_back(stack_.back());
        stack_.back().star = false;
        break;
      case TokenType::GroupEnd:
        if (stack_.size() == 1) {
          // The document's closing brace ends a last paragraph that has no
          // \par, with the formatting in effect. Whatever follows the brace
          // is not part of the document.
          finish();
          return ParseResult::Ok;
        }
        groupEnd();
        break;
      case TokenType::ControlWord: controlWord(t); break;
      case TokenType::ControlSymbol: controlSymbol(t); break;
      case TokenType::Text: text(t.text); break;
      case TokenType::Binary:
        if (skip_ > 0) --skip_;
        break;
      case TokenType::End: {
        const size_t open = stack_.size();
        return damaged("it ends inside " + std::to_string(open) + " unclosed group" + (open == 1 ? "" : "s") +
                       " (truncated, or unbalanced braces)");
      }
    }
  }
}

}  // namespace

int Model::formatIndex(const RunFormat& f) {
  auto key = std::make_tuple(f.font, f.halfPoints, f.flags, f.fg, f.bg, f.tscii);
  auto it = formatIds.find(key);
  if (it != formatIds.end()) return it->second;
  const int id = static_cast<int>(formats.size());
  formats.push_back(f);
  formatIds.emplace(key, id);
  return id;
}

ParseResult parseRtf(std::string_view data, Model& model, std::string& message, bool unicode, bool shortcut,
                     const PauseHook& pause) {
  if (data.size() > static_cast<size_t>(kMaxInputBytes)) {
    message = "The file is too large for an RTF document (more than " +
              std::to_string(kMaxInputBytes >> 20) + " MiB)";
    return ParseResult::Refused;
  }
  // Tolerate a UTF-8 byte-order mark and white space before the signature.
  size_t start = 0;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  while (start < data.size() && (data[start] == ' ' || data[start] == '\t' || data[start] == '\r' ||
                                 data[start] == '\n'))
    ++start;
  Parser parser(data.substr(start), unicode, shortcut, pause);
  return parser.run(model, message);
}

// ---------------------------------------------------------------------------
// Model -> QTextDocument.

namespace {

QTextCharFormat charFormat(const Model& m, const RunFormat& f) {
  QTextCharFormat cf;
  auto setFamily = [&cf](const QString& family) {
    cf.setFontFamilies(QStringList{family});
    cf.setProperty(kFamilyHashProperty, family);
  };
  if (f.tscii) {
    setFamily(QString::fromLatin1(kTsciiFontFamily));
  } else if (auto it = m.fonts.find(f.font); it != m.fonts.end()) {
    setFamily(it.value());
  }
  cf.setFontPointSize(f.halfPoints / 2.0);
  if (f.flags & kBold) cf.setFontWeight(QFont::Bold);
  if (f.flags & kItalic) cf.setFontItalic(true);
  if (f.flags & kUnderline) cf.setFontUnderline(true);
  if (f.flags & kStrike) cf.setFontStrikeOut(true);
  if (f.fg > 0 && f.fg < m.colors.size() && m.colors[f.fg].isValid())
    cf.setForeground(m.colors[f.fg]);
  if (f.bg > 0 && f.bg < m.colors.size() && m.colors[f.bg].isValid())
    cf.setBackground(m.colors[f.bg]);
  return cf;
}

QTextBlockFormat blockFormat(const ParaProps& p, qreal indentWidth) {
  QTextBlockFormat bf;
  static constexpr Qt::Alignment kAlign[4] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                              Qt::AlignJustify};
  bf.setAlignment(kAlign[p.align & 3]);
  bf.setRightMargin(twipsToPixels(p.ri));
  if (p.bullet) {
    // The list indents by indentWidth itself; the bullet hangs before the text.
    bf.setLeftMargin(twipsToPixels(p.li) - indentWidth);
    bf.setTextIndent(0);
    bf.setProperty(kBulletHangProperty, p.fi);
  } else {
    bf.setLeftMargin(twipsToPixels(p.li));
    bf.setTextIndent(twipsToPixels(p.fi));
  }
  return bf;
}

}  // namespace

void buildDocument(const Model& m, QTextDocument* doc, size_t from) {
  if (from > 0 && from >= m.paras.size()) return;  // nothing after the paragraphs built
  const bool undo = doc->isUndoRedoEnabled();
  doc->setUndoRedoEnabled(false);
  const bool append = from > 0;
  if (!append) doc->clear();
  std::vector<QTextCharFormat> cfs;
  cfs.reserve(m.formats.size());
  for (const RunFormat& f : m.formats) cfs.push_back(charFormat(m, f));

  // Each QTextCursor call costs far more than a character, so the whole text
  // goes in with one call in the most used format, and only the runs and
  // paragraphs that differ from it are formatted afterwards.
  std::vector<qsizetype> use(m.formats.size(), 0);
  QString all;
  all.reserve(m.text.size() + static_cast<qsizetype>(m.paras.size()));
  for (size_t i = from; i < m.paras.size(); ++i) {
    const Paragraph& p = m.paras[i];
    if (i > from) all.append(QChar(QChar::ParagraphSeparator));
    all.append(QStringView(m.text).mid(p.textBegin, p.textEnd - p.textBegin));
    for (size_t r = p.runBegin; r < p.runEnd; ++r) {
      const qsizetype end = r + 1 < p.runEnd ? m.runs[r + 1].start : p.textEnd;
      use[m.runs[r].fmt] += end - m.runs[r].start;
    }
  }
  int base = 0;
  for (size_t f = 1; f < use.size(); ++f)
    if (use[f] > use[base]) base = static_cast<int>(f);

  QTextCursor cur(doc);
  const QTextBlockFormat plainBlock = blockFormat(ParaProps{}, doc->indentWidth());
  const QTextCharFormat baseFormat = cfs.empty() ? QTextCharFormat() : cfs[base];
  QTextList* list = nullptr;
  int listBlocks = 0;
  cur.beginEditBlock();
  QTextBlock block;
  if (append) {
    // After the paragraphs already built: a new paragraph of its own format,
    // not in the list the last one may be in.
    const QTextBlock last = doc->lastBlock();
    list = last.textList();
    listBlocks = list ? list->count() : 0;
    cur.movePosition(QTextCursor::End);
    cur.insertBlock(plainBlock, baseFormat);
    block = cur.block();
  } else {
    cur.setBlockFormat(plainBlock);
    if (!cfs.empty()) cur.setBlockCharFormat(baseFormat);
    block = doc->begin();
  }
  cur.insertText(all, baseFormat);

  QTextListFormat listFormat;
  listFormat.setStyle(QTextListFormat::ListDisc);
  listFormat.setIndent(1);
  // Adding a block to a QTextList touches every block already in it, so one
  // list of many thousand bulleted paragraphs would take quadratic time. A run
  // of bulleted paragraphs is split into lists of at most this many; disc
  // bullets look the same either way.
  constexpr int kMaxListBlocks = 64;
  for (size_t i = from; i < m.paras.size() && block.isValid(); ++i, block = block.next()) {
    const Paragraph& p = m.paras[i];
    const int blockFmt = p.runBegin < p.runEnd ? m.runs[p.runBegin].fmt : p.endFmt;
    const bool plain = p.props.align == 0 && p.props.li == 0 && p.props.ri == 0 && p.props.fi == 0 &&
                       !p.props.bullet;
    if (!plain || blockFmt != base) {
      cur.setPosition(block.position());
      if (!plain) cur.setBlockFormat(blockFormat(p.props, doc->indentWidth()));
      if (blockFmt != base) cur.setBlockCharFormat(cfs[blockFmt]);
    }
    if (p.props.bullet) {
      cur.setPosition(block.position());
      if (list && listBlocks < kMaxListBlocks) {
        list->add(block);
        ++listBlocks;
      } else {
        list = cur.createList(listFormat);
        listBlocks = 1;
      }
    } else {
      list = nullptr;
    }
    const qsizetype offset = block.position() - p.textBegin;
    for (size_t r = p.runBegin; r < p.runEnd; ++r) {
      if (m.runs[r].fmt == base) continue;
      const qsizetype start = m.runs[r].start;
      const qsizetype end = r + 1 < p.runEnd ? m.runs[r + 1].start : p.textEnd;
      cur.setPosition(static_cast<int>(start + offset));
      cur.setPosition(static_cast<int>(end + offset), QTextCursor::KeepAnchor);
      cur.setCharFormat(cfs[m.runs[r].fmt]);
    }
  }
  cur.endEditBlock();
  doc->setUndoRedoEnabled(undo);
  doc->setModified(false);
}

bool readRtf(const QByteArray& bytes, QTextDocument* doc, QString* error, QString* damage,
             TextEncoding encoding, char16_t softHyphen, const std::function<void()>& show) {
  return readRtfShowing(bytes, doc, error, damage, encoding, softHyphen, show, kShownFirstChars, kShownFromBytes);
}

bool readRtfShowing(const QByteArray& bytes, QTextDocument* doc, QString* error, QString* damage,
                    TextEncoding encoding, char16_t softHyphen, const std::function<void()>& show,
                    qsizetype firstChars, qsizetype fromBytes) {
  Model model;
  std::string message;
  // Swapping the character in the model costs a pass over the text; in the
  // built document it cost a search and an edit for every one of them.
  const bool swap = encoding == TextEncoding::Tscii && softHyphen != 0x00AD;
  auto swapFrom = [&](qsizetype at) {
    if (!swap || at >= model.text.size()) return;
    QChar* const end = model.text.data() + model.text.size();
    for (QChar* c = end - (model.text.size() - at); c != end; ++c)
      if (c->unicode() == 0x00AD) *c = QChar(softHyphen);
  };
  // A large file's first paragraphs are built and shown while the rest is
  // still to be read; only a caller that takes what a damaged file holds
  // can be shown part of one.
  PauseHook pause;
  size_t shownParas = 0;
  qsizetype shownText = 0;
  QHash<int, QString> shownFonts;
  QList<QColor> shownColors;
  if (show && damage && bytes.size() >= fromBytes) {
    pause.atChars = firstChars;
    pause.call = [&](Model& part) {
      swapFrom(0);
      buildDocument(part, doc);
      shownParas = part.paras.size();
      shownText = part.text.size();
      shownFonts = part.fonts;
      shownColors = part.colors;
      show();
    };
  }
  const ParseResult r = parseRtf(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                                 model, message, encoding == TextEncoding::Unicode, true, pause);
  if (damage) damage->clear();
  if (r == ParseResult::Refused || (r == ParseResult::Damaged && !damage)) {
    // Never after a pause: a file is refused at its start, and a pause
    // needs a caller that takes damaged files.
    if (error)
      *error = QString::fromStdString(r == ParseResult::Damaged ? "Damaged RTF file: " + message : message);
    return false;
  }
  swapFrom(shownText);
  if (shownParas > 0 && model.fonts == shownFonts && model.colors == shownColors) {
    buildDocument(model, doc, shownParas);
  } else {
    // A font or colour table after the text shown (a file out of order)
    // changes formats already shown: the whole document again.
    buildDocument(model, doc);
  }
  if (error) error->clear();
  if (r == ParseResult::Damaged) *damage = QString::fromStdString(message);
  return true;
}

bool canRead(const QByteArray& head) {
  qsizetype i = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
  return head.mid(i, 5) == "{\\rtf";
}

}  // namespace tolvan::rtf
