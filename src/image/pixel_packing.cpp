#include "image/pixel_packing.h"

#include <cstddef>

#include "image/reader_support.h"
#include "image/xsp_sprite.h"

namespace krelt {
namespace image_detail {

std::vector<std::uint8_t> RgbTo16Bit(std::span<const std::uint8_t> rgb,
                                     std::uint16_t topBits) {
  const std::size_t count = rgb.size() / 3;
  std::vector<std::uint8_t> packed(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* pixel = &rgb[3 * i];
    const auto value = static_cast<std::uint16_t>(
        topBits | (ComponentTo5Bits(pixel[0]) << 10) |
        (ComponentTo5Bits(pixel[1]) << 5) | ComponentTo5Bits(pixel[2]));
    StoreLe16(&packed[2 * i], value);
  }
  return packed;
}

std::array<std::uint16_t, 256> Palette555Table(const std::uint8_t* rgbPalette) {
  std::array<std::uint16_t, 256> table{};
  for (std::size_t k = 0; k < table.size(); ++k) {
    const std::uint8_t* entry = rgbPalette + 3 * k;
    table[k] = static_cast<std::uint16_t>(((entry[0] & 0x7E) << 9) |
                                          ((entry[1] & 0xFE) << 4) |
                                          (entry[2] >> 1));
  }
  return table;
}

}  // namespace image_detail

namespace {

// Pixel count of a width x height picture, or 0 for an empty or invalid one.
std::size_t PixelCount(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  return static_cast<std::size_t>(static_cast<std::int64_t>(width) * height);
}

}  // namespace

void IndexedTo555(std::vector<std::uint8_t>& pixels, std::int32_t width,
                  std::int32_t height, const std::uint8_t* rgbPalette) {
  const std::size_t count = PixelCount(width, height);
  if (rgbPalette == nullptr || count > pixels.size()) return;
  const std::array<std::uint16_t, 256> table =
      image_detail::Palette555Table(rgbPalette);
  std::vector<std::uint8_t> packed(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    image_detail::StoreLe16(&packed[2 * i], table[pixels[i]]);
  }
  pixels = std::move(packed);
}

void Repack565To555(std::uint8_t* pixels, std::int32_t width,
                    std::int32_t height) {
  const std::size_t count = PixelCount(width, height);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* bytes = pixels + 2 * i;
    const std::uint16_t value = image_detail::LoadLe16(bytes);
    image_detail::StoreLe16(
        bytes, static_cast<std::uint16_t>(((value >> 1) & 0x7FE0) |
                                          (value & 0x1F)));
  }
}

}  // namespace krelt
