#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/status.h"
#include "image/picture.h"
#include "image/raster_image.h"

namespace krelt {

// Turns width * height palette indices into 16-bit 5-5-5 values through a
// 768-byte palette of 6-bit components.
void IndexedTo555(std::vector<std::uint8_t>& pixels, std::int32_t width,
                  std::int32_t height, const std::uint8_t* rgbPalette);

// Rewrites width * height little-endian 5-6-5 values as 5-5-5 in place.
void Repack565To555(std::uint8_t* pixels, std::int32_t width,
                    std::int32_t height);

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

// The frames of a sprite file, one at a time, in a RasterImage.
class XspSprite : public RasterImage {
 public:
  // Checks the file and loads frame 0. With flag1555, 8-bit frames become
  // 5-5-5 values as they load.
  Status Open(const std::filesystem::path& path, bool flag1555);
  Status OpenFromBytes(std::vector<std::uint8_t> file, bool flag1555);

  // Loads frame n; a number outside 0 .. frameCount - 1 changes nothing.
  Status LoadFrame(std::int32_t n);

  std::int32_t frameCount = 0;

 private:
  void Take(XspFrame frame);

  std::vector<std::uint8_t> file_;  // the whole sprite file
  bool flag1555_ = false;
};

}  // namespace krelt
