// Font-map files: the exact bytes written, reading them back into the
// editor's map, and applying a map to text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "core/convert/fontmap.h"
#include "test_util.h"

using convert_test::hex;
using convert_test::show;
using tolvan::FontMap;
using tolvan::FontMapApplier;

namespace {

const std::string kHead =
    "Fontmap Created by Tolvan\r\n"
    "Do NOT change the contents of this file\r\n";
const std::string kTail = "Tolvan written by Veyran Olmast\r\n" + std::string(tolvan::kFontMapSiteLine) + "\r\n";

std::string mapFile(const std::string& mappingLines, const std::string& fonts = "SourceFont=MylaiTSC\r\nTargetFont=Xyz\r\n") {
  return kHead + fonts + mappingLines + kTail;
}

TEST(FontMapWrite, OneCellGivesSevenLines) {
  FontMap m;
  m.sourceFont = "MylaiTSC";
  m.targetFont = "Xyz";
  m.cell(0x41) = "xy";
  EXPECT_EQ(tolvan::WriteFontMap(m), mapFile("A=xy\r\n"));
}

TEST(FontMapWrite, CellsInAscendingOrderWithRawBytes) {
  FontMap m;
  m.sourceFont = "Src";
  m.targetFont = "Dst";
  m.cell(0xFF) = hex("C0 A1");
  m.cell(0x20) = "_";
  m.cell('=') = "eq";  // written as "==eq"
  m.cell('a') = hex("C0 A1");
  EXPECT_EQ(tolvan::WriteFontMap(m), mapFile(" =_\r\n==eq\r\na=" + hex("C0 A1") + "\r\n" + hex("FF") + "=" +
                                                 hex("C0 A1") + "\r\n",
                                             "SourceFont=Src\r\nTargetFont=Dst\r\n"));
  FontMap empty;
  EXPECT_EQ(tolvan::WriteFontMap(empty), mapFile("", "SourceFont=\r\nTargetFont=\r\n"));
}

TEST(FontMapWrite, RefusesLineBreaksItCouldNotReadBack) {
  FontMap m;
  m.cell('a') = "x\ry";
  EXPECT_THROW(tolvan::WriteFontMap(m), std::invalid_argument);
  m.cell('a') = "x\ny";
  EXPECT_THROW(tolvan::WriteFontMap(m), std::invalid_argument);
  FontMap f;
  f.targetFont = "Bad\nName";
  EXPECT_THROW(tolvan::WriteFontMap(f), std::invalid_argument);
}

TEST(FontMapWrite, DefaultFileName) {
  EXPECT_EQ(tolvan::DefaultFontMapFileName("MylaiTSC", "Xyz"), "MylaiTSC2Xyz.tol");
}

TEST(FontMapLoad, RoundTripOfEveryCell) {
  FontMap m;
  m.sourceFont = "TSCu_Paranar";
  m.targetFont = "Some Font=Odd";
  for (unsigned c = 0x20; c < 256; ++c)
    if (c != '=' && c % 3 != 0 && (c ^ 0x80) != '\r' && (c ^ 0x80) != '\n') m.cell(static_cast<unsigned char>(c)) = std::string(1 + c % 4, char(c ^ 0x80)) + "=";
  const std::string bytes = tolvan::WriteFontMap(m);
  FontMap back;
  const auto r = tolvan::LoadFontMap(bytes, back);
  EXPECT_TRUE(r.sourceFontFound);
  EXPECT_TRUE(r.targetFontFound);
  EXPECT_TRUE(r.messages.empty());
  EXPECT_EQ(back.sourceFont, m.sourceFont);
  EXPECT_EQ(back.targetFont, m.targetFont);
  for (unsigned c = 0x20; c < 256; ++c) EXPECT_EQ(back.cells[c - 0x20], m.cells[c - 0x20]) << c;
  EXPECT_EQ(tolvan::WriteFontMap(back), bytes);
}

TEST(FontMapLoad, EditorRules) {
  FontMap m;
  m.cell('b') = "kept";
  m.cell('=') = "kept too";
  m.cell('c') = "old";
  const std::string file = kHead + "TargetFont=T\r\n" +
                           "==new\r\n"         // first '=' is the first byte: not read back
                           "c=new\r\n"
                           "\x09=tab\r\n"      // below 0x20: ignored
                           "d=\r\n"            // empty cell
                           "x\r\n" +
                           kTail;
  const auto r = tolvan::LoadFontMap(file, m);
  EXPECT_FALSE(r.sourceFontFound);
  EXPECT_TRUE(r.targetFontFound);
  EXPECT_EQ(r.messages, std::vector<std::string>{"No Source Font mentioned. Please check the file"});
  EXPECT_EQ(m.targetFont, "T");
  EXPECT_EQ(m.cell('b'), "kept");
  EXPECT_EQ(m.cell('='), "kept too");
  EXPECT_EQ(m.cell('c'), "new");
  EXPECT_EQ(m.cell('d'), "");
}

TEST(FontMapLoad, NotAFontMap) {
  FontMap m;
  const auto r = tolvan::LoadFontMap(std::string("\x00\x01\xFF garbage", 11), m);
  EXPECT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.cellsSet, 0u);
  EXPECT_FALSE(tolvan::LooksLikeFontMap("garbage"));
  EXPECT_FALSE(tolvan::LooksLikeFontMap(""));
  EXPECT_FALSE(tolvan::LooksLikeFontMap("Fontmap Created by Tolvan and more"));
  EXPECT_TRUE(tolvan::LooksLikeFontMap(mapFile("")));
  EXPECT_TRUE(tolvan::LooksLikeFontMap("Fontmap Created by Tolvan\n"));
}

TEST(FontMapLines, EveryLineEnding) {
  EXPECT_EQ(tolvan::SplitFontMapLines("a\r\nb\nc\rd"), (std::vector<std::string_view>{"a", "b", "c", "d"}));
  EXPECT_EQ(tolvan::SplitFontMapLines("a\r\n\r\n"), (std::vector<std::string_view>{"a", ""}));
  EXPECT_TRUE(tolvan::SplitFontMapLines("").empty());
}

TEST(FontMapApply, Rules) {
  const struct {
    const char* name;
    std::string map;  // mapping lines
    std::string in, want;
  } cases[] = {
      {"no chaining", "a=b\r\nb=c\r\n", "ab", "bc"},
      {"space line applies", " =_\r\n", "a b c", "a_b_c"},
      {"empty replacement deletes", "x=\r\n", "xaxbx", "ab"},
      {"first line for a byte wins", "a=1\r\na=2\r\n", "aa", "11"},
      {"longer and shorter replacements", "a=" + hex("C0 A1") + "\r\nb=\r\n", "abc", hex("C0 A1") + "c"},
      {"'=' has its own line", "==eq\r\n", "a=b", "aeqb"},
      {"first letters of header lines are no entries", "", "FDSTt", "FDSTt"},
      {"bytes without entries pass", "a=b\r\n", hex("00 FF 0D 0A"), hex("00 FF 0D 0A")},
      {"byte below 0x20 may have a line", "\x09=T\r\n", "a\tb", "aTb"},
      {"long replacement", "k=" + std::string(100, 'K') + "\r\n", "kk", std::string(200, 'K')},
  };
  for (const auto& c : cases) {
    const FontMapApplier m(mapFile(c.map));
    EXPECT_EQ(show(m.apply(c.in)), show(c.want)) << c.name;
    // Applying piece by piece is the same as applying at once.
    std::string out;
    for (char ch : c.in) m.applyAppend(std::string(1, ch), out);
    EXPECT_EQ(out, c.want) << c.name;
  }
}

TEST(FontMapApply, EntriesFromAnyFile) {
  const FontMapApplier m(mapFile("a=A\r\nb=\r\n"));
  EXPECT_EQ(m.entryCount(), 2u);
  EXPECT_TRUE(m.hasEntry('b'));
  EXPECT_EQ(m.replacement('a'), "A");
  EXPECT_FALSE(m.hasEntry('S'));  // "SourceFont=..." is not a mapping line
  const FontMapApplier none("");
  EXPECT_EQ(none.entryCount(), 0u);
  EXPECT_EQ(none.apply("text"), "text");
}

}  // namespace

// Reading a map file never blocks or runs away: what is not a regular file,
// or is far larger than any map, is refused with the file's name.
TEST(FontMapReadFile, RefusesWhatIsNotAMapFile) {
  char tmpl[] = "/tmp/fontmap-read-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string pipe = dir + "/pipe", huge = dir + "/huge.tol", map = dir + "/ok.tol";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ASSERT_EQ(::truncate((tolvan::WriteFileBytes(huge, "x"), huge).c_str(), off_t(64) << 20), 0);
  tolvan::WriteFileBytes(map, mapFile("a=b\r\n"));
  struct Case {
    std::string path, why;
  };
  const Case cases[] = {{dir, "folder"},
                        {"/dev/zero", "not a regular file"},
                        {pipe, "not a regular file"},
                        {huge, "larger than 16 MiB"}};
  for (const Case& c : cases) {
    try {
      tolvan::ReadFileBytes(c.path);
      ADD_FAILURE() << c.path << " was read";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(c.path), std::string::npos) << what;
      EXPECT_NE(what.find(c.why), std::string::npos) << what;
    }
  }
  EXPECT_EQ(tolvan::ReadFileBytes(map), mapFile("a=b\r\n"));
  for (const std::string& f : {pipe, huge, map}) ::unlink(f.c_str());
  ::rmdir(dir.c_str());
}
