#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/status.h"

namespace krelt {

// How the pixels of a picture to be written as PNG are laid out.
enum class PngColour {
  kPalette,  // one index per pixel into `palette`
  kRgb,      // red, green, blue bytes
  kRgba,     // red, green, blue, alpha bytes
};

// A picture with 8-bit components, as it is written to a PNG file.
struct PngPicture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PngColour colour = PngColour::kRgb;
  std::vector<std::uint8_t> pixels;  // row-major, top row first, no padding
  std::array<std::uint8_t, 768> palette{};  // kPalette: 256 x red, green, blue
};

// Bytes per pixel of a colour layout.
std::size_t PngBytesPerPixel(PngColour colour);

// True when this build writes PNG files (it needs libspng).
bool CanWritePng();

// Encodes the picture as a PNG file of 8-bit samples, not interlaced.
// Pictures whose pixel count does not match their sides are refused.
Status EncodePng(const PngPicture& picture, std::vector<std::uint8_t>& file);

}  // namespace krelt
