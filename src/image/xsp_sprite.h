#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/status.h"
#include "image/raster_image.h"

namespace krelt {

// Turns width * height palette indices into 16-bit 5-5-5 values through a
// 768-byte palette of 6-bit components.
void IndexedTo555(std::vector<std::uint8_t>& pixels, std::int32_t width,
                  std::int32_t height, const std::uint8_t* rgbPalette);

// Rewrites width * height little-endian 5-6-5 values as 5-5-5 in place.
void Repack565To555(std::uint8_t* pixels, std::int32_t width,
                    std::int32_t height);

// Reads XSP sprite files: a header, a frame table and numbered frames of
// 8-bit indices or 16-bit 5-6-5 pixels. The file is held in memory and one
// frame at a time is loaded into the record.
class XspSprite : public RasterImage {
 public:
  // True when the bytes start with the "XSP" magic.
  static bool HasMagic(std::span<const std::uint8_t> file);

  // Checks the header and frame table and loads frame 0. With flag1555,
  // 8-bit frames become 5-5-5 values as they load.
  Status Open(const std::filesystem::path& path, bool flag1555);
  Status OpenFromBytes(std::vector<std::uint8_t> file, bool flag1555);

  // Loads frame n; a number outside 0 .. frameCount - 1 changes nothing.
  Status LoadFrame(std::int32_t n);

  std::int32_t frameCount = 0;

 private:
  friend class XspSpriteTestAccess;

  // The file's tables, checked before they replace the current ones.
  struct FileTables {
    std::array<std::uint8_t, 872> header{};
    std::vector<std::int32_t> frameOffsets;
    std::vector<std::uint8_t> recordTable;
  };

  void CloseFile();
  static Status ReadTables(std::span<const std::uint8_t> bytes,
                           FileTables& tables);
  Status LoadFrameFrom(std::span<const std::uint8_t> bytes,
                       const FileTables& tables, std::int32_t n);

  std::vector<std::uint8_t> file_;  // the whole sprite file
  bool flag1555_ = false;
  FileTables tables_;
  std::array<std::uint8_t, 80> frameHeader_{};
  std::array<std::uint8_t, 768> framePalette_{};
  std::vector<std::uint8_t> frameRecords_;
};

}  // namespace krelt
