// Reads the input as a BMP file, with and without the "1555" flag, and
// converts a loaded RGB picture to 16-bit pixels.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/bmp_image.h"
#include "image/pixel_packing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (const bool flag1555 : {false, true}) {
    krelt::Picture picture;
    const krelt::ReadOptions options{flag1555, krelt::fuzz::kFuzzPixelBytes};
    if (!krelt::ReadBmp(file, options, picture).ok()) continue;
    krelt::fuzz::RequirePicture(picture, options.maxPixelBytes);
    krelt::fuzz::Require(
        picture.pixelFormat == krelt::kPixelFormatRgb ||
            (flag1555 ? picture.pixelFormat == krelt::kPixelFormat16Bit
                      : picture.pixelFormat == krelt::kPixelFormatIndexed),
        "BMP gives RGB, indices without the flag or 16-bit values with it");
    if (picture.pixelFormat == krelt::kPixelFormatRgb) {
      const auto packed = krelt::image_detail::RgbTo16Bit(picture.pixels, 0x8000);
      krelt::fuzz::Require(packed.size() * 3 == picture.pixels.size() * 2,
                           "two bytes for every three");
    }
  }
  return 0;
}
