#include "image/reader_support.h"

#include <fstream>
#include <system_error>

#include "image/raster_image.h"

namespace krelt::image_detail {
namespace {

// Larger inputs are refused before they are read into memory.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;

std::string FileName(const std::filesystem::path& path) {
  return path.filename().string();
}

Status CantOpen(const std::filesystem::path& path, const std::string& reason) {
  return Status::Error("Can't open " + FileName(path) + ": " + reason);
}

}  // namespace

Status CheckPictureSize(std::int64_t width, std::int64_t height,
                        std::int64_t bytesPerPixel) {
  const std::string size =
      std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0) {
    return Status::Error("invalid picture size: " + size);
  }
  // Both sides are at most 2^15 after the first test, so the product of the
  // three factors stays far inside 64 bits.
  if (width > kMaxImageDimension || height > kMaxImageDimension ||
      static_cast<std::uint64_t>(width * height * bytesPerPixel) >
          kMaxPixelBytes) {
    return Status::Error("picture too large: " + size);
  }
  return Status();
}

Status ReadFileBytes(const std::filesystem::path& path,
                     std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  const std::filesystem::file_status status =
      std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    return CantOpen(path, "no such file");
  }
  if (std::filesystem::is_directory(status)) {
    return CantOpen(path, "it is a folder");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return CantOpen(path, "it cannot be read");
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  in.seekg(0, std::ios::beg);
  if (length < 0 || !in) return CantOpen(path, "it cannot be read");
  if (static_cast<std::uint64_t>(length) > kMaxFileBytes) {
    return CantOpen(path, "the file is larger than 1 GiB");
  }
  std::vector<std::uint8_t> content(static_cast<std::size_t>(length));
  in.read(reinterpret_cast<char*>(content.data()), length);
  if (in.gcount() != length) {
    return CantOpen(path, "reading stopped early");
  }
  bytes = std::move(content);
  return Status();
}

Status PrefixFileName(const std::filesystem::path& path, Status status) {
  if (status.ok()) return status;
  return Status::Error(FileName(path) + ": " + status.message());
}

}  // namespace krelt::image_detail
