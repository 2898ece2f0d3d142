// Reads the input as an XSP sprite file, with and without the "1555" flag:
// every frame, then frame numbers outside the frame range.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image/xsp_sprite.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  krelt::XspFile sprite;
  if (!krelt::ReadXspFile(file, sprite).ok()) return 0;
  krelt::fuzz::Require(sprite.frameCount > 0, "an accepted sprite has frames");
  // Every frame table entry takes four bytes of the file.
  krelt::fuzz::Require(static_cast<std::size_t>(sprite.frameCount) <= size / 4,
                       "frame count bounded by the file size");
  for (const bool flag1555 : {false, true}) {
    const krelt::ReadOptions options{flag1555, krelt::fuzz::kFuzzPixelBytes};
    krelt::XspFrame frame;
    for (std::int32_t n = 0; n < sprite.frameCount; ++n) {
      if (!krelt::ReadXspFrame(file, options, n, frame).ok()) continue;
      krelt::fuzz::RequirePicture(frame.picture, options.maxPixelBytes);
      krelt::fuzz::Require(
          frame.picture.pixelFormat == krelt::kPixelFormat16Bit ||
              (!flag1555 && frame.picture.pixelFormat == krelt::kPixelFormatIndexed),
          "sprite frames are 16-bit, or indices without the flag");
    }
    for (const std::int32_t outside : {-1, sprite.frameCount}) {
      krelt::fuzz::Require(!krelt::ReadXspFrame(file, options, outside, frame).ok(),
                           "a frame number out of range is refused");
    }
  }
  return 0;
}
