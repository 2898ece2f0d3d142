// Loads the input as a BMP file, with and without the "1555" flag, and
// converts a loaded RGB picture to 16-bit pixels.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/bmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (const bool flag1555 : {false, true}) {
    krelt::BmpImage image;
    if (!image.LoadFromBytes(file, flag1555).ok()) continue;
    krelt::fuzz::RequireLoadedPicture(image, image.decodedPixels.size());
    krelt::fuzz::Require(
        image.pixelFormat == krelt::kPixelFormatRgb ||
            (!flag1555 && image.pixelFormat == krelt::kPixelFormatIndexed),
        "BMP gives RGB, or indices without the flag");
    image.ConvertTo16Bit();
    krelt::fuzz::RequireLoadedPicture(image, image.decodedPixels.size());
  }
  return 0;
}
