#include "image/high_colour.h"

#include <cstddef>
#include <utility>
#include <vector>

#include "image/reader_support.h"

namespace krelt {

using image_detail::LoadLe16;
using image_detail::StoreLe16;

std::uint16_t ComponentTo5Bits(std::uint8_t component) {
  const unsigned rounded = (component + 3u) >> 3;
  return static_cast<std::uint16_t>(rounded > 31 ? 31 : rounded);
}

std::uint16_t Pack555(std::uint16_t red, std::uint16_t green, std::uint16_t blue,
                      std::uint16_t topBit) {
  return static_cast<std::uint16_t>(topBit | red << 10 | green << 5 | blue);
}

std::uint16_t RgbTo555(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                       std::uint16_t topBit) {
  return Pack555(ComponentTo5Bits(red), ComponentTo5Bits(green), ComponentTo5Bits(blue),
                 topBit);
}

std::uint16_t RgbaTo1555(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                         std::uint8_t alpha) {
  constexpr std::uint8_t kOpaqueFrom = 128;
  return alpha < kOpaqueFrom ? 0 : RgbTo555(red, green, blue, kHighColourTopBit);
}

std::uint16_t BitFieldTo5Bits(std::uint32_t value, int bits, std::uint8_t scaledTo8Bits) {
  if (bits == 5) return static_cast<std::uint16_t>(value);
  if (bits == 6) return static_cast<std::uint16_t>(value >> 1);
  return ComponentTo5Bits(scaledTo8Bits);
}

std::array<std::uint16_t, 256> Palette555Table(std::span<const std::uint8_t, 768> palette) {
  std::array<std::uint16_t, 256> table{};
  for (std::size_t k = 0; k < table.size(); ++k) {
    const std::uint8_t* entry = &palette[3 * k];
    table[k] = static_cast<std::uint16_t>(((entry[0] & 0x7E) << 9) |
                                          ((entry[1] & 0xFE) << 4) | (entry[2] >> 1));
  }
  return table;
}

std::uint8_t Widen5To8(unsigned value) {
  return static_cast<std::uint8_t>((value << 3) | (value >> 2));
}

std::uint8_t Widen6To8(std::uint8_t value) {
  return static_cast<std::uint8_t>((value << 2) | (value >> 4));
}

std::uint16_t Repack565To555(std::uint16_t value) {
  return static_cast<std::uint16_t>(((value >> 1) & 0x7FE0) | (value & 0x1F));
}

void RgbPictureTo555(Picture& picture, std::uint16_t topBit) {
  const std::size_t count = picture.pixels.size() / 3;
  std::vector<std::uint8_t> packed(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* rgb = &picture.pixels[3 * i];
    StoreLe16(&packed[2 * i], RgbTo555(rgb[0], rgb[1], rgb[2], topBit));
  }
  picture.pixels = std::move(packed);
  picture.pixelFormat = kPixelFormat16Bit;
}

void IndexedPictureTo555(Picture& picture) {
  const std::array<std::uint16_t, 256> table = Palette555Table(picture.palette);
  std::vector<std::uint8_t> packed(picture.pixels.size() * 2);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    StoreLe16(&packed[2 * i], table[picture.pixels[i]]);
  }
  picture.pixels = std::move(packed);
  picture.pixelFormat = kPixelFormat16Bit;
}

void Repack565PixelsTo555(std::span<std::uint8_t> pixels) {
  for (std::size_t i = 0; i + 1 < pixels.size(); i += 2) {
    StoreLe16(&pixels[i], Repack565To555(LoadLe16(&pixels[i])));
  }
}

void FinishHighColour(std::span<std::uint8_t> pixels, const HighColourRoad& road,
                      bool highByteFirst) {
  for (std::size_t i = 0; i + 1 < pixels.size(); i += 2) {
    std::uint16_t value = LoadLe16(&pixels[i]);
    if (road.topBitOnNonZero && value != 0) value |= kHighColourTopBit;
    if (highByteFirst) value = static_cast<std::uint16_t>(value << 8 | value >> 8);
    StoreLe16(&pixels[i], value);
  }
}

}  // namespace krelt
