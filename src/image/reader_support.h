#pragma once

// Helpers shared by the picture readers: little-endian fields, bounds and
// size checks and file-name prefixes for messages.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

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

inline void StoreLe16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
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

// "name.ext: message" for a failed status; success passes through.
Status PrefixFileName(const std::filesystem::path& path, Status status);

}  // namespace krelt::image_detail
