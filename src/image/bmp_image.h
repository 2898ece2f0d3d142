#pragma once

#include <cstdint>
#include <span>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

inline constexpr const char* kNotABitmapMessage = "This is not a bitmap file";

// True when the bytes start with "BM".
bool HasBmpSignature(std::span<const std::uint8_t> file);

// Reads a BMP file: headers of 12 (OS/2 1.x), 16 to 64 (OS/2 2.x), 40, 52,
// 56, 108 and 124 bytes; 1-, 2-, 4- and 8-bit palette pictures, RLE8 and
// RLE4, 16- and 32-bit bit fields of any width, 24 and 32 bits.
// Palette pictures give indices, or with flag1555 red, green, blue through
// the colour table. 24- and 32-bit pictures give red, green, blue. 16-bit
// and bit-field pictures give red, green, blue with each field scaled to 8
// bits; with flag1555 those with a field of five or six bits give 1-5-5-5
// values with bit 15 set instead, 5-bit fields unchanged.
Status ReadBmp(std::span<const std::uint8_t> file, const ReadOptions& options,
               Picture& picture);

}  // namespace krelt
