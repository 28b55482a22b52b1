// tolvan-cli rtf: text out of RTF, RTF out of text, and errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Result {
  int status;
  std::string out;
};

Result run(const std::string& args) {
  const std::string cmd = std::string(TOLVAN_CLI_PATH) + " rtf " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  Result r{-1, {}};
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  r.status = pclose(p);
  return r;
}

class CliRtf : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvan-cli-rtf-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  fs::path dir_;
};

TEST_F(CliRtf, TextOfAnRtfFile) {
  const std::string rtf = file("a.rtf",
                               "{\\rtf1{\\fonttbl{\\f0 TSCu_Paranar;}}\\f0 \\'a6\\'b8\\'a1 \\u8218\\'82\\~\\-"
                               "\\par {\\b two}\\line three\\u1046?\\par\\par}");
  const Result r = run("--to text " + rtf);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\xa6\xb8\xa1 \x82\xa0\xad\ntwo\nthree\xd0\x96\n\n");
}

TEST_F(CliRtf, RtfOfATextFileReadsBackByteForByte) {
  std::string text;
  for (int b = 0x20; b < 0x100; ++b) text += static_cast<char>(b);
  text += "\r\nsecond line\n\nafter an empty line\n";
  const Result rtf = run("--to rtf " + file("t.txt", text));
  ASSERT_EQ(rtf.status, 0);
  EXPECT_EQ(rtf.out.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
  EXPECT_NE(rtf.out.find("TSCu_Paranar"), std::string::npos);
  const Result back = run("--to text " + file("t.rtf", rtf.out));
  EXPECT_EQ(back.status, 0);
  std::string want = text;
  want.erase(want.find('\r'), 1);
  EXPECT_EQ(back.out, want);
}

TEST_F(CliRtf, BadInputAndUsageFail) {
  EXPECT_NE(run("--to text " + file("bad.rtf", "{\\rtf1 truncated")).status, 0);
  EXPECT_NE(run("--to text " + file("not.rtf", "plain text")).status, 0);
  EXPECT_NE(run("--to text " + (dir_ / "missing.rtf").string()).status, 0);
  EXPECT_NE(run("--to pdf " + file("x.txt", "x")).status, 0);
  EXPECT_NE(run("").status, 0);
}

}  // namespace
