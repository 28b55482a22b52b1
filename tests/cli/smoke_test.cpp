// The command-line tool starts and prints its help.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(Cli, HelpListsCommands) {
  std::string cmd = std::string(TOLVAN_CLI_PATH) + " --help";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  for (const char* c : {"type", "convert", "fontmap", "encrypt", "crc", "rtf"})
    EXPECT_NE(out.find(c), std::string::npos) << c;
}
