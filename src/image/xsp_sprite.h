#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

// True when the bytes start with the "XSP" magic.
bool HasXspMagic(std::span<const std::uint8_t> file);

// What an XSP sprite file holds besides its frames.
struct XspFile {
  std::int32_t frameCount = 0;
  std::vector<std::uint8_t> records;  // 32 bytes each; no part of Krelt reads them
};

// Checks the header, the frame table and the record table.
Status ReadXspFile(std::span<const std::uint8_t> file, XspFile& sprite);

// One frame of a sprite file.
struct XspFrame {
  // Pixels of 8-bit indices or 5-5-5 values (with flag1555 also for 8-bit
  // frames); the palette is the frame's own or the header's default.
  Picture picture;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::vector<std::uint8_t> records;  // 16 bytes each; no part of Krelt reads them
};

// Reads frame n (0 .. frame count - 1) of a file that ReadXspFile accepts.
Status ReadXspFrame(std::span<const std::uint8_t> file, const ReadOptions& options,
                    std::int32_t n, XspFrame& frame);

}  // namespace krelt
