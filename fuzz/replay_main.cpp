// Runs a fuzz target's LLVMFuzzerTestOneInput on every file of the
// directories (or files) given, so saved inputs replay in the normal test
// build. Fails when a directory holds no input at all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/utf8_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputFiles(const std::filesystem::path& path) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(path)) {
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
  } else if (std::filesystem::is_regular_file(path)) {
    files.push_back(path);
  }
  return files;
}

bool Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
  LLVMFuzzerTestOneInput(data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR_OR_FILE...\n", argv[0]);
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const std::vector<std::filesystem::path> files = InputFiles(argv[i]);
    if (files.empty()) {
      std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[i]);
      return 1;
    }
    for (const std::filesystem::path& file : files) {
      if (!Replay(file)) {
        std::fprintf(stderr, "%s: can't read %s\n", argv[0], krelt::PathToUtf8(file).c_str());
        return 1;
      }
    }
    std::printf("%s: replayed %zu inputs\n", argv[i], files.size());
  }
  return 0;
}
