#pragma once

// Helpers for tests that write pictures, convert them and look into the GD
// files: a sprite file of several frames, decoded arrays and the 16-bit
// finishing the firmware expects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "compress/tfp_decoder.h"
#include "gd/gd_reader.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt::test {

// count bytes 0, step, 2 * step, ... (modulo 256).
inline std::vector<std::uint8_t> Ramp(std::size_t count, unsigned step) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * step);
  return bytes;
}

// A sprite file of four frames of 3 x 2, 4 x 3, 5 x 2 and 6 x 3 pixels:
// 8-bit indices for pixel kind 1, 16-bit values for kind 2.
inline std::vector<std::uint8_t> FourFrameSprite(int pixelKind) {
  XspSpec layout;
  layout.pixelKind = pixelKind;
  layout.defaultPalette = Ramp(768, 1);
  for (std::uint8_t& component : layout.defaultPalette) component &= 0x3F;
  for (int frame = 0; frame < 4; ++frame) {
    XspFrameSpec frameSpec;
    frameSpec.width = 3 + frame;
    frameSpec.height = 2 + frame % 2;
    const int bytesPerPixel = pixelKind == 1 ? 1 : 2;
    frameSpec.pixels = Ramp(static_cast<std::size_t>(frameSpec.width * frameSpec.height *
                                                     bytesPerPixel),
                            static_cast<unsigned>(11 + frame));
    layout.frames.push_back(frameSpec);
  }
  return MakeXsp(layout);
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
