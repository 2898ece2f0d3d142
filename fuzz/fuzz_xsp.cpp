// Opens the input as an XSP sprite file, with and without the "1555" flag,
// and loads every frame, then a few numbers outside the frame range.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "image/xsp_sprite.h"

namespace {

void RequireFrameLoaded(const krelt::XspSprite& sprite, bool flag1555) {
  krelt::fuzz::RequireLoadedPicture(sprite, sprite.pixels.size());
  krelt::fuzz::Require(
      sprite.pixelFormat == krelt::kPixelFormat16Bit ||
          (!flag1555 && sprite.pixelFormat == krelt::kPixelFormatIndexed),
      "sprite frames are 16-bit, or indices without the flag");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  for (const bool flag1555 : {false, true}) {
    krelt::XspSprite sprite;
    if (!sprite.OpenFromBytes(std::vector<std::uint8_t>(data, data + size),
                              flag1555)
             .ok()) {
      continue;
    }
    krelt::fuzz::Require(sprite.frameCount > 0, "an open sprite has frames");
    // Every frame table entry takes four bytes of the file.
    krelt::fuzz::Require(static_cast<std::size_t>(sprite.frameCount) <= size / 4,
                         "frame count bounded by the file size");
    RequireFrameLoaded(sprite, flag1555);
    for (std::int32_t frame = 1; frame < sprite.frameCount; ++frame) {
      if (sprite.LoadFrame(frame).ok()) RequireFrameLoaded(sprite, flag1555);
    }
    for (const std::int32_t outside : {-1, sprite.frameCount}) {
      const std::vector<std::uint8_t> before = sprite.pixels;
      (void)sprite.LoadFrame(outside);
      krelt::fuzz::Require(sprite.pixels == before,
                           "a frame number out of range changes nothing");
    }
  }
  return 0;
}
