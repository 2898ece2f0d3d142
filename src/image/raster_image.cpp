#include "image/raster_image.h"

#include <cstring>

namespace krelt {

void RasterImage::SetPalette(const std::uint8_t* rgb) {
  if (rgb == nullptr) return;
  // memmove: the source may be palette itself.
  std::memmove(palette.data(), rgb, palette.size());
  for (std::size_t k = 0; k < palette16.size(); ++k) {
    const std::uint8_t* entry = &palette[3 * k];
    palette16[k] = static_cast<std::uint16_t>(((entry[0] & 0x3E) << 10) +
                                              (entry[1] << 5) + (entry[2] >> 1));
  }
}

void RasterImage::SetPixels(const std::uint8_t* source, std::int32_t newWidth,
                            std::int32_t newHeight,
                            const std::uint8_t* rgbPalette) {
  if (source == nullptr) return;
  if (pixelFormat < kPixelFormatIndexed || pixelFormat > kPixelFormatRgb) {
    pixelFormat = kPixelFormatIndexed;
  }
  const std::int64_t byteCount =
      (newWidth > 0 && newHeight > 0)
          ? static_cast<std::int64_t>(newWidth) * newHeight * pixelFormat
          : 0;
  pixels.assign(source, source + byteCount);
  width = newWidth;
  height = newHeight;
  if (rgbPalette != nullptr && pixelFormat == kPixelFormatIndexed) {
    SetPalette(rgbPalette);
  }
}

}  // namespace krelt
