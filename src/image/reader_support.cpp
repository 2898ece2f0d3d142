#include "image/reader_support.h"

#include "common/utf8_path.h"
#include "image/raster_image.h"

namespace krelt::image_detail {
namespace {

std::string FileName(const std::filesystem::path& path) {
  return PathToUtf8(path.filename());
}

}  // namespace

Status CheckPictureSize(std::int64_t width, std::int64_t height,
                        std::int64_t bytesPerPixel) {
  const std::string size =
      std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid picture size: " + size);
  }
  // Both sides are at most 2^15 after the first test, so the product of the
  // three factors stays far inside 64 bits.
  if (width > kMaxImageDimension || height > kMaxImageDimension ||
      static_cast<std::uint64_t>(width * height * bytesPerPixel) >
          kMaxPixelBytes) {
    return Status::Error(ErrorKind::kTooLarge, "picture too large: " + size);
  }
  return Status();
}

Status PrefixFileName(const std::filesystem::path& path, Status status) {
  if (status.ok()) return status;
  return status.WithMessage(FileName(path) + ": " + status.message());
}

}  // namespace krelt::image_detail
