// Opens the input as a PCX file and runs the 16-bit conversion the "1555"
// flag asks for.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/pcx_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  krelt::PcxImage image;
  if (!image.OpenFromBytes(file).ok()) return 0;
  krelt::fuzz::RequireLoadedPicture(image, image.pixels.size());
  if (image.pixelFormat == krelt::kPixelFormat16Colour) {
    for (const std::uint8_t index : image.pixels) {
      krelt::fuzz::Require(index < 16, "16-colour indices below 16");
    }
  }
  image.ConvertRgbTo16Bit();
  image.ConvertIndexedTo16Bit();
  krelt::fuzz::RequireLoadedPicture(image, image.pixels.size());
  return 0;
}
