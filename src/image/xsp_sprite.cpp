#include "image/xsp_sprite.h"

#include <algorithm>
#include <string>

#include "image/high_colour.h"
#include "image/reader_support.h"

namespace krelt {
namespace {

using image_detail::FitsInside;
using image_detail::LoadLeSigned32;

constexpr std::size_t kHeaderSize = 872;
constexpr std::size_t kPixelKindOffset = 4;
constexpr std::size_t kFrameCountOffset = 24;
constexpr std::size_t kDefaultPaletteOffset = 28;
constexpr std::size_t kRecordCountOffset = 796;
constexpr std::size_t kRecordTableOffset = 804;
constexpr std::int64_t kRecordSize = 32;

constexpr std::size_t kFrameHeaderSize = 80;
constexpr std::size_t kFramePaletteOffset = 16;
constexpr std::size_t kFrameRecordCountOffset = 24;
constexpr std::int64_t kFrameRecordSize = 16;
constexpr std::int64_t kPaletteSize = 768;
constexpr std::int32_t kIndexedPixelKind = 1;

Status FrameError(std::int32_t n, const std::string& message) {
  return Status::Error(ErrorKind::kDamaged, "frame " + std::to_string(n) + ": " + message);
}

Status CheckHeader(std::span<const std::uint8_t> file) {
  if (!HasXspMagic(file)) {
    return Status::Error(ErrorKind::kUnsupported, "not an XSP sprite file");
  }
  if (file.size() < kHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "the XSP header is cut short");
  }
  return Status();
}

}  // namespace

bool HasXspMagic(std::span<const std::uint8_t> file) {
  return file.size() >= 3 && file[0] == 'X' && file[1] == 'S' && file[2] == 'P';
}

Status ReadXspFile(std::span<const std::uint8_t> file, XspFile& sprite) {
  if (Status status = CheckHeader(file); !status.ok()) return status;
  const std::int32_t count = LoadLeSigned32(&file[kFrameCountOffset]);
  if (count <= 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid XSP frame count: " + std::to_string(count));
  }
  if (!FitsInside(file.size(), kHeaderSize, std::int64_t{4} * count)) {
    return Status::Error(ErrorKind::kDamaged, "the frame table runs past the end of the file");
  }
  const std::int32_t recordCount = LoadLeSigned32(&file[kRecordCountOffset]);
  if (recordCount < 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid XSP record count: " +
                         std::to_string(recordCount));
  }
  XspFile read;
  read.frameCount = count;
  if (recordCount > 0) {
    const std::int64_t offset = LoadLeSigned32(&file[kRecordTableOffset]);
    const std::int64_t length = kRecordSize * recordCount;
    if (!FitsInside(file.size(), offset, length)) {
      return Status::Error(ErrorKind::kDamaged, "the record table lies outside the file");
    }
    read.records.assign(file.begin() + offset, file.begin() + offset + length);
  }
  sprite = std::move(read);
  return Status();
}

Status ReadXspFrame(std::span<const std::uint8_t> file, const ReadOptions& options,
                    std::int32_t n, XspFrame& frame) {
  if (Status status = CheckHeader(file); !status.ok()) return status;
  const std::int64_t entry = kHeaderSize + std::int64_t{4} * n;
  if (n < 0 || n >= LoadLeSigned32(&file[kFrameCountOffset]) ||
      !FitsInside(file.size(), entry, 4)) {
    return FrameError(n, "no such frame in the frame table");
  }
  const std::int64_t frameOffset = LoadLeSigned32(&file[static_cast<std::size_t>(entry)]);
  if (!FitsInside(file.size(), frameOffset, kFrameHeaderSize)) {
    return FrameError(n, "the frame header lies outside the file");
  }
  const std::uint8_t* header = &file[static_cast<std::size_t>(frameOffset)];
  const std::int32_t width = LoadLeSigned32(header);
  const std::int32_t height = LoadLeSigned32(header + 4);
  const std::int32_t bytesPerPixel =
      LoadLeSigned32(&file[kPixelKindOffset]) == kIndexedPixelKind ? 1 : 2;
  if (Status status = image_detail::CheckPictureSize(width, height, bytesPerPixel,
                                                     options.maxPixelBytes);
      !status.ok()) {
    return status.WithMessage("frame " + std::to_string(n) + ": " + status.message());
  }
  const std::int64_t pixelStart = frameOffset + static_cast<std::int64_t>(kFrameHeaderSize);
  const std::int64_t pixelBytes = std::int64_t{width} * height * bytesPerPixel;
  if (!FitsInside(file.size(), pixelStart, pixelBytes)) {
    return FrameError(n, "the pixel data run past the end of the file");
  }
  // Frame records follow the frame's own palette when it has one, else the
  // pixel data.
  const std::int64_t paletteOffset = LoadLeSigned32(header + kFramePaletteOffset);
  const std::uint8_t* palette = &file[kDefaultPaletteOffset];
  std::int64_t recordStart = pixelStart + pixelBytes;
  if (paletteOffset != 0) {
    if (!FitsInside(file.size(), paletteOffset, kPaletteSize)) {
      return FrameError(n, "the frame palette lies outside the file");
    }
    palette = &file[static_cast<std::size_t>(paletteOffset)];
    recordStart = paletteOffset + kPaletteSize;
  }
  const std::int32_t recordCount = LoadLeSigned32(header + kFrameRecordCountOffset);
  if (recordCount < 0) {
    return FrameError(n, "invalid frame record count: " + std::to_string(recordCount));
  }
  const std::int64_t recordBytes = kFrameRecordSize * recordCount;
  if (!FitsInside(file.size(), recordStart, recordBytes)) {
    return FrameError(n, "the frame records run past the end of the file");
  }

  XspFrame read;
  Picture& picture = read.picture;
  picture.width = width;
  picture.height = height;
  picture.pixelFormat = bytesPerPixel;
  picture.pixels.assign(file.begin() + pixelStart, file.begin() + pixelStart + pixelBytes);
  std::copy_n(palette, kPaletteSize, picture.palette.begin());
  if (bytesPerPixel == 1 && options.flag1555) {
    IndexedPictureTo555(picture);
  } else if (bytesPerPixel == 2) {
    Repack565PixelsTo555(picture.pixels);
  }
  read.x = LoadLeSigned32(header + 8);
  read.y = LoadLeSigned32(header + 12);
  read.records.assign(file.begin() + recordStart, file.begin() + recordStart + recordBytes);
  frame = std::move(read);
  return Status();
}

}  // namespace krelt
