#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture.h"

namespace krelt {

// The in-memory picture every reader fills.
class RasterImage {
 public:
  RasterImage() = default;
  virtual ~RasterImage() = default;

  // Copies 768 palette bytes (red, green, blue; 6-bit values) into palette
  // and rebuilds palette16. A null pointer does nothing.
  void SetPalette(const std::uint8_t* rgb);

  // Replaces pixels with a copy of width * pixelFormat * height bytes of
  // source (pixelFormat other than 1..3 becomes 1 first); for indexed
  // pictures also takes the palette when one is given.
  void SetPixels(const std::uint8_t* source, std::int32_t newWidth,
                 std::int32_t newHeight, const std::uint8_t* rgbPalette);

  std::array<std::uint8_t, 768> palette{};
  std::array<std::uint16_t, 256> palette16{};
  std::vector<std::uint8_t> pixels;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  PixelFormat pixelFormat = kPixelFormatIndexed;
};

}  // namespace krelt
