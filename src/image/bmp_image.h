#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/status.h"
#include "image/raster_image.h"

namespace krelt {

inline constexpr const char* kNotABitmapMessage = "This is not a bitmap file";
inline constexpr const char* kUnsupportedBitmapMessage =
    "This file is not a 24Bit or 256 format";

// Reads uncompressed 8-, 24- and 32-bit BMP pictures into decodedPixels.
class BmpImage : public RasterImage {
 public:
  // Reads the file and decodes it. With flag1555, 8-bit pictures are widened
  // to RGB through their colour table.
  Status Load(const std::filesystem::path& path, bool flag1555);
  Status LoadFromBytes(std::span<const std::uint8_t> file, bool flag1555);

  // RGB pixels to 16-bit 1-5-5-5 values with bit 15 set; other formats are
  // left alone.
  void ConvertTo16Bit();

  // The decoded picture; the driver takes it after each conversion.
  std::vector<std::uint8_t> decodedPixels;
};

}  // namespace krelt
