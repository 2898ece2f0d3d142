#pragma once

// Reading the reference pictures of tests/data and their plain PPM dumps,
// and checking what the readers give against them.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
#include "image/picture.h"
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

// A reader function: ReadBmp, ReadPcx or ReadPng.
using PictureReader = Status (*)(std::span<const std::uint8_t>, const ReadOptions&, Picture&);

// What `read` gives for a file it must accept.
inline Picture ReadAccepted(PictureReader read, std::span<const std::uint8_t> file,
                            bool flag1555 = false) {
  Picture picture;
  const Status status = read(file, ReadOptions{flag1555}, picture);
  EXPECT_TRUE(status.ok()) << status.message();
  return picture;
}

// Each index of a palette picture through its 6-bit palette against the
// 8-bit colours expected, which the palette holds as their top six bits.
inline void ExpectPaletteColours(const Picture& picture, const PlainPpm& expected) {
  ASSERT_EQ(picture.width, expected.width);
  ASSERT_EQ(picture.height, expected.height);
  ASSERT_EQ(picture.pixels.size() * 3, expected.rgb.size());
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_EQ(picture.palette[3 * picture.pixels[i] + c], expected.rgb[3 * i + c] >> 2) << i;
    }
  }
}

}  // namespace krelt::test
