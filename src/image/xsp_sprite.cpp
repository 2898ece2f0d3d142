#include "image/xsp_sprite.h"

#include <algorithm>
#include <string>

#include "common/file_io.h"
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

}  // namespace

bool XspSprite::HasMagic(std::span<const std::uint8_t> file) {
  return file.size() >= 3 && file[0] == 'X' && file[1] == 'S' && file[2] == 'P';
}

Status XspSprite::Open(const std::filesystem::path& path, bool flag1555) {
  CloseFile();
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) {
    return status;
  }
  return image_detail::PrefixFileName(path,
                                      OpenFromBytes(std::move(file), flag1555));
}

Status XspSprite::OpenFromBytes(std::vector<std::uint8_t> file, bool flag1555) {
  CloseFile();
  if (!HasMagic(file)) return Status::Error(ErrorKind::kUnsupported, "not an XSP sprite file");
  FileTables tables;
  if (Status status = ReadTables(file, tables); !status.ok()) return status;
  flag1555_ = flag1555;
  if (Status status = LoadFrameFrom(file, tables, 0); !status.ok()) {
    return status;
  }
  frameCount = static_cast<std::int32_t>(tables.frameOffsets.size());
  file_ = std::move(file);
  tables_ = std::move(tables);
  return Status();
}

Status XspSprite::LoadFrame(std::int32_t n) {
  if (n < 0 || n >= frameCount) return Status();
  return LoadFrameFrom(file_, tables_, n);
}

void XspSprite::CloseFile() {
  file_ = {};
  tables_ = {};
  frameCount = 0;
}

Status XspSprite::ReadTables(std::span<const std::uint8_t> bytes,
                             FileTables& tables) {
  if (bytes.size() < kHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "the XSP header is cut short");
  }
  std::copy_n(bytes.begin(), kHeaderSize, tables.header.begin());
  const std::int32_t count = LoadLeSigned32(&bytes[kFrameCountOffset]);
  if (count <= 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid XSP frame count: " + std::to_string(count));
  }
  if (!FitsInside(bytes.size(), kHeaderSize, std::int64_t{4} * count)) {
    return Status::Error(ErrorKind::kDamaged, "the frame table runs past the end of the file");
  }
  tables.frameOffsets.resize(static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < tables.frameOffsets.size(); ++i) {
    tables.frameOffsets[i] = LoadLeSigned32(&bytes[kHeaderSize + 4 * i]);
  }
  const std::int32_t recordCount = LoadLeSigned32(&bytes[kRecordCountOffset]);
  if (recordCount < 0) {
    return Status::Error(ErrorKind::kDamaged, "invalid XSP record count: " +
                         std::to_string(recordCount));
  }
  if (recordCount > 0) {
    const std::int64_t offset = LoadLeSigned32(&bytes[kRecordTableOffset]);
    const std::int64_t length = kRecordSize * recordCount;
    if (!FitsInside(bytes.size(), offset, length)) {
      return Status::Error(ErrorKind::kDamaged, "the record table lies outside the file");
    }
    tables.recordTable.assign(bytes.begin() + offset,
                              bytes.begin() + offset + length);
  }
  return Status();
}

Status XspSprite::LoadFrameFrom(std::span<const std::uint8_t> bytes,
                                const FileTables& tables, std::int32_t n) {
  const std::int64_t frameOffset = tables.frameOffsets[static_cast<std::size_t>(n)];
  if (!FitsInside(bytes.size(), frameOffset, kFrameHeaderSize)) {
    return FrameError(n, "the frame header lies outside the file");
  }
  const std::uint8_t* frame = &bytes[static_cast<std::size_t>(frameOffset)];
  const std::int32_t frameWidth = LoadLeSigned32(frame);
  const std::int32_t frameHeight = LoadLeSigned32(frame + 4);
  const std::int32_t bytesPerPixel =
      LoadLeSigned32(&tables.header[kPixelKindOffset]) == kIndexedPixelKind ? 1 : 2;
  if (Status status =
          image_detail::CheckPictureSize(frameWidth, frameHeight, bytesPerPixel);
      !status.ok()) {
    return status.WithMessage("frame " + std::to_string(n) + ": " + status.message());
  }
  const std::int64_t pixelStart = frameOffset + static_cast<std::int64_t>(kFrameHeaderSize);
  const std::int64_t pixelBytes =
      std::int64_t{frameWidth} * frameHeight * bytesPerPixel;
  if (!FitsInside(bytes.size(), pixelStart, pixelBytes)) {
    return FrameError(n, "the pixel data run past the end of the file");
  }
  // Frame records follow the frame's own palette when it has one, else the
  // pixel data.
  const std::int64_t paletteOffset = LoadLeSigned32(frame + kFramePaletteOffset);
  const std::uint8_t* paletteBytes = &tables.header[kDefaultPaletteOffset];
  std::int64_t recordStart = pixelStart + pixelBytes;
  if (paletteOffset != 0) {
    if (!FitsInside(bytes.size(), paletteOffset, kPaletteSize)) {
      return FrameError(n, "the frame palette lies outside the file");
    }
    paletteBytes = &bytes[static_cast<std::size_t>(paletteOffset)];
    recordStart = paletteOffset + kPaletteSize;
  }
  const std::int32_t recordCount =
      LoadLeSigned32(frame + kFrameRecordCountOffset);
  if (recordCount < 0) {
    return FrameError(n, "invalid frame record count: " +
                             std::to_string(recordCount));
  }
  const std::int64_t recordBytes = kFrameRecordSize * recordCount;
  if (!FitsInside(bytes.size(), recordStart, recordBytes)) {
    return FrameError(n, "the frame records run past the end of the file");
  }

  std::vector<std::uint8_t> framePixels(bytes.begin() + pixelStart,
                                        bytes.begin() + pixelStart + pixelBytes);
  PixelFormat format = bytesPerPixel;
  if (bytesPerPixel == 1 && flag1555_) {
    IndexedTo555(framePixels, frameWidth, frameHeight, paletteBytes);
    format = kPixelFormat16Bit;
  } else if (bytesPerPixel == 2) {
    Repack565To555(framePixels.data(), frameWidth, frameHeight);
  }

  std::copy_n(frame, kFrameHeaderSize, frameHeader_.begin());
  std::copy_n(paletteBytes, kPaletteSize, framePalette_.begin());
  frameRecords_.assign(bytes.begin() + recordStart,
                       bytes.begin() + recordStart + recordBytes);
  pixels = std::move(framePixels);
  width = frameWidth;
  height = frameHeight;
  pixelFormat = format;
  if (format == kPixelFormatIndexed) SetPalette(framePalette_.data());
  x = LoadLeSigned32(frame + 8);
  y = LoadLeSigned32(frame + 12);
  return Status();
}

}  // namespace krelt
