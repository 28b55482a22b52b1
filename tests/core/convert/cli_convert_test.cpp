// tolvan-cli convert and fontmap, end to end: files and standard input,
// large input streamed in pieces, warnings, and bad usage.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "core/convert/converters.h"
#include "core/convert/fontmap.h"
#include "test_util.h"

namespace fs = std::filesystem;
using convert_test::hex;
using convert_test::show;

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

class CliConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvan-cli-convert-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& bytes) {
    const std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Runs tolvan-cli with the arguments (already shell-quoted) and optional stdin.
  CliRun cli(const std::string& args, const std::string* stdinBytes = nullptr) {
    const std::string out = (dir_ / "stdout").string(), err = (dir_ / "stderr").string();
    std::string cmd = std::string("'") + TOLVAN_CLI_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
    if (stdinBytes) cmd += " <'" + file("stdin", *stdinBytes) + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
  }

  fs::path dir_;
};

TEST_F(CliConvert, EachBuiltInPair) {
  const struct {
    const char* from;
    const char* to;
    std::string in, want;
  } cases[] = {
      {"mylai", "tscii", "tmfz", hex("BE F5 C6")},
      {"anjal", "tscii", hex("8E B3 96"), hex("B8 A2 E0")},
      {"roman", "tscii", "vaNakkam", hex("C5 BD EC B8 F5")},
      {"tscii", "tab", hex("EC B6"), hex("E8 A2 E5 F7")},
  };
  for (const auto& c : cases) {
    const std::string in = file("in", c.in);
    CliRun r = cli(std::string("convert --from ") + c.from + " --to " + c.to + " '" + in + "'");
    EXPECT_EQ(r.status, 0) << c.from << r.err;
    EXPECT_EQ(show(r.out), show(c.want)) << c.from;
    EXPECT_EQ(r.err, "") << c.from;
    // The same through standard input.
    r = cli(std::string("convert --from=") + c.from + " --to=" + c.to, &c.in);
    EXPECT_EQ(show(r.out), show(c.want)) << c.from << " stdin";
  }
}

TEST_F(CliConvert, LargeInputEqualsWholeConversion) {
  // Several pieces' worth of text, with keys and modifiers at every offset.
  std::mt19937 rng(3);
  const std::string roman = "kSaiaujn2SRIhTtnmNLRz .";
  const std::string mylai = "kfgpyvTN{}LBW<>\\fe ";
  std::string r(700001, ' '), m(700001, ' ');
  for (char& c : r) c = roman[rng() % roman.size()];
  for (char& c : m) c = mylai[rng() % mylai.size()];
  CliRun run = cli("convert --from roman --to tscii '" + file("r", r) + "'");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out == tolvan::RomanToTscii(r));
  run = cli("convert --from mylai --to tscii", &m);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out == tolvan::MylaiToTscii(m));
}

TEST_F(CliConvert, AnjalUnmappedBytesWarnOnePerLine) {
  const std::string in = hex("8D A0 8D 7F");
  CliRun r = cli("convert --from anjal --to tscii", &in);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, hex("B8") + "X" + hex("B8") + "X");
  EXPECT_EQ(r.err,
            "tolvan-cli: byte 160 (0xA0) at offset 1 has no Anjal mapping; wrote X\n"
            "tolvan-cli: byte 127 (0x7F) at offset 3 has no Anjal mapping; wrote X\n");
}

TEST_F(CliConvert, BadUsageFailsWithOneLine) {
  const std::string missing = (dir_ / "missing.txt").string();
  const std::string dirArg = "'" + dir_.string() + "'";
  const char* argLists[] = {
      "convert",
      "convert --from roman",
      "convert --from roman --to tab",
      "convert --from klingon --to tscii",
      "convert --from roman --to tscii --fast",
      "convert --from roman --to tscii a b",
      "convert --from",
      "fontmap",
      "fontmap apply",
      "fontmap remove x.tol",
  };
  for (const char* args : argLists) {
    CliRun r = cli(args);
    EXPECT_EQ(r.status, 2) << args;  // usage errors
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
  }
  for (const std::string& args : {"convert --from roman --to tscii '" + missing + "'",
                                  "convert --from mylai --to tscii " + dirArg,
                                  "fontmap apply '" + missing + "'"}) {
    CliRun r = cli(args);
    EXPECT_EQ(r.status, 1) << args;  // a failed operation
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_EQ(r.err.rfind("tolvan-cli: ", 0), 0u) << r.err;
  }
}

TEST_F(CliConvert, FontmapApply) {
  tolvan::FontMap m;
  m.sourceFont = "A";
  m.targetFont = "B";
  m.cell('a') = hex("C0 A1");
  m.cell('b') = "";  // an empty cell is no mapping: b stays
  m.cell(' ') = "_";
  const std::string map = file("m.tol", tolvan::WriteFontMap(m));
  const std::string text = "a b c\r\n";
  CliRun r = cli("fontmap apply '" + map + "' '" + file("t", text) + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(show(r.out), show(hex("C0 A1") + "_b_c\r\n"));
  r = cli("fontmap apply '" + map + "'", &text);
  EXPECT_EQ(show(r.out), show(hex("C0 A1") + "_b_c\r\n"));

  // Any file is applied by its mapping lines, as the editor's menu does; a
  // file without the title line gets a warning (likely swapped arguments).
  const std::string notMap = file("notes.txt", "a=b\r\n");
  r = cli("fontmap apply '" + notMap + "'", &text);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(show(r.out), show("b b c\r\n"));
  EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
}

}  // namespace
