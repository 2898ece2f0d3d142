#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

#include "common/status.h"
#include "image/raster_image.h"

namespace krelt {

// Reads run-length coded PCX pictures: 1-bit planar (1 to 4 planes),
// 8-bit indexed and 24-bit in three planes.
class PcxImage : public RasterImage {
 public:
  Status Open(const std::filesystem::path& path);
  Status OpenFromBytes(std::span<const std::uint8_t> file);

  // Only for RGB pictures: to 5-5-5 values, bit 15 clear.
  void ConvertRgbTo16Bit();
  // Only for indexed pictures: through the palette to 5-5-5 values.
  void ConvertIndexedTo16Bit();

  std::array<std::uint8_t, 128> header{};
};

// True when the bytes can start a PCX file (manufacturer 0x0A, encoding 1).
bool HasPcxSignature(std::span<const std::uint8_t> file);

}  // namespace krelt
