// Replays saved fuzz inputs: every file named on the command line, or every
// file in a named folder, goes once through LLVMFuzzerTestOneInput. A missing
// folder means no saved inputs yet and passes.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void runFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    fs::path p(argv[i]);
    if (fs::is_directory(p)) {
      for (const auto& e : fs::recursive_directory_iterator(p))
        if (e.is_regular_file()) { runFile(e.path()); ++count; }
    } else if (fs::exists(p)) {
      runFile(p);
      ++count;
    }
  }
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %d saved inputs\n", count);
  return 0;
}
