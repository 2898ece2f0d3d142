#include "image/reader_support.h"

namespace krelt::image_detail {

Status CheckPictureSize(std::int64_t width, std::int64_t height,
                        std::int64_t bytesPerPixel, std::size_t maxPixelBytes) {
  const std::string size =
      std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid picture size: " + size);
  }
  // Both sides are at most 2^15 after the first test, so the product of the
  // three factors stays far inside 64 bits.
  if (width > kMaxImageDimension || height > kMaxImageDimension ||
      static_cast<std::uint64_t>(width * height * bytesPerPixel) >
          maxPixelBytes) {
    return Status::Error(ErrorKind::kTooLarge, "picture too large: " + size);
  }
  return Status();
}

std::string Hex32(std::uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += kDigits[(value >> shift) & 0xF];
  }
  return text;
}

}  // namespace krelt::image_detail
