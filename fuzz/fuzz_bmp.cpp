// Reads the input as a BMP file, with and without the "1555" flag, and
// converts a loaded RGB picture to 16-bit pixels.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/bmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  krelt::fuzz::ReadWithEachFlag(
      std::span<const std::uint8_t>(data, size), krelt::ReadBmp,
      [](const krelt::Picture& picture, bool flag1555) {
        krelt::fuzz::Require(
            picture.pixelFormat == krelt::kPixelFormatRgb ||
                picture.pixelFormat ==
                    (flag1555 ? krelt::kPixelFormat16Bit : krelt::kPixelFormatIndexed),
            "BMP gives RGB, indices without the flag or 16-bit values with it");
        if (picture.pixelFormat != krelt::kPixelFormatRgb) return;
        krelt::fuzz::RequireRgbTo555(picture, krelt::kBmpRoad);
      });
  return 0;
}
