// Reads the input as a PNG file, with and without the "1555" flag.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  for (const bool flag1555 : {false, true}) {
    krelt::Picture picture;
    const krelt::ReadOptions options{flag1555, krelt::fuzz::kFuzzPixelBytes};
    if (!krelt::ReadPng(file, options, picture).ok()) continue;
    krelt::fuzz::RequirePicture(picture, options.maxPixelBytes);
    krelt::fuzz::Require(
        flag1555 ? picture.pixelFormat == krelt::kPixelFormat16Bit
                 : picture.pixelFormat == krelt::kPixelFormatIndexed ||
                       picture.pixelFormat == krelt::kPixelFormatRgb,
        "PNG gives indices or RGB, or 16-bit values with the flag");
  }
  return 0;
}
