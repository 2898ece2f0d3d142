#pragma once

// Helpers shared by the picture readers: little-endian fields, packed
// rows, bounds and size checks.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/status.h"
#include "image/picture.h"

namespace krelt::image_detail {

inline std::uint16_t LoadLe16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline std::uint32_t LoadLe32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) |
         (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

inline std::int32_t LoadLeSigned32(const std::uint8_t* bytes) {
  return static_cast<std::int32_t>(LoadLe32(bytes));
}

inline std::uint32_t LoadBe32(const std::uint8_t* bytes) {
  return (static_cast<std::uint32_t>(bytes[0]) << 24) |
         (static_cast<std::uint32_t>(bytes[1]) << 16) |
         (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
}

inline void StoreLe16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

// Value of pixel x in a row of packed `bits`-bit values (1, 2, 4 or 8), the
// leftmost pixel in the highest bits of each byte.
inline unsigned PackedValue(const std::uint8_t* row, std::size_t x, unsigned bits) {
  const std::size_t bit = x * bits;
  const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
  return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
inline bool FitsInside(std::size_t size, std::int64_t offset,
                       std::int64_t length) {
  return offset >= 0 && length >= 0 &&
         static_cast<std::uint64_t>(offset) <= size &&
         static_cast<std::uint64_t>(length) <=
             size - static_cast<std::uint64_t>(offset);
}

// Refuses sizes of zero or less, and pictures whose sides exceed
// kMaxImageDimension or whose pixel bytes exceed maxPixelBytes.
Status CheckPictureSize(std::int64_t width, std::int64_t height,
                        std::int64_t bytesPerPixel,
                        std::size_t maxPixelBytes = kMaxPixelBytes);

// "0x00FF0000".
std::string Hex32(std::uint32_t value);

}  // namespace krelt::image_detail
