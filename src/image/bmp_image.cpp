#include "image/bmp_image.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "common/file_io.h"
#include "image/pixel_packing.h"
#include "image/reader_support.h"

namespace krelt {
namespace {

using image_detail::CheckPictureSize;
using image_detail::FitsInside;
using image_detail::LoadLe16;
using image_detail::LoadLe32;
using image_detail::LoadLeSigned32;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kMinInfoHeaderSize = 40;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitFields = 3;
// The only colour masks accepted: 8 bits each, laid out as blue, green, red.
constexpr std::uint32_t kRedMask = 0x00FF0000;
constexpr std::uint32_t kGreenMask = 0x0000FF00;
constexpr std::uint32_t kBlueMask = 0x000000FF;

// Where and how the rows of one picture are stored.
struct BmpLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool topDown = false;
  std::uint32_t bitsPerPixel = 0;
  std::uint64_t pixelOffset = 0;
  std::uint64_t stride = 0;
  std::uint64_t colourTableOffset = 0;
  std::uint32_t colourTableEntries = 0;
};

std::string Hex32(std::uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    text += kDigits[(value >> shift) & 0xF];
  }
  return text;
}

// The colour masks lie at info-header offset 40: inside a V4/V5 header, or
// right after a 40-byte one.
Status CheckBitFields(std::span<const std::uint8_t> file,
                      std::uint32_t bitsPerPixel) {
  if (bitsPerPixel != 32) {
    return Status::Error(ErrorKind::kUnsupported, "unsupported BMP compression: bit fields with " +
                         std::to_string(bitsPerPixel) + " bits per pixel");
  }
  const std::size_t maskOffset = kFileHeaderSize + 40;
  if (!FitsInside(file.size(), maskOffset, 12)) {
    return Status::Error(ErrorKind::kDamaged, "the BMP colour masks are cut short");
  }
  const std::uint32_t red = LoadLe32(&file[maskOffset]);
  const std::uint32_t green = LoadLe32(&file[maskOffset + 4]);
  const std::uint32_t blue = LoadLe32(&file[maskOffset + 8]);
  if (red != kRedMask || green != kGreenMask || blue != kBlueMask) {
    return Status::Error(ErrorKind::kUnsupported, "unsupported BMP colour masks: red " + Hex32(red) +
                         ", green " + Hex32(green) + ", blue " + Hex32(blue));
  }
  return Status();
}

Status CheckCompression(std::span<const std::uint8_t> file,
                        std::uint32_t compression,
                        std::uint32_t bitsPerPixel) {
  switch (compression) {
    case kCompressionNone:
      return Status();
    case kCompressionBitFields:
      return CheckBitFields(file, bitsPerPixel);
    case kCompressionRle8:
    case kCompressionRle4:
      return Status::Error(ErrorKind::kDamaged, 
          "unsupported BMP compression: run-length coded bitmaps");
    default:
      return Status::Error(ErrorKind::kUnsupported, "unsupported BMP compression: type " +
                           std::to_string(compression));
  }
}

Status CheckRowsInside(std::span<const std::uint8_t> file,
                       const BmpLayout& layout) {
  if (layout.pixelOffset > file.size()) {
    return Status::Error(ErrorKind::kDamaged, "the pixel data offset lies beyond the end of the file");
  }
  const std::uint64_t usedRowBytes =
      (static_cast<std::uint64_t>(layout.width) * layout.bitsPerPixel + 7) / 8;
  const std::uint64_t lastRowEnd =
      layout.stride * static_cast<std::uint64_t>(layout.height - 1) +
      usedRowBytes;
  if (lastRowEnd > file.size() - layout.pixelOffset) {
    return Status::Error(ErrorKind::kDamaged, "the pixel data end before the last row");
  }
  return Status();
}

Status CheckColourTable(std::span<const std::uint8_t> file,
                        const BmpLayout& layout) {
  if (!FitsInside(file.size(), static_cast<std::int64_t>(layout.colourTableOffset),
                  std::int64_t{4} * layout.colourTableEntries)) {
    return Status::Error(ErrorKind::kDamaged, "the colour table runs past the end of the file");
  }
  return Status();
}

// Reads and checks every header field the decoder uses. `widened` tells
// whether 8-bit indices will be looked up in the colour table.
Status ReadLayout(std::span<const std::uint8_t> file, bool widened,
                  BmpLayout& layout) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') {
    return Status::Error(ErrorKind::kUnsupported, kNotABitmapMessage);
  }
  if (file.size() < kFileHeaderSize + kMinInfoHeaderSize) {
    return Status::Error(ErrorKind::kDamaged, "the BMP header is cut short");
  }
  const std::uint8_t* info = &file[kFileHeaderSize];
  const std::uint32_t headerSize = LoadLe32(info);
  if (headerSize < kMinInfoHeaderSize) {
    return Status::Error(ErrorKind::kUnsupported, "unsupported BMP header of " +
                         std::to_string(headerSize) + " bytes");
  }
  if (!FitsInside(file.size(), kFileHeaderSize, headerSize)) {
    return Status::Error(ErrorKind::kDamaged, "the BMP header is cut short");
  }
  layout.bitsPerPixel = LoadLe16(info + 14);
  if (layout.bitsPerPixel != 8 && layout.bitsPerPixel != 24 &&
      layout.bitsPerPixel != 32) {
    return Status::Error(ErrorKind::kUnsupported, kUnsupportedBitmapMessage);
  }
  if (Status status =
          CheckCompression(file, LoadLe32(info + 16), layout.bitsPerPixel);
      !status.ok()) {
    return status;
  }
  const std::int64_t width = LoadLeSigned32(info + 4);
  const std::int64_t storedHeight = LoadLeSigned32(info + 8);
  const std::int64_t height = std::llabs(storedHeight);
  const std::int64_t outputBytesPerPixel =
      (layout.bitsPerPixel == 8 && !widened) ? 1 : 3;
  if (Status status = CheckPictureSize(width, height, outputBytesPerPixel);
      !status.ok()) {
    return status;
  }
  layout.width = static_cast<std::int32_t>(width);
  layout.height = static_cast<std::int32_t>(height);
  layout.topDown = storedHeight < 0;
  layout.pixelOffset = LoadLe32(&file[10]);
  layout.stride = (static_cast<std::uint64_t>(layout.bitsPerPixel) * width + 31) /
                  32 * 4;
  layout.colourTableOffset = kFileHeaderSize + std::uint64_t{headerSize};
  const std::uint32_t coloursUsed = LoadLe32(info + 32);
  layout.colourTableEntries =
      (coloursUsed == 0 || coloursUsed > 256) ? 256 : coloursUsed;
  if (Status status = CheckRowsInside(file, layout); !status.ok()) {
    return status;
  }
  if (layout.bitsPerPixel == 8 && widened) return CheckColourTable(file, layout);
  return Status();
}

// The stored row that becomes output row j.
const std::uint8_t* StoredRow(std::span<const std::uint8_t> file,
                              const BmpLayout& layout, std::int32_t j) {
  const std::uint64_t stored =
      layout.topDown ? j : static_cast<std::uint64_t>(layout.height - 1 - j);
  return file.data() + layout.pixelOffset + stored * layout.stride;
}

std::vector<std::uint8_t> DecodeIndices(std::span<const std::uint8_t> file,
                                        const BmpLayout& layout) {
  const std::size_t width = static_cast<std::size_t>(layout.width);
  std::vector<std::uint8_t> out(width * static_cast<std::size_t>(layout.height));
  for (std::int32_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* row = StoredRow(file, layout, j);
    std::copy(row, row + width, out.begin() + static_cast<std::ptrdiff_t>(j * width));
  }
  return out;
}

Status DecodeThroughColourTable(std::span<const std::uint8_t> file,
                                const BmpLayout& layout,
                                std::vector<std::uint8_t>& out) {
  const std::uint8_t* table = file.data() + layout.colourTableOffset;
  const std::size_t width = static_cast<std::size_t>(layout.width);
  out.assign(width * static_cast<std::size_t>(layout.height) * 3, 0);
  std::uint8_t* target = out.data();
  for (std::int32_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* row = StoredRow(file, layout, j);
    for (std::size_t i = 0; i < width; ++i, target += 3) {
      if (row[i] >= layout.colourTableEntries) {
        return Status::Error(ErrorKind::kDamaged, "pixel index beyond the colour table");
      }
      const std::uint8_t* entry = table + 4 * row[i];
      target[0] = entry[2];
      target[1] = entry[1];
      target[2] = entry[0];
    }
  }
  return Status();
}

// 24- and 32-bit rows: blue, green, red (and a fourth byte) to red, green,
// blue.
std::vector<std::uint8_t> DecodeRgb(std::span<const std::uint8_t> file,
                                    const BmpLayout& layout) {
  const std::size_t storedBytes = layout.bitsPerPixel / 8;
  const std::size_t width = static_cast<std::size_t>(layout.width);
  std::vector<std::uint8_t> out(width * static_cast<std::size_t>(layout.height) * 3);
  std::uint8_t* target = out.data();
  for (std::int32_t j = 0; j < layout.height; ++j) {
    const std::uint8_t* source = StoredRow(file, layout, j);
    for (std::size_t i = 0; i < width; ++i, source += storedBytes, target += 3) {
      target[0] = source[2];
      target[1] = source[1];
      target[2] = source[0];
    }
  }
  return out;
}

}  // namespace

Status BmpImage::Load(const std::filesystem::path& path, bool flag1555) {
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(path, file); !status.ok()) {
    return status;
  }
  Status status = LoadFromBytes(file, flag1555);
  // The two classic refusals keep their exact wording.
  if (status.ok() || status.message() == kNotABitmapMessage ||
      status.message() == kUnsupportedBitmapMessage) {
    return status;
  }
  return image_detail::PrefixFileName(path, std::move(status));
}

Status BmpImage::LoadFromBytes(std::span<const std::uint8_t> file,
                               bool flag1555) {
  BmpLayout layout;
  if (Status status = ReadLayout(file, flag1555, layout); !status.ok()) {
    return status;
  }
  std::vector<std::uint8_t> decoded;
  PixelFormat format = kPixelFormatRgb;
  if (layout.bitsPerPixel != 8) {
    decoded = DecodeRgb(file, layout);
  } else if (flag1555) {
    if (Status status = DecodeThroughColourTable(file, layout, decoded);
        !status.ok()) {
      return status;
    }
  } else {
    decoded = DecodeIndices(file, layout);
    format = kPixelFormatIndexed;
  }
  decodedPixels = std::move(decoded);
  width = layout.width;
  height = layout.height;
  pixelFormat = format;
  return Status();
}

void BmpImage::ConvertTo16Bit() {
  if (pixelFormat != kPixelFormatRgb) return;
  decodedPixels = image_detail::RgbTo16Bit(decodedPixels, 0x8000);
  pixelFormat = kPixelFormat16Bit;
}

}  // namespace krelt
