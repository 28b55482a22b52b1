// tolvan-cli rtf: hands over to tolvan-rtf, the program beside tolvan-cli
// that holds the RTF reader and writer. They need Qt; keeping them in their
// own program keeps Qt out of every other command's start-up and memory.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

namespace cli {

namespace {
constexpr char kHelper[] = "tolvan-rtf";

// The folder of the running program, from the kernel (not argv[0], which
// the caller chooses).
std::string ownFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

int cmdRtf(const Args& args) {
  const std::string folder = ownFolder();
  if (folder.empty()) return fail(std::string("rtf: cannot find the folder of tolvan-cli to start ") + kHelper);
  const std::string helper = folder + "/" + kHelper;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kHelper));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  ::execv(helper.c_str(), argv.data());
  return fail("rtf: cannot start " + helper + ": " + std::strerror(errno) +
              " (the RTF commands are in that program, installed beside tolvan-cli)");
}

}  // namespace cli
