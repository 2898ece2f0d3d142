// Reads the input as a PNG file, with and without the "1555" flag.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  krelt::fuzz::ReadWithEachFlag(
      std::span<const std::uint8_t>(data, size), krelt::ReadPng,
      [](const krelt::Picture& picture, bool flag1555) {
        krelt::fuzz::Require(
            flag1555 ? picture.pixelFormat == krelt::kPixelFormat16Bit
                     : picture.pixelFormat == krelt::kPixelFormatIndexed ||
                           picture.pixelFormat == krelt::kPixelFormatRgb,
            "PNG gives indices or RGB, or 16-bit values with the flag");
      });
  return 0;
}
