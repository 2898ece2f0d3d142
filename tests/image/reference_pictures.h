#pragma once

// Reading the reference pictures of tests/data and their plain PPM dumps.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/files.h"

namespace krelt::test {

inline std::filesystem::path TestDataPath(const std::string& name) {
  return std::filesystem::path(KRELT_TEST_DATA_DIR) / name;
}

// A TempDir that also writes files.
class ScratchDirectory : public TempDir {
 public:
  using TempDir::TempDir;

  std::filesystem::path Write(const std::string& name,
                              const std::vector<std::uint8_t>& bytes) const {
    std::ofstream(path() / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path() / name;
  }
};

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A plain (P3) PPM picture with maxval 255: red, green, blue per pixel.
struct PlainPpm {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

inline PlainPpm ReadPlainPpm(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string magic;
  int maxval = 0;
  PlainPpm ppm;
  in >> magic >> ppm.width >> ppm.height >> maxval;
  if (magic != "P3" || maxval != 255) return {};
  for (int value = 0; in >> value;) {
    ppm.rgb.push_back(static_cast<std::uint8_t>(value));
  }
  return ppm;
}

}  // namespace krelt::test
