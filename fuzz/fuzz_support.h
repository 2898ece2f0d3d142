#pragma once

// Helpers shared by the fuzz targets: invariant checks that stop the run
// (libFuzzer reports abort() as a crash and keeps the input).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "image/high_colour.h"
#include "image/picture.h"

namespace krelt::fuzz {

inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz invariant failed: %s\n", what);
    std::abort();
  }
}

// Pixel bytes a picture of the given format and size must hold.
inline std::size_t ExpectedPixelBytes(PixelFormat format, std::int32_t width,
                                      std::int32_t height) {
  const std::size_t bytesPerPixel =
      format == kPixelFormat16Colour ? 1 : static_cast<std::size_t>(format);
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
         bytesPerPixel;
}

// A picture a reader function delivers: sides within the limits, a known
// format, exactly the pixel bytes its size calls for and no more than the
// limit it was given.
inline void RequirePicture(const Picture& picture, std::size_t maxPixelBytes) {
  Require(picture.width > 0 && picture.width <= kMaxImageDimension,
          "width within 1 .. kMaxImageDimension");
  Require(picture.height > 0 && picture.height <= kMaxImageDimension,
          "height within 1 .. kMaxImageDimension");
  Require(picture.pixelFormat >= kPixelFormat16Colour && picture.pixelFormat <= kPixelFormatRgb,
          "known pixel format");
  Require(picture.pixels.size() ==
              ExpectedPixelBytes(picture.pixelFormat, picture.width, picture.height),
          "pixel bytes match width x height x bytes per pixel");
  Require(picture.pixels.size() <= maxPixelBytes, "pixel bytes within the reader's limit");
}

// Pictures of at most 4 MiB, so that a small input stays small.
inline constexpr std::size_t kFuzzPixelBytes = std::size_t{4} << 20;

// An RGB picture made 16-bit by the road's rule, as the conversion does
// with the "1555" flag: still a whole picture, two bytes a pixel.
inline void RequireRgbTo555(const Picture& picture, const HighColourRoad& road) {
  Picture packed = picture;
  RgbPictureTo555(packed, road.colourTopBit);
  Require(packed.pixelFormat == kPixelFormat16Bit, "RGB becomes 16-bit");
  RequirePicture(packed, kFuzzPixelBytes);
}

// Runs a reader function on the input without and with the "1555" flag and
// hands every picture it delivers, checked as above, to `check`.
template <typename Reader, typename Check>
void ReadWithEachFlag(std::span<const std::uint8_t> file, Reader read, Check check) {
  for (const bool flag1555 : {false, true}) {
    Picture picture;
    const ReadOptions options{flag1555, kFuzzPixelBytes};
    if (!read(file, options, picture).ok()) continue;
    RequirePicture(picture, options.maxPixelBytes);
    check(picture, flag1555);
  }
}

}  // namespace krelt::fuzz
