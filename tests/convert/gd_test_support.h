#pragma once

// Helpers for tests that write pictures, convert them and look into the GD
// files: decoded arrays and the 16-bit
// finishing the firmware expects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "compress/tfp_decoder.h"
#include "convert/conversion.h"
#include "convert/gd_reader.h"
#include "support/files.h"

namespace krelt::test {

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
