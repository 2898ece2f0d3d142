// Reads the input as a PCX file, with and without the "1555" flag, and
// converts a loaded 24-bit picture to 16-bit pixels.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/pcx_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  krelt::fuzz::ReadWithEachFlag(
      std::span<const std::uint8_t>(data, size), krelt::ReadPcx,
      [](const krelt::Picture& picture, bool flag1555) {
        krelt::fuzz::Require(
            picture.pixelFormat == krelt::kPixelFormat16Colour ||
                picture.pixelFormat == krelt::kPixelFormatRgb ||
                picture.pixelFormat ==
                    (flag1555 ? krelt::kPixelFormat16Bit : krelt::kPixelFormatIndexed),
            "PCX gives 16-colour indices, RGB, and indices without the flag or "
            "16-bit values with it");
        if (picture.pixelFormat == krelt::kPixelFormat16Colour) {
          for (const std::uint8_t index : picture.pixels) {
            krelt::fuzz::Require(index < 16, "16-colour indices below 16");
          }
        }
        if (picture.pixelFormat == krelt::kPixelFormatRgb) {
          krelt::fuzz::RequireRgbTo555(picture, krelt::kPcxSpriteRoad);
        }
      });
  return 0;
}
