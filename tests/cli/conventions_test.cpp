// What every tolvan-cli command does with bad input and bad usage: one line
// on standard error starting "tolvan-cli: ", nothing on standard output,
// exit status 1 for a failed operation and 2 for a usage error; folders and
// endless devices refused before anything is read, and commands that can
// stream doing so in bounded memory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

struct CliRun {
  int status;
  std::string out, err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CliConventions : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tolvan-cli-conv-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "folder");
    std::ofstream(dir_ / "pw") << "pw\n";
    std::ofstream(dir_ / "text.txt") << "vaNakkam\n";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return "'" + (dir_ / name).string() + "'"; }
  // `shell` is a shell command line in which CLI stands for the program;
  // standard input is empty unless the line redirects it.
  CliRun run(const std::string& shell) const {
    std::string line = shell;
    for (size_t at; (at = line.find("CLI")) != std::string::npos;)
      line.replace(at, 3, std::string("'") + TOLVAN_CLI_PATH + "'");
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string cmd = "cd '" + dir_.string() + "' && (" + line + ") </dev/null >'" + out.string() + "' 2>'" +
                            err.string() + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, slurp(out), slurp(err)};
  }
  fs::path dir_;
};

TEST_F(CliConventions, OneLineAndOneStatusForEveryCommand) {
  struct Case {
    std::string line;
    int status;
    std::string err;  // the start of the line after "tolvan-cli: "
  };
  // Run inside the test's folder: names are as given on the command line.
  const std::string folder = "folder";
  const std::string isFolder = "cannot read folder: it is a folder, not a file";
  const Case cases[] = {
      // A folder where a file is read, for every command that reads one.
      {"CLI type --layout anjal folder", 1, isFolder},
      {"CLI convert --from mylai --to tscii folder", 1, isFolder},
      {"CLI convert --from tscii --to unicode folder", 1, isFolder},
      {"CLI fontmap apply folder text.txt", 1, isFolder},
      {"CLI fontmap apply text.txt folder", 1, isFolder},
      {"CLI rtf --to text folder", 1, isFolder},
      {"CLI rtf --to rtf folder", 1, isFolder},
      {"CLI crc folder", 1, folder + " is NOT a File. Please Select a File."},
      {"CLI encrypt --password-file pw folder", 1, folder + " is NOT a File. Please Select a File."},
      {"CLI crc missing", 1, "missing is NOT a File. Please Select a File."},
      {"CLI encrypt-text --password-file folder", 1, isFolder},
      // Inputs that never end, for the commands that need them whole.
      {"CLI rtf --to rtf /dev/zero", 1, "cannot read /dev/zero: it is not a regular file"},
      {"CLI rtf --to text /dev/zero", 1, "cannot read /dev/zero: it is not a regular file"},
      {"CLI fontmap apply /dev/zero text.txt", 1, "cannot read /dev/zero: it is not a regular file"},
      {"CLI encrypt-text --password-file pw < /dev/zero", 1, "cannot read standard input: the text is larger than"},
      // Failed operations.
      {"CLI rtf --to text text.txt", 1, "text.txt: "},
      {"printf 'AAA' | CLI decrypt-text --password-file pw", 1, "Base64: Incorrect string format"},
      // Usage errors.
      {"CLI", 2, ""},
      {"CLI frobnicate", 2, "unknown command 'frobnicate'"},
      {"CLI type", 2, "type: missing --layout"},
      {"CLI convert --from x --to y", 2, "cannot convert x to y"},
      {"CLI fontmap apply", 2, "usage: "},
      {"CLI encrypt", 2, "encrypt needs one FILE"},
      {"CLI encrypt --bogus text.txt", 2, "encrypt: unknown option '--bogus'"},
      {"CLI crc a b", 2, "crc needs one FILE"},
      {"CLI rtf --to pdf", 2, "usage: "},
      {"CLI rtf --to text a b", 2, "rtf: only one input file"},
  };
  for (const auto& c : cases) {
    const CliRun r = run(c.line);
    EXPECT_EQ(r.status, c.status) << c.line << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.line;
    if (c.line == "CLI") continue;  // the help text, on standard error
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.line << ": " << r.err;
    EXPECT_EQ(r.err.rfind("tolvan-cli: " + c.err, 0), 0u) << c.line << ": " << r.err;
  }
}

// Standard output that cannot be written (a full disk, here /dev/full) is a
// failed operation for every command: one line with the system's reason,
// status 1, whatever the command would have printed.
TEST_F(CliConventions, FailedWriteOfStandardOutputReported) {
  const std::string full = " > /dev/full";
  const std::string lines[] = {
      "CLI crc text.txt" + full,
      "CLI encrypt-text --password-file pw < text.txt" + full,
      "CLI encrypt-text --password-file pw < text.txt | CLI decrypt-text --password-file pw" + full,
      "CLI type --layout anjal text.txt" + full,
      "CLI convert --from mylai --to tscii text.txt" + full,
      "CLI convert --from tscii --to unicode text.txt" + full,
      "CLI fontmap apply text.txt text.txt" + full,
      "CLI rtf --to rtf text.txt" + full,
      "printf '{\\\\rtf1 hello}' | CLI rtf --to text" + full,
      "CLI --help" + full,
      "CLI --version" + full,
  };
  for (const auto& line : lines) {
    const CliRun r = run(line);
    // The last line (fontmap warns first that text.txt is no font map).
    const std::string said = "tolvan-cli: cannot write standard output: No space left on device\n";
    EXPECT_EQ(r.status, 1) << line;
    EXPECT_TRUE(r.err.size() >= said.size() && r.err.compare(r.err.size() - said.size(), said.size(), said) == 0)
        << line << ": " << r.err;
  }
}

// A file over the RTF reader's limit is refused from its size alone, before
// it is read (a sparse file: it takes no room).
TEST_F(CliConventions, OversizedRtfRefusedBeforeReading) {
  fs::resize_file((std::ofstream(dir_ / "huge.rtf"), dir_ / "huge.rtf"), std::uintmax_t(600) << 20);
  const CliRun r = run("CLI rtf --to text huge.rtf");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tolvan-cli: cannot read huge.rtf: an RTF document is larger than 512 MiB, the most this command reads (it has 600 MiB)\n");
}

// rtf reads standard input when FILE is left out, in both directions.
TEST_F(CliConventions, RtfReadsStandardInput) {
  CliRun r = run("printf '{\\\\rtf1 hello}' | CLI rtf --to text");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "hello\n");
  r = run("printf 'a\\nb' | CLI rtf --to rtf - | CLI rtf --to text");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "a\nb\n");
}

// The streaming commands run over input without end in bounded memory: the
// address space is capped far below what the input brings, and the output
// keeps coming until the reader has what it wants.
TEST_F(CliConventions, StreamingCommandsStayBounded) {
  const std::string cap = "ulimit -v 400000; ";  // KiB
  struct Case {
    std::string line, first;
  };
  const Case cases[] = {
      {"yes ka | (" + cap + "CLI type --layout anjal)", "\xB8\x0A\xB8\x0A"},
      {"yes ka | (" + cap + "CLI convert --from mylai --to tscii -)", "\x0A\xB8\xA1\x0A"},
      {"yes ka | (" + cap + "CLI fontmap apply text.txt)", "\nka\n"},
  };
  for (const auto& c : cases) {
    const CliRun r = run(c.line + " | head -c 30000000 | tail -c 4");  // ends the writer by SIGPIPE
    EXPECT_EQ(r.out, c.first) << c.line << ": " << r.err;
  }
}

// A named file is read through a mapping; another program cutting it short
// meanwhile must give the usual read error, not kill the program by SIGBUS.
// The reader takes the first output (so the conversion has begun and is held
// by the full pipe), cuts the 16 MB file to nothing, then drains the rest.
TEST_F(CliConventions, FileCutShortWhileReadIsAReadError) {
  std::ofstream(dir_ / "big.tscii", std::ios::binary) << std::string(16 << 20, '\xB8');
  const CliRun r = run("(CLI convert --from tscii --to unicode big.tscii; echo $? > status) | "
                       "{ head -c 1 > /dev/null; truncate -s 0 big.tscii; cat > /dev/null; }");
  EXPECT_EQ(slurp(dir_ / "status"), "1\n") << r.err;
  EXPECT_EQ(r.err, "tolvan-cli: cannot read big.tscii: the file was cut short while it was read\n");
}

}  // namespace
