// How the reader builds the QTextDocument: the document it makes must be the
// one a plain, obvious construction makes from the same parse (same text,
// same format on every character, same paragraph formats and lists), on the
// real files in tests/rtf/fixtures, the fuzzing seeds and a dense generated
// file; and a TSCII document whose byte 0xAD the reader puts in as the
// editor's displayed letter must equal the old way of loading it, reading
// U+00AD and then swapping each one in the document. The parser's shortcut
// for body text must give the model every character taken token by token
// gives. Read in two steps, with a look at the document in between, the
// document is the same, and what was looked at was its first paragraphs,
// finished.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/byte_text.h"
#include "rtf/rtf.h"
#include "rtf/rtf_reader_internal.h"
#include "rtf_test_util.h"

namespace {

using namespace std::string_view_literals;
using tolvan::TextEncoding;

// A block's format without the index of its list object (the same list has
// different object numbers in two documents); the list is compared apart.
QTextBlockFormat blockFormatOf(const QTextBlock& b) {
  QTextBlockFormat f = b.blockFormat();
  f.clearProperty(QTextFormat::ObjectIndex);
  return f;
}

// Each character's format as runs of (length, format), adjacent equal formats
// joined, so that fragments split differently compare equal.
std::vector<std::pair<int, QTextCharFormat>> formatRuns(const QTextBlock& b) {
  std::vector<std::pair<int, QTextCharFormat>> runs;
  for (auto it = b.begin(); !it.atEnd(); ++it) {
    const QTextFragment f = it.fragment();
    if (!runs.empty() && runs.back().second == f.charFormat())
      runs.back().first += f.length();
    else
      runs.emplace_back(f.length(), f.charFormat());
  }
  return runs;
}

// The first difference between two documents, or "" when they hold the same.
std::string difference(const QTextDocument& a, const QTextDocument& b) {
  if (a.blockCount() != b.blockCount())
    return "blocks " + std::to_string(a.blockCount()) + " / " + std::to_string(b.blockCount());
  std::map<const QTextList*, int> listsA, listsB;  // each list numbered by first use
  QTextBlock x = a.begin(), y = b.begin();
  for (int n = 0; x.isValid(); x = x.next(), y = y.next(), ++n) {
    const std::string at = "block " + std::to_string(n) + ": ";
    if (x.text() != y.text()) return at + "text \"" + x.text().toStdString() + "\" / \"" + y.text().toStdString() + "\"";
    if (blockFormatOf(x) != blockFormatOf(y)) return at + "block format";
    if (x.charFormat() != y.charFormat()) return at + "block character format";
    if (formatRuns(x) != formatRuns(y)) return at + "character formats";
    const QTextList* lx = x.textList();
    const QTextList* ly = y.textList();
    if (!lx != !ly) return at + "list membership";
    if (lx) {
      if (lx->format() != ly->format()) return at + "list format";
      const int ix = listsA.emplace(lx, int(listsA.size())).first->second;
      const int iy = listsB.emplace(ly, int(listsB.size())).first->second;
      if (ix != iy) return at + "list grouping";
    }
  }
  return "";
}

// The plain construction: every paragraph and every run inserted in turn with
// its own format, paragraph formats and lists set as each paragraph starts.
// Slow (a cursor call per run) but plainly right; formats are the reader's.
void buildPlainly(const tolvan::rtf::Model& m, QTextDocument* doc) {
  using namespace tolvan::rtf;
  // The reader's formats, taken from a one-run document per format.
  auto charFormat = [&](int fmt) {
    Model one;
    one.fonts = m.fonts;
    one.colors = m.colors;
    one.formats = {m.formats[size_t(fmt)]};
    one.text = QStringLiteral("x");
    one.runs = {{0, 0}};
    Paragraph p;
    p.runEnd = 1;
    p.textEnd = 1;
    one.paras = {p};
    QTextDocument d;
    buildDocument(one, &d);
    return d.begin().begin().fragment().charFormat();
  };
  auto blockFormat = [&](const ParaProps& props) {
    Model one;
    one.formats = {RunFormat{}};
    Paragraph p;
    p.props = props;
    one.paras = {p};
    QTextDocument d;
    d.setIndentWidth(doc->indentWidth());
    buildDocument(one, &d);
    return blockFormatOf(d.begin());
  };
  std::vector<QTextCharFormat> cfs;
  for (size_t f = 0; f < m.formats.size(); ++f) cfs.push_back(charFormat(int(f)));
  doc->clear();
  QTextCursor c(doc);
  QTextListFormat lf;
  lf.setStyle(QTextListFormat::ListDisc);
  lf.setIndent(1);
  QTextList* list = nullptr;
  int listBlocks = 0;
  for (size_t i = 0; i < m.paras.size(); ++i) {
    const Paragraph& p = m.paras[i];
    const int first = p.runBegin < p.runEnd ? m.runs[p.runBegin].fmt : p.endFmt;
    if (i > 0) c.insertBlock(QTextBlockFormat());  // not in the list of the one before
    c.setBlockFormat(blockFormat(p.props));
    if (!cfs.empty()) c.setBlockCharFormat(cfs[size_t(first)]);
    if (p.props.bullet) {
      // Lists of at most 64 paragraphs, as the reader makes them.
      if (list && listBlocks < 64) {
        list->add(c.block());
        ++listBlocks;
      } else {
        list = c.createList(lf);
        listBlocks = 1;
      }
    } else {
      list = nullptr;
    }
    for (size_t r = p.runBegin; r < p.runEnd; ++r) {
      const qsizetype end = r + 1 < p.runEnd ? m.runs[r + 1].start : p.textEnd;
      c.insertText(m.text.mid(m.runs[r].start, end - m.runs[r].start), cfs[size_t(m.runs[r].fmt)]);
    }
  }
}

struct Input {
  std::string name;
  QByteArray bytes;
};

// Dense formatting like LibreOffice's: a change every few words, \u escapes
// with fallbacks, soft hyphens three ways, bullets in runs longer than a list
// holds, centred and indented paragraphs, colours and fonts.
QByteArray denseRtf() {
  std::mt19937 rng(3);
  QByteArray s =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 TSCu_Paranar;}{\\f1 Liberation Serif;}}"
      "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue200;}\n";
  static const char* const fmts[] = {"\\b", "\\i", "\\b\\i", "\\fs20", "\\fs28", "\\cf1", "\\cf2", "\\ul",
                                     "\\f1", "\\strike", "\\highlight2"};
  for (int p = 0; p < 300; ++p) {
    s += "\\pard";
    if (p % 7 == 0) s += "\\qc";
    if (p % 11 == 0) s += "\\li720\\fi-360";
    if (p % 100 >= 10 && p % 100 < 90) s += "{\\listtext\\'95\\tab}\\ls1";
    s += ' ';
    for (int w = 0; w < 12; ++w) {
      const bool formatted = rng() % 2;
      if (formatted) s += QByteArray("{") + fmts[rng() % std::size(fmts)] + ' ';
      switch (rng() % 5) {
        case 0: s += "\\u173\\'ad\\u170\\'aa"; break;
        case 1: s += "\\'ad\\'b8\\-"; break;
        case 2: s += "\\u2965?"; break;  // Unicode Tamil
        default: s += "word"; break;
      }
      if (formatted) s += '}';
      s += ' ';
    }
    s += "\\par\n";
  }
  s += "}";
  return s;
}

std::vector<Input> inputs() {
  std::vector<Input> in;
  auto addDir = [&](const QString& dir) {
    for (const QString& f : QDir(dir).entryList(QDir::Files, QDir::Name)) {
      QFile file(QDir(dir).filePath(f));
      if (file.open(QIODevice::ReadOnly)) in.push_back({f.toStdString(), file.readAll()});
    }
  };
  addDir(QStringLiteral(TOLVAN_SOURCE_DIR "/tests/rtf/fixtures"));
  addDir(QStringLiteral(TOLVAN_SOURCE_DIR "/fuzz/corpus/rtf"));
  in.push_back({"dense", denseRtf()});
  return in;
}

// The first difference between two parses, or "" when they are the same.
std::string difference(const tolvan::rtf::Model& a, const tolvan::rtf::Model& b) {
  if (a.text != b.text) {
    qsizetype i = 0;
    while (i < a.text.size() && i < b.text.size() && a.text[i] == b.text[i]) ++i;
    return "text differs at " + std::to_string(i) + " of " + std::to_string(a.text.size()) + " / " +
           std::to_string(b.text.size());
  }
  if (a.runs.size() != b.runs.size())
    return "runs " + std::to_string(a.runs.size()) + " / " + std::to_string(b.runs.size());
  for (size_t i = 0; i < a.runs.size(); ++i)
    if (a.runs[i].fmt != b.runs[i].fmt || a.runs[i].start != b.runs[i].start) return "run " + std::to_string(i);
  if (a.paras.size() != b.paras.size())
    return "paragraphs " + std::to_string(a.paras.size()) + " / " + std::to_string(b.paras.size());
  for (size_t i = 0; i < a.paras.size(); ++i) {
    const auto &x = a.paras[i], &y = b.paras[i];
    if (x.runBegin != y.runBegin || x.runEnd != y.runEnd || x.textBegin != y.textBegin || x.textEnd != y.textEnd ||
        x.endFmt != y.endFmt || x.props.align != y.props.align || x.props.li != y.props.li ||
        x.props.ri != y.props.ri || x.props.fi != y.props.fi || x.props.ls != y.props.ls ||
        x.props.bullet != y.props.bullet)
      return "paragraph " + std::to_string(i);
  }
  if (a.formats.size() != b.formats.size())
    return "formats " + std::to_string(a.formats.size()) + " / " + std::to_string(b.formats.size());
  for (size_t i = 0; i < a.formats.size(); ++i) {
    const auto &x = a.formats[i], &y = b.formats[i];
    if (x.font != y.font || x.halfPoints != y.halfPoints || x.flags != y.flags || x.fg != y.fg || x.bg != y.bg ||
        x.tscii != y.tscii)
      return "format " + std::to_string(i);
  }
  if (a.fonts != b.fonts) return "font table";
  if (a.colors != b.colors) return "colour table";
  return "";
}

// Body text where the shortcut meets its edges: what stops it, what it must
// hand back to the general path, and what it must not take.
const std::pair<const char*, std::string_view> kShortcutEdges[] = {
    {"LibreOffice's characters", "{\\rtf1 {\\loch\n\\u166\\'a6\\u190\\'be 2026, \\u8218\\'82 }x}"},
    {"a word after the number", "{\\rtf1 \\u166\\'a6\\u12abc\\uc0\\u65abc\\u66 d}"},
    {"two fallback bytes", "{\\rtf1\\uc2 \\u166\\'a6\\'a7\\u167\\'a7 x\\u168\\'a8\\'a9\\'aa}"},
    {"no fallback", "{\\rtf1\\uc0 \\u166\\u167 x\\u168\\'a8}"},
    {"a fallback that is not an escape", "{\\rtf1 \\u166?\\u167\\'a7\\u168\\'zz\\u169\\'a9}"},
    {"a line break before the fallback", "{\\rtf1 \\u166\\'a6\\u167\r\n\\'a7\\u168\\'a8}"},
    {"line breaks and NULs between", "{\\rtf1 \\u166\\'a6\r\n\\u167\\'a7\nab\0cd\\u168\\'a8\0\\u169\\'a9}"sv},
    {"negative and large numbers", "{\\rtf1 \\u-3711\\'81\\u-10\\'3f\\u65535\\'3f\\u999999\\'3f\\u1234567\\'3f\\u-\\'3f}"},
    {"Unicode Tamil among bytes", "{\\rtf1 \\u166\\'a6\\u2965\\'3f\\u3021\\'3f\\u166\\'a6\\u8205\\'3f\\u167\\'a7}"},
    {"joiners with no Tamil", "{\\rtf1 \\u166\\'a6\\u8204\\'3f\\u8205\\'3f\\u167\\'a7}"},
    {"surrogates", "{\\rtf1 \\u166\\'a6\\u-10179\\'3f\\u-8704\\'3f\\u55296\\'3f\\u167\\'a7\\u56320\\'3f}"},
    {"structure characters", "{\\rtf1 a\\u13\\'3fb\\u10\\'3fc\\u8233\\'3fd\\u64976\\'3fe\\u64977\\'3ff\\u0\\'3fg}"},
    {"Windows-1252 and private-use bytes", "{\\rtf1 \\u8364\\'80\\u376\\'9f\\u402\\'83\\u61623\\'b7\\u61825\\'81\\u338\\'8c}"},
    {"hidden text", "{\\rtf1 \\u166\\'a6{\\v \\u167\\'a7 hidden}\\u168\\'a8}"},
    {"a list label", "{\\rtf1 {\\listtext\\u8226\\'95\\tab}\\ls1 \\u166\\'a6 x\\par}"},
    {"table cells", "{\\rtf1 \\u166\\'a6\\cell \\u167\\'a7 b\\cell\\row}"},
    {"tables and skipped groups", "{\\rtf1{\\fonttbl{\\f0 \\u166\\'a6 F;}}{\\*\\x \\u166\\'a6}\\u167\\'a7}"},
    {"after a star", "{\\rtf1 \\*\\u166\\'a6\\unknownword x}"},
    {"a format change", "{\\rtf1 \\u166\\'a6{\\b \\u167\\'a7 b}\\u168\\'a8 c}"},
    {"fallback skipped by a text token", "{\\rtf1\\uc3 \\u166 abc\\u167\\'a7\\'a8\\'a9 d}"},
    {"truncated", "{\\rtf1 \\u166\\'a6\\u16"},
    {"truncated in the fallback", "{\\rtf1 \\u166\\'a6\\u167\\'a"},
};

class RtfBuild : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { rtftest::ensureApp(); }
};

TEST_F(RtfBuild, TheDocumentIsTheOnePlainConstructionMakes) {
  const std::vector<Input> all = inputs();
  ASSERT_GT(all.size(), 50u);  // the fixtures and the seeds were found
  int read = 0;
  for (const Input& input : all) {
    for (const bool unicode : {false, true}) {
      tolvan::rtf::Model m;
      std::string message;
      const auto r = tolvan::rtf::parseRtf(std::string_view(input.bytes.constData(), size_t(input.bytes.size())), m,
                                           message, unicode);
      if (r == tolvan::rtf::ParseResult::Refused) continue;
      ++read;
      QTextDocument built, plain;
      tolvan::rtf::buildDocument(m, &built);
      buildPlainly(m, &plain);
      EXPECT_EQ(difference(built, plain), "") << input.name << (unicode ? " (Unicode)" : " (TSCII)");
    }
  }
  EXPECT_GT(read, 100);
}

TEST_F(RtfBuild, ByteADGoesInAsTheDisplayedLetterAsSwappingItAfterwardsGave) {
  for (const Input& input : inputs()) {
    for (const TextEncoding e : {TextEncoding::Tscii, TextEncoding::Unicode}) {
      QTextDocument before, now;
      QString error, damage;
      if (!tolvan::rtf::readRtf(input.bytes, &before, &error, &damage, e)) continue;
      if (e == TextEncoding::Tscii) tolvan::documentBytesToEditorChars(&before);
      ASSERT_TRUE(tolvan::rtf::readRtf(input.bytes, &now, &error, &damage, e, tolvan::kDisplayedSoftHyphen));
      EXPECT_EQ(difference(now, before), "") << input.name << (e == TextEncoding::Unicode ? " (Unicode)" : " (TSCII)");
    }
  }
  // The dense file has the letter in every form; none is left as U+00AD.
  QTextDocument doc;
  ASSERT_TRUE(tolvan::rtf::readRtf(denseRtf(), &doc, nullptr, nullptr, TextEncoding::Tscii,
                                   tolvan::kDisplayedSoftHyphen));
  EXPECT_FALSE(doc.toRawText().contains(QChar(0xAD)));
  EXPECT_GT(doc.toRawText().count(QChar(tolvan::kDisplayedSoftHyphen)), 300);
}

}  // namespace

namespace {

TEST_F(RtfBuild, TheBodyTextShortcutReadsWhatTheTokensGive) {
  std::vector<Input> all = inputs();
  for (const auto& [name, bytes] : kShortcutEdges) all.push_back({name, QByteArray(bytes.data(), qsizetype(bytes.size()))});
  for (const Input& input : all) {
    for (const bool unicode : {false, true}) {
      const std::string_view data(input.bytes.constData(), size_t(input.bytes.size()));
      tolvan::rtf::Model fast, slow;
      std::string fastMessage, slowMessage;
      const auto r = tolvan::rtf::parseRtf(data, fast, fastMessage, unicode);
      const auto s = tolvan::rtf::parseRtf(data, slow, slowMessage, unicode, false);
      EXPECT_EQ(r, s) << input.name;
      EXPECT_EQ(fastMessage, slowMessage) << input.name;
      EXPECT_EQ(difference(fast, slow), "") << input.name << (unicode ? " (Unicode)" : " (TSCII)");
    }
  }
}

}  // namespace

namespace {

TEST_F(RtfBuild, ReadInTwoStepsTheDocumentIsTheSameAndItsStartWasShownFinished) {
  for (const Input& input : inputs()) {
    for (const TextEncoding e : {TextEncoding::Tscii, TextEncoding::Unicode}) {
      QTextDocument whole;
      QString error, damage;
      if (!tolvan::rtf::readRtf(input.bytes, &whole, &error, &damage, e, tolvan::kDisplayedSoftHyphen)) continue;
      for (const qsizetype first : {qsizetype(0), qsizetype(1), qsizetype(7), qsizetype(200)}) {
        const std::string what = input.name + (e == TextEncoding::Unicode ? " (Unicode)" : " (TSCII)") +
                                 ", first " + std::to_string(first);
        QTextDocument doc;
        doc.setUndoRedoEnabled(true);
        int shows = 0;
        auto show = [&] {
          ++shows;
          EXPECT_FALSE(doc.isModified()) << what;
          EXPECT_FALSE(doc.isUndoAvailable()) << what;
          // The paragraphs shown are the document's first ones, finished.
          ASSERT_GE(doc.characterCount() - 1, std::min(int(first), whole.characterCount() - 1)) << what;
          QTextBlock a = doc.begin(), b = whole.begin();
          for (; a.isValid() && b.isValid(); a = a.next(), b = b.next()) {
            EXPECT_EQ(a.text(), b.text()) << what;
            EXPECT_TRUE(formatRuns(a) == formatRuns(b)) << what;
            EXPECT_TRUE(blockFormatOf(a) == blockFormatOf(b)) << what;
            EXPECT_TRUE(a.charFormat() == b.charFormat()) << what;
          }
        };
        QString error2, damage2;
        ASSERT_TRUE(tolvan::rtf::readRtfShowing(input.bytes, &doc, &error2, &damage2, e,
                                                tolvan::kDisplayedSoftHyphen, show, first, 0))
            << what;
        EXPECT_LE(shows, 1) << what;
        EXPECT_EQ(damage2, damage) << what;
        EXPECT_EQ(difference(doc, whole), "") << what;
        EXPECT_FALSE(doc.isModified()) << what;
        EXPECT_FALSE(doc.isUndoAvailable()) << what;
        EXPECT_TRUE(doc.isUndoRedoEnabled()) << what;
      }
    }
  }
  // The dense file is read in two steps at any of these sizes.
  for (const qsizetype first : {qsizetype(0), qsizetype(200), qsizetype(5000)}) {
    QTextDocument doc;
    QString error, damage;
    int shows = 0;
    ASSERT_TRUE(tolvan::rtf::readRtfShowing(denseRtf(), &doc, &error, &damage, TextEncoding::Tscii,
                                            tolvan::kDisplayedSoftHyphen, [&] { ++shows; }, first, 0));
    EXPECT_EQ(shows, 1) << first;
  }
  // A font table after the part shown: the formats are the ones read in one step.
  const QByteArray late = "{\\rtf1 {\\f1 first}\\par second\\par {\\fonttbl{\\f1 Liberation Serif;}}{\\f1 third}\\par}";
  QTextDocument once, twice;
  QString error, damage;
  ASSERT_TRUE(tolvan::rtf::readRtf(late, &once, &error, &damage));
  int shows = 0;
  ASSERT_TRUE(tolvan::rtf::readRtfShowing(late, &twice, &error, &damage, TextEncoding::Tscii, 0x00AD,
                                          [&] { ++shows; }, 1, 0));
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(difference(twice, once), "");
  EXPECT_EQ(once.begin().begin().fragment().charFormat().fontFamilies().toStringList(),
            QStringList{QStringLiteral("Liberation Serif")});
  // Without a way to take a damaged file, nothing is shown: such a file is
  // refused with the document untouched.
  shows = 0;
  QTextDocument kept;
  kept.setPlainText(QStringLiteral("kept"));
  EXPECT_FALSE(tolvan::rtf::readRtfShowing("{\\rtf1 one\\par two\\par {three", &kept, &error, nullptr,
                                           TextEncoding::Tscii, 0x00AD, [&] { ++shows; }, 1, 0));
  EXPECT_EQ(shows, 0);
  EXPECT_EQ(kept.toPlainText(), QStringLiteral("kept"));
}

}  // namespace
