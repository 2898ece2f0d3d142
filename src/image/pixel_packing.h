#pragma once

// 16-bit pixel packing shared by the readers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace krelt::image_detail {

// An 8-bit component rounded to five bits: (c + 3) >> 3, at most 31.
inline std::uint16_t ComponentTo5Bits(std::uint8_t component) {
  const unsigned rounded = (component + 3u) >> 3;
  return static_cast<std::uint16_t>(rounded > 31 ? 31 : rounded);
}

// Value of pixel x in a row of packed `bits`-bit values (1, 2, 4 or 8), the
// leftmost pixel in the highest bits of each byte.
inline unsigned PackedValue(const std::uint8_t* row, std::size_t x, unsigned bits) {
  const std::size_t bit = x * bits;
  const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
  return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

// Red, green, blue bytes to little-endian 5-5-5 values, each ORed with
// topBits (0 or 0x8000).
std::vector<std::uint8_t> RgbTo16Bit(std::span<const std::uint8_t> rgb,
                                     std::uint16_t topBits);

// 5-5-5 values for the 256 entries of a palette of 6-bit components.
std::array<std::uint16_t, 256> Palette555Table(const std::uint8_t* rgbPalette);

}  // namespace krelt::image_detail
