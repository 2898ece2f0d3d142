#pragma once

// Helpers for tests that write pictures, convert them and look into the GD
// files: temporary folders, file contents, decoded arrays and the 16-bit
// finishing the firmware expects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "compress/tfp_decoder.h"
#include "convert/gd_reader.h"
#include "support/temp_dir.h"

namespace krelt::test {

inline void WriteBytes(const std::filesystem::path& path,
                       std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The stream of one array of a parsed GD file, decoded; empty (with a test
// failure) when the array is missing or does not decode.
inline std::vector<std::uint8_t> DecodedArray(const GdSource& source,
                                              const std::string& name) {
  const GdArray* array = source.FindArray(name);
  if (array == nullptr) {
    ADD_FAILURE() << "no array " << name;
    return {};
  }
  std::vector<std::uint8_t> decoded;
  const Status status = TfpDecoder::Decode(array->bytes, decoded);
  EXPECT_TRUE(status.ok()) << name << ": " << status.message();
  return decoded;
}

// Little-endian 16-bit pixels as the firmware takes them: bit 15 on every
// non-zero pixel, high byte first.
inline std::vector<std::uint8_t> FinishedHighColour(std::vector<std::uint8_t> pixels) {
  for (std::size_t i = 0; i + 1 < pixels.size(); i += 2) {
    unsigned value = pixels[i] | (pixels[i + 1] << 8);
    if (value != 0) value |= 0x8000;
    pixels[i] = static_cast<std::uint8_t>(value >> 8);
    pixels[i + 1] = static_cast<std::uint8_t>(value);
  }
  return pixels;
}

inline GdSource ParsedGdFile(const std::filesystem::path& path) {
  GdSource source;
  const Status status = ReadGdSource(path, source);
  EXPECT_TRUE(status.ok()) << status.message();
  return source;
}

}  // namespace krelt::test
