// tolvan-cli type end to end: key bytes from a file or standard input, the
// typed TSCII text on standard output, one-line errors for bad usage.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/convert/unicode_bridge.h"
#include "core/input/keyboard.h"
#include "typing_helpers.h"

namespace {
using tolvan::testing::hex;

struct CliRun {
  int status;
  std::string out;
};

CliRun run(const std::string& shellArgs) {
  const std::string cmd = std::string(TOLVAN_CLI_PATH) + " " + shellArgs;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return {-1, ""};
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

class CliType : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tolvan-cli-type-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& bytes) {
    auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path dir_;
};

TEST_F(CliType, TypesAFileThroughEachLayout) {
  struct Case {
    const char* layout;
    const char* keys;
    const char* text;
  };
  constexpr Case kCases[] = {
      {"anjal", "vaNakkam thamiz", "c5 bd ec b8 f5 20 be c1 a2 fa"},
      {"anjal", "n", "fd"},  // fresh state: the first key sees nothing before it
      {"roman", "vaNakkam tamiz", "c5 bd ec b8 f5 20 be c1 a2 fa"},
      {"mylai", "tmizf", "be c1 a2 fa"},
      {"typewriter", "jkpH;", "be c1 a2 fa"},
      {"TYPEWRITER", "", ""},
  };
  for (const auto& c : kCases) {
    const std::string file = write("keys", c.keys);
    CliRun r = run(std::string("type --layout ") + c.layout + " '" + file + "'");
    EXPECT_EQ(r.status, 0) << c.layout << " " << c.keys;
    EXPECT_EQ(hex(r.out), c.text) << c.layout << " " << c.keys;
  }
}

TEST_F(CliType, ReadsStandardInputAndKeepsEveryByte) {
  // CR is Enter (so n after it is dental), backspace deletes, bytes pass raw.
  const std::string file = write("keys", std::string("ka\rn\x08zz\xFF", 9));
  CliRun r = run("type --layout=anjal < '" + file + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(hex(r.out), "b8 0d fa fa ff");
  CliRun dash = run("type --layout anjal - < '" + file + "'");
  EXPECT_EQ(hex(dash.out), "b8 0d fa fa ff");
}

TEST_F(CliType, BadUsageFailsWithOneLine) {
  const std::string file = write("keys", "k");
  const std::string missing = (dir_ / "no-such-file").string();
  const std::string kCases[] = {
      "type '" + file + "'",                        // no layout
      "type --layout",                              // layout without a value
      "type --layout tamil99 '" + file + "'",       // unknown layout
      "type --layout anjal '" + missing + "'",      // unreadable file
      "type --layout anjal '" + file + "' '" + file + "'",  // two files
      "type --layout anjal --fast '" + file + "'",  // unknown option
      "type --layout anjal --to utf16 '" + file + "'",  // unknown target
      "type --layout anjal --to",                   // target without a value
  };
  for (const auto& args : kCases) {
    CliRun r = run(args + " 2>&1 >/dev/null");
    EXPECT_NE(r.status, 0) << args;
    ASSERT_FALSE(r.out.empty()) << args;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << args << ": " << r.out;
    EXPECT_EQ(r.out.rfind("tolvan-cli: ", 0), 0u) << r.out;
  }
}

// Input larger than the part of the text held back for deletions: the text
// is written as it settles, and the result is still exactly what typing the
// whole input into one buffer gives, backspaces and rule deletions included.
TEST_F(CliType, LongInputStreamsToTheSameText) {
  const std::string alphabet = "kanitmpvyrlzNsuUeEoOai \r\x08\x08";
  std::string keys;
  unsigned seed = 12345;
  for (size_t i = 0; i < (size_t(5) << 20); ++i) {
    seed = seed * 1103515245u + 12345u;
    keys += alphabet[(seed >> 16) % alphabet.size()];
  }
  for (const char* name : {"anjal", "roman"}) {
    tolvan::Layout layout;
    ASSERT_TRUE(tolvan::parseLayout(name, layout));
    tolvan::TamilState state;
    tolvan::TextBufferSink whole(layout, state, true);
    for (char c : keys) whole.typeKey(static_cast<unsigned char>(c));
    const std::string file = write("keys", keys);
    CliRun r = run(std::string("type --layout ") + name + " '" + file + "'");
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_TRUE(r.out == whole.text()) << name << ": " << r.out.size() << " bytes, expected " << whole.text().size();
  }
}

// --to unicode: the UTF-8 the same keys give in a Unicode document, which is
// the bridge's conversion of the TSCII text, streamed like it; --to tscii is
// the default.
TEST_F(CliType, TypesUnicodeThroughTheSameEngines) {
  struct Case {
    const char* layout;
    const char* keys;
    const char* text;
  };
  const Case kCases[] = {
      {"anjal", "vaNakkam", "\u0BB5\u0BA3\u0B95\u0BCD\u0B95\u0BAE\u0BCD"},
      {"anjal", "kO koo", "\u0B95\u0BCB \u0B95\u0BCB"},
      {"typewriter", "f%", "\u0B95\u0BC1"},
      {"typewriter", "f%\b", "\u0B95"},  // the sign typed apart goes alone
  };
  for (const auto& c : kCases) {
    const std::string file = write("keys", c.keys);
    CliRun r = run(std::string("type --layout ") + c.layout + " --to unicode '" + file + "'");
    EXPECT_EQ(r.status, 0) << c.layout << " " << c.keys;
    EXPECT_EQ(r.out, c.text) << c.layout << " " << c.keys;
    CliRun t = run(std::string("type --to=tscii --layout ") + c.layout + " '" + file + "'");
    EXPECT_EQ(tolvan::TsciiToUnicode(t.out), r.out) << c.layout << " " << c.keys;
  }

  // Long input streams as the TSCII text does, and stays its conversion.
  const std::string alphabet = "kanitmpvyrlzNsuUeEoOai \r\x08\x08";
  std::string keys;
  unsigned seed = 777;
  for (size_t i = 0; i < (size_t(3) << 20); ++i) {
    seed = seed * 1103515245u + 12345u;
    keys += alphabet[(seed >> 16) % alphabet.size()];
  }
  const std::string file = write("keys", keys);
  CliRun t = run("type --layout anjal '" + file + "'");
  CliRun u = run("type --layout anjal --to unicode '" + file + "'");
  EXPECT_EQ(u.status, 0);
  EXPECT_TRUE(u.out == tolvan::TsciiToUnicode(t.out)) << u.out.size() << " bytes";
}

// Backspaces that reach further back than the text held back cannot be
// honoured in a stream: a failure with one line, never a silently wrong text.
TEST_F(CliType, BackspacesIntoWrittenTextFail) {
  const std::string file = write("keys", std::string(3 << 20, 'k') + std::string(3 << 20, '\x08'));
  CliRun r = run("type --layout anjal '" + file + "' 2>&1 >/dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("tolvan-cli: type: the backspaces before key offset ", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
}

}  // namespace
